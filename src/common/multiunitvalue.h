// A length kept twice, in micrometres and in 1/100000 inch, printed and parsed in
// millimetres, inches or points.
#pragma once

#include "platform/win32.h"

enum MuvUnit : int {
    MUV_MICROMETRE = 0,
    MUV_MILLIMETRE = 1,
    MUV_INCH = 2,      // counts of 1/100000 inch
    MUV_POINT = 3,     // counts of 1/100000 point
};

constexpr DWORD MUV_TEXT_SIZE = 64;

class MultiUnitValue {
public:
    MultiUnitValue() = default;
    // make: the value in the unit, with the decimal character used to print and parse.
    MultiUnitValue(DWORD dwValue, int nUnit, WCHAR wDecimal = u'.');

    // Recomputes both counts from a value in the unit; false for an unknown unit.
    bool Set(DWORD dwValue, int nUnit);
    // Text with nDecimals (0..5) in the unit, in a buffer of at least 64 bytes.
    bool Print(LPSTR pszOut, DWORD cbOut, int nDecimals, int nUnit) const;
    // Reads a wide text of at most 63 characters in unit 1 (mm), 2 (inch) or 3 (point).
    bool Parse(LPCWSTR pszText, int nUnit);

    DWORD Micrometres() const { return m_dwMicrometres; }
    DWORD InchCounts() const { return m_dwInch100000; }
    WCHAR DecimalChar() const { return m_wDecimal; }
    void SetRounding(bool bOn) { m_bRounding = bOn; }
    bool Rounding() const { return m_bRounding; }

private:
    DWORD m_dwMicrometres = 0;
    DWORD m_dwInch100000 = 0;
    WCHAR m_wDecimal = u'.';
    bool m_bRounding = true;
};
