// Layout of the record, the public DEVMODE, the keyword table, GetPrivateDevmode and defaults.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "devmodefixture.h"

using namespace devmodetest;

TEST(DevmodeLayout, RecordAndPublicSizes)
{
    EXPECT_EQ(sizeof(OEMPrivateDevmode), 328u);
    EXPECT_EQ(sizeof(DEVMODEW), 220u);
    EXPECT_EQ(GetPrivateDevmodeSize(), 328u);
    EXPECT_EQ(offsetof(OEMPrivateDevmode, wSeparatorLocation), 258u);
    EXPECT_EQ(offsetof(DEVMODEW, dmCollate), 100u);
}

TEST(DevmodeLayout, HeaderBytesAreDfbfAnd0140)
{
    OEMPrivateDevmode dm = Defaults();
    const BYTE* b = reinterpret_cast<const BYTE*>(&dm);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 4), 4), "DFBF");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 8), 4), "0140");
    EXPECT_EQ(b[0], 0x48);  // 328 little-endian
    EXPECT_EQ(b[1], 0x01);
}

TEST(DevmodeLayout, KeywordTableHas72RowsInOrder)
{
    const DmKeywordEntry* t = GetDmKeywordTable();
    int n = 0;
    std::set<std::string> names;
    for (; t[n].pszKeyword; ++n) {
        names.insert(t[n].pszKeyword);
        const DWORD size = DmKeywordSize(&t[n]);
        if (!t[n].pfnReader) {
            EXPECT_LE(t[n].dwOffset + size, OEM_PRIVATE_DEVMODE_BODY) << t[n].pszKeyword;
        }
    }
    EXPECT_EQ(n, 72);
    EXPECT_EQ(names.size(), 72u);
    EXPECT_STREQ(t[0].pszKeyword, "$JobType");
    EXPECT_STREQ(t[1].pszKeyword, "$ImageRotation");
    EXPECT_STREQ(t[12].pszKeyword, "$UnitMargin");
    EXPECT_EQ(t[12].dwOffset, 286u);
    EXPECT_STREQ(t[32].pszKeyword, "$ColorDensity");
    EXPECT_EQ(t[32].dwType, static_cast<DWORD>(DMT_BINARY));
    EXPECT_EQ(DmKeywordSize(&t[32]), 12u);
    EXPECT_STREQ(t[44].pszKeyword, "$ColorDensity_YellowHigh");
    EXPECT_EQ(t[44].dwOffset, 201u);
    EXPECT_STREQ(t[50].pszKeyword, "$BoxNumber");
    EXPECT_STREQ(t[51].pszKeyword, "$BoxPassword");
    EXPECT_EQ(DmKeywordSize(&t[51]), 29u);
    EXPECT_STREQ(t[52].pszKeyword, "$SeparatorLocation1");
    EXPECT_EQ(t[52].dwOffset, 246u);
    EXPECT_STREQ(t[71].pszKeyword, "$SeparatorLocation20");
    EXPECT_EQ(t[71].dwOffset, 284u);
    EXPECT_EQ(t[72].pszKeyword, nullptr);
    EXPECT_EQ(DmTypeNaturalSize(DMT_LONG), 4u);
    EXPECT_EQ(DmTypeNaturalSize(DMT_SHORT), 2u);
    EXPECT_EQ(DmTypeNaturalSize(DMT_CHAR), 1u);
}

TEST(DevmodeLayout, KeywordOffsetsMatchTheFields)
{
    struct Row {
        const char* kw;
        size_t recordOffset;
    } rows[] = {
        {"$SpecifyDocName", offsetof(OEMPrivateDevmode, bSpecifyDocName)},
        {"$DocumentName", offsetof(OEMPrivateDevmode, szDocumentName)},
        {"$StartPrintTime", offsetof(OEMPrivateDevmode, wStartPrintTime)},
        {"$IntUserSizeName", offsetof(OEMPrivateDevmode, szIntUserSizeName)},
        {"$IntUserPtWidth", offsetof(OEMPrivateDevmode, dwIntUserPtWidth)},
        {"$IntUserPtHeight", offsetof(OEMPrivateDevmode, dwIntUserPtHeight)},
        {"$BannerSheet", offsetof(OEMPrivateDevmode, bBannerSheet)},
        {"$BindMarginLocation", offsetof(OEMPrivateDevmode, bBindMarginLocation)},
        {"$BindMarginFrontWidth", offsetof(OEMPrivateDevmode, dwBindMarginFrontWidth)},
        {"$BindMarginBackWidth", offsetof(OEMPrivateDevmode, dwBindMarginBackWidth)},
        {"$SaddleMarginWidth", offsetof(OEMPrivateDevmode, dwSaddleMarginWidth)},
        {"$MixSizedOrientation", offsetof(OEMPrivateDevmode, bMixSizedOrientation)},
        {"$GraphicsMode", offsetof(OEMPrivateDevmode, bGraphicsMode)},
        {"$ColorBalanceTarget", offsetof(OEMPrivateDevmode, bColorBalanceTarget)},
        {"$ColorDensity", offsetof(OEMPrivateDevmode, cColorDensity)},
        {"$FitToPage", offsetof(OEMPrivateDevmode, wFitToPage)},
        {"$FaxResolution", offsetof(OEMPrivateDevmode, bFaxResolution)},
        {"$FaxReport", offsetof(OEMPrivateDevmode, bFaxReport)},
        {"$SendHeader", offsetof(OEMPrivateDevmode, bSendHeader)},
        {"$MarginShift", offsetof(OEMPrivateDevmode, wMarginShift)},
        {"$BoxNumber", offsetof(OEMPrivateDevmode, szBoxNumber)},
        {"$BoxPassword", offsetof(OEMPrivateDevmode, szBoxPassword)},
        {"$SeparatorLocation1", offsetof(OEMPrivateDevmode, wSeparatorLocation)},
        {"$UnitMargin", offsetof(OEMPrivateDevmode, bUnitMargin)},
        {"$UseDocumentMonitor", offsetof(OEMPrivateDevmode, dwFlags)},
    };
    for (const auto& r : rows) {
        const DmKeywordEntry* e = FindDmKeyword(r.kw);
        ASSERT_NE(e, nullptr) << r.kw;
        EXPECT_EQ(e->dwOffset + 12, r.recordOffset) << r.kw;
    }
}

