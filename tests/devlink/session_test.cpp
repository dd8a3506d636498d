// Community request sessions against a real snmpd, a silent port and a hostile responder;
// splitting and merging of requests on their own.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <chrono>
#include <cstring>
#include <thread>

#include "codec/codec.h"
#include "printeragent.h"
#include "session/fragment.h"
#include "session/session.h"
#include "sessiontesting.h"

using namespace devlink;
using namespace devlinktest;

namespace {

std::vector<std::string> TableRows(int first, int count)
{
    std::vector<std::string> oids;
    for (int i = first; i < first + count; ++i) oids.push_back(kTable + "." + std::to_string(i));
    return oids;
}

TEST(Fragment, SplitsInOrderWithTheRemainderInFront)
{
    struct Case {
        long bindings, n;
        std::vector<long> sizes;
    } cases[] = {{5, 2, {3, 2}}, {4, 2, {2, 2}}, {7, 3, {3, 2, 2}}, {2, 2, {1, 1}}};
    for (const Case& c : cases) {
        IPmsPdu* pdu = MakePdu(PMS_PDU_GET, TableRows(1, static_cast<int>(c.bindings)));
        IPmcPtrList<IPmsPdu>* list = nullptr;
        ASSERT_EQ(pms_fragment_pdu(pdu, c.n, &list), 0);
        ASSERT_EQ(list->size(), c.n);
        auto* it = list->create_iterator(nullptr);
        int next_row = 1;
        for (long size : c.sizes) {
            IPmsPdu* f = list->get(it);
            ASSERT_EQ(BindingCount(f), size) << c.bindings << " into " << c.n;
            for (long i = 0; i < size; ++i) EXPECT_EQ(OidText(f, i), kTable + "." + std::to_string(next_row++));
            list->next(it);
        }
        list->release_iterator(it);
        EXPECT_EQ(BindingCount(pdu), 0);
        list->release();
        pdu->release();
    }
}

TEST(Fragment, ASingleBindingCannotBeSplit)
{
    IPmsPdu* pdu = MakePdu(PMS_PDU_GET, TableRows(1, 1));
    IPmcPtrList<IPmsPdu>* list = nullptr;
    EXPECT_EQ(pms_fragment_pdu(pdu, pms_fragment_count(1, 1), &list), PMC_E_NOSPLIT);
    EXPECT_EQ(pms_fragment_pdu(pdu, pms_fragment_count(1, 0), &list), PMC_E_NOSPLIT);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(BindingCount(pdu), 1);
    pdu->release();
}

TEST(Fragment, CountFollowsWhatTheEncoderWrote)
{
    EXPECT_EQ(pms_fragment_count(10, 10), 2);  // only the header did not fit
    EXPECT_EQ(pms_fragment_count(10, 4), 3);
    EXPECT_EQ(pms_fragment_count(10, 0), 10);  // not one binding fitted
}

TEST(Fragment, MergeShiftsTheErrorIndexOverEarlierFragments)
{
    IPmsPdu* pdu = MakePdu(PMS_PDU_GET, TableRows(1, 5));
    IPmcPtrList<IPmsPdu>* list = nullptr;
    ASSERT_EQ(pms_fragment_pdu(pdu, 2, &list), 0);
    auto* it = list->create_iterator(nullptr);
    list->get(it)->set_type(PMS_PDU_RESPONSE);
    list->next(it);
    list->get(it)->set_error_status(2);
    list->get(it)->set_error_index(1);
    list->release_iterator(it);
    pms_merge_fragments(pdu, list);
    list->release();
    EXPECT_EQ(pdu->get_type(), PMS_PDU_RESPONSE);
    EXPECT_EQ(pdu->get_error_status(), 2);
    EXPECT_EQ(pdu->get_error_index(), 4);
    ASSERT_EQ(BindingCount(pdu), 5);
    for (long i = 0; i < 5; ++i) {
        EXPECT_EQ(OidText(pdu, i), kTable + "." + std::to_string(i + 1));
        EXPECT_EQ(pdu->get_varbinds()->get(i)->get_error(), i == 3 ? 2 : 100);
    }
    pdu->release();
}

class RequestSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { agent_ = new testsupport::SnmpAgent(PrinterAgentConfig()); }
    static void TearDownTestSuite() { delete agent_; }
    void SetUp() override { ASSERT_TRUE(agent_->running()) << agent_->error(); }

