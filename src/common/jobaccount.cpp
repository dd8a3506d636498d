#include "jobaccount.h"

#include <cstring>
#include <string>

namespace {

struct AccountField {
    const char16_t* key;
    size_t offset;
    size_t cch;
};

constexpr AccountField kFields[] = {
    {u"UserId", offsetof(JobAccountRecord, szUserId), 33},
    {u"AccountId", offsetof(JobAccountRecord, szAccountId), 33},
    {u"Password", offsetof(JobAccountRecord, szPassword), 17},
    {u"ChargeUserId", offsetof(JobAccountRecord, szChargeUserId), 33},
    {u"ChargePassword", offsetof(JobAccountRecord, szChargePassword), 17},
    {u"PopupUserId", offsetof(JobAccountRecord, szPopupUserId), 33},
    {u"PopupAccountId", offsetof(JobAccountRecord, szPopupAccountId), 33},
    {u"PopupPassword", offsetof(JobAccountRecord, szPopupPassword), 17},
    {u"PopupChargeUserId", offsetof(JobAccountRecord, szPopupChargeUserId), 33},
    {u"PopupChargePassword", offsetof(JobAccountRecord, szPopupChargePassword), 17},
};

}  // namespace

void InitJobAccountRecord(JobAccountRecord* pRecord)
{
    if (!pRecord) return;
    std::memset(pRecord, 0, sizeof(*pRecord));
    pRecord->dwFlags = JOBACCOUNT_FLAGS_ABSENT;
}

void ParseJobAccountInfo(const BYTE* pInfo, DWORD cbInfo, JobAccountRecord* pRecord)
{
    if (!pRecord) return;
    InitJobAccountRecord(pRecord);
    if (!pInfo) return;
    if (cbInfo > JOBACCOUNT_INFO_MAX) cbInfo = JOBACCOUNT_INFO_MAX;
    bool bFlagsSeen = false;
    bool bSeen[std::size(kFields)] = {};
    const DWORD cch = cbInfo / 2;
    DWORD i = 0;
    while (i < cch) {
        std::u16string entry;
        while (i < cch) {
            char16_t c;
            std::memcpy(&c, pInfo + 2 * i, 2);
            ++i;
            if (!c) break;
            entry.push_back(c);
        }
        if (entry.empty()) break;
        const size_t eq = entry.find(u'=');
        if (eq == std::u16string::npos) continue;
        const std::u16string key = entry.substr(0, eq), value = entry.substr(eq + 1);
        if (key == u"Flags") {
            if (bFlagsSeen) continue;
            bFlagsSeen = true;
            DWORD v = 0;
            for (char16_t c : value) {
                if (c < u'0' || c > u'9') break;
                v = v * 10 + static_cast<DWORD>(c - u'0');
            }
            pRecord->dwFlags = v;
            continue;
        }
        for (size_t f = 0; f < std::size(kFields); ++f) {
            if (bSeen[f] || key != kFields[f].key) continue;
            bSeen[f] = true;
            auto* pField = reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(pRecord) + kFields[f].offset);
            const size_t n = value.size() < kFields[f].cch - 1 ? value.size() : kFields[f].cch - 1;
            std::memcpy(pField, value.data(), n * 2);
            pField[n] = 0;
        }
    }
}
