// Kernel services: temporary directory, local time, the C library's locale.
#pragma once

#include "platform/types.h"

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// $TMPDIR (else /tmp) with a trailing separator. Returns the length without the terminator,
// or the size needed (terminator included) when the buffer is too short; 0 on failure.
DWORD GetTempPathW(DWORD size, LPWSTR buffer);
void GetLocalTime(SYSTEMTIME* time);