    long Send(IPmsPdu* pdu, IPmsSnmpTarget* target)
    {
        SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
        long r = d->send_sync(pdu, target);
        d->release();
        return r;
    }
    unsigned short Port() const { return static_cast<unsigned short>(agent_->port()); }

    static testsupport::SnmpAgent* agent_;
};
testsupport::SnmpAgent* RequestSessionTest::agent_ = nullptr;

TEST_F(RequestSessionTest, GetAnswersIntoTheCallersPdu)
{
    for (long version : {0L, 1L}) {
        IPmsPdu* pdu = MakePdu(PMS_PDU_GET, {kSysDescr, kPrinterStatus, kPageCount, kPrinterName});
        IPmsSnmpTarget* target = MakeCommunityTarget("127.0.0.1", Port(), 1000, 0, 1400, version);
        ASSERT_EQ(Send(pdu, target), 0) << "version " << version;
        EXPECT_EQ(pdu->get_type(), PMS_PDU_RESPONSE);
        EXPECT_EQ(ValueText(pdu, 0), "Lumeno 4100DN");
        EXPECT_EQ(ValueText(pdu, 1), "3");
        EXPECT_EQ(pdu->get_varbinds()->get(2)->get_value()->get_type(), PMS_COUNTER32);
        EXPECT_EQ(ValueText(pdu, 2), "12345");
        EXPECT_EQ(ValueText(pdu, 3), "Lumeno 4100DN");
        EXPECT_EQ(target->get_version(), version);
        EXPECT_EQ(target->get_address()->get_port(), Port());
        pdu->release();
        target->release();
    }
}

TEST_F(RequestSessionTest, ARequestAboveTheMaximumSizeIsSplitAndMerged)
{
    IPmsPdu* pdu = MakePdu(PMS_PDU_GET, TableRows(1, 150));
    IPmsSnmpTarget* target = MakeCommunityTarget("127.0.0.1", Port());
    ASSERT_EQ(Send(pdu, target), 0);
    ASSERT_EQ(BindingCount(pdu), 150);
    for (long i = 0; i < 150; ++i) {
        EXPECT_EQ(OidText(pdu, i), kTable + "." + std::to_string(i + 1));
        EXPECT_EQ(ValueText(pdu, i), "row " + std::to_string(i + 1));
    }
    EXPECT_EQ(pdu->get_error_status(), 0);
    pdu->release();
    target->release();
}

TEST_F(RequestSessionTest, AnErrorInALaterFragmentCountsOverTheWholeRequest)
{
    std::vector<std::string> oids = TableRows(1, 100);
    oids[79] = "1.3.6.1.4.1.47301.9.99.1";  // no such name
    IPmsPdu* pdu = MakePdu(PMS_PDU_GET, oids);
    IPmsSnmpTarget* target = MakeCommunityTarget("127.0.0.1", Port());
    ASSERT_EQ(Send(pdu, target), 0);
    ASSERT_EQ(BindingCount(pdu), 100);
    EXPECT_EQ(pdu->get_error_status(), 2);
    EXPECT_EQ(pdu->get_error_index(), 80);
    EXPECT_EQ(pdu->get_varbinds()->get(79)->get_error(), 2);
    EXPECT_EQ(pdu->get_varbinds()->get(0)->get_error(), 100);
    EXPECT_EQ(OidText(pdu, 99), kTable + ".100");
    pdu->release();
    target->release();
}

