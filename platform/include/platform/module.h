// Modules: shared libraries loaded with their entry point run, as the host platform does.
#pragma once

#include "platform/types.h"

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

// The entry point every module exports as "DllMain".
using DllMainProc = BOOL (*)(HINSTANCE instance, DWORD reason, LPVOID reserved);
using FARPROC = void (*)();

// Loads the module; on its first load runs DllMain(DLL_PROCESS_ATTACH). A FALSE answer
// unloads it again and the call fails with ERROR_DLL_INIT_FAILED.
HMODULE LoadLibraryW(LPCWSTR path);
// Drops one reference; the last one runs DllMain(DLL_PROCESS_DETACH) and unloads the module.
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// Full path of a loaded module (null: the running program). Returns the characters written
// without the terminator; a short buffer is filled and cut, with ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
// The loaded module whose image holds the given address, without a new reference.
HMODULE GetModuleHandleFromAddress(const void* address);

template <typename Fn>
Fn GetProcAddressAs(HMODULE module, LPCSTR name)
{
    return reinterpret_cast<Fn>(GetProcAddress(module, name));
}
