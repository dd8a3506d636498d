// Installable-option detection end to end: the lumeno command, the model library, the
// device-query library and devlink against a simulated printer (a real snmpd), or against the
// printer's own status data on a local port.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "processrun.h"
#include "snmpagent.h"
#include "tempdir.h"

namespace {

using testsupport::RunLumeno;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A simulated Lumeno 4100DN started with `lumeno printer simulate --background`.
class SimulatedPrinter {
public:
    explicit SimulatedPrinter(const std::vector<std::string>& options) : port_(testsupport::SnmpAgent::FreeUdpPort())
    {
        std::vector<std::string> args = {"printer", "simulate", "--port", std::to_string(port_), "--background"};
        args.insert(args.end(), options.begin(), options.end());
        const auto r = RunLumeno(args);
        const size_t at = r.out.find("agent pid ");
        if (r.status == 0 && at != std::string::npos) pid_ = std::stoi(r.out.substr(at + 10));
        error_ = r.err;
    }
    ~SimulatedPrinter()
    {
        if (pid_ > 0) kill(pid_, SIGTERM);
    }
    SimulatedPrinter(const SimulatedPrinter&) = delete;
    SimulatedPrinter& operator=(const SimulatedPrinter&) = delete;
    bool running() const { return pid_ > 0; }
    const std::string& error() const { return error_; }
    std::string PortName() const { return "IP_127.0.0.1:" + std::to_string(port_); }

private:
    int port_;
    int pid_ = -1;
    std::string error_;
};

class DetectTest : public testsupport::IsolatedTest {
protected:
    void AddPrinter(const std::string& name, const std::string& port)
    {
        const auto r = RunLumeno({"printer", "add", name, "--model", "Lumeno 4100DN", "--port", port});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    void SetData(const std::string& printer, const std::string& value, const std::string& type, const std::string& data)
    {
        const auto r = RunLumeno({"printer", "data", "set", printer, value, type, data});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::string GetData(const std::string& printer, const std::string& value)
    {
        return RunLumeno({"printer", "data", "get", printer, value}).out;
    }
};

// The hex form "printer data get" shows of a keyword/option record of FeatureKeyword.
std::string RecordHex(const std::string& keyword, const std::string& option)
{
    std::string hex;
    char b[3];
    for (unsigned char c : keyword + std::string(1, '\0') + option + std::string(1, '\0') + "\n") {
        std::snprintf(b, sizeof b, "%02X", c);
        hex += b;
    }
    return hex;
}

TEST_F(DetectTest, LiveDetectionFollowsTheAgentsOptions)
{
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{"--trays", "3", "--duplex", "no", "--memory", "2048", "--hard-disk", "yes"},
         {"QNDuplexOption             False", "QNPaperTrayConfiguration   1TrayModule", "InstalledMemory            1280Meg",
          "QNHardDisk                 True"}},
        {{"--trays", "1", "--duplex", "yes", "--memory", "300", "--hard-disk", "no", "--ram-disk", "yes"},
         {"QNDuplexOption             True", "QNPaperTrayConfiguration   None", "InstalledMemory            512Meg",
          "QNHardDisk                 True"}},
    };
    for (const Case& c : cases) {
        SimulatedPrinter agent(c.options);
        ASSERT_TRUE(agent.running()) << agent.error();
        RunLumeno({"printer", "delete", "Net"});
        AddPrinter("Net", agent.PortName());
        const auto r = RunLumeno({"printer", "detect-options", "Net"});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string expected = "source             device query\n";
        for (const std::string& line : c.lines) expected += line + "\n";
        expected += "network address    127.0.0.1\ncommunity          public\nSNMP version       1\n";
        EXPECT_EQ(r.out, expected);
    }
}

TEST_F(DetectTest, SnmpV3Detection)
{
    SimulatedPrinter agent({"--duplex", "yes", "--user", "lumeno", "--auth", "SHA", "shapassword", "--priv", "AES",
                            "aespassword"});
    ASSERT_TRUE(agent.running()) << agent.error();
    AddPrinter("Net", agent.PortName());
    const std::vector<std::string> v3 = {"printer", "detect-options", "Net", "-v", "3", "-u", "lumeno", "-l", "authPriv",
                                         "-a", "SHA", "-A", "shapassword", "-x", "AES"};
    auto good = v3;
    good.insert(good.end(), {"-X", "aespassword"});
    const auto r = RunLumeno(good);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "QNDuplexOption             True"));
    EXPECT_TRUE(Has(r.out, "SNMP version       3"));
    auto bad = v3;
    bad.insert(bad.end(), {"-X", "not-the-pass-phrase"});
    EXPECT_EQ(RunLumeno(bad).status, 1);
}

