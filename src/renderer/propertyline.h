// Property lines: "%%KTPS PROPERTY owner=.. name=.. type=BINARY size=N data=HEX\r\n".
#pragma once

#include <string>

#include "renderer/renderingsystem.h"

constexpr DWORD PROPERTY_TYPE_BINARY = 1;
constexpr DWORD PROPERTY_NAME_MAX = 80;

// Writes the line in one piece through the system's host output.
HRESULT WritePropertyLine(IRenderingSystem* pSystem, LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize,
                          const void* pData);
// The line's text (heap memory, MemFree); null for a type other than 1 or no memory.
LPSTR FormatPropertyLine(LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize, const void* pData,
                         DWORD* pcbLine, HRESULT* phr);

// True when the text begins with "%KTPS PROPERTY " (one per-cent sign).
bool IsPropertyLine(const char* pszText, size_t cbText);

struct ParsedProperty {
    char szOwner[PROPERTY_NAME_MAX + 1];
    char szName[PROPERTY_NAME_MAX + 1];
    char szType[PROPERTY_NAME_MAX + 1];
    int nSize;
    DWORD dwType;
    std::string data;
    size_t cbConsumed;  // position after the line
};
// Parses a whole line of cbLine bytes; false when fewer than four header fields are found or
// the data is not size upper-case hexadecimal pairs.
bool ParsePropertyLine(const char* pszLine, size_t cbLine, ParsedProperty* pOut);
