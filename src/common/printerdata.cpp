#include "common/printerdata.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/coremain.h"
#include "common/debug.h"
#include "common/kwprefix.h"
#include "common/pdvalue.h"

namespace {

constexpr DWORD kNameMax = 260;

const WCHAR kAccountKeys[][24] = {u"UserId",        u"AccountId",         u"Password",
                                  u"ChargeUserId",  u"ChargePassword",    u"PopupUserId",
                                  u"PopupAccountId", u"PopupPassword",    u"PopupChargeUserId",
                                  u"PopupChargePassword"};

// The fields of the record in key order, with their capacities.
struct AccountField {
    size_t offset;
    DWORD cch;
};
const AccountField kAccountFields[] = {
    {offsetof(JobAccountRecord, szUserId), 33},          {offsetof(JobAccountRecord, szAccountId), 33},
    {offsetof(JobAccountRecord, szPassword), 17},        {offsetof(JobAccountRecord, szChargeUserId), 33},
    {offsetof(JobAccountRecord, szChargePassword), 17},  {offsetof(JobAccountRecord, szPopupUserId), 33},
    {offsetof(JobAccountRecord, szPopupAccountId), 33},  {offsetof(JobAccountRecord, szPopupPassword), 17},
    {offsetof(JobAccountRecord, szPopupChargeUserId), 33}, {offsetof(JobAccountRecord, szPopupChargePassword), 17},
};

// The strings of the list, bounded by the data: a last string without terminator ends the list.
std::vector<std::u16string> WideList(const BYTE* pData, DWORD cbData)
{
    std::vector<std::u16string> out;
    if (!pData) return out;
    const DWORD cch = std::min(cbData, JOB_ACCOUNT_INFO_MAX) / 2;
    std::u16string current;
    for (DWORD i = 0; i < cch; ++i) {
        WCHAR c;
        std::memcpy(&c, pData + i * 2, 2);
        if (c != 0) {
            current.push_back(c);
            continue;
        }
        if (current.empty()) break;
        out.push_back(current);
        current.clear();
    }
    return out;
}

// The value of the first string that begins with key and "=".
bool FindKey(const std::vector<std::u16string>& list, const std::u16string& key, std::u16string* value)
{
    for (const std::u16string& s : list) {
        if (s.size() > key.size() && s.compare(0, key.size(), key) == 0 && s[key.size()] == u'=') {
            *value = s.substr(key.size() + 1);
            return true;
        }
    }
    return false;
}

void Log(const char* pszFormat, DWORD dwArg) { KTPS_LOG(DBG_ERROR, pszFormat, dwArg); }

std::u16string Concat(LPCWSTR a, LPCWSTR b) { return std::u16string(a ? a : u"") + (b ? b : u""); }

// The OEMPrinterID of one printer, empty when it has none.
std::u16string PrinterIdOf(HANDLE hPrinter)
{
    WCHAR szId[64] = {};
    DWORD dwType = 0, cbNeeded = 0;
    if (GetPrinterDataW(hPrinter, u"OEMPrinterID", &dwType, reinterpret_cast<BYTE*>(szId), sizeof szId - 2,
                        &cbNeeded) != ERROR_SUCCESS)
        return u"";
    return szId;
}

// Identities of every local and connected printer.
std::vector<std::u16string> InstalledPrinterIds()
{
    std::vector<std::u16string> ids;
    DWORD cbNeeded = 0, cReturned = 0;
    const DWORD dwFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    EnumPrintersW(dwFlags, nullptr, 4, nullptr, 0, &cbNeeded, &cReturned);
    if (cbNeeded == 0) return ids;
    std::vector<BYTE> buffer(cbNeeded);
    if (!EnumPrintersW(dwFlags, nullptr, 4, buffer.data(), cbNeeded, &cbNeeded, &cReturned)) return ids;
    const auto* pInfo = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < cReturned; ++i) {
        HANDLE h = nullptr;
        if (!OpenPrinterW(pInfo[i].pPrinterName, &h, nullptr)) continue;
        const std::u16string id = PrinterIdOf(h);
        if (!id.empty()) ids.push_back(id);
        ClosePrinter(h);
    }
    return ids;
}

