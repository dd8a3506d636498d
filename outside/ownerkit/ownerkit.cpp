// ownerkit: the least stand-in of the outside job-owner DLL. Its answers are raw job-control
// attributes (the text inside PJL SET JOBATTR="..."):
//   owner from input          "@JOAU=<owner>"
//   owner from user and host  "@JOAU=<user>\<host>"
//   host address              "@CNAD=<first non-loopback IPv4 address, else 127.0.0.1>"
//   N-up                      "@NLPP=N<n>" (1 for 0 and 1)
// Every string entry takes the buffer size in *pcbOut and returns the length written there;
// the answer is 1 when the string was made, 0 otherwise; *pdwStatus is 0 on success, 1 for a
// null argument, 2 for too small a buffer, 3 for an owner text that cannot be converted. The
// kind and string-code arguments are accepted and passed on in no further form.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/types.h"

namespace {

constexpr DWORD kStatusOk = 0;
constexpr DWORD kStatusNull = 1;
constexpr DWORD kStatusShort = 2;
constexpr DWORD kStatusText = 3;

// UTF-16 to UTF-8; false on an unpaired surrogate.
bool ToUtf8(const char16_t* text, std::string& out)
{
    for (; *text; ++text) {
        uint32_t c = *text;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (text[1] < 0xDC00 || text[1] > 0xDFFF) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (text[1] - 0xDC00);
            ++text;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        if (c < 0x80) out.push_back(static_cast<char>(c));
        else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return true;
}

DWORD Answer(const std::string& text, LPSTR out, DWORD* pcbOut, DWORD* pdwStatus)
{
    DWORD dummy = 0;
    DWORD& status = pdwStatus ? *pdwStatus : dummy;
    if (!out || !pcbOut) {
        status = kStatusNull;
        return 0;
    }
    if (text.size() + 1 > *pcbOut) {
        if (*pcbOut) out[0] = '\0';
        *pcbOut = 0;
        status = kStatusShort;
        return 0;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    *pcbOut = static_cast<DWORD>(text.size());
    status = kStatusOk;
    return 1;
}

std::string UserName()
{
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name && *pw->pw_name) return pw->pw_name;
    if (const char* user = std::getenv("USER"); user && *user) return user;
    return "UnknownUser";
}

std::string HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !*name) return "UnknownHost";
    std::string host = name;
    if (const size_t dot = host.find('.'); dot != std::string::npos) host.resize(dot);
    return host;
}

std::string HostAddress()
{
    std::string address = "127.0.0.1";
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return address;
    for (ifaddrs* p = list; p; p = p->ifa_next) {
        if (!p->ifa_addr || p->ifa_addr->sa_family != AF_INET) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(p->ifa_addr);
        if ((ntohl(in->sin_addr.s_addr) >> 24) == 127) continue;
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) {
            address = text;
            break;
        }
    }
    freeifaddrs(list);
    return address;
}

}  // namespace

LUMENO_EXPORT DWORD ZRIsValidJobOwnerStringCodeAndLengthW(DWORD, LPCWSTR text, DWORD* pdwStatus)
{
    std::string utf8;
    const bool ok = text && ToUtf8(text, utf8) && utf8.size() <= 32;
    if (pdwStatus) *pdwStatus = ok ? kStatusOk : kStatusText;
    return ok ? 1 : 0;
}

LUMENO_EXPORT DWORD ZRGetQJCLStringOfJobOwnerFromInputW(DWORD, LPCWSTR owner, DWORD, DWORD, LPSTR out, DWORD* pcbOut,
                                                        DWORD* pdwStatus)
{
    std::string utf8;
    if (!owner || !ToUtf8(owner, utf8)) {
        if (pdwStatus) *pdwStatus = owner ? kStatusText : kStatusNull;
        return 0;
    }
    return Answer("@JOAU=" + utf8, out, pcbOut, pdwStatus);
}

LUMENO_EXPORT DWORD ZRGetQJCLStringOfJobOwnerStringFromUserHostName(DWORD, DWORD, DWORD, LPSTR out, DWORD* pcbOut,
                                                                    DWORD* pdwStatus)
{
    return Answer("@JOAU=" + UserName() + "\\" + HostName(), out, pcbOut, pdwStatus);
}

LUMENO_EXPORT DWORD ZRGetQJCLStringOfHostAddress(LPSTR out, DWORD* pcbOut, DWORD* pdwStatus)
{
    return Answer("@CNAD=" + HostAddress(), out, pcbOut, pdwStatus);
}

LUMENO_EXPORT DWORD ZRGetQJCLStringOfNup(DWORD nup, LPSTR out, DWORD* pcbOut, DWORD* pdwStatus)
{
    return Answer(nup <= 1 ? std::string("@NLPP=1") : "@NLPP=N" + std::to_string(nup), out, pcbOut, pdwStatus);
}
