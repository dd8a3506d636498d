// Module resources compiled into each module from the text sources of its resources/ folder,
// reached through the module handle.
#pragma once

#include "platform/types.h"

namespace platform {

struct ResourceString {
    UINT id;
    const WCHAR* text;
    UINT length;
};

struct ResourceVersionValue {
    const char* name;   // "FileDescription", "ProductVersion", ...
    const WCHAR* text;
};

struct ResourceVersion {
    WORD fileVersion[4];
    WORD productVersion[4];
    const ResourceVersionValue* values;
    UINT valueCount;
};

struct ResourceTable {
    const ResourceString* strings;   // sorted by id
    UINT stringCount;
    const ResourceVersion* version;  // null when the module has none
};

// Called by the generated resource source of each module when it is loaded and unloaded.
void RegisterModuleResources(const ResourceTable* table);
void UnregisterModuleResources(const ResourceTable* table);

const ResourceTable* FindModuleResources(HMODULE module);

}  // namespace platform

// Copies string resource id into buffer (cut to size-1 characters, always terminated) and
// returns its length; 0 with ERROR_RESOURCE_NAME_NOT_FOUND when the module has no such string.
// With size 0, stores a read-only pointer to the text in *buffer (as const WCHAR*).
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;  // 0xFEEF04BD
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
};

// The version information of a loaded module: the fixed part, and a named text value.
BOOL GetModuleFixedVersion(HMODULE module, VS_FIXEDFILEINFO* info);
BOOL GetModuleVersionString(HMODULE module, LPCSTR name, LPWSTR buffer, DWORD size);
