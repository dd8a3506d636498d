// Code-page conversion over iconv: 1252 (the default ANSI code page), 932 and 65001. The ANSI
// code page may be changed with LUMENO_ACP.
#pragma once

#include "platform/types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;

UINT GetACP();
// Both count the terminator when the length is -1; a size of 0 asks for the needed length.
// A short buffer fails with ERROR_INSUFFICIENT_BUFFER.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength, LPWSTR dest,
                        int destSize);
// Characters the code page cannot hold become the default character ("?" unless given), and
// *usedDefaultChar tells whether that happened.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceLength, LPSTR dest,
                        int destSize, LPCSTR defaultChar, BOOL* usedDefaultChar);
