// ConvertPrivateDevmode: every old version, foreign and unknown records.
#include <gtest/gtest.h>

#include "devmodefixture.h"

using namespace devmodetest;

class DevmodeConvert : public CoreFixture {
protected:
    OEMPrivateDevmode Convert(const std::vector<BYTE>& src, DWORD copy = 328)
    {
        OEMPrivateDevmode tgt = Defaults();
        EXPECT_TRUE(ConvertPrivateDevmode(&tgt, src.data(), copy));
        return tgt;
    }
};

TEST_F(DevmodeConvert, ForeignSignatureGivesExactlyTheDefaults)
{
    auto src = MakeRecord(328, "0140", 0x12345678);
    Put16(src, 210, 5);
    OEMPrivateDevmode tgt;
    std::memset(&tgt, 0x33, sizeof tgt);
    ASSERT_TRUE(ConvertPrivateDevmode(&tgt, src.data(), 328));
    OEMPrivateDevmode d = Defaults();
    EXPECT_EQ(std::memcmp(&tgt, &d, sizeof d), 0);
}

TEST_F(DevmodeConvert, CurrentRecordIsCopied)
{
    OEMPrivateDevmode src = Defaults();
    src.wMarginShift = 3;
    src.wModelId = 8784;
    SetDmKeyword(&src, "$JobType", "Delay");
    OEMPrivateDevmode tgt = Defaults();
    ASSERT_TRUE(ConvertPrivateDevmode(&tgt, &src, 328));
    EXPECT_EQ(std::memcmp(&tgt, &src, sizeof tgt), 0);
}

TEST_F(DevmodeConvert, CurrentVersionOfAnotherSizeGivesDefaults)
{
    auto src = MakeRecord(340, "0140");
    Put16(src, 210, 5);
    OEMPrivateDevmode tgt = Convert(src);
    OEMPrivateDevmode d = Defaults();
    EXPECT_EQ(std::memcmp(&tgt, &d, sizeof d), 0);
}

TEST_F(DevmodeConvert, UnknownVersionGivesDefaults)
{
    auto src = MakeRecord(328, "0050");
    Put16(src, 0, 8783);
    OEMPrivateDevmode tgt = Convert(src);
    OEMPrivateDevmode d = Defaults();
    EXPECT_EQ(std::memcmp(&tgt, &d, sizeof d), 0);
}

TEST_F(DevmodeConvert, Version0010)
{
    auto src = MakeRecord(800, "0010");
    Put16(src, 0, 8783);
    PutWide(src, 2, u"Old document");
    Put16(src, 132, 1);
    Put16(src, 134, 1);
    Put16(src, 786, 0x55);
    OEMPrivateDevmode tgt = Convert(src);
    EXPECT_TRUE(IsValidPrivateDevmode(&tgt));
    EXPECT_EQ(tgt.wModelId, 8783);
    EXPECT_EQ(tgt.dwFlags, 0x3u);  // bits 0x1 and 0x2 only
    EXPECT_EQ(tgt.wMarginShift, 0);  // not 127
    EXPECT_EQ(tgt.wOwnerStringCode, 0x55);
    // The 0010 text at body 2 lands at 0020 body 2, which the 0030-to-0040 rule does not carry.
    EXPECT_EQ(WideAt(tgt.szDocumentName, 25), u"");

    auto src2 = MakeRecord(800, "0010");
    Put16(src2, 132, 2);  // only the value 1 counts
    Put16(src2, 134, 1);
    EXPECT_EQ(Convert(src2).dwFlags, 0x2u);
}

TEST_F(DevmodeConvert, Version0020)
{
    auto src = MakeRecord(800, "0020");
    const DWORD size0020 = 516;  // the bytes after it are not part of the record
    std::memcpy(src.data(), &size0020, 4);
    Put16(src, 0, 8784);
    Put32(src, 132, DMF_JOB_SECURE | DMF_INTUSERSIZE);
    Put16(src, 136, 7);
    Put16(src, 138, 1);
    PutWide(src, 140, u"Doc");
    PutWide(src, 424, u"Name");
    Put16(src, 450, 1234);
    PutWide(src, 508, u"My size");  // beyond the 0020 body (504 bytes): not read
    OEMPrivateDevmode tgt = Convert(src);
    EXPECT_EQ(tgt.wModelId, 8784);
    EXPECT_EQ(tgt.dwFlags, DMF_JOB_SECURE | DMF_INTUSERSIZE);
    EXPECT_EQ(tgt.wOwnerStringCode, 7);
    EXPECT_EQ(tgt.bSpecifyDocName, 1);
    EXPECT_EQ(WideAt(tgt.szDocumentName, 25), u"DocName");
    EXPECT_EQ(tgt.wStartPrintTime, 1234);
    EXPECT_EQ(WideAt(tgt.szIntUserSizeName, 32), u"");
}

