// Printer data, pre-configuration, the settings reader and lengths.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/coremain.h"
#include "common/multiunitvalue.h"
#include "common/pdvalue.h"
#include "common/preconfig.h"
#include "common/printerdata.h"
#include "common/settingsreader.h"
#include "platform/spooler.h"
#include "tempdir.h"

namespace {

class SettingsTest : public testsupport::IsolatedTest {
protected:
    void SetUp() override
    {
        IsolatedTest::SetUp();
        ASSERT_TRUE(CoreInitialize(nullptr));
        ppd_ = testsupport::SourceDir() + "/data/ppd/QN4100DN.PPD";
        std::u16string name = u"Test", driver = u"Lumeno 4100DN PS", data = platform::Widen(ppd_), empty;
        PRINTER_INFO_2W info{};
        info.pPrinterName = name.data();
        info.pDriverName = driver.data();
        info.pPortName = empty.data();
        info.Attributes = 0x10;
        DRIVER_INFO_3W drv{};
        drv.pName = driver.data();
        drv.pDataFile = data.data();
        h_ = AddPrinterWithDriverW(&info, &drv);
        ASSERT_NE(h_, nullptr);
    }
    void TearDown() override
    {
        ClosePrinter(h_);
        CoreTerminate();
        IsolatedTest::TearDown();
    }
    HANDLE h_ = nullptr;
    std::string ppd_;
};

TEST_F(SettingsTest, SpoolerDataAndLevels)
{
    DWORD v = 5;
    EXPECT_EQ(SetPrinterDataW(h_, u"Printer Bidi\\BidiLink", REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_SUCCESS);
    DWORD type = 0, needed = 0, out = 0;
    EXPECT_EQ(GetPrinterDataW(h_, u"Printer Bidi\\BidiLink", &type, reinterpret_cast<BYTE*>(&out), 2, &needed),
              ERROR_MORE_DATA);
    EXPECT_EQ(needed, 4u);
    EXPECT_EQ(GetPrinterDataW(h_, u"Printer Bidi\\BidiLink", &type, reinterpret_cast<BYTE*>(&out), 4, &needed),
              ERROR_SUCCESS);
    EXPECT_EQ(out, 5u);
    EXPECT_EQ(type, REG_DWORD);
    for (DWORD level : {1u, 2u, 4u}) {
        GetPrinterW(h_, level, nullptr, 0, &needed);
        std::vector<BYTE> buf(needed);
        EXPECT_TRUE(GetPrinterW(h_, level, buf.data(), needed, &needed)) << level;
    }
    for (DWORD level : {1u, 2u, 3u}) {
        GetPrinterDriverW(h_, nullptr, level, nullptr, 0, &needed);
        std::vector<BYTE> buf(needed);
        ASSERT_TRUE(GetPrinterDriverW(h_, nullptr, level, buf.data(), needed, &needed)) << level;
        if (level == 2) {
            EXPECT_EQ(platform::Narrow(reinterpret_cast<DRIVER_INFO_2W*>(buf.data())->pDataFile), ppd_);
        }
    }
    GetFormW(h_, const_cast<LPWSTR>(u"A4"), 1, nullptr, 0, &needed);
    std::vector<BYTE> form(needed);
    ASSERT_TRUE(GetFormW(h_, const_cast<LPWSTR>(u"A4"), 1, form.data(), needed, &needed));
    EXPECT_EQ(reinterpret_cast<FORM_INFO_1W*>(form.data())->Size.cx, 210000);
    // A handle opened for use only cannot write.
    HANDLE user = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Test"), &user, nullptr));
    EXPECT_EQ(SetPrinterDataW(user, u"X", REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_ACCESS_DENIED);
    // ... but the reader retries as administrator.
    PrinterDataReader reader(user);
    EXPECT_TRUE(reader.Write(u"X", REG_DWORD, &v, 4, PDS_PRINTER));
    ClosePrinter(user);
}

TEST_F(SettingsTest, PrinterDataDefaults)
{
    PrinterDataReader reader(h_);
    EXPECT_EQ(reader.GetJobOwnerChoice(), 7);
    BYTE small[10];
    EXPECT_FALSE(reader.Read(u"OEMJobOwnerName", small, sizeof small, PDS_PRINTER));
    WCHAR name[32];
    EXPECT_TRUE(reader.GetJobOwnerName(name, sizeof name));
    EXPECT_EQ(std::u16string(name), u"UnknownUser");
    const std::u16string big = u"a long stored owner name";
    ASSERT_EQ(SetPrinterDataW(h_, u"OEMJobOwnerName", REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()),
                              static_cast<DWORD>((big.size() + 1) * 2)), ERROR_SUCCESS);
    EXPECT_FALSE(reader.Read(u"OEMJobOwnerName", name, 24, PDS_PRINTER));  // no fall-back to the default
    EXPECT_FALSE(reader.TestEnableFunction(1, 5));
    EXPECT_TRUE(reader.TestEnableFunction(2, 1));
    EXPECT_FALSE(reader.Write(u"OEMNetAddress", REG_SZ, u"", 2, PDS_DEFAULT));
    EXPECT_FALSE(reader.Read(u"OEMNetAddress", name, sizeof name, 4));
    EXPECT_TRUE(reader.SetCapabilityWord(PDCAP_ENCODED_SECRETS));
    EXPECT_TRUE(reader.TestCapability(PDCAP_ENCODED_SECRETS));
    EXPECT_TRUE(reader.GetJobAccountMode());
}

TEST_F(SettingsTest, UserStoreFallsBackToPrinterDefault)
{
    const std::u16string id = u"{11111111-2222-3333-4444-555555555555}";
    ASSERT_EQ(SetPrinterDataW(h_, u"OEMPrinterID", REG_SZ, reinterpret_cast<const BYTE*>(id.c_str()),
                              static_cast<DWORD>((id.size() + 1) * 2)), ERROR_SUCCESS);
    PrinterDataReader reader(h_);
    DWORD v = 9, out = 0;
    ASSERT_TRUE(reader.Write(u"OEMSNMPVersion", REG_DWORD, &v, 4, PDS_PRINTER_DEFAULT));
    EXPECT_TRUE(reader.Read(u"OEMSNMPVersion", &out, 4, PDS_USER));
    EXPECT_EQ(out, 9u);
    v = 3;
    ASSERT_TRUE(reader.Write(u"Printer Bidi\\SNMPVersion", REG_DWORD, &v, 4, PDS_USER));
    EXPECT_TRUE(reader.Read(u"Printer Bidi\\SNMPVersion", &out, 4, PDS_USER));
    EXPECT_EQ(out, 3u);
    EXPECT_TRUE(reader.Delete(u"Printer Bidi\\SNMPVersion"));
}

TEST(AccountInfo, FlagsAndUserId)
{
    const std::u16string list = std::u16string(u"Flags=3") + u'\0' + u"UserId=abc" + u'\0' + u'\0';
    JobAccountRecord r;
    ParseJobAccountInfo(reinterpret_cast<const BYTE*>(list.data()), static_cast<DWORD>(list.size() * 2), &r);
    EXPECT_EQ(r.dwFlags, 3u);
    EXPECT_EQ(std::u16string(r.szUserId), u"abc");
    EXPECT_EQ(r.szAccountId[0], 0);
    ParseJobAccountInfo(nullptr, 0, &r);
    EXPECT_EQ(r.dwFlags, 28u);
}

TEST(FeatureKeyword, Lookup)
{
    const char data[] = "QNHardDisk\0True\0extra\nQNDuplexOption\0False\0\n\0";
    char out[16];
    EXPECT_TRUE(FindFeatureKeywordOption(reinterpret_cast<const BYTE*>(data), sizeof data, "QNDuplexOption", out, sizeof out));
    EXPECT_STREQ(out, "False");
    EXPECT_FALSE(FindFeatureKeywordOption(reinterpret_cast<const BYTE*>(data), sizeof data, "qnharddisk", out, sizeof out));
    EXPECT_FALSE(FindFeatureKeywordOption(reinterpret_cast<const BYTE*>(data), sizeof data, "QNHardDisk", out, 4));
}

PreConfigList Parse(const std::string& text, const char* driver = "Lumeno 4100DN PS")
{
    PreConfigList list;
    list.LoadText(text.data(), text.size(), driver);
    return list;
}

TEST(PreConfig, Rules)
{
    PreConfigList a = Parse("[Lumeno_4100DN_PS]\nSECURE_PRINT=on\n[DEFAULT]\nColorMode=gray\n");
    ASSERT_NE(a.Find("$JobType"), nullptr);
    EXPECT_STREQ(a.Find("$JobType")->szOption, "Secure");
    EXPECT_TRUE(a.Find("$JobType")->bEnforced);
    EXPECT_EQ(a.Find("$JobType")->dwDisplay, PCD_DIMMED);
    EXPECT_STREQ(a.Find("KTHardDisk")->szOption, "True");
    EXPECT_FALSE(a.Find("KTHardDisk")->bEnforced);
    EXPECT_EQ(a.Find("KTColorMode"), nullptr);  // only the driver's section is used
    PreConfigList b = Parse("[DEFAULT]\nDuplex.enforced=duplex_short\nDuplex.enforced=none_duplex\nDuplex.default=1\n");
    EXPECT_STREQ(b.Find("Duplex")->szOption, "DuplexTumble");
    EXPECT_TRUE(b.Find("Duplex")->bEnforced);
    PreConfigList c = Parse("[DEFAULT]\nColorMode=auto_color\n");
    EXPECT_TRUE(c.Find("KTColorMode")->bEnforced);
    EXPECT_STRNE(c.Find("KTColorMode")->szOption, "Black");
    EXPECT_STRNE(c.Find("KTColorMode")->szOption, "Color");
    PreConfigList d = Parse("[default]\nBannerSheet.display=hide\n" + std::string("JobType=") + std::string(64, 'x') + "\n");
    EXPECT_EQ(d.Find("$BannerSheet")->dwDisplay, PCD_HIDE);
    EXPECT_EQ(d.Find("$JobType"), nullptr);
}

TEST_F(SettingsTest, ReaderConversionsAndPreConfig)
{
    OEMPrivateDevmode dm;
    InitPrivateDevmode(&dm);
    dm.wStartPrintTime = 1234;
    PrinterDataReader data(h_);
    SettingsReader plain(&dm, h_, nullptr, &data);
    char sz[256];
    EXPECT_TRUE(plain.GetText("$AutoFit", sz));
    EXPECT_STREQ(sz, "True");
    EXPECT_TRUE(plain.GetText("$StartPrintTime", sz));
    EXPECT_STREQ(sz, "1234");
    DWORD b = 0;
    EXPECT_TRUE(plain.GetBool("$JobType", &b));
    EXPECT_EQ(b, 1u);
    EXPECT_STREQ(plain.Prefix(), "QN");
    auto* pre = new PreConfigList;
    const std::string cfg = "[DEFAULT]\nJobType=secure_print\n";
    pre->LoadText(cfg.data(), cfg.size(), "x");
    SettingsReader enforced(&dm, h_, pre, &data);
    EXPECT_TRUE(enforced.GetText("$JobType", sz));
    EXPECT_STREQ(sz, "Secure");
    char big[80];
    std::memset(big, 'K', sizeof big);
    big[79] = 0;
    EXPECT_FALSE(plain.ReadOption(big, sz, sizeof sz));
    // FeatureKeyword holds the QN keyword; the KT request is mapped.
    const char fk[] = "QNStaple\0None\0\n\0";
    ASSERT_EQ(SetPrinterDataW(h_, u"FeatureKeyword", REG_BINARY, reinterpret_cast<const BYTE*>(fk), sizeof fk), ERROR_SUCCESS);
    EXPECT_TRUE(plain.ReadOption("KTStaple", sz, sizeof sz));
    EXPECT_STREQ(sz, "None");
}

TEST(Convert, Table)
{
    const DWORD on = 0x1000000;
    char sz[16];
    EXPECT_TRUE(ConvertDmValue(DMT_BOOL, &on, 4, DMT_STRING, sz, sizeof sz));
    EXPECT_STREQ(sz, "True");
    const signed char c = -5;
    LONG l = 0;
    EXPECT_TRUE(ConvertDmValue(DMT_CHAR, &c, 1, DMT_LONG, &l, 4));
    EXPECT_EQ(l, -5);
    EXPECT_TRUE(ConvertDmValue(DMT_CHAR, &c, 1, DMT_STRING, sz, sizeof sz));
    EXPECT_STREQ(sz, "-5");
    EXPECT_TRUE(ConvertDmValue(DMT_STRING, "False", 6, DMT_BOOL, &l, 4));
    EXPECT_EQ(l, 0);
    EXPECT_FALSE(ConvertDmValue(DMT_STRING, "1", 2, 11, &l, 4));
    EXPECT_FALSE(ConvertDmValue(DMT_BINARY, "1", 2, DMT_LONG, &l, 4));
    EXPECT_TRUE(ConvertDmValue(DMT_STRING, "abcdef", 7, DMT_STRING, sz, 4));
    EXPECT_STREQ(sz, "abc");
}

TEST(MultiUnit, PrintAndParse)
{
    char sz[64];
    MultiUnitValue v(12500, MUV_MICROMETRE);
    v.Print(sz, sizeof sz, 3, MUV_MILLIMETRE);
    EXPECT_STREQ(sz, "12.500");
    v.Print(sz, sizeof sz, 2, MUV_MICROMETRE);
    EXPECT_STREQ(sz, "12500.00");
    MultiUnitValue w(999, MUV_MICROMETRE);
    w.Print(sz, sizeof sz, 2, MUV_MILLIMETRE);
    EXPECT_STREQ(sz, "1.00");
    w.SetRounding(false);
    w.Print(sz, sizeof sz, 2, MUV_MILLIMETRE);
    EXPECT_STREQ(sz, "0.99");
    MultiUnitValue a4(210, MUV_MILLIMETRE);
    a4.Print(sz, sizeof sz, 0, MUV_POINT);
    EXPECT_STREQ(sz, "595");
    MultiUnitValue p;
    p.Parse(u"2.3", MUV_MILLIMETRE);
    EXPECT_EQ(p.Micrometres(), 2299u);
    p.Parse(u"210.5", MUV_MILLIMETRE);
    EXPECT_EQ(p.Micrometres(), 210500u);
    MultiUnitValue comma(0, MUV_MICROMETRE, u',');
    comma.Parse(u"12,5", MUV_MILLIMETRE);
    EXPECT_EQ(comma.Micrometres(), 12500u);
}

TEST(ProductName, Scan)
{
    const std::string ppd = "*PPD-Adobe: \"4.3\"\n*Product: \"(Lumeno 4100N)\"\n";
    char name[65];
    DWORD cb = sizeof name;
    EXPECT_TRUE(ScanProductName(ppd.data(), ppd.size(), name, &cb));
    EXPECT_STREQ(name, "Lumeno 4100N");
    EXPECT_EQ(cb, 12u);
    cb = 12;
    EXPECT_FALSE(ScanProductName(ppd.data(), ppd.size(), name, &cb));
    EXPECT_EQ(cb, 12u);
    const std::string first = "*Product: \"(X)\"\n";
    cb = sizeof name;
    EXPECT_FALSE(ScanProductName(first.data(), first.size(), name, &cb));
    EXPECT_EQ(PaperSizeForCountry(1), 1);
    EXPECT_EQ(PaperSizeForCountry(593), 9);
    EXPECT_EQ(PaperSizeForCountry(49), 9);
}

}  // namespace
