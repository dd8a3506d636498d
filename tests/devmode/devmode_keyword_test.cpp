// GetDmKeyword / SetDmKeyword rules, the custom keywords, merge and the DevMode request.
#include <gtest/gtest.h>

#include "devmodefixture.h"

using namespace devmodetest;

namespace {

std::string ReadText(const OEMPrivateDevmode& dm, const char* kw)
{
    char buf[256] = {};
    return GetDmKeyword(&dm, kw, nullptr, buf, sizeof buf) ? std::string(buf) : std::string("<fail>");
}

DWORD ReadBool(const OEMPrivateDevmode& dm, const char* kw)
{
    DWORD v = 0xDEAD;
    EXPECT_TRUE(GetDmKeyword(&dm, kw, nullptr, &v, 4));
    return v;
}

}  // namespace

class DevmodeKeywords : public CoreFixture {};

TEST_F(DevmodeKeywords, UnknownAndNullFail)
{
    OEMPrivateDevmode dm = Defaults();
    char buf[16];
    DWORD type = 77;
    EXPECT_FALSE(GetDmKeyword(&dm, "$NoSuchKeyword", &type, buf, sizeof buf));
    EXPECT_EQ(type, 77u);
    EXPECT_FALSE(GetDmKeyword(&dm, "$jobtype", &type, buf, sizeof buf));  // case-sensitive
    EXPECT_FALSE(GetDmKeyword(nullptr, "$JobType", &type, buf, sizeof buf));
    EXPECT_FALSE(GetDmKeyword(&dm, nullptr, &type, buf, sizeof buf));
    EXPECT_FALSE(SetDmKeyword(&dm, "$NoSuchKeyword", "x"));
    EXPECT_FALSE(SetDmKeyword(nullptr, "$JobType", "Secure"));
    // Type only, without a buffer.
    EXPECT_TRUE(GetDmKeyword(&dm, "$DocumentName", &type, nullptr, 0));
    EXPECT_EQ(type, static_cast<DWORD>(DMT_WSTRING));
    EXPECT_TRUE(GetDmKeyword(&dm, "$AutoFit", &type, nullptr, 0));
    EXPECT_EQ(type, static_cast<DWORD>(DMT_BOOL));
    // Nothing changed anywhere.
    OEMPrivateDevmode d0 = Defaults();
    EXPECT_EQ(std::memcmp(&dm, &d0, sizeof dm), 0);
}

TEST_F(DevmodeKeywords, JobTypeProofOverSecureKeepsOtherFlags)
{
    OEMPrivateDevmode dm = Defaults();
    dm.dwFlags |= DMF_JOB_SECURE | DMF_SADDLEMARGIN | 0x80000000u;
    ASSERT_TRUE(SetDmKeyword(&dm, "$JobType", "Proof"));
    EXPECT_EQ(dm.dwFlags & DMF_JOBTYPE_MASK, DMF_JOB_PROOF);
    EXPECT_EQ(dm.dwFlags & ~DMF_JOBTYPE_MASK, 0x80000000u | DMF_SADDLEMARGIN | 0x01000201u);
    EXPECT_EQ(ReadText(dm, "$JobType"), "Proof");
    ASSERT_TRUE(SetDmKeyword(&dm, "$JobType", "Normal"));
    EXPECT_EQ(dm.dwFlags & DMF_JOBTYPE_MASK, 0u);
    const DWORD before = dm.dwFlags;
    EXPECT_FALSE(SetDmKeyword(&dm, "$JobType", "proof"));
    EXPECT_FALSE(SetDmKeyword(&dm, "$JobType", "Secure "));
    EXPECT_EQ(dm.dwFlags, before);
}

TEST_F(DevmodeKeywords, JobTypeWritesAndReadsEveryName)
{
    const char* names[] = {"Normal", "Secure", "Proof", "Delay", "DFax", "Box", "Hi_Secure", "MailBox"};
    const DWORD bits[] = {0, 0x4, 0x8, 0x40, 0x8000, 0x200000, 0x4000000, 0x2000000};
    for (int i = 0; i < 8; ++i) {
        OEMPrivateDevmode dm = Defaults();
        ASSERT_TRUE(SetDmKeyword(&dm, "$JobType", names[i]));
        EXPECT_EQ(dm.dwFlags & DMF_JOBTYPE_MASK, bits[i]);
        EXPECT_EQ(ReadText(dm, "$JobType"), names[i]);
    }
}

