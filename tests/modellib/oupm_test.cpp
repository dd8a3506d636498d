#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "modellib/oupm.h"
#include "platform/win32.h"
#include "tempdir.h"

namespace {

// Loads the shipped model library the way the plug-ins do, with its own store and temp dir.
class OupmTest : public testsupport::IsolatedTest {
protected:
    void SetUp() override
    {
        IsolatedTest::SetUp();
        module_ = LoadLibraryW(platform::Widen(testsupport::DriverDir() + "modellib.fpl").c_str());
        ASSERT_NE(module_, nullptr);
        oupm_ = GetProcAddressAs<decltype(&OupmFunction)>(module_, "OupmFunction");
        ASSERT_NE(oupm_, nullptr);
    }
    void TearDown() override
    {
        FreeLibrary(module_);
        IsolatedTest::TearDown();
    }
    DWORD Supported(DWORD function, WORD model)
    {
        DWORD answer = 0xFFFF;
        oupm_(OUPF_FUNCID_ISSUPPORTED, model, reinterpret_cast<void*>(static_cast<uintptr_t>(function)), &answer);
        return answer;
    }
    template <typename T>
    T Ask(DWORD function, WORD model, const void* in = nullptr, T initial = T{})
    {
        T answer = initial;
        oupm_(function, model, const_cast<void*>(in), &answer);
        return answer;
    }

