// A printf that walks the format itself, so that "%S" can take a UTF-16 string: each
// conversion is taken from the arguments by its own type and handed to snprintf alone.
#include "platform/format.h"

#include <cstdio>
#include <cstring>

#include "platform/codepage.h"
#include "platform/wstring.h"

namespace platform {

namespace {

enum class Length { None, Char, Short, Long, LongLong, Size, IntMax, PtrDiff, LongDouble };

Length ReadLength(const char*& p)
{
    switch (*p) {
    case 'h': ++p; if (*p == 'h') { ++p; return Length::Char; } return Length::Short;
    case 'l': ++p; if (*p == 'l') { ++p; return Length::LongLong; } return Length::Long;
    case 'z': ++p; return Length::Size;
    case 'j': ++p; return Length::IntMax;
    case 't': ++p; return Length::PtrDiff;
    case 'L': ++p; return Length::LongDouble;
    default: return Length::None;
    }
}

// The modifier as snprintf reads it; char and short arguments arrive promoted to int.
const char* LengthText(Length length)
{
    switch (length) {
    case Length::Long: return "l";
    case Length::LongLong: return "ll";
    case Length::Size: return "z";
    case Length::IntMax: return "j";
    case Length::PtrDiff: return "t";
    default: return "";
    }
}

std::string WideInAnsi(const char16_t* wide)
{
    if (!wide) return "(null)";
    const int needed = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return Narrow(wide);
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, out.data(), needed, nullptr, nullptr);
    out.pop_back();
    return out;
}

template <typename T>
void Append(std::string* out, const std::string& spec, T value)
{
    char small[128];
    const int n = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof small) {
        out->append(small, static_cast<size_t>(n));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), spec.c_str(), value);
    out->append(big.data(), static_cast<size_t>(n));
}

void AppendInteger(std::string* out, const std::string& spec, Length length, bool isSigned, va_list& args)
{
    switch (length) {
    case Length::Long:
        isSigned ? Append(out, spec, va_arg(args, long)) : Append(out, spec, va_arg(args, unsigned long));
        break;
    case Length::LongLong:
        isSigned ? Append(out, spec, va_arg(args, long long)) : Append(out, spec, va_arg(args, unsigned long long));
        break;
    case Length::Size: Append(out, spec, va_arg(args, size_t)); break;
    case Length::IntMax: Append(out, spec, va_arg(args, intmax_t)); break;
    case Length::PtrDiff: Append(out, spec, va_arg(args, ptrdiff_t)); break;
    default: isSigned ? Append(out, spec, va_arg(args, int)) : Append(out, spec, va_arg(args, unsigned int)); break;
    }
}

}  // namespace

std::string FormatV(const char* format, va_list argsIn)
{
    std::string out;
    if (!format) return out;
    va_list args;
    va_copy(args, argsIn);
    for (const char* p = format; *p;) {
        if (*p != '%') {
            const char* next = std::strchr(p, '%');
            const size_t n = next ? static_cast<size_t>(next - p) : std::strlen(p);
            out.append(p, n);
            p += n;
            continue;
        }
        const char* start = p++;
        if (*p == '%') {
            out.push_back('%');
            ++p;
            continue;
        }
        std::string spec = "%";
        // Flags, width and precision; a "*" takes its value from the arguments.
        while (*p && std::strchr("-+ #0", *p)) spec.push_back(*p++);
        for (int part = 0; part < 2; ++part) {
            if (part == 1) {
                if (*p != '.') break;
                spec.push_back(*p++);
            }
            if (*p == '*') {
                spec += std::to_string(va_arg(args, int));
                ++p;
            } else {
                while (*p >= '0' && *p <= '9') spec.push_back(*p++);
            }
        }
        const Length length = ReadLength(p);
        const char conversion = *p ? *p++ : '\0';
        switch (conversion) {
        case 'd': case 'i':
            AppendInteger(&out, spec + LengthText(length) + conversion, length, true, args);
            break;
        case 'u': case 'x': case 'X': case 'o':
            AppendInteger(&out, spec + LengthText(length) + conversion, length, false, args);
            break;
        case 'c': Append(&out, spec + "c", va_arg(args, int)); break;
        case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
            if (length == Length::LongDouble)
                Append(&out, spec + "L" + conversion, va_arg(args, long double));
            else
                Append(&out, spec + conversion, va_arg(args, double));
            break;
        case 'p': Append(&out, spec + "p", va_arg(args, void*)); break;
        case 's':
            if (length == Length::Long) {
                Append(&out, spec + "s", WideInAnsi(va_arg(args, const char16_t*)).c_str());
            } else {
                const char* s = va_arg(args, const char*);
                Append(&out, spec + "s", s ? s : "(null)");
            }
            break;
        case 'S': Append(&out, spec + "s", WideInAnsi(va_arg(args, const char16_t*)).c_str()); break;
        default:
            // Not a conversion: keep the text as it stands.
            out.append(start, static_cast<size_t>(p - start));
            break;
        }
    }
    va_end(args);
    return out;
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

}  // namespace platform