TEST_F(DevmodeKeywords, JobTypeReaderNamesTheFirstBitInOrder)
{
    OEMPrivateDevmode dm = Defaults();
    dm.dwFlags |= DMF_JOB_SECURE | DMF_JOB_BOX;
    EXPECT_EQ(ReadText(dm, "$JobType"), "Secure");
    dm.dwFlags = DMF_JOB_MAILBOX | DMF_JOB_HI_SECURE;
    EXPECT_EQ(ReadText(dm, "$JobType"), "Hi_Secure");
    // The buffer must hold name and terminator.
    dm.dwFlags = DMF_JOB_SECURE;
    char buf[7] = {};
    EXPECT_TRUE(GetDmKeyword(&dm, "$JobType", nullptr, buf, 7));
    EXPECT_FALSE(GetDmKeyword(&dm, "$JobType", nullptr, buf, 6));
}

TEST_F(DevmodeKeywords, ImageRotation)
{
    OEMPrivateDevmode dm = Defaults();
    EXPECT_EQ(ReadText(dm, "$ImageRotation"), "None");
    ASSERT_TRUE(SetDmKeyword(&dm, "$ImageRotation", "LandOnly"));
    EXPECT_EQ(dm.wImageRotation, 2);
    EXPECT_TRUE(dm.dwFlags & DMF_IMAGEROTATION);
    EXPECT_EQ(ReadText(dm, "$ImageRotation"), "LandOnly");
    ASSERT_TRUE(SetDmKeyword(&dm, "$ImageRotation", "PortOnly"));
    EXPECT_EQ(dm.wImageRotation, 1);
    ASSERT_TRUE(SetDmKeyword(&dm, "$ImageRotation", "All"));
    EXPECT_EQ(dm.wImageRotation, 0);
    EXPECT_EQ(ReadText(dm, "$ImageRotation"), "All");
    ASSERT_TRUE(SetDmKeyword(&dm, "$ImageRotation", "None"));
    EXPECT_FALSE(dm.dwFlags & DMF_IMAGEROTATION);
    EXPECT_EQ(ReadText(dm, "$ImageRotation"), "None");
    dm.dwFlags |= DMF_IMAGEROTATION;
    dm.wImageRotation = 3;
    EXPECT_EQ(ReadText(dm, "$ImageRotation"), "<fail>");
    const OEMPrivateDevmode before = dm;
    EXPECT_FALSE(SetDmKeyword(&dm, "$ImageRotation", "Sideways"));
    EXPECT_EQ(std::memcmp(&dm, &before, sizeof dm), 0);
    EXPECT_NE(Log().find("KTPS[ERROR]: devmode.cpp("), std::string::npos);
    EXPECT_NE(Log().find("Invalid Option Keyword."), std::string::npos);
}

TEST_F(DevmodeKeywords, ListedOptionsByExactName)
{
    OEMPrivateDevmode dm = Defaults();
    ASSERT_TRUE(SetDmKeyword(&dm, "$BindMarginLocation", "RightLef"));
    EXPECT_EQ(dm.bBindMarginLocation, 7);
    EXPECT_FALSE(SetDmKeyword(&dm, "$BindMarginLocation", "rightlef"));
    EXPECT_FALSE(SetDmKeyword(&dm, "$BindMarginLocation", "bottomsef"));
    EXPECT_EQ(dm.bBindMarginLocation, 7);
    EXPECT_EQ(ReadText(dm, "$BindMarginLocation"), "RightLef");
    ASSERT_TRUE(SetDmKeyword(&dm, "$FaxResolution", "600x600"));
    EXPECT_EQ(dm.bFaxResolution, 3);
    ASSERT_TRUE(SetDmKeyword(&dm, "$UnitMargin", "inch"));
    EXPECT_EQ(dm.bUnitMargin, 1);
    ASSERT_TRUE(SetDmKeyword(&dm, "$SendHeader", "False"));
    EXPECT_EQ(ReadText(dm, "$SendHeader"), "False");
    // A stored index without a name reads as a failure.
    dm.bGraphicsMode = 2;
    EXPECT_EQ(ReadText(dm, "$GraphicsMode"), "<fail>");
    // Name plus terminator must fit.
    char buf[9];
    dm.bBindMarginLocation = 7;
    EXPECT_TRUE(GetDmKeyword(&dm, "$BindMarginLocation", nullptr, buf, 9));
    EXPECT_FALSE(GetDmKeyword(&dm, "$BindMarginLocation", nullptr, buf, 8));
}

