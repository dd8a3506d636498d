#include "renderer/jobstrings.h"

#include <cstring>

#include "common/jobowner.h"

namespace {

class CallbackData final : public JobPrinterData {
public:
    explicit CallbackData(const JobDataCallbacks& c) : m_c(c) {}
    bool ReadOwnerName(DWORD dwSource, LPWSTR pszName, DWORD cbName) override
    {
        return m_c.pfnReadOwnerName && m_c.pfnReadOwnerName(m_c.pContext, dwSource, pszName, cbName);
    }
    bool IsAccountModeOn() override { return m_c.pfnIsAccountModeOn && m_c.pfnIsAccountModeOn(m_c.pContext); }
    bool ReadAccountRecord(JobAccountRecord* pRecord) override
    {
        static_assert(sizeof(JobAccountRecord) == JOB_ACCOUNT_RECORD_SIZE);
        BYTE record[JOB_ACCOUNT_RECORD_SIZE] = {};
        if (!m_c.pfnReadAccountRecord || !m_c.pfnReadAccountRecord(m_c.pContext, record)) return false;
        std::memcpy(pRecord, record, sizeof(record));
        return true;
    }
    bool ReadSelectId(LPSTR pszOption, DWORD cbOption) override
    {
        return m_c.pfnReadSelectId && m_c.pfnReadSelectId(m_c.pContext, pszOption, cbOption);
    }

private:
    const JobDataCallbacks& m_c;
};

}  // namespace

bool MakeOwnerString(const JobDataCallbacks& data, DWORD dwSpecifyJobOwner, DWORD dwOwnerSourceMode, WORD wStringCode,
                     LPSTR pszOut, DWORD cbOut)
{
    CallbackData d(data);
    return GetJobOwnerString(d, dwSpecifyJobOwner, dwOwnerSourceMode, wStringCode, pszOut, cbOut);
}

bool MakeHostAddressString(LPSTR pszOut, DWORD cbOut) { return GetHostAddressString(pszOut, cbOut); }

void MakeAccountRecord(const JobDataCallbacks& data, BYTE record[JOB_ACCOUNT_RECORD_SIZE])
{
    CallbackData d(data);
    JobAccountRecord r{};
    MakeJobAccountRecord(d, &r);
    std::memcpy(record, &r, sizeof(r));
}

void ResetOwnerKitBinding() { ResetOwnerKit(); }
