// The string rule that decides whether a name may be sent (a FieldRule of the UI
// dialogs, or a row of the job header's length-limit table): allowed character classes, the
// table for bytes 0x80-0xFF, length limits, cutting, judged in code page 932 when asked.
#pragma once

#include "platform/win32.h"

// Flag bits of a rule (the low 16 bits are both the allowed classes and the table choice).
constexpr DWORD FR_CLASS_DIGIT = 0x00000001;         // "0".."9"
constexpr DWORD FR_CLASS_ASCII = 0x00000002;         // other printable ASCII, blank included
constexpr DWORD FR_CLASS_KATAKANA = 0x00000004;      // single-byte katakana (code page 932)
constexpr DWORD FR_CLASS_DOUBLEBYTE = 0x00000008;    // double-byte characters (code page 932)
constexpr DWORD FR_TABLE_10 = 0x00000010;
constexpr DWORD FR_TABLE_20 = 0x00000020;
constexpr DWORD FR_TABLE_80 = 0x00000080;
constexpr DWORD FR_TABLE_100 = 0x00000100;
constexpr DWORD FR_TABLE_ASCII = 0x00000200;
constexpr DWORD FR_LENGTH_ONLY = 0x00010000;
constexpr DWORD FR_NORMALIZE = 0x00020000;
constexpr DWORD FR_NO_BLANK_ONLY = 0x00040000;
constexpr DWORD FR_REQUIRED = 0x00080000;
constexpr DWORD FR_PERIOD_IS_DIGIT = 0x00100000;
constexpr DWORD FR_COMMA_IS_DIGIT = 0x00200000;

constexpr WORD SR_CLASS_INVALID = 0x8000;  // never allowed
constexpr WORD SR_CLASS_LEADBYTE = 0x4000; // internal: lead byte of the double-byte table

// Reasons of a failed check.
enum StringRuleReason : DWORD {
    SRR_NONE = 0,
    SRR_BAD_CHARACTER = 1,  // not allowed, or not representable in the code page
    SRR_TOO_SHORT = 2,
    SRR_TOO_LONG = 3,
    SRR_EMPTY = 4,
};

// The class of one byte under the table the flags select (lead bytes of the double-byte table
// answer SR_CLASS_LEADBYTE).
WORD StringRuleByteClass(BYTE c, DWORD dwFlags);
// Classes present in the text and whether it is made only of blanks (false for an empty text).
WORD ScanStringClasses(LPCSTR pszText, DWORD dwFlags, bool* pbAllBlank);
// Ends the text after cbMax bytes; under FR_CLASS_DOUBLEBYTE a lead byte left last is dropped
// too. cbMax 0 leaves the text as it is.
void CutStringRule(LPSTR pszText, DWORD dwFlags, DWORD cbMax);

// The rule on an 8-bit text (cut in place under FR_NORMALIZE). *pdwReason (when given) gets the
// reason, 0 when valid. A minimum or maximum of 0 means no limit.
bool CheckStringRuleA(LPSTR pszText, DWORD dwFlags, DWORD cbMin, DWORD cbMax, DWORD* pdwReason);
// The rule on a wide text, judged in the ANSI code page, or in 932 when the flags have 0x4 or
// 0x8 (no 932: false with reason 0). Unmappable characters give reason 1. The checked (possibly
// cut) 8-bit text is copied to pszOut (cut to cbOut - 1 bytes) when given.
bool CheckStringRuleW(LPCWSTR pszText, DWORD dwFlags, DWORD cbMin, DWORD cbMax, DWORD* pdwReason,
                      LPSTR pszOut = nullptr, DWORD cbOut = 0);