// Deletes the per-printer keys under the base whose identity no installed printer has.
void DeleteStalePrinterKeys(const std::u16string& base)
{
    HKEY hBase = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, base.c_str(), 0, KEY_ALL_ACCESS, &hBase) != ERROR_SUCCESS) return;
    const std::vector<std::u16string> ids = InstalledPrinterIds();
    std::vector<std::u16string> stale;
    for (DWORD i = 0;; ++i) {
        WCHAR szName[256];
        DWORD cch = 256;
        if (RegEnumKeyExW(hBase, i, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        bool bKnown = false;
        for (const std::u16string& id : ids)
            if (lstrcmpiW(id.c_str(), szName) == 0) bKnown = true;
        if (!bKnown) stale.push_back(szName);
    }
    for (const std::u16string& name : stale) RegDeleteTreeW(hBase, name.c_str());
    RegCloseKey(hBase);
}

}  // namespace

void ParseJobAccountInfo(const BYTE* pData, DWORD cbData, JobAccountRecord* pRecord)
{
    if (!pRecord) return;
    std::memset(pRecord, 0, sizeof *pRecord);
    pRecord->dwFlags = JOB_ACCOUNT_FLAGS_ABSENT;
    const std::vector<std::u16string> list = WideList(pData, cbData);
    std::u16string value;
    if (FindKey(list, u"Flags", &value)) {
        // A decimal number, read as far as it goes.
        DWORD dwFlags = 0;
        for (char16_t c : value) {
            if (c < u'0' || c > u'9') break;
            dwFlags = dwFlags * 10 + static_cast<DWORD>(c - u'0');
        }
        pRecord->dwFlags = dwFlags;
    }
    for (size_t i = 0; i < std::size(kAccountKeys); ++i) {
        if (!FindKey(list, kAccountKeys[i], &value)) continue;
        auto* pField = reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(pRecord) + kAccountFields[i].offset);
        const size_t n = std::min<size_t>(value.size(), kAccountFields[i].cch - 1);
        std::memcpy(pField, value.data(), n * 2);
        pField[n] = 0;
    }
}

bool WalkFeatureKeywords(const BYTE* pData, DWORD cbData,
                         bool (*pfnRecord)(LPCSTR pszKeyword, LPCSTR pszOption, void* pContext), void* pContext)
{
    if (!pData || !pfnRecord) return false;
    DWORD pos = 0;
    while (pos < cbData && pData[pos] != 0) {
        const BYTE* pKeyEnd = static_cast<const BYTE*>(std::memchr(pData + pos, 0, cbData - pos));
        if (!pKeyEnd) return false;
        const DWORD optPos = static_cast<DWORD>(pKeyEnd - pData) + 1;
        if (optPos >= cbData) return false;
        const BYTE* pOptEnd = static_cast<const BYTE*>(std::memchr(pData + optPos, 0, cbData - optPos));
        if (!pOptEnd) return false;
        if (!pfnRecord(reinterpret_cast<LPCSTR>(pData + pos), reinterpret_cast<LPCSTR>(pData + optPos), pContext))
            return true;
        const DWORD restPos = static_cast<DWORD>(pOptEnd - pData) + 1;
        if (restPos >= cbData) return true;
        const BYTE* pLf = static_cast<const BYTE*>(std::memchr(pData + restPos, '\n', cbData - restPos));
        if (!pLf) return true;
        pos = static_cast<DWORD>(pLf - pData) + 1;
    }
    return true;
}

bool FindFeatureKeywordOption(const BYTE* pData, DWORD cbData, LPCSTR pszKeyword, LPSTR pszOption, DWORD cbOption,
                              DWORD* pcchOption)
{
    if (!pszKeyword) return false;
    struct Search {
        LPCSTR pszKeyword;
        std::string option;
        bool bFound;
    } search{pszKeyword, {}, false};
    WalkFeatureKeywords(
        pData, cbData,
        [](LPCSTR k, LPCSTR o, void* p) {
            auto* s = static_cast<Search*>(p);
            if (std::strcmp(k, s->pszKeyword) != 0) return true;
            s->option = o;
            s->bFound = true;
            return false;
        },
        &search);
    if (!search.bFound) return false;
    if (pcchOption) *pcchOption = static_cast<DWORD>(search.option.size());
    if (!pszOption || search.option.size() + 1 > cbOption) return false;
    std::memcpy(pszOption, search.option.c_str(), search.option.size() + 1);
    return true;
}

PrinterDataReader::PrinterDataReader(HANDLE hPrinter, DWORD dwDefaultSource, bool bReadOnly)
    : m_hPrinter(hPrinter), m_dwDefaultSource(dwDefaultSource), m_bReadOnly(bReadOnly)
{
}

