#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "processrun.h"
#include "tempdir.h"

namespace {

using testsupport::RunLumeno;

const std::string kDriverKey = "HKLM\\Software\\Tavoro\\Lumeno 4100\\PostScript Printer Driver";

class LumenoTest : public testsupport::IsolatedTest {};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(LumenoTest, ModelListAndInfo)
{
    auto list = RunLumeno({"model", "list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_TRUE(Contains(list.out, "Lumeno 4100N     8783"));
    EXPECT_TRUE(Contains(list.out, "Lumeno 4100DN    8784"));

    auto info = RunLumeno({"model", "info", "Lumeno 4100DN"});
    ASSERT_EQ(info.status, 0) << info.err;
    for (const char* line : {"model number           8784 (0x2250)", "JCL support type       3",
                             "Brantel support type   0", "secure-print type      3",
                             "capability mask        0x08A92E7C", "bit 16  0x00010000  PINs, keys and passwords encoded",
                             "device options         4", "control 10208  length 4..12, character classes 0x00000003",
                             "field 7      length 0..32, character classes 0x00020013"})
        EXPECT_TRUE(Contains(info.out, line)) << line << "\n" << info.out;
    EXPECT_FALSE(Contains(info.out, "0x00000001 ")) << "bit 0 is clear in the mask";
}

TEST_F(LumenoTest, Errors)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"model", "info", "lumeno 4100dn"}, 1, "unknown model \"lumeno 4100dn\""},
        {{"model", "info"}, 2, "usage: lumeno model info MODEL"},
        {{"model", "frobnicate"}, 2, "unknown model command"},
        {{"nothing"}, 2, "unknown command \"nothing\""},
        {{}, 2, "usage: lumeno <command>"},
        {{"reg", "query", "HKXX\\Software"}, 2, "a key begins with HKLM or HKCU"},
        {{"reg", "query", "HKLM\\Software\\Missing"}, 1, "not found"},
        {{"reg", "set", kDriverKey, "DebugLevel", "dword", "12x"}, 2, "not a 32-bit number"},
        {{"reg", "set", kDriverKey, "DebugLevel", "dword", "4294967296"}, 2, "not a 32-bit number"},
        {{"reg", "set", kDriverKey, "Blob", "binary", "abc"}, 2, "not hexadecimal bytes"},
        {{"reg", "set", kDriverKey, "X", "qword", "1"}, 2, "TYPE is one of"},
        {{"reg", "delete", "HKLM"}, 2, "a hive itself cannot be deleted"},
    };
    for (const Case& c : cases) {
        auto r = RunLumeno(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
        if (!c.args.empty()) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
        }
    }
    // A refused set wrote nothing.
    EXPECT_EQ(RunLumeno({"reg", "query", kDriverKey}).status, 1);
}

TEST_F(LumenoTest, RegistryValuesRoundTrip)
{
    ASSERT_EQ(RunLumeno({"reg", "set", kDriverKey, "DebugLevel", "dword", "0x4"}).status, 0);
    ASSERT_EQ(RunLumeno({"reg", "set", kDriverKey, "MaxHeapSize", "dword", "1048576"}).status, 0);
    ASSERT_EQ(RunLumeno({"reg", "set", kDriverKey, "Note", "sz", "caf\xC3\xA9"}).status, 0);
    ASSERT_EQ(RunLumeno({"reg", "set", kDriverKey, "Blob", "binary", "00 ff 10"}).status, 0);
    ASSERT_EQ(RunLumeno({"reg", "set", kDriverKey, "List", "multi_sz", "one\\0two"}).status, 0);
    auto all = RunLumeno({"reg", "query", kDriverKey});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out,
              "HKEY_LOCAL_MACHINE\\Software\\Tavoro\\Lumeno 4100\\PostScript Printer Driver\n"
              "    DebugLevel    REG_DWORD    0x4\n"
              "    MaxHeapSize    REG_DWORD    0x100000\n"
              "    Note    REG_SZ    caf\xC3\xA9\n"
              "    Blob    REG_BINARY    00FF10\n"
              "    List    REG_MULTI_SZ    one\\0two\n");

    auto one = RunLumeno({"reg", "query", kDriverKey, "debuglevel"});
    EXPECT_TRUE(Contains(one.out, "REG_DWORD    0x4"));
    EXPECT_EQ(RunLumeno({"reg", "delete", kDriverKey, "Note"}).status, 0);
    EXPECT_EQ(RunLumeno({"reg", "query", kDriverKey, "Note"}).status, 1);
    EXPECT_EQ(RunLumeno({"reg", "delete", "HKLM\\Software\\Tavoro"}).status, 0);
    EXPECT_EQ(RunLumeno({"reg", "query", kDriverKey}).status, 1);
}

TEST_F(LumenoTest, DebugLevelSetByTheAdministratorTurnsOnTheLog)
{
    ASSERT_EQ(RunLumeno({"reg", "set", kDriverKey, "DebugLevel", "dword", "4"}).status, 0);
    setenv("LUMENO_DRIVER_DIR", (TempPath() + "/nodriver").c_str(), 1);
    auto r = RunLumeno({"model", "list"});
    unsetenv("LUMENO_DRIVER_DIR");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "cannot load the model library")) << r.err;
    const std::string log = testsupport::ReadFile(TempPath() + "/lumeno.log");
    EXPECT_TRUE(Contains(log, "KTPS[ERROR]: modelbinding.cpp(")) << log;
    EXPECT_TRUE(Contains(log, "Cannot load the Printer DLL [name = " + TempPath() + "/nodriver/modellib.fpl, err = 126].\r\n"))
        << log;
}

}  // namespace
