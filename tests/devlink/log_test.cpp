#include <gtest/gtest.h>

#include "log/log.h"
#include "tempdir.h"

using namespace devlink;

TEST(DevlinkLog, InertByDefault) {
    IPmcLogChannel* c = pmc_log_registry()->get_channel("snmp");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c, pmc_log_registry()->get_channel("snmp"));
    EXPECT_EQ(c, pmc_log_snmp());
    EXPECT_EQ(c->get_mask(), 0u);
    testing::internal::CaptureStdout();
    EXPECT_EQ(c->log(PMC_LOG_ERROR, "nothing %d", 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(c->set_base(8), -2);
}

TEST(DevlinkLog, FileSinkWritesLines) {
    testsupport::TempDir dir;
    IPmcLogChannel* c = pmc_log_registry()->get_channel("test-file");
    long r = 0;
    IPmcLogSink* s = pmc_log_registry()->create_sink("file", "ExtentionName", dir.File("log.txt").c_str(), &r);
    ASSERT_NE(s, nullptr);
    c->add_sink(s);
    c->set_mask(PMC_LOG_ERROR);
    c->log(PMC_LOG_ERROR, "hello %s", "world");
    c->log(PMC_LOG_DEBUG, "not written");
    std::string text = testsupport::ReadFile(dir.File("log.txt"));
    EXPECT_NE(text.find("test-file       , Error, hello world"), std::string::npos) << text;
    EXPECT_EQ(text.find("not written"), std::string::npos);
    void* p = nullptr;
    EXPECT_EQ(c->query_interface("00000000-0000-0000-0000-000000000000", &p), -4);
    EXPECT_EQ(p, nullptr);
    c->set_mask(0);
}
