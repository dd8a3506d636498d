// The device picture: which bitmap shows the printer with its current installable options.
#pragma once

#include "platform/types.h"

// Function 1006: copies the picture keyword list whole into out when *pcbBuffer holds it.
void CopyPictureKeywords(const DWORD* pcbBuffer, BYTE* pOut);
// Function 1007: the picture for a double-NUL-terminated list of keyword/option pairs, or 0.
DWORD FindPictureId(const char* pszPairs);
