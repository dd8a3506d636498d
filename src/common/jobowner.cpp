#include "jobowner.h"

#include <cstring>
#include <string>

#include "coremain.h"
#include "debug.h"

namespace {

struct OwnerKitState {
    bool bFailed = false;
    HMODULE hModule = nullptr;
    FARPROC procs[5] = {};
};
OwnerKitState g_OwnerKit;

void SetEmpty(LPSTR pszOut, DWORD cbOut)
{
    if (pszOut && cbOut) pszOut[0] = '\0';
}

template <typename Fn>
Fn Proc(int nIndex)
{
    return reinterpret_cast<Fn>(g_OwnerKit.procs[nIndex]);
}

// Makes sure the answer is terminated within the buffer.
bool Finish(DWORD dwResult, LPSTR pszOut, DWORD cbOut, DWORD cbWritten)
{
    if (!dwResult) {
        SetEmpty(pszOut, cbOut);
        return false;
    }
    if (cbWritten >= cbOut) cbWritten = cbOut - 1;
    pszOut[cbWritten] = '\0';
    return true;
}

void InitJobAccountRecord(JobAccountRecord* pRecord)
{
    std::memset(pRecord, 0, sizeof(*pRecord));
    pRecord->dwFlags = JOB_ACCOUNT_FLAGS_ABSENT;
}

void CopyWide(WCHAR* pField, size_t cch, LPCWSTR pszText)
{
    lstrcpynW(pField, pszText, static_cast<int>(cch));
}

}  // namespace

bool BindOwnerKit(HINSTANCE hResources, LPCWSTR pszModuleDir)
{
    EnterCriticalSection(&g_Core.csModule);
    if (!g_OwnerKit.bFailed && !g_OwnerKit.hModule) {
        WCHAR szName[MAX_PATH + 1] = {};
        const HINSTANCE hRes = hResources ? hResources : g_Core.hInstance;
        const std::u16string dir = pszModuleDir ? pszModuleDir : g_Core.szModuleDir;
        if (LoadStringW(hRes, IDS_OWNERKIT_FILE_NAME, szName, MAX_PATH + 1) > 0) {
            const std::u16string path = dir + szName;
            if (path.size() <= MAX_PATH) g_OwnerKit.hModule = LoadLibraryW(path.c_str());
            if (!g_OwnerKit.hModule)
                KTPS_LOG(DBG_NOTICE, "Cannot load the job owner DLL [name = %S, err = %d].", path.c_str(),
                         static_cast<int>(GetLastError()));
        }
        if (g_OwnerKit.hModule) {
            for (int i = 0; i < 5; ++i) g_OwnerKit.procs[i] = GetProcAddress(g_OwnerKit.hModule, OWNERKIT_ENTRY_NAMES[i]);
        } else {
            g_OwnerKit.bFailed = true;
        }
    }
    const bool bLoaded = g_OwnerKit.hModule != nullptr;
    LeaveCriticalSection(&g_Core.csModule);
    return bLoaded;
}

void ResetOwnerKit()
{
    EnterCriticalSection(&g_Core.csModule);
    if (g_OwnerKit.hModule) FreeLibrary(g_OwnerKit.hModule);
    g_OwnerKit = OwnerKitState{};
    LeaveCriticalSection(&g_Core.csModule);
}

bool IsOwnerKitLoaded() { return g_OwnerKit.hModule != nullptr; }
bool HasOwnerKitFailed() { return g_OwnerKit.bFailed; }

