// Conversions run through iconv in one pass; a sequence the other side cannot hold is
// replaced (and reported) and the pass goes on after it.
#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/errors.h"
#include "platform/wstring.h"

namespace {

const char* IconvName(UINT codePage)
{
    switch (codePage == CP_ACP ? GetACP() : codePage) {
    case 1252: return "CP1252";
    case 932: return "CP932";
    case CP_UTF8: return "UTF-8";
    default: return nullptr;
    }
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in to out; onInvalid is told how many input bytes it may skip and returns the
    // bytes to put in their place and how many it consumed (false ends the conversion).
    template <typename OnInvalid>
    bool Run(const char* in, size_t inSize, std::string* out, OnInvalid onInvalid)
    {
        char buffer[1024];
        while (inSize > 0) {
            char* dst = buffer;
            size_t room = sizeof buffer;
            char* src = const_cast<char*>(in);
            const size_t rc = iconv(cd_, &src, &inSize, &dst, &room);
            out->append(buffer, static_cast<size_t>(dst - buffer));
            in = src;
            if (rc != static_cast<size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            std::string replacement;
            size_t skip = 0;
            if (!onInvalid(in, inSize, &replacement, &skip)) return false;
            out->append(replacement);
            in += skip;
            inSize -= skip;
        }
        return true;
    }

private:
    iconv_t cd_;
};

int Deliver(const void* data, size_t units, size_t unitSize, void* dest, int destSize)
{
    if (units > static_cast<size_t>(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (destSize == 0) return static_cast<int>(units);
    if (static_cast<size_t>(destSize) < units) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(dest, data, units * unitSize);
    return static_cast<int>(units);
}

}  // namespace

UINT GetACP()
{
    if (const char* acp = std::getenv("LUMENO_ACP"); acp && *acp) {
        const long value = std::strtol(acp, nullptr, 10);
        if (value == 932 || value == 1252 || value == CP_UTF8) return static_cast<UINT>(value);
    }
    return 1252;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength, LPWSTR dest, int destSize)
{
    const char* name = IconvName(codePage);
    if (!source || sourceLength == 0 || destSize < 0 || (destSize > 0 && !dest)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t size = sourceLength < 0 ? std::strlen(source) + 1 : static_cast<size_t>(sourceLength);
    Converter conv("UTF-16LE", name);
    std::string out;
    const bool cp1252 = std::strcmp(name, "CP1252") == 0;
    const bool ok = conv.ok() && conv.Run(source, size, &out, [&](const char* at, size_t, std::string* rep, size_t* skip) {
        if (flags & MB_ERR_INVALID_CHARS) return false;
        // The five bytes 1252 leaves undefined read as the C1 controls of the same value.
        const char16_t wide = cp1252 ? static_cast<char16_t>(static_cast<unsigned char>(*at)) : u'\uFFFD';
        rep->assign(reinterpret_cast<const char*>(&wide), 2);
        *skip = 1;
        return true;
    });
    if (!ok) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return Deliver(out.data(), out.size() / 2, 2, dest, destSize);
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR source, int sourceLength, LPSTR dest, int destSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar)
{
    const char* name = IconvName(codePage);
    if (!source || sourceLength == 0 || destSize < 0 || (destSize > 0 && !dest) || !name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool utf8 = std::strcmp(name, "UTF-8") == 0;
    if (utf8 && (defaultChar || usedDefaultChar)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t units = sourceLength < 0 ? static_cast<size_t>(lstrlenW(source)) + 1 : static_cast<size_t>(sourceLength);
    Converter conv(name, "UTF-16LE");
    std::string out;
    bool used = false;
    const std::string fallback = utf8 ? "\xEF\xBF\xBD" : (defaultChar ? std::string(defaultChar) : "?");
    const bool ok = conv.ok() && conv.Run(reinterpret_cast<const char*>(source), units * 2, &out,
                                          [&](const char* at, size_t left, std::string* rep, size_t* skip) {
                                              // A whole surrogate pair is one character.
                                              char16_t unit;
                                              std::memcpy(&unit, at, 2);
                                              *skip = (unit >= 0xD800 && unit < 0xDC00 && left >= 4) ? 4 : 2;
                                              *rep = fallback;
                                              used = true;
                                              return true;
                                          });
    if (!ok) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
    return Deliver(out.data(), out.size(), 1, dest, destSize);
}