TEST_F(RequestSessionTest, TooBigAnswersAreSplitUntilTheyFit)
{
    testsupport::SnmpAgentConfig config;
    const std::string big(100, 'x');
    for (int i = 1; i <= 30; ++i) config.values.push_back({"1.3.6.1.4.1.47301.9.2." + std::to_string(i), "octet_str", big});
    config.extraLines = {"[snmp] sendMessageMaxSize 1400"};
    testsupport::SnmpAgent small(config);
    ASSERT_TRUE(small.running()) << small.error();
    std::vector<std::string> oids;
    for (int i = 1; i <= 30; ++i) oids.push_back("1.3.6.1.4.1.47301.9.2." + std::to_string(i));
    IPmsPdu* pdu = MakePdu(PMS_PDU_GET, oids);
    IPmsSnmpTarget* target = MakeCommunityTarget("127.0.0.1", static_cast<unsigned short>(small.port()));
    ASSERT_EQ(Send(pdu, target), 0);
    ASSERT_EQ(BindingCount(pdu), 30);
    for (long i = 0; i < 30; ++i) {
        EXPECT_EQ(OidText(pdu, i), oids[static_cast<size_t>(i)]);
        EXPECT_EQ(ValueText(pdu, i), big);
    }
    pdu->release();
    target->release();
}

TEST_F(RequestSessionTest, ABindingWhoseAnswerNeverFitsCannotBeSplit)
{
    testsupport::SnmpAgentConfig config;
    config.values = {{"1.3.6.1.4.1.47301.9.2.1", "octet_str", std::string(1500, 'y')}};
    config.extraLines = {"[snmp] sendMessageMaxSize 1400"};
    testsupport::SnmpAgent small(config);
    ASSERT_TRUE(small.running()) << small.error();
    IPmsPdu* pdu = MakePdu(PMS_PDU_GET, {"1.3.6.1.4.1.47301.9.2.1"});
    IPmsSnmpTarget* target = MakeCommunityTarget("127.0.0.1", static_cast<unsigned short>(small.port()));
    EXPECT_EQ(Send(pdu, target), PMC_E_NOSPLIT);
    pdu->release();
    target->release();
}

