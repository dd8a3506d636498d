// Wide-string helpers: the C library's wide functions work on wchar_t, ours on UTF-16.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

int lstrlenW(LPCWSTR text);
// Copies at most size-1 characters and always terminates (size > 0).
LPWSTR lstrcpynW(LPWSTR dest, LPCWSTR source, int size);
int lstrcmpW(LPCWSTR a, LPCWSTR b);
// Compares without regard to ASCII case.
int lstrcmpiW(LPCWSTR a, LPCWSTR b);

namespace platform {

std::u16string Widen(std::string_view utf8);
std::string Narrow(std::u16string_view wide);
inline std::string Narrow(LPCWSTR wide) { return wide ? Narrow(std::u16string_view(wide)) : std::string(); }

}  // namespace platform
