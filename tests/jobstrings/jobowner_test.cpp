// ownerkit binding, owner and host-address strings, the account record for the job, version text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "common/coremain.h"
#include "common/jobowner.h"
#include "tempdir.h"

namespace {

const std::string g_originalTmpDir = [] {
    const char* value = std::getenv("TMPDIR");
    return std::string(value ? value : "");
}();

class FakePrinterData : public JobPrinterData {
public:
    std::map<DWORD, std::u16string> ownerNames;  // by data source
    bool accountMode = false;
    bool haveRecord = false;
    JobAccountRecord record{};
    std::string selectId;
    std::vector<DWORD> ownerReads;

    bool ReadOwnerName(DWORD source, LPWSTR name, DWORD cb) override
    {
        ownerReads.push_back(source);
        auto it = ownerNames.find(source);
        if (it == ownerNames.end() || (it->second.size() + 1) * 2 > cb) return false;
        lstrcpynW(name, it->second.c_str(), static_cast<int>(cb / 2));
        return true;
    }
    bool IsAccountModeOn() override { return accountMode; }
    bool ReadAccountRecord(JobAccountRecord* r) override
    {
        if (!haveRecord) return false;
        *r = record;
        return true;
    }
    bool ReadSelectId(LPSTR option, DWORD cb) override
    {
        if (selectId.empty() || selectId.size() + 1 > cb) return false;
        std::memcpy(option, selectId.c_str(), selectId.size() + 1);
        return true;
    }
};

std::u16string OwnerKitDir() { return platform::Widen(OWNERKIT_DIR); }

}  // namespace

