// printf-style formatting on 8-bit strings where "%S" takes a wide (UTF-16) string, as the
// modules' log and text writers expect. Wide text is written in the ANSI code page.
#pragma once

#include <cstdarg>
#include <string>

namespace platform {

std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...);

}  // namespace platform
