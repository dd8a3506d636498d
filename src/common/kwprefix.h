// The printer description's two-letter keyword prefix. The code names maker features with
// "KT"; an installed PPD may use other letters (the first two of its file name, upper-cased),
// and keywords are mapped between the two on their way to and from the host.
#pragma once

#include "platform/win32.h"

constexpr DWORD KW_PREFIX_SIZE = 3;  // two letters and a terminator

// The prefix of the printer's PPD (GetPrinterDriverW level 2, data file). False when it cannot
// be had (no printer, no data file, a name shorter than two characters).
bool GetPpdKeywordPrefix(HANDLE hPrinter, char szPrefix[KW_PREFIX_SIZE]);
// The prefix of a PPD file path: the first two letters of its file name, upper-cased.
bool KeywordPrefixOfPath(LPCWSTR pszPath, char szPrefix[KW_PREFIX_SIZE]);
// True when a mapping is needed (a prefix that is not "KT").
bool IsKeywordMappingActive(const char* pszPrefix);
// "KT..." becomes prefix + "..."; other keywords are copied. Cut to the buffer and terminated.
void MapKeywordToPpd(LPCSTR pszKeyword, const char* pszPrefix, LPSTR pszOut, DWORD cbOut);
// prefix + "..." becomes "KT..."; other keywords are copied.
void MapKeywordFromPpd(LPCSTR pszKeyword, const char* pszPrefix, LPSTR pszOut, DWORD cbOut);