class JobOwner : public testsupport::IsolatedTest {
protected:
    void SetUp() override
    {
        testsupport::IsolatedTest::SetUp();
        ASSERT_TRUE(CoreInitialize(nullptr));
        ResetOwnerKit();
    }
    void TearDown() override
    {
        ResetOwnerKit();
        CoreTerminate();
        testsupport::IsolatedTest::TearDown();
        if (g_originalTmpDir.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", g_originalTmpDir.c_str(), 1);
    }
    FakePrinterData data;
};

TEST_F(JobOwner, OwnerFromTheOwnerNameOfPrinterDataOrTheUserStore)
{
    ASSERT_TRUE(BindOwnerKit(nullptr, OwnerKitDir().c_str()));
    data.ownerNames[1] = u"PrinterOwner";
    data.ownerNames[2] = u"UserOwner";
    char out[JOB_OWNER_STRING_SIZE] = "junk";
    DWORD status = 99;
    for (DWORD d : {1u, 4u}) {
        EXPECT_TRUE(GetJobOwnerString(data, d, 0, 0, out, sizeof out, &status)) << d;
        EXPECT_STREQ(out, "@JOAU=PrinterOwner");
        EXPECT_EQ(status, 0u);
    }
    for (DWORD d : {5u, 6u}) {
        EXPECT_TRUE(GetJobOwnerString(data, d, 1, 3, out, sizeof out, &status)) << d;
        EXPECT_STREQ(out, "@JOAU=UserOwner");
    }
    EXPECT_EQ(data.ownerReads, (std::vector<DWORD>{1, 1, 2, 2}));
}

TEST_F(JobOwner, OwnerFromUserAndHostAndTheEmptyChoices)
{
    char out[JOB_OWNER_STRING_SIZE] = "junk";
    ASSERT_TRUE(BindOwnerKit(nullptr, OwnerKitDir().c_str()));
    for (DWORD d : {0u, 3u, 7u, 8u}) {
        EXPECT_TRUE(GetJobOwnerString(data, d, 2, 0, out, sizeof out)) << d;
        const std::string s = out;
        EXPECT_EQ(s.rfind("@JOAU=", 0), 0u) << s;
        EXPECT_NE(s.find('\\'), std::string::npos) << s;
    }
    EXPECT_TRUE(data.ownerReads.empty());
    std::strcpy(out, "junk");
    EXPECT_FALSE(GetJobOwnerString(data, 2, 0, 0, out, sizeof out));
    EXPECT_STREQ(out, "");
    std::strcpy(out, "junk");
    EXPECT_FALSE(GetJobOwnerString(data, 9, 0, 0, out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST_F(JobOwner, TooSmallABufferGivesNoString)
{
    ASSERT_TRUE(BindOwnerKit(nullptr, OwnerKitDir().c_str()));
    data.ownerNames[1] = u"AVeryLongOwnerNameThatDoesNotFit";
    char out[16] = "junk";
    DWORD status = 0;
    EXPECT_FALSE(GetJobOwnerString(data, 1, 0, 0, out, sizeof out, &status));
    EXPECT_STREQ(out, "");
    EXPECT_EQ(status, 2u);
}

TEST_F(JobOwner, HostAddress)
{
    ASSERT_TRUE(BindOwnerKit(nullptr, OwnerKitDir().c_str()));
    char out[JOB_OWNER_STRING_SIZE] = {};
    EXPECT_TRUE(GetHostAddressString(out, sizeof out));
    EXPECT_EQ(std::string(out).rfind("@CNAD=", 0), 0u) << out;
}

TEST_F(JobOwner, MissingOwnerKitGivesEmptyStringsUntilTheNextReset)
{
    EXPECT_FALSE(BindOwnerKit(nullptr, u"/nonexistent/dir/"));
    EXPECT_TRUE(HasOwnerKitFailed());
    data.ownerNames[1] = u"Owner";
    char out[JOB_OWNER_STRING_SIZE] = "junk";
    EXPECT_FALSE(GetJobOwnerString(data, 1, 0, 0, out, sizeof out));
    EXPECT_STREQ(out, "");
    std::strcpy(out, "junk");
    EXPECT_FALSE(GetHostAddressString(out, sizeof out));
    EXPECT_STREQ(out, "");
    // No retry while failed, even with a good directory.
    EXPECT_FALSE(BindOwnerKit(nullptr, OwnerKitDir().c_str()));
    // The reset before the next job retries.
    ResetOwnerKit();
    EXPECT_FALSE(HasOwnerKitFailed());
    EXPECT_TRUE(BindOwnerKit(nullptr, OwnerKitDir().c_str()));
    EXPECT_TRUE(IsOwnerKitLoaded());
    EXPECT_TRUE(GetHostAddressString(out, sizeof out));
    ResetOwnerKit();
    EXPECT_FALSE(IsOwnerKitLoaded());
}

TEST_F(JobOwner, DefaultPathIsTheModuleDirectoryAndStringResource6)
{
    // The test program's module directory is tests/; the string resource names ownerkit.so.
    lstrcpynW(g_Core.szModuleDir, OwnerKitDir().c_str(), MAX_PATH + 1);
    char out[JOB_OWNER_STRING_SIZE] = {};
    EXPECT_TRUE(GetHostAddressString(out, sizeof out));
    EXPECT_TRUE(IsOwnerKitLoaded());
}

TEST_F(JobOwner, AccountRecordForTheJob)
{
    JobAccountRecord r;
    data.accountMode = false;
    data.haveRecord = true;
    ParseJobAccountInfo(nullptr, 0, &data.record);  // the empty record
    EXPECT_EQ(data.record.dwFlags, 28u);
    data.record.dwFlags = 0;
    lstrcpynW(data.record.szUserId, u"user", 33);
    MakeJobAccountRecord(data, &r);
    EXPECT_EQ(r.dwFlags, 28u);  // account mode off: the empty record
    EXPECT_EQ(std::u16string(r.szUserId), u"");

    data.accountMode = true;
    MakeJobAccountRecord(data, &r);
    EXPECT_EQ(std::u16string(r.szUserId), u"user");

    // Popup fields (bit 0x2 without 0x20).
    data.record.dwFlags = 0x2 | 0x20;
    lstrcpynW(data.record.szPopupUserId, u"puser", 33);
    lstrcpynW(data.record.szPopupAccountId, u"pacct", 33);
    lstrcpynW(data.record.szPopupPassword, u"ppass", 17);
    lstrcpynW(data.record.szPopupChargeUserId, u"pcuser", 33);
    lstrcpynW(data.record.szPopupChargePassword, u"pcpass", 17);
    lstrcpynW(data.record.szChargeUserId, u"cuser", 33);
    MakeJobAccountRecord(data, &r);
    EXPECT_EQ(r.dwFlags, 0x22u);
    EXPECT_EQ(std::u16string(r.szUserId), u"UnknownUser");
    EXPECT_EQ(std::u16string(r.szAccountId), u"");
    EXPECT_EQ(std::u16string(r.szPassword), u"");
    EXPECT_EQ(std::u16string(r.szChargeUserId), u"pcuser");
    EXPECT_EQ(std::u16string(r.szChargePassword), u"pcpass");

    data.record.dwFlags = 0x2;
    MakeJobAccountRecord(data, &r);
    EXPECT_EQ(r.dwFlags, 0x2u);
    EXPECT_EQ(std::u16string(r.szUserId), u"puser");
    EXPECT_EQ(std::u16string(r.szAccountId), u"pacct");
    EXPECT_EQ(std::u16string(r.szPassword), u"ppass");
    EXPECT_EQ(std::u16string(r.szChargeUserId), u"");

    // KTSelectID.
    data.record.dwFlags = 0;
    lstrcpynW(data.record.szAccountId, u"acct", 33);
    lstrcpynW(data.record.szPassword, u"pw", 17);
    data.selectId = "UserID";
    MakeJobAccountRecord(data, &r);
    EXPECT_EQ(std::u16string(r.szUserId), u"user");
    EXPECT_EQ(std::u16string(r.szAccountId), u"");
    EXPECT_EQ(std::u16string(r.szPassword), u"pw");
    data.selectId = "AccountID";
    MakeJobAccountRecord(data, &r);
    EXPECT_EQ(std::u16string(r.szUserId), u"UnknownUser");
    EXPECT_EQ(std::u16string(r.szAccountId), u"acct");
    EXPECT_EQ(std::u16string(r.szPassword), u"");
    data.selectId = "None";
    MakeJobAccountRecord(data, &r);
    EXPECT_EQ(std::u16string(r.szUserId), u"UnknownUser");
    EXPECT_EQ(std::u16string(r.szAccountId), u"");
    EXPECT_EQ(std::u16string(r.szPassword), u"");
    data.selectId = "UserID_AccountID";
    MakeJobAccountRecord(data, &r);
    EXPECT_EQ(std::u16string(r.szUserId), u"user");
    EXPECT_EQ(std::u16string(r.szAccountId), u"acct");
}

TEST_F(JobOwner, VersionText)
{
    WCHAR text[64] = {};
    ASSERT_TRUE(GetProductVersionText(nullptr, text, 64));
    EXPECT_EQ(std::u16string(text), u"Version 2.4.6 (Build 812)");
    EXPECT_FALSE(GetProductVersionText(nullptr, text, 10));
}

TEST(JobStrings, FallbackNames)
{
    EXPECT_STREQ(JOB_UNKNOWN_USER_A, "UnknownUser");
    EXPECT_STREQ(JOB_UNKNOWN_HOST_A, "UnknownHost");
    EXPECT_EQ(std::u16string(JOB_UNKNOWN_USER_W), u"UnknownUser");
    EXPECT_EQ(std::u16string(JOB_UNKNOWN_HOST_W), u"UnknownHost");
}