TEST(DevmodeLayout, DriverExtraOf327HasNoRecordAnd328StartsRightAfterThePublicPart)
{
    alignas(8) BYTE buffer[220 + 400] = {};
    auto* pub = reinterpret_cast<DEVMODEW*>(buffer);
    pub->dmSize = 220;
    pub->dmDriverExtra = 328;
    InitPrivateDevmode(reinterpret_cast<OEMPrivateDevmode*>(buffer + 220));
    EXPECT_EQ(reinterpret_cast<BYTE*>(GetPrivateDevmode(pub)), buffer + 220);
    pub->dmDriverExtra = 327;
    EXPECT_EQ(GetPrivateDevmode(pub), nullptr);
    pub->dmDriverExtra = 0xFFFF;
    EXPECT_EQ(GetPrivateDevmode(pub), nullptr);
    EXPECT_EQ(GetPrivateDevmode(static_cast<DEVMODEW*>(nullptr)), nullptr);
}

TEST(DevmodeLayout, RecordIsTheLast328BytesOfTheDriverExtraArea)
{
    alignas(8) BYTE buffer[220 + 400] = {};
    auto* pub = reinterpret_cast<DEVMODEW*>(buffer);
    pub->dmSize = 220;
    pub->dmDriverExtra = 400;
    auto* rec = reinterpret_cast<OEMPrivateDevmode*>(buffer + 220 + 72);
    InitPrivateDevmode(rec);
    EXPECT_EQ(GetPrivateDevmode(pub), rec);
    const DEVMODEW* cpub = pub;
    EXPECT_EQ(GetPrivateDevmode(cpub), rec);
    rec->dwVersion = 0x30343030;  // "0040"
    EXPECT_EQ(GetPrivateDevmode(pub), nullptr);
    InitPrivateDevmode(rec);
    rec->dwSignature = 0;
    EXPECT_EQ(GetPrivateDevmode(pub), nullptr);
    InitPrivateDevmode(rec);
    rec->dwSize = 327;
    EXPECT_EQ(GetPrivateDevmode(pub), nullptr);
}

TEST(DevmodeLayout, Defaults)
{
    EXPECT_FALSE(InitPrivateDevmode(nullptr));
    OEMPrivateDevmode dm;
    std::memset(&dm, 0xAB, sizeof dm);
    ASSERT_TRUE(InitPrivateDevmode(&dm));
    EXPECT_TRUE(IsValidPrivateDevmode(&dm));
    EXPECT_EQ(dm.dwFlags, DMF_USEDOCUMENTMONITOR | DMF_AUTOFIT | DMF_DISABLEFRAMENUP);
    EXPECT_EQ(dm.wMarginShift, 127);
    EXPECT_EQ(dm.wOwnerStringCode, 0);
    // Every other byte is zero.
    OEMPrivateDevmode expect;
    std::memset(&expect, 0, sizeof expect);
    expect.dwSize = 328;
    expect.dwSignature = OEM_DEVMODE_SIGNATURE;
    expect.dwVersion = OEM_DEVMODE_VERSION;
    expect.dwFlags = 0x01000201;
    expect.wMarginShift = 127;
    EXPECT_EQ(std::memcmp(&dm, &expect, sizeof dm), 0);

    struct {
        const char* kw;
        const char* value;
    } names[] = {{"$JobType", "Normal"},           {"$SpecifyDocName", "Auto"},   {"$BannerSheet", "UsePrinterSetting"},
                 {"$BindMarginLocation", "None"},  {"$MixSizedOrientation", "Portrait"}, {"$UnitMargin", "mm"},
                 {"$GraphicsMode", "General"},     {"$ColorBalanceTarget", "Black"}, {"$FaxResolution", "200x200"},
                 {"$FaxReport", "OnError"},        {"$SendHeader", "True"},        {"$ImageRotation", "None"}};
    for (const auto& n : names) {
        char buf[256] = {};
        DWORD type = 0;
        ASSERT_TRUE(GetDmKeyword(&dm, n.kw, &type, buf, sizeof buf)) << n.kw;
        EXPECT_EQ(type, static_cast<DWORD>(DMT_STRING));
        EXPECT_STREQ(buf, n.value) << n.kw;
    }
}
