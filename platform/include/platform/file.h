// The few file calls the modules make: open with a share mode, seek, write, close.
#pragma once

#include "platform/types.h"

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

// Share mode 0 holds the file exclusively: a second open of it fails with
// ERROR_SHARING_VIOLATION until the first handle is closed.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, void* overlapped);
BOOL ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, void* overlapped);
BOOL CloseHandle(HANDLE handle);