bool PrinterDataReader::ReadDefault(LPCWSTR pszName, void* pBuffer, DWORD cbBuffer, DWORD* pcbRead)
{
    const PdValueEntry* pEntry = FindPdValue(pszName);
    if (!pEntry || !pBuffer || cbBuffer < pEntry->cbDefault) return false;
    std::memcpy(pBuffer, pEntry->pDefault, pEntry->cbDefault);
    if (pcbRead) *pcbRead = pEntry->cbDefault;
    return true;
}

bool PrinterDataReader::ReadPrinterData(LPCWSTR pszName, void* pBuffer, DWORD cbBuffer, DWORD* pcbRead,
                                        DWORD* pdwError)
{
    DWORD dwType = 0, cbNeeded = 0;
    const DWORD dwError =
        GetPrinterDataW(m_hPrinter, pszName, &dwType, static_cast<BYTE*>(pBuffer), cbBuffer, &cbNeeded);
    *pdwError = dwError;
    if (dwError == ERROR_MORE_DATA) Log("Insufficient buffer size more than %d.", cbNeeded);
    if (dwError != ERROR_SUCCESS) return false;
    if (pcbRead) *pcbRead = cbNeeded;
    return true;
}

bool PrinterDataReader::UserKeyPath(LPWSTR pszPath, DWORD cchPath)
{
    WCHAR szDriverKey[kNameMax] = {};
    if (LoadStringW(g_Core.hInstance, IDS_DRIVER_REGISTRY_KEY, szDriverKey, kNameMax) <= 0) return false;
    WCHAR szId[64] = {};
    DWORD dwError = 0;
    if (!ReadPrinterData(u"OEMPrinterID", szId, sizeof szId - 2, nullptr, &dwError) || !szId[0]) return false;
    const std::u16string path = Concat(szDriverKey, u"PrinterDriverData\\") + szId;
    if (path.size() + 1 > cchPath) return false;
    lstrcpynW(pszPath, path.c_str(), static_cast<int>(cchPath));
    return true;
}

namespace {

// Splits "a\b\c" into the sub-key "a\b" and the value "c".
void SplitValueName(LPCWSTR pszName, std::u16string* subKey, std::u16string* value)
{
    const std::u16string name = pszName ? pszName : u"";
    const size_t slash = name.rfind(u'\\');
    if (slash == std::u16string::npos) {
        subKey->clear();
        *value = name;
        return;
    }
    *subKey = name.substr(0, slash);
    *value = name.substr(slash + 1);
}

}  // namespace

bool PrinterDataReader::ReadUserStore(LPCWSTR pszName, void* pBuffer, DWORD cbBuffer, DWORD* pcbRead,
                                      DWORD* pdwError)
{
    *pdwError = ERROR_FILE_NOT_FOUND;
    WCHAR szPath[kNameMax * 2];
    if (!UserKeyPath(szPath, kNameMax * 2)) return false;
    std::u16string subKey, value;
    SplitValueName(pszName, &subKey, &value);
    std::u16string path = szPath;
    if (!subKey.empty()) path += u"\\" + subKey;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return false;
    DWORD dwType = 0, cbData = cbBuffer;
    const LSTATUS status = RegQueryValueExW(hKey, value.c_str(), nullptr, &dwType, static_cast<BYTE*>(pBuffer), &cbData);
    RegCloseKey(hKey);
    *pdwError = static_cast<DWORD>(status);
    if (status == ERROR_MORE_DATA) Log("Insufficient buffer size more than %d.", cbData);
    if (status != ERROR_SUCCESS) return false;
    if (pcbRead) *pcbRead = cbData;
    return true;
}

