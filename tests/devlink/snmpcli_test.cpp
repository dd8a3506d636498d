// lumeno snmp against a real snmpd: output, the hex dump, and errors that name the failure.
#include <gtest/gtest.h>

#include <algorithm>

#include "printeragent.h"
#include "processrun.h"

using namespace devlinktest;
using testsupport::RunLumeno;

namespace {

class SnmpCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { agent_ = new testsupport::SnmpAgent(PrinterAgentConfig()); }
    static void TearDownTestSuite() { delete agent_; }
    void SetUp() override { ASSERT_TRUE(agent_->running()) << agent_->error(); }
    static testsupport::SnmpAgent* agent_;
};
testsupport::SnmpAgent* SnmpCommandTest::agent_ = nullptr;

TEST_F(SnmpCommandTest, TheFirstRequestIsTheFortyByteGet)
{
    auto r = RunLumeno({"snmp", "get", "-v", "1", "-c", "public", "-d", agent_->address(), kSysDescr});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string sent = "Sending 40 bytes to " + agent_->address() +
                             "\n30 26 02 01 00 04 06 70 75 62 6C 69 63 A0 19 02\n01 00 02 01 00 02 01 00 30 0E 30 0C 06 08 2B 06\n"
                             "01 02 01 01 01 00 05 00\n";
    EXPECT_EQ(r.out.substr(0, sent.size()), sent) << r.out;
    EXPECT_NE(r.out.find("Received "), std::string::npos);
    EXPECT_NE(r.out.find(kSysDescr + " = STRING: \"Lumeno 4100DN\""), std::string::npos) << r.out;
}

TEST_F(SnmpCommandTest, PrintsEveryBindingWithItsType)
{
    auto get = RunLumeno({"snmp", "get", agent_->address(), kPrinterStatus, kPageCount});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.out, kPrinterStatus + " = INTEGER: 3\n" + kPageCount + " = Counter32: 12345\n");
    auto next = RunLumeno({"snmp", "getnext", agent_->address(), kTable});
    ASSERT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(next.out, kTable + ".1 = STRING: \"row 1\"\n");
    auto v3 = RunLumeno({"snmp", "get", "-v", "3", "-u", kUserShaAes, "-l", "authPriv", "-a", "SHA", "-A", kAuthPass, "-x",
                         "AES", "-X", kPrivPass, agent_->address(), kPrinterName});
    ASSERT_EQ(v3.status, 0) << v3.err;
    EXPECT_EQ(v3.out, kPrinterName + " = STRING: \"Lumeno 4100DN\"\n");
}

TEST_F(SnmpCommandTest, WalksAndSets)
{
    auto walk = RunLumeno({"snmp", "walk", agent_->address(), kTable});
    ASSERT_EQ(walk.status, 0) << walk.err;
    EXPECT_EQ(std::count(walk.out.begin(), walk.out.end(), '\n'), kTableRows);
    EXPECT_NE(walk.out.find(kTable + ".1000 = STRING: \"row 1000\"\n"), std::string::npos);
    auto set = RunLumeno({"snmp", "set", agent_->address(), kWritable, "i", "9"});
    ASSERT_EQ(set.status, 0) << set.err;
    auto check = RunLumeno({"snmp", "get", agent_->address(), kWritable});
    EXPECT_EQ(check.out, kWritable + " = INTEGER: 9\n");
    auto refused = RunLumeno({"snmp", "set", agent_->address(), "1.3.6.1.2.1.1.3.0", "i", "1"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Set refused"), std::string::npos) << refused.err;
}

TEST_F(SnmpCommandTest, ErrorsNameTheFailure)
{
    const std::string silent = "127.0.0.1:" + std::to_string(testsupport::SnmpAgent::FreeUdpPort());
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"snmp", "get", "-t", "0.2", "-r", "1", silent, kSysDescr}, 1, "Timeout: no answer from " + silent},
        {{"snmp", "get", "-v", "3", "-u", kUserShaAes, "-l", "authNoPriv", "-a", "SHA", "-A", "wrong-password",
          agent_->address(), kSysDescr},
         1, std::string("Authentication failure (user ") + kUserShaAes + ")"},
        {{"snmp", "get", agent_->address(), "1.3.6.1.4.1.47301.9.99.1"}, 1, "Error in packet: noSuchName (binding 1)"},
        {{"snmp", "get", "-v", "2", agent_->address(), kSysDescr}, 2, "bad value \"2\" for -v"},
        {{"snmp", "get", agent_->address()}, 2, "missing OID"},
        {{"snmp", "get", agent_->address(), "1.3..6"}, 2, "bad OID \"1.3..6\""},
        {{"snmp", "set", agent_->address(), kWritable, "s", "x"}, 2, "set takes OID i VALUE"},
        {{"snmp", "get", "printer.invalid:161", kSysDescr}, 2, "unknown agent address"},
    };
    for (const Case& c : cases) {
        auto r = RunLumeno(c.args);
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("wrong-password"), std::string::npos) << "pass phrases are never printed";
    }
}

}  // namespace