TEST_F(DevmodeKeywords, BooleansAreMaskedFlagWords)
{
    OEMPrivateDevmode dm = Defaults();
    EXPECT_EQ(ReadBool(dm, "$AutoFit"), 0x1000000u);
    EXPECT_EQ(ReadBool(dm, "$SaddleMargin"), 0u);
    const DWORD on = 5, off = 0;
    ASSERT_TRUE(SetDmKeyword(&dm, "$SaddleMargin", &on));
    EXPECT_EQ(dm.dwFlags & DMF_SADDLEMARGIN, DMF_SADDLEMARGIN);
    ASSERT_TRUE(SetDmKeyword(&dm, "$AutoFit", &off));
    EXPECT_EQ(dm.dwFlags & DMF_AUTOFIT, 0u);
    DWORD v;
    EXPECT_FALSE(GetDmKeyword(&dm, "$AutoFit", nullptr, &v, 3));
}

TEST_F(DevmodeKeywords, RawValuesNeedALargerBuffer)
{
    OEMPrivateDevmode dm = Defaults();
    const DWORD width = 0x12345678;
    ASSERT_TRUE(SetDmKeyword(&dm, "$IntUserPtWidth", &width));
    EXPECT_EQ(dm.dwIntUserPtWidth, width);
    BYTE buf[256];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_FALSE(GetDmKeyword(&dm, "$IntUserPtWidth", nullptr, buf, 4));
    EXPECT_EQ(buf[0], 0xEE);  // nothing copied
    EXPECT_TRUE(GetDmKeyword(&dm, "$IntUserPtWidth", nullptr, buf, 256));
    DWORD got;
    std::memcpy(&got, buf, 4);
    EXPECT_EQ(got, width);
    EXPECT_EQ(buf[4], 0xEE);  // exactly 4 bytes
    EXPECT_TRUE(GetDmKeyword(&dm, "$IntUserPtWidth", nullptr, buf, 5));

    const signed char c = -3;
    ASSERT_TRUE(SetDmKeyword(&dm, "$ColorDensity_MagentaMiddle", &c));
    EXPECT_EQ(dm.cColorDensity[7], -3);
    signed char all[12] = {1, 2, 3, 4, 5, 6, -1, -2, -3, -4, -5, -6};
    ASSERT_TRUE(SetDmKeyword(&dm, "$ColorDensity", all));
    EXPECT_EQ(std::memcmp(dm.cColorDensity, all, 12), 0);

    char16_t name[25] = u"Quarterly report";
    ASSERT_TRUE(SetDmKeyword(&dm, "$DocumentName", name));
    EXPECT_EQ(WideAt(dm.szDocumentName, 25), u"Quarterly report");
    char box[4] = {'1', '2', '3', '4'};
    ASSERT_TRUE(SetDmKeyword(&dm, "$BoxNumber", box));
    EXPECT_EQ(std::string(dm.szBoxNumber, 4), "1234");
    EXPECT_EQ(dm.szBoxPassword[0], 0);  // the next field is untouched
    const WORD sep = 42;
    ASSERT_TRUE(SetDmKeyword(&dm, "$SeparatorLocation20", &sep));
    EXPECT_EQ(dm.wSeparatorLocation[19], 42);
    EXPECT_EQ(dm.bUnitMargin, 0);
}

TEST_F(DevmodeKeywords, MergeCarriesValuesByName)
{
    OEMPrivateDevmode src = Defaults();
    const DWORD off = 0;
    SetDmKeyword(&src, "$AutoFit", &off);
    SetDmKeyword(&src, "$JobType", "Box");
    SetDmKeyword(&src, "$ImageRotation", "PortOnly");
    SetDmKeyword(&src, "$BannerSheet", "None");
    src.wMarginShift = 5;
    src.wModelId = 8783;
    src.wOwnerStringCode = 3;
    std::memset(src.PrinterId, 0x11, 16);
    src.bGraphicsMode = 9;  // no name: not carried
    src.wFitToPage = 250;

    OEMPrivateDevmode tgt = Defaults();
    tgt.bGraphicsMode = 1;
    ASSERT_TRUE(MergePrivateDevmode(&tgt, &src, 328));
    EXPECT_EQ(tgt.dwFlags & DMF_AUTOFIT, 0u);
    EXPECT_EQ(ReadText(tgt, "$JobType"), "Box");
    EXPECT_EQ(ReadText(tgt, "$ImageRotation"), "PortOnly");
    EXPECT_EQ(ReadText(tgt, "$BannerSheet"), "None");
    EXPECT_EQ(tgt.wMarginShift, 5);
    EXPECT_EQ(tgt.wFitToPage, 250);
    EXPECT_EQ(tgt.bGraphicsMode, 1);
    EXPECT_EQ(tgt.wModelId, 8783);
    EXPECT_EQ(tgt.wOwnerStringCode, 3);
    EXPECT_EQ(tgt.PrinterId[0], 0x11);

    // A target with its own printer id and model keeps them; the owner string code follows the source.
    OEMPrivateDevmode tgt2 = Defaults();
    std::memset(tgt2.PrinterId, 0x22, 16);
    tgt2.wModelId = 8784;
    tgt2.wOwnerStringCode = 9;
    ASSERT_TRUE(MergePrivateDevmode(&tgt2, &src, 400));
    EXPECT_EQ(tgt2.PrinterId[15], 0x22);
    EXPECT_EQ(tgt2.wModelId, 8784);
    EXPECT_EQ(tgt2.wOwnerStringCode, 3);
}