    HMODULE module_ = nullptr;
    decltype(&OupmFunction) oupm_ = nullptr;
};

constexpr WORD kN = KTPS_MODEL_LUMENO_4100N;
constexpr WORD kDN = KTPS_MODEL_LUMENO_4100DN;

TEST_F(OupmTest, SupportQuery)
{
    const DWORD listed[] = {0, 1, 102, 103, 105, 108, 400, 450, 1003, 605, 1002, 1001, 1004, 1005, 1006, 1007};
    for (WORD model : {kN, kDN}) {
        for (DWORD f : listed) EXPECT_EQ(Supported(f, model), 1u) << f;
        for (DWORD f : {2u, 3u, 4u, 7u, 101u, 109u, 600u, 601u, 9999u}) EXPECT_EQ(Supported(f, model), 0u) << f;
    }
    EXPECT_EQ(Supported(1, 0), 1u) << "function 1 needs no model";
    EXPECT_EQ(Supported(1001, 0), 0u);
    EXPECT_EQ(Supported(102, 1234), 0u);
}

TEST_F(OupmTest, ProductNames)
{
    EXPECT_EQ(Ask<WORD>(KTPS_PRNFUNC_GETPRINTERTYPE, 0, "Lumeno 4100DN"), kDN);
    EXPECT_EQ(Ask<WORD>(KTPS_PRNFUNC_GETPRINTERTYPE, 0, "Lumeno 4100N"), kN);
    EXPECT_EQ(Ask<WORD>(KTPS_PRNFUNC_GETPRINTERTYPE, 0, "lumeno 4100dn", 7), 0);
    EXPECT_EQ(Ask<WORD>(KTPS_PRNFUNC_GETPRINTERTYPE, 0, "Lumeno 4100DN ", 7), 0);
}

TEST_F(OupmTest, ModelAnswers)
{
    struct Case {
        WORD model;
        WORD jcl, brantel, secure, word109;
        DWORD capability, options, hardDisk;
    };
    const Case cases[] = {
        {kN, 3, 0, 3, 0, 0x08A92E7C, 4, 0},
        {kDN, 3, 0, 3, 0, 0x08A92E7C, 4, 0},
        {4321, 0, 0, 0, 0, 0, 0, 0},  // unknown: the end record's zeros
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        EXPECT_EQ(Ask<WORD>(OUPF_FUNCID_GETSUPPORTTYPE_JCL, c.model, nullptr, 9), c.jcl);
        EXPECT_EQ(Ask<WORD>(OUPF_FUNCID_GETSUPPORTTYPE_BRANTEL, c.model, nullptr, 9), c.brantel);
        EXPECT_EQ(Ask<WORD>(OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT, c.model, nullptr, 9), c.secure);
        EXPECT_EQ(Ask<WORD>(OUPF_FUNCID_GETWORD109, c.model, nullptr, 9), c.word109);
        EXPECT_EQ(Ask<DWORD>(OUPF_FUNCID_GETCAPABILITY, c.model, nullptr, 9), c.capability);
        EXPECT_EQ(Ask<DWORD>(OPMP_FUNCID_GETDEVICEOPTIONNUM, c.model, nullptr, 9), c.options);
        EXPECT_EQ(Ask<DWORD>(OUPF_FUNCID_GETHARDDISKINSTALLED, c.model, nullptr, 9), c.hardDisk);
    }
}

TEST_F(OupmTest, StringAnswers)
{
    char buffer[OUPM_STRING_BUFFER_SIZE];
    std::memset(buffer, 'x', sizeof buffer);
    oupm_(OUPF_FUNCID_GETHARDDISKKEYWORD, kDN, nullptr, buffer);
    EXPECT_STREQ(buffer, "QNHardDisk");
    oupm_(OUPF_FUNCID_GETHARDDISKKEYWORD, 4321, nullptr, buffer);
    EXPECT_STREQ(buffer, "");
    std::memset(buffer, 'x', sizeof buffer);
    oupm_(OUPF_FUNCID_GETSTRINGPAIR1, kDN, nullptr, buffer);
    EXPECT_STREQ(buffer, "") << "no string-pair table";
    EXPECT_EQ(Ask<DWORD>(OUPF_FUNCID_COMPARESTRINGPAIR1, kDN, "anything", 9), 0u);
    EXPECT_EQ(Ask<DWORD>(OUPF_FUNCID_COMPARESTRINGPAIR2, kDN, "anything", 9), 0u);
}

TEST_F(OupmTest, FormTrayCodes)
{
    EXPECT_EQ(Ask<WORD>(OUPF_FUNCID_GETFORMTRAYCODE, kDN, "*UseFormTrayTable", 9), 0);
    EXPECT_EQ(Ask<WORD>(OUPF_FUNCID_GETFORMTRAYCODE, kDN, "*UseFormTrayTables", 9), 11);
    EXPECT_EQ(Ask<WORD>(OUPF_FUNCID_GETFORMTRAYCODE, kN, "Tray1", 9), 11);
    const OUPM_KEYWORD_PAIR pair = {"Tray1", "Letter"};
    EXPECT_EQ(Ask<WORD>(OUPF_FUNCID_GETFORMTRAYCODE2, kDN, &pair, 9), 11);
}

TEST_F(OupmTest, TextLimitTables)
{
    const auto* a = Ask<const OUPM_FIELDLIMIT*>(OUPF_FUNCID_GETTEXTLIMITS, kDN);
    ASSERT_NE(a, nullptr);
    const OUPM_FIELDLIMIT expectedA[] = {{10206, 19, 12, 0, 1, 32}, {10208, 3, 0, 0, 4, 12}, {11104, 19, 12, 0, 1, 8},
                                         {11106, 1, 0, 0, 0, 12},   {11110, 19, 0, 0, 0, 12}, {12603, 19, 12, 0, 1, 32},
                                         {0, 0, 0, 0, 0, 0}};
    EXPECT_EQ(std::memcmp(a, expectedA, sizeof expectedA), 0);
    const auto* b = Ask<const OUPM_FIELDLIMIT*>(OUPF_FUNCID_GETJOBOWNERLIMITS, kN);
    ASSERT_NE(b, nullptr);
    const OUPM_FIELDLIMIT expectedB[] = {
        {8, 19, 0, 0, 0, 12}, {7, 19, 2, 0, 0, 32}, {1, 0, 12, 0, 1, 32}, {2, 0, 0, 0, 1, 32}, {0, 0, 0, 0, 0, 0}};
    EXPECT_EQ(std::memcmp(b, expectedB, sizeof expectedB), 0);
    EXPECT_EQ(Ask<const OUPM_FIELDLIMIT*>(OUPF_FUNCID_GETTEXTLIMITS, 4321), nullptr);
}

TEST_F(OupmTest, DeviceQueryInfoNeedsTheRightSize)
{
    OUPM_DEVICEQUERYINFO info = {sizeof(OUPM_DEVICEQUERYINFO), nullptr, nullptr, nullptr};
    oupm_(OPMP_FUNCID_GETDEVICEQUERYINFO, kDN, nullptr, &info);
    ASSERT_NE(info.pszDeviceComponent, nullptr);
    EXPECT_STREQ(info.pszDeviceComponent, "devmodel.dll");
    EXPECT_STREQ(info.pszPrivateMib, "1.3.6.1.4.1.47301.8.62.1.19.4.33");
    EXPECT_STREQ(info.pszThird, "");

    OUPM_DEVICEQUERYINFO wrong = {16, nullptr, nullptr, nullptr};
    oupm_(OPMP_FUNCID_GETDEVICEQUERYINFO, kDN, nullptr, &wrong);
    EXPECT_EQ(wrong.pszDeviceComponent, nullptr);
    EXPECT_EQ(wrong.dwSize, 16u);
}

TEST_F(OupmTest, PictureKeywordsCopiedOnlyWhole)
{
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    DWORD size = 25;
    oupm_(OUPF_FUNCID_GETPICTUREKEYWORDS, kDN, &size, buffer);
    EXPECT_EQ(buffer[0], 'x') << "25 bytes cannot hold the list";
    size = 26;
    oupm_(OUPF_FUNCID_GETPICTUREKEYWORDS, kDN, &size, buffer);
    EXPECT_EQ(std::string(buffer, 26), std::string("KTPaperTrayConfiguration\0\0", 26));
    EXPECT_EQ(buffer[26], 'x');
}

TEST_F(OupmTest, PictureFromOptionPairs)
{
    struct Case {
        std::string pairs;  // without the final NUL, which Ask's string adds
        DWORD picture;
    };
    const Case cases[] = {
        {std::string("KTPaperTrayConfiguration\0001TrayModule\0", 38), IDB_DEVICE_TRAY_MODULE},
        {std::string("KTDuplexOption\0True\0KTPaperTrayConfiguration\0None\0", 51), IDB_DEVICE_NO_TRAY},
        {std::string("KTDuplexOption\0True\0", 20), 0},
        {std::string("KTPaperTrayConfiguration\0Other\0", 31), 0},
        // The keyword standing at an option position does not count.
        {std::string("X\0KTPaperTrayConfiguration\0None\0", 32), 0},
        {std::string("", 0), 0},
    };
    for (const Case& c : cases) {
        const std::string list = c.pairs + std::string(1, '\0');
        EXPECT_EQ(Ask<DWORD>(OUPF_FUNCID_GETPICTUREID, kDN, list.c_str(), 9), c.picture) << c.pairs.size();
    }
    // A list longer than the lookup's limit reads as empty.
    std::string huge = "KTPaperTrayConfiguration";
    huge.push_back('\0');
    huge += std::string(4000, 'n');
    huge += std::string("\0\0", 2);
    EXPECT_EQ(Ask<DWORD>(OUPF_FUNCID_GETPICTUREID, kDN, huge.c_str(), 9), 0u);
}

TEST_F(OupmTest, UnknownFunctionsWriteNothing)
{
    for (DWORD f : {8u, 101u, 104u, 110u, 500u, 999u, 2000u}) EXPECT_EQ(Ask<DWORD>(f, kDN, nullptr, 0xC0FFEE), 0xC0FFEEu) << f;
}

TEST_F(OupmTest, LanguageAndVersionResources)
{
    WCHAR text[64];
    EXPECT_EQ(LoadStringW(module_, IDS_LANGUAGE_ID, text, 64), 4);
    EXPECT_EQ(std::u16string(text), u"1033");
    ASSERT_GT(LoadStringW(module_, 1, text, 64), 0);
    EXPECT_EQ(std::u16string(text), u"Software\\Tavoro\\Lumeno 4100\\PostScript Printer Driver\\");
    VS_FIXEDFILEINFO info{};
    ASSERT_TRUE(GetModuleFixedVersion(module_, &info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00010000u);
    ASSERT_TRUE(GetModuleVersionString(module_, "OriginalFilename", text, 64));
    EXPECT_EQ(std::u16string(text), u"modellib.fpl");
}

}  // namespace
