// Module-wide state of a module that links the common core, set up at process attach and
// torn down at detach.
#pragma once

#include "platform/win32.h"

using OupmFunctionProc = DWORD (*)(DWORD function, DWORD model, void* in, void* out);

struct CoreModuleState {
    HINSTANCE hInstance = nullptr;
    WCHAR szModuleDir[MAX_PATH + 1] = {};   // with its trailing separator
    WCHAR szModuleFile[MAX_PATH + 1] = {};  // file name with extension
    HANDLE hHeap = nullptr;
    DWORD dwDebugLevel = 0;                 // 0 (off) or 1..5
    CRITICAL_SECTION csModule = {};
    HMODULE hModelLib = nullptr;            // owned by the model-library binding
    OupmFunctionProc pfnOupmFunction = nullptr;
};

extern CoreModuleState g_Core;

// String resource 1 of each module: the driver's registry key under HKEY_LOCAL_MACHINE.
constexpr UINT IDS_DRIVER_REGISTRY_KEY = 1;

BOOL CoreInitialize(HINSTANCE hInstance);
void CoreTerminate();

// Frees the model library, if one is loaded, and clears the cached handle and entry.
void ReleaseModelLibrary();
