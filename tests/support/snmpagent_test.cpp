// The agent the SNMP tests rely on starts, answers, serves the configured values and stops.
#include <gtest/gtest.h>

#include "processrun.h"
#include "snmpagent.h"

namespace {

using testsupport::RunProcess;

TEST(SnmpAgent, ServesItsValuesToNetSnmpTools)
{
    testsupport::SnmpAgentConfig config;
    config.users = {{"lumeno", "priv", "SHA", "shapassword", "AES", "aespassword"}};
    config.values = {{"1.3.6.1.4.1.47301.9.1.1", "integer", "7"}, {"1.3.6.1.4.1.47301.9.1.2", "octet_str", "\"Tray 1\""}};
    int port = 0;
    {
        testsupport::SnmpAgent agent(config);
        ASSERT_TRUE(agent.running()) << agent.error();
        port = agent.port();
        auto v1 = RunProcess({"/usr/bin/snmpget", "-v1", "-c", "public", "-On", agent.address(), "1.3.6.1.2.1.1.1.0",
                              "1.3.6.1.4.1.47301.9.1.1", "1.3.6.1.4.1.47301.9.1.2"});
        EXPECT_EQ(v1.status, 0) << v1.err;
        EXPECT_NE(v1.out.find("STRING: \"Lumeno 4100DN\""), std::string::npos) << v1.out;
        EXPECT_NE(v1.out.find("INTEGER: 7"), std::string::npos) << v1.out;
        EXPECT_NE(v1.out.find("STRING: \"Tray 1\""), std::string::npos) << v1.out;
        auto v3 = RunProcess({"/usr/bin/snmpget", "-v3", "-u", "lumeno", "-l", "authPriv", "-a", "SHA", "-A",
                              "shapassword", "-x", "AES", "-X", "aespassword", "-On", agent.address(),
                              "1.3.6.1.4.1.47301.9.1.1"});
        EXPECT_EQ(v3.status, 0) << v3.err;
        EXPECT_NE(v3.out.find("INTEGER: 7"), std::string::npos) << v3.out;
    }
    auto after = RunProcess({"/usr/bin/snmpget", "-v1", "-c", "public", "-t", "0.3", "-r", "0",
                             "127.0.0.1:" + std::to_string(port), "1.3.6.1.2.1.1.1.0"});
    EXPECT_NE(after.status, 0) << "the agent is gone with its object";
}

}  // namespace
