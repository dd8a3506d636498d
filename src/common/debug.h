// The debug log of the module: one text file per module in the user's temporary directory,
// written only for levels that pass the DebugLevel threshold of the driver key.
#pragma once

#include "platform/win32.h"

enum DebugLevel : DWORD {
    DBG_NONE = 0,
    DBG_INFO = 1,
    DBG_NOTICE = 2,
    DBG_WARN = 3,
    DBG_ERROR = 4,
    DBG_ASSERT = 5,
};

// printf conventions on 8-bit strings; "%S" takes a wide string.
void DebugOut(DWORD dwLevel, const char* pszSourcePath, int nLine, const char* pszContext, const char* pszFormat, ...);

// The log file of this module: temporary directory + module file name + ".log".
// False when the temporary directory cannot be had.
bool GetDebugLogPath(LPWSTR pszPath, DWORD cchPath);

#define KTPS_LOG(level, ...) DebugOut((level), __FILE__, __LINE__, "", __VA_ARGS__)
