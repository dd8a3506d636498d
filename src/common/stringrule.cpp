#include "stringrule.h"

#include <cstring>
#include <vector>

namespace {

struct ByteRange {
    BYTE first;
    BYTE last;
};

// High-half bytes allowed by the single-byte tables (class = the table's bit).
constexpr ByteRange kTable10[] = {{0x82, 0x83}, {0x8A, 0x8B}, {0x8E, 0x8E}, {0x92, 0x97}, {0x9A, 0x9C},
                                  {0x9E, 0x9F}, {0xA1, 0xA1}, {0xAA, 0xAB}, {0xAD, 0xAD}, {0xB5, 0xB5},
                                  {0xB7, 0xB7}, {0xBA, 0xBB}, {0xBF, 0xCF}, {0xD1, 0xFF}};
constexpr ByteRange kTable20[] = {{0x82, 0x83}, {0x8B, 0x8F}, {0x92, 0x97}, {0x9A, 0x9F}, {0xA3, 0xA3},
                                  {0xA5, 0xA5}, {0xAA, 0xAB}, {0xAD, 0xAD}, {0xAF, 0xAF}, {0xB3, 0xB3},
                                  {0xB5, 0xB5}, {0xB7, 0xB7}, {0xB9, 0xBC}, {0xBE, 0xF6}, {0xF8, 0xFE}};
constexpr ByteRange kTable80[] = {{0x82, 0x83}, {0x8A, 0x8B}, {0x92, 0x97}, {0x9A, 0x9C}, {0x9F, 0xA1},
                                  {0xAA, 0xAB}, {0xAD, 0xAD}, {0xB5, 0xB5}, {0xB7, 0xB7}, {0xBA, 0xBB},
                                  {0xBF, 0xF6}, {0xF8, 0xFF}};
constexpr ByteRange kTable100[] = {{0x81, 0x83}, {0x8B, 0x8B}, {0x8D, 0x8D}, {0x92, 0x97}, {0x9B, 0x9B},
                                   {0x9D, 0x9D}, {0xA1, 0xA3}, {0xA5, 0xA5}, {0xA8, 0xA8}, {0xAB, 0xAB},
                                   {0xAD, 0xAD}, {0xB2, 0xB5}, {0xB7, 0xB8}, {0xBB, 0xFF}};

template <size_t N>
bool InRanges(const ByteRange (&ranges)[N], BYTE c)
{
    for (const auto& r : ranges)
        if (c >= r.first && c <= r.last) return true;
    return false;
}

// The table of the flags: the first of 0x10, 0x20, 0x80, 0x100, 0x200; 0 = double-byte table.
DWORD SelectTable(DWORD dwFlags)
{
    for (DWORD bit : {FR_TABLE_10, FR_TABLE_20, FR_TABLE_80, FR_TABLE_100, FR_TABLE_ASCII})
        if (dwFlags & bit) return bit;
    return 0;
}

bool IsLeadByte932(BYTE c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool CodePageAvailable(UINT uCodePage)
{
    char out[8] = {};
    return WideCharToMultiByte(uCodePage, 0, u"A", -1, out, sizeof out, nullptr, nullptr) > 0;
}

}  // namespace

WORD StringRuleByteClass(BYTE c, DWORD dwFlags)
{
    if (c < 0x20 || c == 0x7F) return SR_CLASS_INVALID;
    if (c >= '0' && c <= '9') return FR_CLASS_DIGIT;
    if (c < 0x80) return FR_CLASS_ASCII;
    switch (SelectTable(dwFlags)) {
    case 0:
        if (IsLeadByte932(c)) return SR_CLASS_LEADBYTE;
        return (c >= 0xA1 && c <= 0xDF) ? FR_CLASS_KATAKANA : SR_CLASS_INVALID;
    case FR_TABLE_10: return InRanges(kTable10, c) ? FR_TABLE_10 : SR_CLASS_INVALID;
    case FR_TABLE_20: return InRanges(kTable20, c) ? FR_TABLE_20 : SR_CLASS_INVALID;
    case FR_TABLE_80: return InRanges(kTable80, c) ? FR_TABLE_80 : SR_CLASS_INVALID;
    case FR_TABLE_100: return InRanges(kTable100, c) ? FR_TABLE_100 : SR_CLASS_INVALID;
    default: return SR_CLASS_INVALID;  // the ASCII-only table
    }
}

WORD ScanStringClasses(LPCSTR pszText, DWORD dwFlags, bool* pbAllBlank)
{
    WORD wClasses = 0;
    bool bAllBlank = true;
    const auto* p = reinterpret_cast<const BYTE*>(pszText ? pszText : "");
    if (!*p) bAllBlank = false;
    while (*p) {
        const BYTE c = *p++;
        const WORD wClass = StringRuleByteClass(c, dwFlags);
        if (wClass == SR_CLASS_LEADBYTE) {
            const BYTE d = *p;
            if (!d) {
                wClasses |= SR_CLASS_INVALID;
                bAllBlank = false;
                break;
            }
            ++p;
            wClasses |= ((d >= 0x40 && d <= 0x7E) || (d >= 0x80 && d <= 0xFC)) ? FR_CLASS_DOUBLEBYTE : SR_CLASS_INVALID;
            if (!(c == 0x81 && d == 0x40)) bAllBlank = false;
            continue;
        }
        if (((dwFlags & FR_PERIOD_IS_DIGIT) && c == '.') ||
            (!(dwFlags & FR_PERIOD_IS_DIGIT) && (dwFlags & FR_COMMA_IS_DIGIT) && c == ',')) {
            wClasses |= FR_CLASS_DIGIT;
            bAllBlank = false;
            continue;
        }
        wClasses |= wClass;
        if (c != 0x20) bAllBlank = false;
    }
    if (pbAllBlank) *pbAllBlank = bAllBlank;
    return wClasses;
}

void CutStringRule(LPSTR pszText, DWORD dwFlags, DWORD cbMax)
{
    if (!pszText || cbMax == 0) return;
    const size_t cb = std::strlen(pszText);
    if (cb <= cbMax) return;
    DWORD cbKeep = cbMax;
    if (dwFlags & FR_CLASS_DOUBLEBYTE) {
        DWORD i = 0;
        while (i < cbMax) {
            if (IsLeadByte932(static_cast<BYTE>(pszText[i]))) {
                if (i + 1 >= cbMax) {
                    cbKeep = i;
                    break;
                }
                i += 2;
            } else {
                ++i;
            }
        }
    }
    pszText[cbKeep] = '\0';
}

bool CheckStringRuleA(LPSTR pszText, DWORD dwFlags, DWORD cbMin, DWORD cbMax, DWORD* pdwReason)
{
    DWORD dwDummy = 0;
    DWORD& reason = pdwReason ? *pdwReason : dwDummy;
    reason = SRR_NONE;
    char szEmpty[1] = {};
    if (!pszText) pszText = szEmpty;

    size_t cb = std::strlen(pszText);
    if ((dwFlags & FR_REQUIRED) && cb == 0) {
        reason = SRR_EMPTY;
        return false;
    }
    if (dwFlags & FR_LENGTH_ONLY) {
        if (cbMax > 0 && cb > cbMax) {
            reason = SRR_TOO_LONG;
            return false;
        }
        return true;
    }
    if (dwFlags & FR_NORMALIZE) {
        CutStringRule(pszText, dwFlags, cbMax);
        cb = std::strlen(pszText);
    }
    if (cbMax > 0 && cb > cbMax) {
        reason = SRR_TOO_LONG;
        return false;
    }
    const WORD wAllowed = static_cast<WORD>(dwFlags & 0xFFFF);
    if (wAllowed != 0) {
        bool bAllBlank = false;
        const WORD wClasses = ScanStringClasses(pszText, dwFlags, &bAllBlank);
        if ((wClasses & ~(wAllowed & ~SR_CLASS_INVALID)) || ((dwFlags & FR_NO_BLANK_ONLY) && bAllBlank)) {
            reason = SRR_BAD_CHARACTER;
            return false;
        }
    }
    if (cbMin > 0 && cb > 0 && cb < cbMin) {
        reason = SRR_TOO_SHORT;
        return false;
    }
    return true;
}

bool CheckStringRuleW(LPCWSTR pszText, DWORD dwFlags, DWORD cbMin, DWORD cbMax, DWORD* pdwReason, LPSTR pszOut,
                      DWORD cbOut)
{
    DWORD dwDummy = 0;
    DWORD& reason = pdwReason ? *pdwReason : dwDummy;
    reason = SRR_NONE;
    if (pszOut && cbOut) pszOut[0] = '\0';
    if (!pszText) pszText = u"";

    const UINT uCodePage = (dwFlags & (FR_CLASS_KATAKANA | FR_CLASS_DOUBLEBYTE)) ? 932 : GetACP();
    if (uCodePage == 932 && !CodePageAvailable(932)) return false;

    BOOL bUsedDefault = FALSE;
    const int cbNeeded = WideCharToMultiByte(uCodePage, 0, pszText, -1, nullptr, 0, nullptr, &bUsedDefault);
    if (cbNeeded <= 0) {
        reason = SRR_BAD_CHARACTER;
        return false;
    }
    std::vector<char> work(static_cast<size_t>(cbNeeded) > cbMax + 1 ? static_cast<size_t>(cbNeeded) : cbMax + 1, 0);
    bUsedDefault = FALSE;
    if (WideCharToMultiByte(uCodePage, 0, pszText, -1, work.data(), static_cast<int>(work.size()), nullptr,
                            &bUsedDefault) <= 0 ||
        bUsedDefault) {
        reason = SRR_BAD_CHARACTER;
        return false;
    }
    const bool bValid = CheckStringRuleA(work.data(), dwFlags, cbMin, cbMax, &reason);
    if (pszOut && cbOut) {
        std::strncpy(pszOut, work.data(), cbOut - 1);
        pszOut[cbOut - 1] = '\0';
    }
    return bValid;
}
