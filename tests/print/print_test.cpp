// Real documents printed through the lumeno command, the driver host and psrendplug; the
// spool file is checked and its PostScript run by Ghostscript with the printer emulation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "processrun.h"
#include "psdriver.h"
#include "tempdir.h"

namespace {

using testsupport::RunLumeno;

class PrintTest : public testsupport::IsolatedTest {
protected:
    std::string Print(std::vector<std::string> args, int expect = 0)
    {
        const std::string out = TempPath() + "/job" + std::to_string(++n_) + ".prn";
        args.insert(args.begin(), {"print", "--output", out});
        auto r = RunLumeno(args);
        EXPECT_EQ(r.status, expect) << r.err;
        last_err_ = r.err;
        if (expect != 0) return {};
        std::string log;
        setenv("LUMENO_DATA_DIR", testsupport::DriverDir().c_str(), 1);
        EXPECT_TRUE(psdriver::RunGhostscript(out, "nullpage", "", &log)) << log;
        last_gs_ = log;
        return testsupport::ReadFile(out);
    }
    void Data(const std::string& name, const std::string& type, const std::string& value)
    {
        auto r = RunLumeno({"printer", "data", "set", "Lumeno 4100DN", name, type, value});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    static size_t Count(const std::string& s, const std::string& part)
    {
        size_t n = 0;
        for (size_t p = s.find(part); p != std::string::npos; p = s.find(part, p + 1)) ++n;
        return n;
    }
    static bool Has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }
    int n_ = 0;
    std::string last_err_, last_gs_;
};

TEST_F(PrintTest, SampleHeaderFirstThenStreamThenTrailer)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    Data("OEMSupportCapability", "binary", "00000000 00000000 00000000 00000000");
    Data("OEMSupportJCL", "dword", "3");
    Data("OEMSupportBrantel", "dword", "0");
    Data("OEMJobAccountStatus", "binary", "00");
    const std::string job = Print({});
    ASSERT_FALSE(job.empty());
    EXPECT_EQ(job.rfind("\x1B%-12345X@PJL SET STRINGCODESET=UTF8\r\n", 0), 0u);
    EXPECT_TRUE(Has(job, "@PJL SET JOBATTR=\"@NLPP=1\"\r\n@PJL ENTER LANGUAGE=POSTSCRIPT\r\n%!PS-Adobe-3.0"));
    EXPECT_FALSE(Has(job, "JOBNAME"));
    EXPECT_EQ(job.substr(job.size() - 19), "\x1B%-12345X@PJL EOJ\r\n");
    EXPECT_TRUE(Has(last_err_, "pages: 3"));
}

TEST_F(PrintTest, Dialect1HasNoPjl)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    Data("OEMSupportJCL", "dword", "1");
    const std::string job = Print({});
    const size_t ps = job.find("%!PS-Adobe-3.0");
    ASSERT_NE(ps, std::string::npos);
    EXPECT_FALSE(Has(job.substr(0, ps), "@PJL"));
    EXPECT_TRUE(Has(job.substr(0, ps), "@PL>PostScript\r\n"));
    EXPECT_TRUE(Has(job, "@EOJO\r\n"));
}

TEST_F(PrintTest, NoJobControlForDialect0AndEps)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    Data("OEMSupportJCL", "dword", "0");
    std::string job = Print({});
    EXPECT_EQ(job.rfind("%!PS-Adobe-3.0", 0), 0u);
    Data("OEMSupportJCL", "dword", "2");
    job = Print({"-o", "%OutputFormat=EPS"});
    EXPECT_EQ(job.rfind("%!PS-Adobe-3.0", 0), 0u);
    EXPECT_FALSE(Has(job, "@PJL"));
    job = Print({"-o", "%CtrlDAfter=True"});
    EXPECT_TRUE(Has(job, "@PJL ENTER LANGUAGE=POSTSCRIPT"));
    EXPECT_FALSE(Has(job, "@PJL EOJ"));
    EXPECT_TRUE(Has(job, "%%EOF\r\n\x04"));
}

TEST_F(PrintTest, SecureJobDialect2)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    Data("OEMSupportJCL", "dword", "2");
    Data("OEMSupportCapability", "binary", "00000000 00000000 00000000 00000000");
    const std::string job = Print({"-o", "$JobType=Secure", "-o", "$SpecifyDocName=Auto", "--job-info", "17=alice",
                                   "--job-info", "18=1234"});
    EXPECT_TRUE(Has(job, "@PJL SET HOLD=STORE\r\n@PJL SET HOLDTYPE=PRIVATE\r\n@PJL SET HOLDKEY=\"1234\"\r\n"
                         "@PJL SET USERNAME=\"alice\"\r\n@PJL SET JOBNAME=\"sample.ps\"\r\n"))
        << job.substr(0, 600);
}

