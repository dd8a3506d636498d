// A stand-in device-query library for the detection tests. Its answers come from the file named
// by DEVQUERY_FIXTURE, one per line: "string NAME VALUE", "integer NAME VALUE", "boolean NAME
// VALUE"; a name without a line fails. Each call is noted in DEVQUERY_FIXTURE.calls.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/win32.h"

namespace {

int g_device = 0;

void Note(const std::string& call)
{
    const char* fixture = std::getenv("DEVQUERY_FIXTURE");
    if (!fixture) return;
    std::ofstream(std::string(fixture) + ".calls", std::ios::app) << call << "\n";
}

bool Lookup(const char* kind, const char* name, std::string* value)
{
    const char* fixture = std::getenv("DEVQUERY_FIXTURE");
    std::ifstream in(fixture ? fixture : "");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string k, n;
        fields >> k >> n;
        if (k == kind && n == name) {
            std::getline(fields >> std::ws, *value);
            return true;
        }
    }
    return false;
}

}  // namespace

LUMENO_EXPORT HANDLE KTZADC_OpenDevice(const char* port, const char* model, DWORD)
{
    Note(std::string("open ") + port + " " + model);
    return &g_device;
}

LUMENO_EXPORT DWORD KTZADC_SetAttribute(HANDLE, const char* name, const void* value)
{
    const std::string n = name;
    const bool text = n == "_KTZADC_CommunityName" || n == "_KTZADC_EWSTryAddress";
    Note("set " + n + " " + (text ? std::string(static_cast<const char*>(value))
                                  : std::to_string(*static_cast<const uint16_t*>(value))));
    return 0;
}

LUMENO_EXPORT DWORD KTZADC_SelectDevice(HANDLE, HWND, const char* port, const char* product, const char* mib)
{
    Note(std::string("select ") + port + " " + product + " " + mib);
    std::string ignored;
    return Lookup("fail", "select", &ignored) ? 1 : 0;
}

LUMENO_EXPORT DWORD KTZADC_GetValueString(HANDLE, const char* name, DWORD, char* buffer)
{
    Note(std::string("string ") + name);
    std::string value;
    if (!Lookup("string", name, &value)) return 1;
    std::strcpy(buffer, value.c_str());
    return 0;
}

LUMENO_EXPORT DWORD KTZADC_GetValueInteger(HANDLE, const char* name, DWORD, int32_t* value)
{
    Note(std::string("integer ") + name);
    std::string text;
    if (!Lookup("integer", name, &text)) return 1;
    *value = std::atoi(text.c_str());
    return 0;
}

LUMENO_EXPORT DWORD KTZADC_GetValueBoolean(HANDLE, const char* name, DWORD, uint16_t* value)
{
    Note(std::string("boolean ") + name);
    std::string text;
    if (!Lookup("boolean", name, &text)) return 1;
    *value = static_cast<uint16_t>(std::atoi(text.c_str()));
    return 0;
}

LUMENO_EXPORT DWORD KTZADC_CloseDevice(HANDLE)
{
    Note("close");
    return 0;
}