bool GetJobOwnerString(JobPrinterData& data, DWORD dwSpecifyJobOwner, DWORD dwOwnerSourceMode, WORD wStringCode,
                       LPSTR pszOut, DWORD cbOut, DWORD* pdwStatus)
{
    if (pdwStatus) *pdwStatus = 0;
    SetEmpty(pszOut, cbOut);
    if (!pszOut || cbOut == 0) return false;
    const DWORD d = dwSpecifyJobOwner;
    const DWORD dwKind = dwOwnerSourceMode != 1 ? 1 : ((d == 0 || d == 1 || d == 5) ? 3 : 4);
    DWORD dwStatus = 0, cbWritten = cbOut, dwResult = 0;

    if (d == 1 || d == 4 || d == 5 || d == 6) {
        WCHAR szOwner[129] = {};
        if (!data.ReadOwnerName((d == 1 || d == 4) ? 1 : 2, szOwner, sizeof szOwner - 2)) return false;
        BindOwnerKit();
        auto pfn = Proc<PFN_ZRGetQJCLStringOfJobOwnerFromInputW>(1);
        if (!pfn) return false;
        dwResult = pfn(dwKind, szOwner, 1, wStringCode, pszOut, &cbWritten, &dwStatus);
    } else if (d == 2 || d > 8) {
        return false;  // 2: the owner string is empty; above 8: none
    } else {           // 0, 3, 7, 8
        BindOwnerKit();
        auto pfn = Proc<PFN_ZRGetQJCLStringOfJobOwnerStringFromUserHostName>(2);
        if (!pfn) return false;
        dwResult = pfn(dwKind, 1, wStringCode, pszOut, &cbWritten, &dwStatus);
    }
    if (pdwStatus) *pdwStatus = dwStatus;
    return Finish(dwResult, pszOut, cbOut, cbWritten);
}

bool GetHostAddressString(LPSTR pszOut, DWORD cbOut, DWORD* pdwStatus)
{
    if (pdwStatus) *pdwStatus = 0;
    SetEmpty(pszOut, cbOut);
    if (!pszOut || cbOut == 0) return false;
    BindOwnerKit();
    auto pfn = Proc<PFN_ZRGetQJCLStringOfHostAddress>(3);
    if (!pfn) return false;
    DWORD dwStatus = 0, cbWritten = cbOut;
    const DWORD dwResult = pfn(pszOut, &cbWritten, &dwStatus);
    if (pdwStatus) *pdwStatus = dwStatus;
    return Finish(dwResult, pszOut, cbOut, cbWritten);
}

void MakeJobAccountRecord(JobPrinterData& data, JobAccountRecord* pRecord)
{
    if (!pRecord) return;
    InitJobAccountRecord(pRecord);
    if (data.IsAccountModeOn()) {
        JobAccountRecord read;
        if (data.ReadAccountRecord(&read)) *pRecord = read;
    }
    JobAccountRecord& r = *pRecord;
    if (r.dwFlags & 0x2) {
        if (r.dwFlags & 0x20) {
            CopyWide(r.szUserId, 33, JOB_UNKNOWN_USER_W);
            r.szAccountId[0] = 0;
            r.szPassword[0] = 0;
            CopyWide(r.szChargeUserId, 33, r.szPopupChargeUserId);
            CopyWide(r.szChargePassword, 17, r.szPopupChargePassword);
        } else {
            r.dwFlags &= ~0x20u;
            CopyWide(r.szUserId, 33, r.szPopupUserId);
            CopyWide(r.szAccountId, 33, r.szPopupAccountId);
            CopyWide(r.szPassword, 17, r.szPopupPassword);
            r.szChargeUserId[0] = 0;
        }
    }
    char szSelect[64] = {};
    if (data.ReadSelectId(szSelect, sizeof szSelect)) {
        if (std::strcmp(szSelect, "UserID") == 0) {
            r.szAccountId[0] = 0;
        } else if (std::strcmp(szSelect, "AccountID") == 0) {
            CopyWide(r.szUserId, 33, JOB_UNKNOWN_USER_W);
            r.szPassword[0] = 0;
        } else if (std::strcmp(szSelect, "None") == 0) {
            CopyWide(r.szUserId, 33, JOB_UNKNOWN_USER_W);
            r.szAccountId[0] = 0;
            r.szPassword[0] = 0;
        }
    }
}