TEST_F(DevmodeKeywords, MergeNeedsBothRecordsAndRoom)
{
    OEMPrivateDevmode src = Defaults();
    src.wMarginShift = 1;
    OEMPrivateDevmode tgt = Defaults();
    EXPECT_FALSE(MergePrivateDevmode(&tgt, &src, 327));
    EXPECT_EQ(tgt.wMarginShift, 127);
    EXPECT_FALSE(MergePrivateDevmode(nullptr, &src, 328));
    EXPECT_FALSE(MergePrivateDevmode(&tgt, nullptr, 328));
}

namespace {

struct StepLog {
    int defaults = 0;
    int merges = 0;
};

BOOL AfterDefault(POEMDMPARAM, OEMPrivateDevmode* out, void* ctx)
{
    static_cast<StepLog*>(ctx)->defaults++;
    return SetDmKeyword(out, "$UnitMargin", "inch");
}

BOOL AfterMerge(POEMDMPARAM p, OEMPrivateDevmode* out, void* ctx)
{
    static_cast<StepLog*>(ctx)->merges++;
    char buf[16] = {};
    if (GetDmKeyword(out, "$JobType", nullptr, buf, sizeof buf) && std::strcmp(buf, "Proof") == 0 && p->pPublicDMOut)
        p->pPublicDMOut->dmCollate = DMCOLLATE_TRUE;
    return TRUE;
}

}  // namespace

TEST_F(DevmodeKeywords, DevModeRequest)
{
    StepLog log;
    DevModeRequestSteps steps{AfterDefault, AfterMerge, &log};
    OEMPrivateDevmode in = Defaults(), out;
    std::memset(&out, 0x5A, sizeof out);
    DEVMODEW pubOut{};
    OEMDMPARAM p{};
    p.cbSize = sizeof p;
    p.pOEMDMIn = &in;
    p.pOEMDMOut = &out;
    p.pPublicDMOut = &pubOut;

    ASSERT_TRUE(HandleDevModeRequest(OEMDM_SIZE, &p, &steps));
    EXPECT_EQ(p.cbBufSize, 328u);

    ASSERT_TRUE(HandleDevModeRequest(OEMDM_DEFAULT, &p, &steps));
    EXPECT_EQ(log.defaults, 1);
    EXPECT_TRUE(IsValidPrivateDevmode(&out));
    EXPECT_EQ(out.bUnitMargin, 1);

    SetDmKeyword(&in, "$JobType", "Proof");
    ASSERT_TRUE(HandleDevModeRequest(OEMDM_MERGE, &p, &steps));
    EXPECT_EQ(log.merges, 1);
    EXPECT_EQ(out.dwFlags & DMF_JOBTYPE_MASK, DMF_JOB_PROOF);
    EXPECT_EQ(pubOut.dmCollate, DMCOLLATE_TRUE);

    in.wMarginShift = 77;
    ASSERT_TRUE(HandleDevModeRequest(OEMDM_CONVERT, &p, &steps));
    EXPECT_EQ(std::memcmp(&out, &in, sizeof out), 0);

    // Without plug-in steps.
    ASSERT_TRUE(HandleDevModeRequest(OEMDM_DEFAULT, &p, nullptr));
    EXPECT_EQ(out.bUnitMargin, 0);

    for (DWORD mode : {0u, 5u, 100u}) {
        SetLastError(0);
        EXPECT_FALSE(HandleDevModeRequest(mode, &p, &steps));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    SetLastError(0);
    EXPECT_FALSE(HandleDevModeRequest(OEMDM_SIZE, nullptr, &steps));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    p.pOEMDMOut = nullptr;
    SetLastError(0);
    EXPECT_FALSE(HandleDevModeRequest(OEMDM_DEFAULT, &p, &steps));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    p.pOEMDMOut = &out;
    p.cbBufSize = 100;
    EXPECT_FALSE(HandleDevModeRequest(OEMDM_MERGE, &p, &steps));
    EXPECT_EQ(log.merges, 1);
}