bool PrinterDataReader::Read(LPCWSTR pszName, void* pBuffer, DWORD cbBuffer, DWORD dwSource, DWORD* pcbRead)
{
    if (m_bReadOnly && dwSource != PDS_DEFAULT && dwSource != PDS_PRINTER) {
        Log("Invalid DataSource type(%d).", dwSource);
        return false;
    }
    DWORD dwError = 0;
    switch (dwSource) {
    case PDS_DEFAULT: return ReadDefault(pszName, pBuffer, cbBuffer, pcbRead);
    case PDS_PRINTER:
        if (ReadPrinterData(pszName, pBuffer, cbBuffer, pcbRead, &dwError)) return true;
        if (dwError == ERROR_MORE_DATA) return false;
        return ReadDefault(pszName, pBuffer, cbBuffer, pcbRead);
    case PDS_USER:
        if (ReadUserStore(pszName, pBuffer, cbBuffer, pcbRead, &dwError)) return true;
        if (dwError == ERROR_MORE_DATA) return false;
        [[fallthrough]];
    case PDS_PRINTER_DEFAULT: {
        const std::u16string name = Concat(pszName, u"Default");
        if (ReadPrinterData(name.c_str(), pBuffer, cbBuffer, pcbRead, &dwError)) return true;
        if (dwError == ERROR_MORE_DATA) return false;
        return ReadDefault(pszName, pBuffer, cbBuffer, pcbRead);
    }
    case PDS_RESERVED: KTPS_LOG(DBG_ERROR, "Currentry not implemented yet."); return false;
    default: Log("Invalid DataSource type(%d).", dwSource); return false;
    }
}

bool PrinterDataReader::WritePrinterData(LPCWSTR pszName, DWORD dwType, const void* pData, DWORD cbData)
{
    const BYTE* pBytes = static_cast<const BYTE*>(pData);
    if (SetPrinterDataW(m_hPrinter, pszName, dwType, pBytes, cbData) == ERROR_SUCCESS) return true;
    // The handle may lack the right to write: try again as administrator of the same printer.
    DWORD cbNeeded = 0;
    GetPrinterW(m_hPrinter, 4, nullptr, 0, &cbNeeded);
    if (cbNeeded == 0) return false;
    std::vector<BYTE> info(cbNeeded);
    if (!GetPrinterW(m_hPrinter, 4, info.data(), cbNeeded, &cbNeeded)) return false;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE hAdmin = nullptr;
    if (!OpenPrinterW(reinterpret_cast<PRINTER_INFO_4W*>(info.data())->pPrinterName, &hAdmin, &defaults)) return false;
    const DWORD dwError = SetPrinterDataW(hAdmin, pszName, dwType, pBytes, cbData);
    ClosePrinter(hAdmin);
    return dwError == ERROR_SUCCESS;
}

bool PrinterDataReader::WriteUserStore(LPCWSTR pszName, DWORD dwType, const void* pData, DWORD cbData)
{
    WCHAR szPath[kNameMax * 2];
    if (!UserKeyPath(szPath, kNameMax * 2)) return false;
    HKEY hPrinterKey = nullptr;
    DWORD dwDisposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, szPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hPrinterKey,
                        &dwDisposition) != ERROR_SUCCESS)
        return false;
    if (dwDisposition == REG_CREATED_NEW_KEY) {
        // A new key records the printer's attributes, and keys of printers gone are cleared away.
        DWORD dwAttributes = 0, cbNeeded = 0;
        GetPrinterW(m_hPrinter, 4, nullptr, 0, &cbNeeded);
        std::vector<BYTE> info(cbNeeded ? cbNeeded : 1);
        if (cbNeeded && GetPrinterW(m_hPrinter, 4, info.data(), cbNeeded, &cbNeeded))
            dwAttributes = reinterpret_cast<PRINTER_INFO_4W*>(info.data())->Attributes;
        RegSetValueExW(hPrinterKey, u"", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwAttributes), 4);
        std::u16string base = szPath;
        base.resize(base.rfind(u'\\'));
        DeleteStalePrinterKeys(base);
    }
    std::u16string subKey, value;
    SplitValueName(pszName, &subKey, &value);
    HKEY hKey = hPrinterKey;
    if (!subKey.empty() && RegCreateKeyExW(hPrinterKey, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                                           nullptr) != ERROR_SUCCESS) {
        RegCloseKey(hPrinterKey);
        return false;
    }
    const LSTATUS status = RegSetValueExW(hKey, value.c_str(), 0, dwType, static_cast<const BYTE*>(pData), cbData);
    if (hKey != hPrinterKey) RegCloseKey(hKey);
    RegCloseKey(hPrinterKey);
    return status == ERROR_SUCCESS;
}

