#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/devquery.h"
#include "modellib/oupm.h"
#include "platform/spooler.h"
#include "platform/win32.h"
#include "tempdir.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

class OptionDetectTest : public testsupport::IsolatedTest {
protected:
    void SetUp() override
    {
        IsolatedTest::SetUp();
        fixture_ = TempPath() + "/answers";
        setenv("DEVQUERY_FIXTURE", fixture_.c_str(), 1);
        testsupport::WriteFile(fixture_, "");
        module_ = LoadLibraryW(platform::Widen(testsupport::DriverDir() + "modellib.fpl").c_str());
        ASSERT_NE(module_, nullptr);
        oupm_ = GetProcAddressAs<decltype(&OupmFunction)>(module_, "OupmFunction");
    }
    void TearDown() override
    {
        if (printer_) ClosePrinter(printer_);
        FreeLibrary(module_);
        unsetenv("DEVQUERY_FIXTURE");
        IsolatedTest::TearDown();
    }

    void Answers(const std::string& lines) { testsupport::WriteFile(fixture_, lines); }
    std::string Calls() const { return testsupport::ReadFile(fixture_ + ".calls"); }

    // A printer whose "LM_" data the test sets.
    HANDLE Printer()
    {
        if (printer_) return printer_;
        PRINTER_INFO_2W info{};
        std::u16string name = u"Local", port = u"USB001", driver = u"Lumeno 4100DN";
        info.pPrinterName = name.data();
        info.pPortName = port.data();
        info.pDriverName = driver.data();
        DRIVER_INFO_3W drv{};
        drv.pName = driver.data();
        printer_ = AddPrinterWithDriverW(&info, &drv);
        EXPECT_NE(printer_, nullptr);
        return printer_;
    }
    void SetData(const char16_t* name, const void* data, DWORD size)
    {
        ASSERT_EQ(SetPrinterDataW(Printer(), name, REG_BINARY, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    void SetLm(int32_t trays, uint16_t duplex, int32_t memory, uint16_t hardDisk, uint16_t ramDisk)
    {
        SetData(u"LM_InputTray", &trays, 4);
        SetData(u"LM_DuplexModule", &duplex, 2);
        SetData(u"LM_MemorySizeInMByte", &memory, 4);
        SetData(u"LM_HardDisk", &hardDisk, 2);
        SetData(u"LM_RamDisk", &ramDisk, 2);
    }

    // Runs function 1003; an empty library path means the fixture library.
    Pairs Detect(HANDLE printer, const std::string& libraryPath = "")
    {
        OUPM_OPTIONPAIR room[4] = {};
        result_ = {};
        result_.dwPairCount = 99;
        result_.pPairs = room;
        result_.hPrinter = printer;
        std::strcpy(result_.szNetworkAddress, "unchanged");
        const std::string path = libraryPath.empty() ? FixtureLibrary() : libraryPath;
        OUPM_OPTIONQUERY query = {sizeof(OUPM_OPTIONQUERY), path.c_str(), nullptr, 0};
        oupm_(OPMP_FUNCID_GETDEVICEOPTIONS, KTPS_MODEL_LUMENO_4100DN, &query, &result_);
        Pairs pairs;
        for (DWORD i = 0; i < result_.dwPairCount && i < 4; ++i) pairs.emplace_back(room[i].pszKeyword, room[i].pszOption);
        return pairs;
    }
    static std::string FixtureLibrary() { return DEVQUERY_FIXTURE_PATH; }

    OUPM_OPTIONRESULT result_{};
    HMODULE module_ = nullptr;
    decltype(&OupmFunction) oupm_ = nullptr;

private:
    std::string fixture_;
    HANDLE printer_ = nullptr;
};

TEST_F(OptionDetectTest, FromPrinterData)
{
    Answers("string _KTZADC_CommunityName public\ninteger _KTZADC_SNMPVersion 1\n");
    SetLm(3, 1, 512, 0, 1);
    EXPECT_EQ(Detect(Printer()), (Pairs{{"QNPaperTrayConfiguration", "1TrayModule"},
                                        {"QNDuplexOption", "True"},
                                        {"InstalledMemory", "512Meg"},
                                        {"QNHardDisk", "True"}}));
    EXPECT_STREQ(result_.szNetworkAddress, "unchanged");
    EXPECT_STREQ(result_.szCommunity, "public") << "asked even without a device";
    EXPECT_EQ(result_.dwSnmpVersion, 1u);
}

TEST_F(OptionDetectTest, MemoryMapping)
{
    const std::pair<int32_t, const char*> cases[] = {{-5, "256Meg"},   {0, "256Meg"},     {256, "256Meg"},
                                                     {257, "512Meg"},  {768, "768Meg"},   {769, "1280Meg"},
                                                     {1280, "1280Meg"}, {2048, "1280Meg"}};
    for (const auto& [megabytes, option] : cases) {
        SetLm(1, 0, megabytes, 0, 0);
        const Pairs pairs = Detect(Printer());
        ASSERT_EQ(pairs.size(), 4u);
        EXPECT_EQ(pairs[2].second, option) << megabytes;
        EXPECT_EQ(pairs[0].second, "None");
        EXPECT_EQ(pairs[3].second, "False");
    }
}

TEST_F(OptionDetectTest, PrinterDataOfTheWrongSizeStopsTheDetection)
{
    const uint16_t trays = 3;
    SetData(u"LM_InputTray", &trays, 2);
    EXPECT_TRUE(Detect(Printer()).empty());

    const int32_t trays32 = 3;
    SetData(u"LM_InputTray", &trays32, 4);
    EXPECT_EQ(Detect(Printer()), (Pairs{{"QNPaperTrayConfiguration", "1TrayModule"}})) << "no duplex value";
    EXPECT_STREQ(result_.szCommunity, "");
    EXPECT_EQ(result_.dwSnmpVersion, 0u);
}

TEST_F(OptionDetectTest, LiveQuery)
{
    Answers("string _KTZADC_NetworkAddress 10.0.0.5\nboolean DuplexModule 1\ninteger NumberOfInputTray 3\n"
            "integer MemorySizeInMByte 700\nboolean HardDisk 0\nboolean RamDisk 1\n"
            "string _KTZADC_CommunityName lumeno\ninteger _KTZADC_SNMPVersion 3\n");
    EXPECT_EQ(Detect(nullptr), (Pairs{{"QNDuplexOption", "True"},
                                      {"QNPaperTrayConfiguration", "1TrayModule"},
                                      {"InstalledMemory", "768Meg"},
                                      {"QNHardDisk", "True"}}));
    EXPECT_STREQ(result_.szNetworkAddress, "10.0.0.5");
    EXPECT_STREQ(result_.szCommunity, "lumeno");
    EXPECT_EQ(result_.dwSnmpVersion, 3u);
}

TEST_F(OptionDetectTest, LiveQueryWithoutMemoryOrAddress)
{
    Answers("string _KTZADC_NetworkAddress 10.0.0.5\n");
    EXPECT_EQ(Detect(nullptr),
              (Pairs{{"QNDuplexOption", "False"}, {"QNPaperTrayConfiguration", "None"}, {"QNHardDisk", "False"}}));
    Answers("");
    EXPECT_TRUE(Detect(nullptr).empty()) << "no address, no pairs";
    EXPECT_STREQ(result_.szNetworkAddress, "unchanged");
}

TEST_F(OptionDetectTest, OnlyTheFirstLibraryPathIsServed)
{
    Answers("string _KTZADC_NetworkAddress 10.0.0.5\n");
    ASSERT_EQ(Detect(nullptr).size(), 3u);
    const std::string calls = Calls();
    std::string other = FixtureLibrary();
    other.back() = 'O';  // same path in another letter case
    EXPECT_EQ(Detect(nullptr, other).size(), 0u);
    EXPECT_EQ(result_.dwPairCount, 0u);
    EXPECT_EQ(Calls(), calls) << "the library was not called";
}

TEST_F(OptionDetectTest, RequestOfTheWrongSizeDoesNothing)
{
    OUPM_OPTIONPAIR room[4] = {};
    OUPM_OPTIONRESULT result{};
    result.dwPairCount = 7;
    result.pPairs = room;
    const std::string path = FixtureLibrary();
    OUPM_OPTIONQUERY query = {16, path.c_str(), nullptr, 0};
    oupm_(OPMP_FUNCID_GETDEVICEOPTIONS, KTPS_MODEL_LUMENO_4100DN, &query, &result);
    EXPECT_EQ(result.dwPairCount, 0u);
    EXPECT_EQ(Calls(), "");
}

TEST_F(OptionDetectTest, MissingLibraryDegradesToFailedQueries)
{
    SetLm(3, 1, 512, 1, 0);
    EXPECT_EQ(Detect(Printer(), TempPath() + "/no-such-devquery.so").size(), 4u) << "printer data needs no library";
    EXPECT_STREQ(result_.szCommunity, "");
    EXPECT_EQ(result_.dwSnmpVersion, 0u);
}

TEST(DeviceQueryOpen, StepsInOrderAndCloseOnFailure)
{
    testsupport::TempDir dir;
    const std::string fixture = dir.File("answers");
    setenv("DEVQUERY_FIXTURE", fixture.c_str(), 1);
    testsupport::WriteFile(fixture, "");
    DqForgetLibraryPath();
    const std::string path = DEVQUERY_FIXTURE_PATH;
    const DQ_OPEN_PARAMS params = {path.c_str(), "devport.dll", "devmodel.dll", 1033, 1, "10.0.0.9",
                                   "a-community-name-longer-than-32-characters", nullptr, "IP_10.0.0.5",
                                   "Lumeno 4100DN", "1.3.6.1.4.1.47301.8.62.1.19.4.33"};
    HANDLE device = DqOpenForQuery(params);
    EXPECT_NE(device, nullptr);
    EXPECT_EQ(testsupport::ReadFile(fixture + ".calls"),
              "open devport.dll devmodel.dll\nset _KTZADC_LangId 1033\nset _KTZADC_Mode 1\n"
              "set _KTZADC_CommunityName a-community-name-longer-than-32-\n"
              "select IP_10.0.0.5 Lumeno 4100DN 1.3.6.1.4.1.47301.8.62.1.19.4.33\n")
        << "mode 1 sets no try address; the community goes over cut to 32";

    testsupport::WriteFile(fixture + ".calls", "");
    testsupport::WriteFile(fixture, "fail select x\n");
    EXPECT_EQ(DqOpenForQuery(params), nullptr);
    const std::string calls = testsupport::ReadFile(fixture + ".calls");
    EXPECT_NE(calls.find("select IP_10.0.0.5"), std::string::npos);
    EXPECT_TRUE(calls.ends_with("close\n")) << calls;

    const DQ_OPEN_PARAMS other = {"/elsewhere/devquery.so"};
    EXPECT_EQ(DqOpenForQuery(other), nullptr) << "a second library path is refused";
    DqForgetLibraryPath();
    unsetenv("DEVQUERY_FIXTURE");
}

}  // namespace
