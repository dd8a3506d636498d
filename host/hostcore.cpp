#include "hostcore.h"

#include <cstdlib>

#include "common/coremain.h"

std::string DriverDirectory()
{
    if (const char* dir = std::getenv("LUMENO_DRIVER_DIR"); dir && *dir) {
        std::string path = dir;
        if (path.back() != '/') path.push_back('/');
        return path;
    }
    WCHAR szSelf[MAX_PATH + 1] = {};
    std::string self = GetModuleFileNameW(nullptr, szSelf, MAX_PATH + 1) ? platform::Narrow(szSelf) : "";
    const size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/../driver/";
}

bool StartHostCore()
{
    if (!CoreInitialize(nullptr)) return false;
    const std::u16string dir = platform::Widen(DriverDirectory());
    if (dir.size() > MAX_PATH) return false;
    lstrcpynW(g_Core.szModuleDir, dir.c_str(), MAX_PATH + 1);
    return true;
}

void StopHostCore() { CoreTerminate(); }
