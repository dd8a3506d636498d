// The job-control trailer of each dialect (the headers are checked end to end in tests/print).
#include <gtest/gtest.h>

#include <string>

#include "renderer/pjlheader.h"

namespace {

TEST(JobTrailer, OnePerDialect)
{
    const struct {
        WORD dialect;
        const char* trailer;
    } cases[] = {
        {JCL_NONE, ""},
        {JCL_ATTRIBUTE, "\x1B%-12345X@EOJO\r\n"},
        {JCL_PJL, "\x1B%-12345X@PJL EOJ\r\n"},
        {JCL_PJL_JOBATTR, "\x1B%-12345X@PJL EOJ\r\n"},
    };
    for (const auto& c : cases) {
        std::string out = "stale";
        ComposeJobTrailer(c.dialect, &out);
        EXPECT_EQ(out, c.trailer) << "dialect " << c.dialect;
    }
}

}  // namespace
