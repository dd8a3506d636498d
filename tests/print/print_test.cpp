// Real documents printed through the lumeno command, the driver host and psrendplug; the
// spool file is checked and its PostScript run by Ghostscript with the printer emulation.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
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
    // The first page's marks as Ghostscript's bbox device measures them, run over the same
    // printer emulation the preview uses: {x0, y0, x1, y1} in points.
    std::vector<double> FirstPageMarks(const std::string& jobPath)
    {
        std::string log;
        EXPECT_TRUE(psdriver::RunGhostscript(jobPath, "bbox", "", &log)) << log;
        const size_t p = log.find("%%HiResBoundingBox:");
        std::vector<double> box(4, 0.0);
        if (p == std::string::npos ||
            std::sscanf(log.c_str() + p + 19, "%lf %lf %lf %lf", &box[0], &box[1], &box[2], &box[3]) != 4)
            ADD_FAILURE() << "no bounding box in: " << log;
        return box;
    }
    std::string LastJobPath() const { return TempPath() + "/job" + std::to_string(n_) + ".prn"; }
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

TEST_F(PrintTest, FitToPageRendersScaledContent)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    Print({});
    const std::vector<double> plain = FirstPageMarks(LastJobPath());
    Print({"-o", "$FitToPage=3"});  // A4 pages onto A5
    const std::vector<double> fitted = FirstPageMarks(LastJobPath());
    const double plainW = plain[2] - plain[0], plainH = plain[3] - plain[1];
    const double fitW = fitted[2] - fitted[0], fitH = fitted[3] - fitted[1];
    ASSERT_GT(plainW, 300.0);  // the first page's frame spans most of the A4 sheet
    // The drawing shrinks by the A5/A4 ratio (about 0.71) in both directions and lies on A5.
    EXPECT_NEAR(fitW / plainW, 420.0 / 595.0, 0.03);
    EXPECT_NEAR(fitH / plainH, 595.0 / 842.0, 0.03);
    EXPECT_GE(fitted[0], 0.0);
    EXPECT_GE(fitted[1], 0.0);
    EXPECT_LE(fitted[2], 420.0);
    EXPECT_LE(fitted[3], 595.0);
}

// Four pages; the third asks for other paper in its page setup (or not at all: the control).
std::string PaperChangeDocument(const std::string& headerMedia, const std::string& thirdPageSetup)
{
    std::string doc = "%!PS-Adobe-3.0\n%%Pages: 4\n" + headerMedia + "%%EndComments\n%%BeginProlog\n%%EndProlog\n";
    for (int page = 1; page <= 4; ++page) {
        const std::string n = std::to_string(page);
        doc += "%%Page: " + n + " " + n + "\n";
        if (page == 3) doc += "%%BeginPageSetup\n" + thirdPageSetup + "%%EndPageSetup\n";
        doc += "/Helvetica findfont 20 scalefont setfont 72 300 moveto (page " + n + ") show showpage\n";
    }
    return doc + "%%EOF\n";
}