// A UDP socket on loopback that the tests read and answer by hand.
class LoopbackPeer {
public:
    LoopbackPeer()
    {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~LoopbackPeer() { close(fd_); }
    unsigned short port() const { return port_; }
    // Waits up to ms for one datagram; its bytes and sender.
    bool Receive(std::string* data, sockaddr_in* from, int ms)
    {
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        char buf[4096];
        socklen_t len = sizeof *from;
        ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(from), &len);
        if (n < 0) return false;
        data->assign(buf, static_cast<size_t>(n));
        return true;
    }
    void Send(const std::string& data, const sockaddr_in& to)
    {
        sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

private:
    int fd_ = -1;
    unsigned short port_ = 0;
};

TEST(RequestSession, ASilentAgentGetsEveryTryAndTheRequestTimesOut)
{
    LoopbackPeer silent;
    IPmsPdu* pdu = MakePdu(PMS_PDU_GET, {kSysDescr});
    IPmsSnmpTarget* target = MakeCommunityTarget("127.0.0.1", silent.port(), 200, 2);
    SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
    EXPECT_EQ(d->send_sync(pdu, target), PMC_E_TIMEOUT);
    d->release();
    int datagrams = 0;
    std::string first, data;
    sockaddr_in from{};
    while (silent.Receive(&data, &from, 50)) {
        if (datagrams++ == 0) first = data;
        EXPECT_EQ(data, first) << "every try sends the same message";
    }
    EXPECT_EQ(datagrams, 3);
    pdu->release();
    target->release();
}

// The answer to a request, encoded by our codec: the request's id (or another), one binding.
std::string Answer(const std::string& request, long id_offset, const char* text)
{
    IPmsRawPacket* in = pms_create_raw_packet(nullptr);
    auto* bytes = static_cast<unsigned char*>(std::malloc(request.size()));
    std::memcpy(bytes, request.data(), request.size());
    in->attach(bytes, static_cast<long>(request.size()), PMS_OWNER_HEAP);
    IPmsPdu* pdu = pms_create_pdu(nullptr);
    IPmsSnmpTarget* target = pms_create_target(PMS_TARGET_COMMUNITY, nullptr);
    EXPECT_EQ(pms_codec_registry()->decode(in, pdu, target, -1), 0);
    pdu->set_type(PMS_PDU_RESPONSE);
    pdu->set_request_id(pdu->get_request_id() + id_offset);
    pdu->get_varbinds()->get(0)->set_value(pms_create_value_from_text(text, PMS_OCTET_STRING, nullptr));
    target->set_max_size(1400);
    IPmsRawPacket* out = pms_create_raw_packet(nullptr);
    EXPECT_EQ(pms_codec_registry()->encode(pdu, target, out, nullptr), 0);
    std::string answer(reinterpret_cast<const char*>(out->get_position()), static_cast<size_t>(out->get_remaining()));
    out->release();
    in->release();
    pdu->release();
    target->release();
    return answer;
}

TEST(RequestSession, AHostileResponderCannotPassOffAWrongAnswer)
{
    LoopbackPeer hostile;
    std::thread responder([&hostile] {
        std::string request;
        sockaddr_in from{};
        if (!hostile.Receive(&request, &from, 2000)) return;
        const std::string right = Answer(request, 0, "right");
        hostile.Send(Answer(request, 1, "wrong id"), from);
        hostile.Send(right.substr(0, right.size() / 2), from);  // truncated
        hostile.Send(std::string("\x30\x82\xff\xff\x02\x01", 6), from);
        hostile.Send(std::string(300, '\xA2'), from);
        hostile.Send(std::string(), from);
        hostile.Send(right, from);
    });
    IPmsPdu* pdu = MakePdu(PMS_PDU_GET, {kSysDescr});
    IPmsSnmpTarget* target = MakeCommunityTarget("127.0.0.1", hostile.port(), 2000, 0);
    SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
    EXPECT_EQ(d->send_sync(pdu, target), 0);
    responder.join();
    EXPECT_EQ(ValueText(pdu, 0), "right");
    EXPECT_EQ(pdu->get_type(), PMS_PDU_RESPONSE);
    d->release();
    pdu->release();
    target->release();
}

// A responder that keeps sending datagrams that do not answer the request, for longer than the
// time-out: the try ends with what the last of them was, not with a plain time-out.
TEST(RequestSession, TimeRunningOutOnUnfitDatagramsGivesTheirResult)
{
    struct Case {
        const char* what;
        std::string (*unfit)(const std::string& request);
        long result;
    } cases[] = {
        {"another request-id", [](const std::string& request) { return Answer(request, 1, "wrong id"); }, PMC_E_REQID},
        {"an undecodable value",
         [](const std::string& request) {
             std::string answer = Answer(request, 0, "right");
             answer[answer.size() - 7] = '\x47';  // the OCTET STRING tag becomes an unknown one
             return answer;
         },
         PMC_E_DECODE},
    };
    constexpr int kTimeoutMs = 300;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackPeer flooding;
        std::thread responder([&flooding, &c] {
            std::string request;
            sockaddr_in from{};
            if (!flooding.Receive(&request, &from, 2000)) return;
            const std::string unfit = c.unfit(request);
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs + 500);
            while (std::chrono::steady_clock::now() < until) flooding.Send(unfit, from);
        });
        IPmsPdu* pdu = MakePdu(PMS_PDU_GET, {kSysDescr});
        IPmsSnmpTarget* target = MakeCommunityTarget("127.0.0.1", flooding.port(), kTimeoutMs, 0);
        SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
        EXPECT_EQ(d->send_sync(pdu, target), c.result);
        responder.join();
        d->release();
        pdu->release();
        target->release();
    }
}

TEST(SessionDispatcher, RefusesTargetsNoSessionServes)
{
    SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
    IPmsPdu* pdu = MakePdu(PMS_PDU_GET, {kSysDescr});
    IPmsSnmpTarget* v3community = MakeCommunityTarget("127.0.0.1", 161, 100, 0, 1400, 2);
    EXPECT_EQ(d->send_sync(pdu, v3community), PMC_E_INVALID);
    IPmsSnmpTarget* usm = pms_create_usm_target(nullptr);
    usm->set_version(1);
    EXPECT_EQ(d->send_sync(pdu, usm), PMC_E_INVALID);
    EXPECT_EQ(d->send_sync(pdu, nullptr), PMC_E_INVALID);
    IPmsSnmpTarget* noaddress = pms_create_target(PMS_TARGET_COMMUNITY, nullptr);
    noaddress->set_version(0);
    EXPECT_EQ(d->send_sync(pdu, noaddress), PMC_E_INVALID);
    noaddress->release();
    usm->release();
    v3community->release();
    pdu->release();
    d->release();
}

}  // namespace