TEST_F(DetectTest, ApplyReplacesDetectedOptionsAndKeepsTheRest)
{
    SimulatedPrinter agent({"--trays", "3", "--duplex", "no", "--memory", "768"});
    ASSERT_TRUE(agent.running()) << agent.error();
    AddPrinter("Net", agent.PortName());
    const std::string before = GetData("Net", "FeatureKeyword");
    ASSERT_TRUE(Has(before, RecordHex("QNDuplexOption", "True"))) << "the PPD's default: a duplex unit";
    ASSERT_TRUE(Has(before, RecordHex("QNFaxModule", "False")));

    const auto r = RunLumeno({"printer", "detect-options", "Net", "--apply"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string after = GetData("Net", "FeatureKeyword");
    EXPECT_TRUE(Has(after, RecordHex("QNDuplexOption", "False")));
    EXPECT_TRUE(Has(after, RecordHex("QNPaperTrayConfiguration", "1TrayModule")));
    EXPECT_TRUE(Has(after, RecordHex("InstalledMemory", "768Meg")));
    EXPECT_TRUE(Has(after, RecordHex("QNFaxModule", "False"))) << "options nobody detected stay";
    EXPECT_TRUE(Has(GetData("Net", "FeatureKeywordSize"), "REG_DWORD"));
    EXPECT_TRUE(Has(GetData("Net", "OEMNetAddress"), "127.0.0.1"));
}

TEST_F(DetectTest, SilentAgentStoresNothing)
{
    AddPrinter("Net", "IP_127.0.0.1:" + std::to_string(testsupport::SnmpAgent::FreeUdpPort()));
    const std::string before = GetData("Net", "FeatureKeyword");
    const auto r = RunLumeno({"printer", "detect-options", "Net", "--apply"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "cannot reach the printer at \"IP_127.0.0.1:")) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(GetData("Net", "FeatureKeyword"), before);
}

TEST_F(DetectTest, LocalPortUsesThePrintersStatusData)
{
    AddPrinter("Usb", "USB001");
    SetData("Usb", "LM_InputTray", "dword", "3");
    SetData("Usb", "LM_DuplexModule", "binary", "0100");
    SetData("Usb", "LM_MemorySizeInMByte", "dword", "512");
    SetData("Usb", "LM_HardDisk", "binary", "0000");
    SetData("Usb", "LM_RamDisk", "binary", "0100");
    const auto r = RunLumeno({"printer", "detect-options", "Usb"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "source             printer status data\n"
              "QNPaperTrayConfiguration   1TrayModule\nQNDuplexOption             True\n"
              "InstalledMemory            512Meg\nQNHardDisk                 True\n"
              "network address    -\ncommunity          -\nSNMP version       -\n");

    // A tray count stored as a 16-bit value is no status data: nothing is detected or stored.
    SetData("Usb", "LM_InputTray", "binary", "0300");
    const std::string before = GetData("Usb", "FeatureKeyword");
    const auto words = RunLumeno({"printer", "detect-options", "Usb", "--apply"});
    EXPECT_EQ(words.status, 1);
    EXPECT_TRUE(Has(words.err, "no installable options detected")) << words.err;
    EXPECT_EQ(GetData("Usb", "FeatureKeyword"), before);

    // Without a memory size the local data is not used and the port is asked live.
    SetData("Usb", "LM_MemorySizeInMByte", "dword", "0");
    const auto live = RunLumeno({"printer", "detect-options", "Usb"});
    EXPECT_EQ(live.status, 1);
    EXPECT_TRUE(Has(live.err, "cannot reach the printer at \"USB001\"")) << live.err;
}

TEST_F(DetectTest, UsageErrors)
{
    AddPrinter("Net", "IP_127.0.0.1:9");
    EXPECT_EQ(RunLumeno({"printer", "detect-options"}).status, 2);
    EXPECT_EQ(RunLumeno({"printer", "detect-options", "Net", "-v", "2"}).status, 2);
    EXPECT_EQ(RunLumeno({"printer", "detect-options", "Net", "-v", "3"}).status, 2) << "SNMPv3 needs a user";
    EXPECT_EQ(RunLumeno({"printer", "detect-options", "Nobody"}).status, 1);
    EXPECT_EQ(RunLumeno({"printer", "simulate", "--trays", "many"}).status, 2);
    EXPECT_EQ(RunLumeno({"printer", "simulate", "--auth", "MD5", "x"}).status, 2);
}

// A pre-configured duplex job is refused when the detected options say the printer has no
// duplex unit. The pre-configuration file lies beside the modules, so this test gets a driver
// directory of its own.
class DetectAndPrintTest : public DetectTest {
protected:
    void SetUp() override
    {
        DetectTest::SetUp();
        driver_ = TempPath() + "/driver";
        std::filesystem::create_directories(driver_);
        for (const auto& entry : std::filesystem::directory_iterator(testsupport::DriverDir()))
            std::filesystem::copy(entry.path(), driver_ + "/" + entry.path().filename().string());
        testsupport::WriteFile(driver_ + "/modellib.cfg", "[DEFAULT]\nDuplex.enforced=duplex_long\n");
        setenv("LUMENO_DRIVER_DIR", driver_.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("LUMENO_DRIVER_DIR");
        DetectTest::TearDown();
    }
    int PrintOn(const std::string& printer)
    {
        const auto r = RunLumeno({"print", "-P", printer, "--output", TempPath() + "/job.prn"});
        last_err_ = r.err;
        return r.status;
    }
    std::string driver_, last_err_;
};

TEST_F(DetectAndPrintTest, DetectedDuplexUnitDecidesTheRefusal)
{
    for (const bool duplexUnit : {false, true}) {
        SCOPED_TRACE(duplexUnit ? "duplex unit" : "no duplex unit");
        SimulatedPrinter agent({"--duplex", duplexUnit ? "yes" : "no"});
        ASSERT_TRUE(agent.running()) << agent.error();
        RunLumeno({"printer", "delete", "Net"});
        AddPrinter("Net", agent.PortName());
        SetData("Net", "OEMDisablePSFeatures", "dword", "1");
        const auto r = RunLumeno({"printer", "detect-options", "Net", "--apply"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(PrintOn("Net"), duplexUnit ? 0 : 1) << last_err_;
        if (!duplexUnit) {
            EXPECT_TRUE(Has(last_err_, "refused")) << last_err_;
        }
    }
}

}  // namespace