TEST_F(PrintTest, PaperChangeStartsNewSheetInTwoUp)
{
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    const std::string a5Feature = "%%BeginFeature: *PageSize A5\n<</PageSize [420 595]>> setpagedevice\n%%EndFeature\n";
    struct Case {
        const char* what;
        std::string headerMedia, thirdPageSetup;
        size_t sheets;           // each new sheet gets one sheet-orientation call
        const char* invocation;  // the host's page-level invocation, if any
    } cases[] = {
        {"no change", "", "", 2, nullptr},
        {"page size feature", "", a5Feature, 3, "%%BeginFeature: *PageSize A5\r\n<</PageSize [420 595]"},
        {"page region feature", "", "%%BeginFeature: *PageRegion A5\n%%EndFeature\n", 3, "*PageSize A5\r\n"},
        {"input slot feature", "", "%%IncludeFeature: *InputSlot Tray2\n", 3, "*InputSlot Tray2\r\n"},
        {"medium by document media", "%%DocumentMedia: Plain 595 842 0 () ()\n%%+ Small 420 595 0 () ()\n",
         "%%PageMedia: Small\n", 3, "*PageSize A5\r\n"},
        {"unknown medium", "", "%%PageMedia: Nowhere\n", 2, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::WriteFile(TempPath() + "/paper.ps", PaperChangeDocument(c.headerMedia, c.thirdPageSetup));
        const std::string job = Print({"-o", "%PagePerSheet=2", TempPath() + "/paper.ps"});
        EXPECT_EQ(Count(job, "setpaperorientation get exec"), c.sheets);
        const size_t third = job.find("%%Page: 3 3"), fourth = job.find("%%Page: 4 4");
        ASSERT_NE(fourth, std::string::npos);
        if (c.invocation) {
            const size_t at = job.find(c.invocation, third);
            EXPECT_LT(at, fourth) << "the change belongs to the third page's setup";
        }
        // The document's own feature code is replaced by the host's, not written twice.
        EXPECT_EQ(Count(job, "<</PageSize [420 595]>> setpagedevice"), 0u);
    }
}

TEST_F(PrintTest, SetupInvocationsFollowOrderDependency)
{
    // The shipped PPD with PageSize moved behind InputSlot (20) and MediaType (25).
    std::string ppd = testsupport::ReadFile(testsupport::DriverDir() + "/QN4100DN.PPD");
    const std::string from = "*OrderDependency: 10 AnySetup *PageSize";
    const size_t at = ppd.find(from);
    ASSERT_NE(at, std::string::npos);
    ppd.replace(at, from.size(), "*OrderDependency: 70 AnySetup *PageSize");
    testsupport::WriteFile(TempPath() + "/reordered.ppd", ppd);
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN"}).status, 0);
    ASSERT_EQ(RunLumeno({"printer", "add", "Reordered", "--ppd", TempPath() + "/reordered.ppd"}).status, 0);

    const std::string shipped = Print({});
    EXPECT_LT(shipped.find("%%BeginFeature: *PageSize"), shipped.find("%%BeginFeature: *InputSlot"));
    const std::string reordered = Print({"-P", "Reordered"});
    const size_t size = reordered.find("%%BeginFeature: *PageSize");
    ASSERT_NE(size, std::string::npos);
    EXPECT_GT(size, reordered.find("%%BeginFeature: *InputSlot"));
    EXPECT_GT(size, reordered.find("%%BeginFeature: *MediaType"));
}

// A raw TCP port on loopback that takes one connection and keeps what arrives.
class LoopbackListener {
public:
    LoopbackListener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || ::listen(fd_, 1) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) return;
            char buf[65536];
            for (ssize_t n; (n = ::read(c, buf, sizeof(buf))) > 0;) received_.append(buf, static_cast<size_t>(n));
            ::close(c);
        });
    }
    ~LoopbackListener()
    {
        if (thread_.joinable()) {
            ::shutdown(fd_, SHUT_RDWR);
            thread_.join();
        }
        if (fd_ >= 0) ::close(fd_);
    }
    int Port() const { return port_; }
    // Waits for the sender to close the connection.
    const std::string& Received()
    {
        if (thread_.joinable()) thread_.join();
        return received_;
    }

private:
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::string received_;
};

// A job with the values of its header's DATE and TIME comments blanked.
std::string WithoutClock(std::string job)
{
    for (const char* key : {"@PJL COMMENT DATE=", "@PJL COMMENT TIME="}) {
        const size_t at = job.find(key);
        if (at == std::string::npos) continue;
        const size_t value = at + std::strlen(key), end = job.find("\r\n", value);
        job.replace(value, end - value, std::string(end - value, '-'));
    }
    return job;
}

TEST_F(PrintTest, SocketPortReceivesExactlyTheJob)
{
    LoopbackListener listener;
    ASSERT_NE(listener.Port(), 0);
    const std::string port = "socket://127.0.0.1:" + std::to_string(listener.Port());
    ASSERT_EQ(RunLumeno({"printer", "add", "Lumeno 4100DN", "--port", port}).status, 0);
    Data("OEMSupportJCL", "dword", "2");
    const auto r = RunLumeno({"print"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& job = listener.Received();
    // The same job written to a file is the reference; only the header's clock may differ.
    const std::string file = Print({});
    EXPECT_EQ(job.size(), file.size());
    EXPECT_EQ(WithoutClock(job), WithoutClock(file));
    EXPECT_EQ(job.rfind("\x1B%-12345X@PJL", 0), 0u);
    EXPECT_EQ(job.substr(job.size() - 19), "\x1B%-12345X@PJL EOJ\r\n");
    EXPECT_TRUE(Has(r.err, "bytes written: " + std::to_string(job.size()))) << r.err;
    EXPECT_TRUE(Has(r.err, port)) << r.err;
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
