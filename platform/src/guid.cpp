#include <cctype>
#include <cstdio>

#include "platform/com.h"

namespace {

bool ParseHex(const char* text, int digits, uint64_t* value)
{
    uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isxdigit(c)) return false;
        v = v * 16 + static_cast<uint64_t>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    *value = v;
    return true;
}

}  // namespace

bool GuidFromString(const char* text, GUID* guid)
{
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (!text || !guid || std::strlen(text) != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' ||
        text[14] != '-' || text[19] != '-' || text[24] != '-')
        return false;
    uint64_t v = 0;
    GUID g{};
    if (!ParseHex(text + 1, 8, &v)) return false;
    g.Data1 = static_cast<uint32_t>(v);
    if (!ParseHex(text + 10, 4, &v)) return false;
    g.Data2 = static_cast<uint16_t>(v);
    if (!ParseHex(text + 15, 4, &v)) return false;
    g.Data3 = static_cast<uint16_t>(v);
    const int offsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ParseHex(text + offsets[i], 2, &v)) return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    *guid = g;
    return true;
}

void GuidToString(const GUID& g, char out[39])
{
    std::snprintf(out, 39, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}