bool PrinterDataReader::Write(LPCWSTR pszName, DWORD dwType, const void* pData, DWORD cbData, DWORD dwSource)
{
    if (m_bReadOnly && dwSource != PDS_DEFAULT && dwSource != PDS_PRINTER) {
        Log("Invalid DataSource type(%d).", dwSource);
        return false;
    }
    switch (dwSource) {
    case PDS_DEFAULT: KTPS_LOG(DBG_ERROR, "Cannot set the default value."); return false;
    case PDS_PRINTER: return WritePrinterData(pszName, dwType, pData, cbData);
    case PDS_USER: return WriteUserStore(pszName, dwType, pData, cbData);
    case PDS_PRINTER_DEFAULT: return WritePrinterData(Concat(pszName, u"Default").c_str(), dwType, pData, cbData);
    case PDS_RESERVED: KTPS_LOG(DBG_ERROR, "Currentry not implemented yet."); return false;
    default: Log("Invalid DataSource type(%d).", dwSource); return false;
    }
}

bool PrinterDataReader::Delete(LPCWSTR pszName, DWORD dwSource)
{
    if (dwSource != PDS_USER) return false;
    WCHAR szPath[kNameMax * 2];
    if (!UserKeyPath(szPath, kNameMax * 2)) return false;
    std::u16string subKey, value;
    SplitValueName(pszName, &subKey, &value);
    std::u16string path = szPath;
    if (!subKey.empty()) path += u"\\" + subKey;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS) return false;
    const LSTATUS status = RegDeleteValueW(hKey, value.c_str());
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS;
}

bool PrinterDataReader::TestCapability(DWORD dwMask)
{
    DWORD adwCapability[4] = {};
    if (!Read(u"OEMSupportCapability", adwCapability, sizeof adwCapability, PDS_PRINTER)) return false;
    return (adwCapability[0] & dwMask) != 0;
}

bool PrinterDataReader::TestEnableFunction(DWORD dwMask, int nSlot, DWORD dwSource)
{
    if (nSlot < 1 || nSlot > 4) {
        Log("Invalid slot no = %d.", static_cast<DWORD>(nSlot));
        return false;
    }
    DWORD adwEnable[4] = {};
    if (!Read(u"OEMEnableFunction", adwEnable, sizeof adwEnable, dwSource)) return false;
    return (adwEnable[nSlot - 1] & dwMask) != 0;
}

bool PrinterDataReader::IsPreConfig(int nLevel)
{
    DWORD dwDisable = 0;
    if (!Read(u"OEMDisablePSFeatures", &dwDisable, sizeof dwDisable, PDS_PRINTER)) return false;
    return (dwDisable & 0x80000000u) || (nLevel == 0 && (dwDisable & 0x1));
}

WORD PrinterDataReader::ReadWord(LPCWSTR pszName, WORD wFallback)
{
    DWORD dwValue = 0;
    if (!Read(pszName, &dwValue, sizeof dwValue, PDS_PRINTER)) return wFallback;
    return LOWORD(dwValue);
}

bool PrinterDataReader::ReadText(LPCWSTR pszName, LPWSTR pszOut, DWORD cbOut)
{
    if (!pszOut || cbOut < 2) return false;
    std::memset(pszOut, 0, cbOut);
    if (!Read(pszName, pszOut, cbOut, PDS_PRINTER)) return false;
    pszOut[cbOut / 2 - 1] = 0;
    return true;
}

WORD PrinterDataReader::GetJobOwnerChoice() { return ReadWord(u"OEMSpecifyJobOwner", 7); }
bool PrinterDataReader::GetJobOwnerName(LPWSTR pszOut, DWORD cbOut) { return ReadText(u"OEMJobOwnerName", pszOut, cbOut); }
bool PrinterDataReader::GetJobOwnerPassword(LPWSTR pszOut, DWORD cbOut)
{
    return ReadText(u"OEMJobOwnerPassword", pszOut, cbOut);
}
bool PrinterDataReader::GetSecurePrintUserName(LPWSTR pszOut, DWORD cbOut)
{
    return ReadText(u"OEMSecurePrintUserName", pszOut, cbOut);
}
bool PrinterDataReader::GetSecurePrintPIN(LPWSTR pszOut, DWORD cbOut) { return ReadText(u"OEMSecurePrintPIN", pszOut, cbOut); }
bool PrinterDataReader::GetMailAddress(LPWSTR pszOut, DWORD cbOut) { return ReadText(u"OEMMailAddress", pszOut, cbOut); }

