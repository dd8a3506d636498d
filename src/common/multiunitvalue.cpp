#include "common/multiunitvalue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/debug.h"

namespace {

DWORD MicroToInch(DWORD um) { return static_cast<DWORD>(static_cast<ULONGLONG>(um) * 1000000ull / 254000ull); }
DWORD InchToMicro(DWORD in) { return static_cast<DWORD>(static_cast<ULONGLONG>(in) * 254000ull / 1000000ull); }

}  // namespace

MultiUnitValue::MultiUnitValue(DWORD dwValue, int nUnit, WCHAR wDecimal) : m_wDecimal(wDecimal) { Set(dwValue, nUnit); }

bool MultiUnitValue::Set(DWORD dwValue, int nUnit)
{
    switch (nUnit) {
    case MUV_MICROMETRE:
        m_dwMicrometres = dwValue;
        m_dwInch100000 = MicroToInch(dwValue);
        return true;
    case MUV_MILLIMETRE:
        m_dwMicrometres = static_cast<DWORD>(static_cast<ULONGLONG>(dwValue) * 1000ull);
        m_dwInch100000 = MicroToInch(m_dwMicrometres);
        return true;
    case MUV_INCH:
        m_dwInch100000 = dwValue;
        m_dwMicrometres = InchToMicro(dwValue);
        return true;
    case MUV_POINT:
        m_dwInch100000 = dwValue / 72;
        m_dwMicrometres = InchToMicro(m_dwInch100000);
        return true;
    default:
        KTPS_LOG(DBG_ERROR, "Unknown aUnit(%d).\n", nUnit);
        return false;
    }
}

bool MultiUnitValue::Print(LPSTR pszOut, DWORD cbOut, int nDecimals, int nUnit) const
{
    if (!pszOut || cbOut == 0) return false;
    ULONGLONG value = 0, scale = 1;
    int k = 0;
    switch (nUnit) {
    case MUV_MICROMETRE: value = m_dwMicrometres; break;
    case MUV_MILLIMETRE: value = m_dwMicrometres; scale = 1000; k = 3 - nDecimals; break;
    case MUV_INCH: value = m_dwInch100000; scale = 100000; k = 5 - nDecimals; break;
    case MUV_POINT: value = static_cast<ULONGLONG>(m_dwInch100000) * 72; scale = 100000; k = 5 - nDecimals; break;
    default: KTPS_LOG(DBG_ERROR, "Unknown aUnit(%d).\n", nUnit); return false;
    }
    if (nDecimals < 0 || nDecimals > 5) return false;
    if (k < 0) k = 0;
    ULONGLONG pow10 = 1;
    for (int i = 0; i < k; ++i) pow10 *= 10;
    if (m_bRounding) value += pow10 / 2;
    const ULONGLONG whole = nUnit == MUV_MICROMETRE ? value : value / scale;
    const ULONGLONG fraction = nUnit == MUV_MICROMETRE ? 0 : (value % scale) / pow10;
    char szText[MUV_TEXT_SIZE + 32];
    const char decimal = static_cast<char>(m_wDecimal & 0xFF);
    if (nDecimals == 0)
        std::snprintf(szText, sizeof szText, "%d", static_cast<int>(whole));
    else
        std::snprintf(szText, sizeof szText, "%d%c%0*d", static_cast<int>(whole), decimal, nDecimals,
                      static_cast<int>(fraction));
    szText[MUV_TEXT_SIZE - 1] = '\0';
    const size_t n = std::min<size_t>(std::strlen(szText), cbOut - 1);
    std::memcpy(pszOut, szText, n);
    pszOut[n] = '\0';
    return true;
}

bool MultiUnitValue::Parse(LPCWSTR pszText, int nUnit)
{
    double factor = 0;
    int nStoreUnit = 0;
    switch (nUnit) {
    case MUV_MILLIMETRE: factor = 1000; nStoreUnit = MUV_MICROMETRE; break;
    case MUV_INCH: factor = 100000; nStoreUnit = MUV_INCH; break;
    case MUV_POINT: factor = 100000; nStoreUnit = MUV_POINT; break;
    default: KTPS_LOG(DBG_ERROR, "Unknown aUnit(%d).\n", nUnit); return true;
    }
    // Up to 63 characters, each decimal character made ".", then read as a float.
    char szText[MUV_TEXT_SIZE] = {};
    for (int i = 0; pszText && pszText[i] && i < 63; ++i) {
        WCHAR c = pszText[i];
        if (c == m_wDecimal) c = u'.';
        szText[i] = c < 0x80 ? static_cast<char>(c) : '?';
    }
    float number = 0;
    if (std::sscanf(szText, "%f", &number) != 1) number = 0;
    // The single-precision number times the factor, truncated toward zero to 32 bits.
    const double product = factor * static_cast<double>(number);
    DWORD dwValue = 0;
    if (product >= 4294967295.0)
        dwValue = 0xFFFFFFFFu;
    else if (product > 0)
        dwValue = static_cast<DWORD>(product);
    else if (product < 0 && product > -2147483648.0)
        dwValue = static_cast<DWORD>(static_cast<LONG>(product));
    Set(dwValue, nStoreUnit);
    return true;
}
