#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>
#include <string>

#include "common/debug.h"
#include "corefixture.h"

namespace coretest {
namespace {

class DebugLogTest : public CoreTest {};

TEST_F(DebugLogTest, NoThresholdMeansNoLogFile)
{
    struct Setting {
        const char* what;
        void (*apply)(DebugLogTest*);
    };
    const Setting settings[] = {
        {"absent", [](DebugLogTest*) {}},
        {"0", [](DebugLogTest* t) { t->SetDriverDword(u"DebugLevel", 0); }},
        {"6", [](DebugLogTest* t) { t->SetDriverDword(u"DebugLevel", 6); }},
        {"a string", [](DebugLogTest* t) { t->SetDriverString(u"DebugLevel", u"4"); }},
    };
    for (const Setting& s : settings) {
        SCOPED_TRACE(s.what);
        s.apply(this);
        StartCore();
        for (DWORD level = DBG_NONE; level <= DBG_ASSERT; ++level) KTPS_LOG(level, "level %u", level);
        EXPECT_FALSE(testsupport::FileExists(LogPath()));
        CoreTerminate();
    }
}

TEST_F(DebugLogTest, ThresholdLetsItsLevelAndAboveThrough)
{
    SetDriverDword(u"DebugLevel", 4);
    StartCore();
    for (DWORD level = DBG_INFO; level <= DBG_ASSERT; ++level) KTPS_LOG(level, "level %u", level);
    const std::vector<std::string> lines = LogMessages();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("KTPS[ERROR]: "), std::string::npos);
    EXPECT_NE(lines[1].find("KTPS[ASSERT]: "), std::string::npos);
}

TEST_F(DebugLogTest, LineFormat)
{
    SetDriverDword(u"DebugLevel", 1);
    StartCore();
    const int line = __LINE__ + 1;
    KTPS_LOG(DBG_WARN, "Cannot load [name = %S, err = %d].\n", u"/drv/modellib.fpl", 126);
    DebugOut(DBG_INFO, "C:\\work\\src\\ui\\features.cpp", 77, "Features", "plain");
    DebugOut(DBG_INFO, "", 5, "", "no source");
    const std::string log = Log();
    const std::regex expected(
        "\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2} KTPS\\[WARN\\]: debuglog_test\\.cpp\\(" + std::to_string(line) +
        "\\): Cannot load \\[name = /drv/modellib\\.fpl, err = 126\\]\\.\r\n"
        "\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2} KTPS\\[INFO\\]: features\\.cpp\\(77\\): Features: plain\r\n"
        "\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2} KTPS\\[INFO\\]: no source\r\n");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

TEST_F(DebugLogTest, LongLinesAreCutAt255)
{
    SetDriverDword(u"DebugLevel", 1);
    StartCore();
    const std::string message(400, 'm');
    KTPS_LOG(DBG_INFO, "%s\n", message.c_str());
    const std::vector<std::string> lines = LogMessages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 255u);
    EXPECT_EQ(lines[0].back(), 'm');
}

TEST_F(DebugLogTest, OnlyATrailingLineFeedIsDropped)
{
    SetDriverDword(u"DebugLevel", 1);
    StartCore();
    DebugOut(DBG_INFO, nullptr, 0, nullptr, "one\n");
    DebugOut(DBG_INFO, nullptr, 0, nullptr, "two");
    DebugOut(DBG_INFO, nullptr, 0, nullptr, "three\nfour");
    DebugOut(DBG_INFO, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"KTPS[INFO]: one", "KTPS[INFO]: two", "KTPS[INFO]: three\nfour"}));
}

TEST_F(DebugLogTest, LinesThatCannotBeWrittenAreLost)
{
    SetDriverDword(u"DebugLevel", 1);
    StartCore();
    const std::u16string path = platform::Widen(LogPath());
    HANDLE held = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    KTPS_LOG(DBG_ERROR, "lost");
    CloseHandle(held);
    KTPS_LOG(DBG_ERROR, "kept");
    const std::vector<std::string> lines = LogMessages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("kept"), std::string::npos);

    const std::string longTemp = TempPath() + "/" + std::string(250, 'd');
    ASSERT_EQ(mkdir(longTemp.c_str(), 0700), 0);
    setenv("TMPDIR", longTemp.c_str(), 1);
    KTPS_LOG(DBG_ERROR, "no room");
    EXPECT_FALSE(testsupport::FileExists(longTemp + "/" + platform::Narrow(g_Core.szModuleFile) + ".log"));
}

}  // namespace
}  // namespace coretest
