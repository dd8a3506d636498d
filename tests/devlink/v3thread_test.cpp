// Two threads running SNMPv3 requests at once, with different users and levels, each against
// its own agent: every answer is right, and a request waiting for a silent agent on one thread
// does not hold up the other.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "printeragent.h"
#include "session/session.h"
#include "sessiontesting.h"

using namespace devlink;
using namespace devlinktest;

namespace {

IPmsSnmpTarget* UsmTarget(int port, const char* user, long level, long auth, long priv, long timeout_ms = 2000)
{
    IPmsSnmpTarget* t = pms_create_usm_target(nullptr);
    t->set_version(2);
    t->set_timeout(timeout_ms);
    t->set_retries(0);
    t->set_max_size(1400);
    IPmcNetworkAddress* a = pmc_create_network_address(nullptr);
    a->set_text("127.0.0.1");
    a->set_port(static_cast<unsigned short>(port));
    t->set_address(a);
    a->release();
    IPmsUsm* u = t->as_usm();
    u->set_user_name(user);
    u->set_security_level(level);
    u->set_auth_protocol(auth);
    u->set_priv_protocol(priv);
    u->set_auth_pass(kAuthPass);
    u->set_priv_pass(kPrivPass);
    return t;
}

// Requests rows first..first+count-1 one by one; counts the right answers.
int AskRows(int port, const char* user, long level, long auth, long priv, int first, int count)
{
    int right = 0;
    SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
    for (int row = first; row < first + count; ++row) {
        const std::string oid = kTable + "." + std::to_string(row);
        IPmsPdu* pdu = MakePdu(PMS_PDU_GET, {oid});
        IPmsSnmpTarget* t = UsmTarget(port, user, level, auth, priv);
        if (d->send_sync(pdu, t) == 0 && ValueText(pdu, 0) == "row " + std::to_string(row) &&
            std::string(t->as_usm()->get_user_name()) == user)
            ++right;
        pdu->release();
        t->release();
    }
    d->release();
    return right;
}

TEST(SnmpV3Threads, ConcurrentRequestsDoNotDisturbEachOther)
{
    testsupport::SnmpAgent one(PrinterAgentConfig());
    testsupport::SnmpAgent two(PrinterAgentConfig());
    ASSERT_TRUE(one.running()) << one.error();
    ASSERT_TRUE(two.running()) << two.error();
    int right_md5 = 0, right_sha = 0;
    std::thread a([&] { right_md5 = AskRows(one.port(), kUserMd5Des, 2, 1, 1, 1, 40); });
    std::thread b([&] { right_sha = AskRows(two.port(), kUserShaAes, 2, 2, 2, 500, 40); });
    a.join();
    b.join();
    EXPECT_EQ(right_md5, 40);
    EXPECT_EQ(right_sha, 40);
}

// The silent agent's engine ID known (the wait is the request's own) and unknown (the wait is
// the engine-ID probe's).
class SilentAgent : public ::testing::TestWithParam<bool> {};

TEST_P(SilentAgent, HoldsUpOnlyItsOwnThread)
{
    const bool engine_known = GetParam();
    testsupport::SnmpAgent agent(PrinterAgentConfig());
    ASSERT_TRUE(agent.running()) << agent.error();
    // A bound socket that never answers.
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    const int silent = ntohs(a.sin_port);
    long silent_result = 0;
    std::atomic<bool> silent_done{false};
    std::thread waiting([&] {
        SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
        IPmsPdu* pdu = MakePdu(PMS_PDU_GET, {kSysDescr});
        IPmsSnmpTarget* t = UsmTarget(silent, kUserShaAes, 2, 2, 2, 3000);
        if (engine_known) t->as_usm()->set_engine_id("\x80\x00\x1f\x88\x80\x01\x02\x03\x04", 9);
        silent_result = d->send_sync(pdu, t);
        silent_done = true;
        pdu->release();
        t->release();
        d->release();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Ten answered requests while the other thread is still waiting for its silent agent.
    EXPECT_EQ(AskRows(agent.port(), kUserNoAuth, 0, 0, 0, 1, 10), 10);
    EXPECT_FALSE(silent_done.load());
    waiting.join();
    close(fd);
    EXPECT_EQ(silent_result, PMC_E_TIMEOUT);
}

INSTANTIATE_TEST_SUITE_P(EngineId, SilentAgent, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Known" : "Probed"; });

}  // namespace