TEST_F(DevmodeConvert, Version0030)
{
    auto src = MakeRecord(776, "0030");
    Put16(src, 0, 8783);
    Put32(src, 132, DMF_JOB_PROOF | DMF_AUTOFIT | DMF_IMAGEROTATION);
    Put16(src, 136, 2);
    Put16(src, 138, 0x0101);  // $SpecifyDocName and the reserved byte after it
    PutWide(src, 140, u"A document name of twenty");  // 25 characters
    PutWide(src, 424, u"more");
    Put16(src, 450, 600);
    PutWide(src, 508, u"Custom size that is longer than thirty-one");
    Put32(src, 572, 612);
    Put32(src, 576, 792);
    Put16(src, 700, 99);  // dropped
    OEMPrivateDevmode tgt = Convert(src);
    EXPECT_EQ(tgt.wModelId, 8783);
    EXPECT_EQ(tgt.dwFlags, DMF_JOB_PROOF | DMF_AUTOFIT | DMF_IMAGEROTATION);
    EXPECT_EQ(tgt.wOwnerStringCode, 2);
    EXPECT_EQ(tgt.bSpecifyDocName, 1);
    EXPECT_EQ(tgt.bReserved2, 1);
    EXPECT_EQ(WideAt(tgt.szDocumentName, 25), u"A document name of twent");  // 24 characters
    EXPECT_EQ(tgt.szDocumentName[24], 0);
    EXPECT_EQ(tgt.wStartPrintTime, 600);
    EXPECT_EQ(WideAt(tgt.szIntUserSizeName, 32), u"Custom size that is longer than");  // 31
    EXPECT_EQ(tgt.szIntUserSizeName[31], 0);
    EXPECT_EQ(tgt.dwIntUserPtWidth, 612u);
    EXPECT_EQ(tgt.dwIntUserPtHeight, 792u);
    // Everything from body offset 188 on is zero.
    const BYTE* body = reinterpret_cast<const BYTE*>(&tgt) + 12;
    for (int i = 188; i < 316; ++i) EXPECT_EQ(body[i], 0) << i;
    EXPECT_EQ(tgt.wMarginShift, 0);

    // Short first text: the second follows it directly.
    auto src2 = MakeRecord(776, "0030");
    PutWide(src2, 140, u"Report ");
    PutWide(src2, 424, u"2024");
    EXPECT_EQ(WideAt(Convert(src2).szDocumentName, 25), u"Report 2024");
}

TEST_F(DevmodeConvert, Version0040)
{
    auto src = MakeRecord(200, "0040");
    Put16(src, 0, 8784);
    for (int i = 0; i < 16; ++i) src[12 + 4 + i] = static_cast<BYTE>(i + 1);
    Put32(src, 20, DMF_JOB_HI_SECURE | DMF_USEDOCUMENTMONITOR);
    PutWide(src, 28, u"Name");
    Put32(src, 144, 100);
    src[12 + 164] = 2;                 // $BannerSheet
    Put16(src, 166, 1);                // wImageRotation
    src[12 + 168] = 4;                 // $BindMarginLocation
    Put32(src, 180, 15000);            // $SaddleMarginWidth
    src[12 + 184] = 1;                 // $MixSizedOrientation
    OEMPrivateDevmode tgt = Convert(src);
    EXPECT_EQ(tgt.wModelId, 8784);
    EXPECT_EQ(tgt.PrinterId[0], 1);
    EXPECT_EQ(tgt.PrinterId[15], 16);
    EXPECT_EQ(tgt.dwFlags, DMF_JOB_HI_SECURE | DMF_USEDOCUMENTMONITOR);
    EXPECT_EQ(WideAt(tgt.szDocumentName, 25), u"Name");
    EXPECT_EQ(tgt.dwIntUserPtWidth, 100u);
    EXPECT_EQ(tgt.bBannerSheet, 2);
    EXPECT_EQ(tgt.wImageRotation, 1);
    EXPECT_EQ(tgt.bBindMarginLocation, 4);
    EXPECT_EQ(tgt.dwSaddleMarginWidth, 15000u);
    EXPECT_EQ(tgt.bMixSizedOrientation, 1);
    EXPECT_EQ(tgt.bGraphicsMode, 0);
    EXPECT_EQ(tgt.wMarginShift, 0);
    EXPECT_TRUE(IsValidPrivateDevmode(&tgt));
}

TEST_F(DevmodeConvert, ShortAndOversizedSourcesStayInBounds)
{
    // A 0040 record that claims less than its body: the rest reads as zero.
    auto src = MakeRecord(14, "0040");
    Put16(src, 0, 8783);
    src.resize(14);
    EXPECT_EQ(Convert(src).wModelId, 8783);
    // A header-only record.
    auto src2 = MakeRecord(12, "0030");
    EXPECT_TRUE(IsValidPrivateDevmode(&(const OEMPrivateDevmode&)Convert(src2)));
    // A size above the largest version is read only up to 800 bytes.
    auto src3 = MakeRecord(800, "0010");
    const DWORD huge = 0xFFFFFFF0u;
    std::memcpy(src3.data(), &huge, 4);
    Put16(src3, 0, 8784);
    EXPECT_EQ(Convert(src3).wModelId, 8784);
}

TEST_F(DevmodeConvert, TargetOfAnotherVersionIsReset)
{
    auto src = MakeRecord(200, "0040");
    Put16(src, 0, 8783);
    OEMPrivateDevmode tgt = Defaults();
    tgt.dwVersion = 0x30343030;
    ASSERT_TRUE(ConvertPrivateDevmode(&tgt, src.data(), 328));
    OEMPrivateDevmode d = Defaults();
    EXPECT_EQ(std::memcmp(&tgt, &d, sizeof d), 0);
    EXPECT_NE(Log().find("Unknown OEM Private DEVMODE signature."), std::string::npos);
}

TEST_F(DevmodeConvert, WithoutTheHeapTheTargetStaysAsItWas)
{
    CoreTerminate();  // no private heap
    auto src = MakeRecord(200, "0040");
    Put16(src, 0, 8783);
    OEMPrivateDevmode tgt = Defaults();
    tgt.wMarginShift = 9;
    EXPECT_TRUE(ConvertPrivateDevmode(&tgt, src.data(), 328));
    EXPECT_EQ(tgt.wMarginShift, 9);
    EXPECT_EQ(tgt.wModelId, 0);
    ASSERT_TRUE(CoreInitialize(nullptr));
}
