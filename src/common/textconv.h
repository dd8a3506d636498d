// Wide/8-bit conversion of null-terminated strings used across the core.
#pragma once

#include "platform/win32.h"

// Both answer 0 when either pointer is null, else the result of the system conversion (which
// counts the terminator).
int WideToMultiByte(LPCWSTR pszSource, LPSTR pszDest, int cbDest, UINT uCodePage);
int MultiByteToWide(LPCSTR pszSource, LPWSTR pszDest, int cchDest, UINT uCodePage);
