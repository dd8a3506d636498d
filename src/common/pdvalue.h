// The named per-printer values and their built-in defaults: what a read yields when nothing
// is stored. Values without a row here have no default, and a read that finds nothing fails.
#pragma once

#include "platform/win32.h"

struct PdValueEntry {
    LPCWSTR pszName;
    DWORD dwType;        // registry type as stored
    DWORD cbDefault;     // size of the default in bytes
    const BYTE* pDefault;
};

// The table, ended by a row with a null name.
const PdValueEntry* GetPdValueTable();
// Exact look-up of a value name; null when the value has no built-in default.
const PdValueEntry* FindPdValue(LPCWSTR pszName);
