#include "common/kwprefix.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/spooler.h"

namespace {

void CopyCut(LPCSTR pszSource, LPSTR pszOut, DWORD cbOut)
{
    if (!pszOut || cbOut == 0) return;
    const size_t n = std::min<size_t>(std::strlen(pszSource), cbOut - 1);
    std::memmove(pszOut, pszSource, n);
    pszOut[n] = '\0';
}

void Replace(LPCSTR pszKeyword, const char* pszFrom, const char* pszTo, LPSTR pszOut, DWORD cbOut)
{
    if (!pszOut || cbOut == 0) return;
    if (!pszKeyword) {
        pszOut[0] = '\0';
        return;
    }
    if (pszFrom && pszTo && std::strlen(pszFrom) == 2 && std::strlen(pszTo) == 2 &&
        std::strncmp(pszKeyword, pszFrom, 2) == 0) {
        char szTemp[256];
        std::snprintf(szTemp, sizeof szTemp, "%s%s", pszTo, pszKeyword + 2);
        CopyCut(szTemp, pszOut, cbOut);
        return;
    }
    CopyCut(pszKeyword, pszOut, cbOut);
}

}  // namespace

bool KeywordPrefixOfPath(LPCWSTR pszPath, char szPrefix[KW_PREFIX_SIZE])
{
    if (!pszPath || !szPrefix) return false;
    LPCWSTR pszName = pszPath;
    for (LPCWSTR p = pszPath; *p; ++p)
        if (*p == u'/' || *p == u'\\') pszName = p + 1;
    if (!pszName[0] || !pszName[1]) return false;
    for (int i = 0; i < 2; ++i) {
        const char16_t c = pszName[i];
        if (c > 0x7F) return false;
        szPrefix[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    szPrefix[2] = '\0';
    return true;
}

bool GetPpdKeywordPrefix(HANDLE hPrinter, char szPrefix[KW_PREFIX_SIZE])
{
    if (!hPrinter || !szPrefix) return false;
    DWORD cbNeeded = 0;
    GetPrinterDriverW(hPrinter, nullptr, 2, nullptr, 0, &cbNeeded);
    if (cbNeeded == 0 || cbNeeded > 64 * 1024) return false;
    BYTE* pBuffer = new (std::nothrow) BYTE[cbNeeded];
    if (!pBuffer) return false;
    bool bOk = false;
    if (GetPrinterDriverW(hPrinter, nullptr, 2, pBuffer, cbNeeded, &cbNeeded))
        bOk = KeywordPrefixOfPath(reinterpret_cast<DRIVER_INFO_2W*>(pBuffer)->pDataFile, szPrefix);
    delete[] pBuffer;
    return bOk;
}

bool IsKeywordMappingActive(const char* pszPrefix)
{
    return pszPrefix && std::strlen(pszPrefix) == 2 && std::strcmp(pszPrefix, "KT") != 0;
}

void MapKeywordToPpd(LPCSTR pszKeyword, const char* pszPrefix, LPSTR pszOut, DWORD cbOut)
{
    Replace(pszKeyword, IsKeywordMappingActive(pszPrefix) ? "KT" : nullptr, pszPrefix, pszOut, cbOut);
}

void MapKeywordFromPpd(LPCSTR pszKeyword, const char* pszPrefix, LPSTR pszOut, DWORD cbOut)
{
    Replace(pszKeyword, IsKeywordMappingActive(pszPrefix) ? pszPrefix : nullptr, "KT", pszOut, cbOut);
}
