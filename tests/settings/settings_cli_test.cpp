// The printer, settings and preconfig commands.
#include <gtest/gtest.h>

#include "processrun.h"
#include "tempdir.h"

namespace {

using testsupport::RunLumeno;

class SettingsCli : public testsupport::IsolatedTest {};

TEST_F(SettingsCli, PrinterAndSettings)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "P", "--model", "Lumeno 4100N"}).status, 0);
    EXPECT_NE(RunLumeno({"printer", "list"}).out.find("Lumeno 4100N PS"), std::string::npos);
    EXPECT_EQ(RunLumeno({"printer", "add", "P"}).status, 1);
    EXPECT_EQ(RunLumeno({"printer", "data", "set", "P", "Printer Bidi\\BidiLink", "dword", "1"}).status, 0);
    EXPECT_NE(RunLumeno({"printer", "data", "get", "P", "Printer Bidi\\BidiLink"}).out.find("0x1"), std::string::npos);
    EXPECT_EQ(RunLumeno({"settings", "set", "--printer", "P", "$JobType", "Proof"}).status, 0);
    EXPECT_EQ(RunLumeno({"settings", "get", "--printer", "P", "$JobType"}).out, "Proof\n");
    EXPECT_EQ(RunLumeno({"settings", "set", "--printer", "P", "$JobType", "proof"}).status, 1);
    EXPECT_EQ(RunLumeno({"settings", "set", "--printer", "P", "KTColorMode", "Black"}).status, 0);
    EXPECT_EQ(RunLumeno({"settings", "get", "--printer", "P", "KTColorMode"}).out, "Black\n");
    EXPECT_EQ(RunLumeno({"settings", "get", "--printer", "P", "KTDuplexOption"}).out, "False\n");
    EXPECT_EQ(RunLumeno({"settings", "get", "--printer", "Q", "$JobType"}).status, 1);
    EXPECT_EQ(RunLumeno({"settings", "get", "$JobType"}).out, "Normal\n");  // the default printer
    EXPECT_NE(RunLumeno({"settings", "show"}).out.find("$MarginShift"), std::string::npos);
    EXPECT_EQ(RunLumeno({"preconfig", "show"}).status, 0);
    EXPECT_EQ(RunLumeno({"printer", "delete", "P"}).status, 0);
}

}  // namespace