TEST_F(PrintTest, FragmentsAtTheirPlaces)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    const std::string job = Print({"-o", "$ColorBalanceAdjustment=True", "-o", "$BindMarginLocation=LeftSef", "-o",
                                   "$BindMarginFrontWidth=10000", "-o", "$ImageRotation=All"});
    EXPECT_EQ(Count(job, "setcolorbalance get exec"), 12u);
    EXPECT_EQ(Count(job, "userdict /OEMPluginDict 100 dict dup begin put"), 1u);
    EXPECT_TRUE(Has(job, "3 10.000 4 0.000/Custom/ProcSet findresource/setimageshift get exec"));
    const size_t setup = job.find("%%BeginSetup"), endSetup = job.find("%%EndSetup");
    EXPECT_LT(setup, job.find("setcolorbalance"));
    EXPECT_GT(endSetup, job.find("setimageshift"));
    EXPECT_EQ(Count(job, "OEMPluginDict /VerticalRotation get exec"), 3u);
    EXPECT_TRUE(Has(job, "%%+ procset OEMVerticalRotation 1.0 0"));
    EXPECT_TRUE(Has(last_gs_, "%%[ Custom setimageshift"));
    EXPECT_EQ(Count(last_gs_, "%%[ Custom setcolorbalance"), 12u);
}

TEST_F(PrintTest, NoFragmentsNoBracket)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    const std::string job = Print({"-o", "%PagePerSheet=4"});
    // Only the sheet-orientation call of each new sheet; 4-up puts the three pages on one sheet.
    EXPECT_EQ(Count(job, "setpaperorientation get exec"), 1u);
    const std::string two = Print({"-o", "%PagePerSheet=2"});
    EXPECT_EQ(Count(two, "setpaperorientation get exec"), 2u);
    EXPECT_TRUE(Has(two, "@NLPP=N2"));
}

TEST_F(PrintTest, FitToPageScalesToTarget)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    // Position 3 of the PPD's PageSize list: the A4 pages onto A5.
    const std::string job = Print({"-o", "$FitToPage=3"});
    EXPECT_TRUE(Has(job, "595 842 420 595 "));
    EXPECT_TRUE(Has(job, "OEMPluginDict /FitToPageInit get exec"));
    EXPECT_TRUE(Has(job, "OEMPluginDict /FitToPageSet get exec"));
    EXPECT_TRUE(Has(job, "OEMPluginDict /FitToPage get exec"));
}

TEST_F(PrintTest, LargeStreamBeforeFirstPageKeepsOrder)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    // A prolog over the 4 MiB capture limit: the header still comes first.
    std::string doc = "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%BeginProlog\n";
    const std::string filler = "% filler line of the prolog ......................................................\n";
    while (doc.size() < 5u * 1024 * 1024) doc += filler;
    doc += "%%EndProlog\n%%Page: 1 1\n/Helvetica findfont 20 scalefont setfont 72 700 moveto (big) show showpage\n%%EOF\n";
    testsupport::WriteFile(TempPath() + "/big.ps", doc);
    const std::string job = Print({TempPath() + "/big.ps"});
    EXPECT_EQ(job.rfind("\x1B%-12345X", 0), 0u);
    EXPECT_EQ(Count(job, "@PJL ENTER LANGUAGE"), 1u);
    EXPECT_GT(job.size(), 5u * 1024 * 1024);
}

TEST_F(PrintTest, PreConfigRefusesDFax)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    Data("OEMDisablePSFeatures", "dword", "1");
    Print({"-o", "$JobType=DFax"}, 1);
    EXPECT_TRUE(Has(last_err_, "refused")) << last_err_;
    Print({"-o", "$JobType=Secure"}, 1);
}

TEST_F(PrintTest, HostWithoutPS2PassesStreamUntouched)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    const std::string job = Print({"--no-ps2"});
    EXPECT_EQ(job.rfind("%!PS-Adobe-3.0", 0), 0u);
    EXPECT_FALSE(Has(job, "OEMPluginInsert"));
}

}  // namespace