bool PrinterDataReader::GetJobAccountMode(DWORD* pdwMode)
{
    DWORD dwMode = 0;
    const bool bRead = Read(u"OEMJobAccountMode", &dwMode, sizeof dwMode, PDS_PRINTER);
    if (pdwMode) *pdwMode = bRead ? dwMode : 0;
    return (bRead && dwMode != 0) || TestCapability(PDCAP_ACCOUNT_MODE_A);
}

BYTE PrinterDataReader::GetJobAccountStatus()
{
    BYTE bStatus[4] = {1};
    if (!Read(u"OEMJobAccountStatus", bStatus, sizeof bStatus, PDS_PRINTER)) return 1;
    return bStatus[0];
}

DWORD PrinterDataReader::GetJobAccountDefault()
{
    DWORD dwValue = 0;
    return Read(u"OEMJobAccountDefault", &dwValue, sizeof dwValue, PDS_PRINTER) ? dwValue : 0;
}

bool PrinterDataReader::GetJobAccountRecord(JobAccountRecord* pRecord)
{
    if (!pRecord) return false;
    std::vector<BYTE> data(JOB_ACCOUNT_INFO_MAX);
    DWORD cbRead = 0;
    const bool bRead = Read(u"OEMJobAccountInfo", data.data(), JOB_ACCOUNT_INFO_MAX, PDS_PRINTER, &cbRead);
    ParseJobAccountInfo(data.data(), bRead ? cbRead : 0, pRecord);
    return bRead;
}

WORD PrinterDataReader::GetSupportJCL() { return ReadWord(u"OEMSupportJCL", 0); }
WORD PrinterDataReader::GetSupportBrantel() { return ReadWord(u"OEMSupportBrantel", 0); }
WORD PrinterDataReader::GetSupportSecurePrint() { return ReadWord(u"OEMSupportSecurePrint", 0); }

bool PrinterDataReader::SetCapabilityWord(DWORD dwCapability)
{
    DWORD adwCapability[4] = {};
    Read(u"OEMSupportCapability", adwCapability, sizeof adwCapability, PDS_PRINTER);
    adwCapability[0] = dwCapability;
    return Write(u"OEMSupportCapability", REG_BINARY, adwCapability, sizeof adwCapability, PDS_PRINTER);
}

bool PrinterDataReader::SetEnableFunctionBits(int nSlot, DWORD dwMask, bool bSet, DWORD dwSource)
{
    if (nSlot < 1 || nSlot > 4) {
        Log("Invalid slot no = %d.", static_cast<DWORD>(nSlot));
        return false;
    }
    DWORD adwEnable[4] = {};
    Read(u"OEMEnableFunction", adwEnable, sizeof adwEnable, dwSource == PDS_USER ? PDS_USER : PDS_PRINTER);
    if (bSet)
        adwEnable[nSlot - 1] |= dwMask;
    else
        adwEnable[nSlot - 1] &= ~dwMask;
    return Write(u"OEMEnableFunction", REG_BINARY, adwEnable, sizeof adwEnable, dwSource);
}

bool PrinterDataReader::ReadInstallableOption(LPCSTR pszKeyword, LPSTR pszOption, DWORD cbOption)
{
    return ::ReadInstallableOption(m_hPrinter, pszKeyword, pszOption, cbOption);
}

bool ReadInstallableOption(HANDLE hPrinter, LPCSTR pszKeyword, LPSTR pszOption, DWORD cbOption)
{
    if (!hPrinter || !pszKeyword || !pszOption) return false;
    char szKeyword[256];
    char szPrefix[KW_PREFIX_SIZE] = {};
    if (GetPpdKeywordPrefix(hPrinter, szPrefix) && IsKeywordMappingActive(szPrefix))
        MapKeywordToPpd(pszKeyword, szPrefix, szKeyword, sizeof szKeyword);
    else
        std::snprintf(szKeyword, sizeof szKeyword, "%s", pszKeyword);
    DWORD dwType = 0, cbNeeded = 0;
    if (GetPrinterDataW(hPrinter, u"FeatureKeyword", &dwType, nullptr, 0, &cbNeeded) != ERROR_MORE_DATA ||
        cbNeeded == 0)
        return false;
    std::vector<BYTE> data(cbNeeded);
    if (GetPrinterDataW(hPrinter, u"FeatureKeyword", &dwType, data.data(), cbNeeded, &cbNeeded) != ERROR_SUCCESS)
        return false;
    return FindFeatureKeywordOption(data.data(), cbNeeded, szKeyword, pszOption, cbOption);
}
