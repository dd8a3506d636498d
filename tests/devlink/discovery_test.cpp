// Broadcast discovery of real agents in network namespaces behind a bridge of the test's own.
#include <gtest/gtest.h>

#include <set>

#include "netns.h"
#include "printeragent.h"
#include "processrun.h"
#include "session/session.h"
#include "sessiontesting.h"

using namespace devlink;
using namespace devlinktest;

namespace {

constexpr int kAgentPort = 16161;     // where the printers answer, broadcasts included
constexpr int kSnmpdPort = 16162;     // where each namespace's snmpd listens, behind its relay

class DiscoveryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        subnet_ = new TestSubnet(2);
        if (!subnet_->ready()) return;
        for (int i = 0; i < 2; ++i) {
            testsupport::SnmpAgentConfig config = PrinterAgentConfig();
            config.sysDescr = "Lumeno 4100DN " + std::to_string(i);
            config.netns = subnet_->namespaceName(i);
            config.listen = subnet_->hostAddress(i);
            config.reachAt = subnet_->hostAddress(i);
            config.port = kSnmpdPort;
            agents_[i] = new testsupport::SnmpAgent(config);
            relays_ = relays_ && subnet_->StartRelay(i, kAgentPort, kSnmpdPort);
        }
    }
    static void TearDownTestSuite()
    {
        for (auto*& a : agents_) {
            delete a;
            a = nullptr;
        }
        delete subnet_;
    }
    void SetUp() override
    {
        if (!subnet_->ready()) GTEST_SKIP() << "network namespaces cannot be made here: " << subnet_->error();
        for (auto* a : agents_) ASSERT_TRUE(a && a->running()) << (a ? a->error() : "");
        ASSERT_TRUE(relays_);
    }

    static IPmcNetworkAddress* Broadcast(int port)
    {
        IPmcNetworkAddress* a = pmc_create_network_address(nullptr);
        a->set_text(subnet_->broadcast().c_str());
        a->set_port(static_cast<unsigned short>(port));
        return a;
    }

    // Sends the broadcast; the answering addresses and the sysDescr each gave.
    static long Discover(IPmsSnmpTarget* target, std::set<std::string>* addresses, std::set<std::string>* descriptions)
    {
        IPmsPdu* pdu = MakePdu(PMS_PDU_GET, {kSysDescr});
        SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
        IPmsSnmpPacketList* list = nullptr;
        long r = d->send_broad_cast_sync(pdu, target, &list);
        if (r == 0) {
            auto* it = list->create_iterator(nullptr);
            long count = 0;
            for (IPmsSnmpPacket* p; (p = list->get(it)) != nullptr; list->next(it), ++count) {
                addresses->insert(p->get_target()->get_address()->get_text());
                descriptions->insert(ValueText(p->get_pdu(), 0));
            }
            list->release_iterator(it);
            EXPECT_EQ(count, static_cast<long>(addresses->size())) << "one packet per answering address";
            list->release();
        }
        d->release();
        pdu->release();
        return r;
    }

    static TestSubnet* subnet_;
    static testsupport::SnmpAgent* agents_[2];
    static bool relays_;
};
bool DiscoveryTest::relays_ = true;
TestSubnet* DiscoveryTest::subnet_ = nullptr;
testsupport::SnmpAgent* DiscoveryTest::agents_[2] = {nullptr, nullptr};

TEST_F(DiscoveryTest, CommunityBroadcastListsEveryAgentOnce)
{
    // Two tries: each agent answers twice, and is listed once.
    IPmsSnmpTarget* target = MakeCommunityTarget(subnet_->broadcast(), kAgentPort, 700, 1);
    std::set<std::string> addresses, descriptions;
    ASSERT_EQ(Discover(target, &addresses, &descriptions), 0);
    EXPECT_EQ(addresses, (std::set<std::string>{subnet_->hostAddress(0), subnet_->hostAddress(1)}));
    EXPECT_EQ(descriptions, (std::set<std::string>{"Lumeno 4100DN 0", "Lumeno 4100DN 1"}));
    target->release();
}

TEST_F(DiscoveryTest, NobodyAnsweringGivesAnEmptyList)
{
    IPmsSnmpTarget* target = MakeCommunityTarget(subnet_->broadcast(), kAgentPort + 1, 300, 0);
    std::set<std::string> addresses, descriptions;
    EXPECT_EQ(Discover(target, &addresses, &descriptions), 0);
    EXPECT_TRUE(addresses.empty());
    target->release();
}

IPmsSnmpTarget* UsmBroadcast(const std::string& address, int port, const char* auth_pass)
{
    IPmsSnmpTarget* t = pms_create_usm_target(nullptr);
    t->set_version(2);
    t->set_timeout(700);
    t->set_retries(1);
    t->set_max_size(1400);
    IPmcNetworkAddress* a = pmc_create_network_address(nullptr);
    a->set_text(address.c_str());
    a->set_port(static_cast<unsigned short>(port));
    t->set_address(a);
    a->release();
    IPmsUsm* u = t->as_usm();
    u->set_user_name(kUserShaAes);
    u->set_security_level(2);
    u->set_auth_protocol(2);
    u->set_priv_protocol(2);
    u->set_auth_pass(auth_pass);
    u->set_priv_pass(kPrivPass);
    return t;
}

TEST_F(DiscoveryTest, SnmpV3BroadcastFindsTheEnginesThenAsksEachAgent)
{
    IPmsSnmpTarget* target = UsmBroadcast(subnet_->broadcast(), kAgentPort, kAuthPass);
    std::set<std::string> addresses, descriptions;
    ASSERT_EQ(Discover(target, &addresses, &descriptions), 0);
    EXPECT_EQ(addresses, (std::set<std::string>{subnet_->hostAddress(0), subnet_->hostAddress(1)}));
    EXPECT_EQ(descriptions, (std::set<std::string>{"Lumeno 4100DN 0", "Lumeno 4100DN 1"}));
    target->release();
}

TEST_F(DiscoveryTest, SnmpV3AgentsThatRefuseTheCredentialsAreLeftOut)
{
    IPmsSnmpTarget* target = UsmBroadcast(subnet_->broadcast(), kAgentPort, "not-the-password");
    std::set<std::string> addresses, descriptions;
    EXPECT_EQ(Discover(target, &addresses, &descriptions), 0);
    EXPECT_TRUE(addresses.empty());
    target->release();
    IPmsSnmpTarget* nobody = UsmBroadcast(subnet_->broadcast(), kAgentPort + 1, kAuthPass);
    EXPECT_EQ(Discover(nobody, &addresses, &descriptions), 0);
    EXPECT_TRUE(addresses.empty());
    nobody->release();
}

TEST_F(DiscoveryTest, TheCommandListsTheAnsweringAgents)
{
    auto r = testsupport::RunLumeno({"snmp", "discover", "-t", "0.5", "-r", "0",
                                     subnet_->broadcast() + ":" + std::to_string(kAgentPort)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(subnet_->hostAddress(0) + ":" + std::to_string(kAgentPort)), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("STRING: \"Lumeno 4100DN 1\""), std::string::npos) << r.out;
    auto none = testsupport::RunLumeno({"snmp", "discover", "-t", "0.3", "-r", "0",
                                        subnet_->broadcast() + ":" + std::to_string(kAgentPort + 1)});
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_NE(none.out.find("No agent answered"), std::string::npos) << none.out;
}

}  // namespace
