#include "platform/system.h"

#include <ctime>
#include <cstdlib>
#include <string>
#include <sys/time.h>

#include "platform/errors.h"
#include "platform/wstring.h"

DWORD GetTempPathW(DWORD size, LPWSTR buffer)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    if (path.back() != '/') path.push_back('/');
    const std::u16string wide = platform::Widen(path);
    if (!buffer || size <= wide.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<DWORD>(wide.size() + 1);
    }
    lstrcpynW(buffer, wide.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(wide.size());
}

void GetLocalTime(SYSTEMTIME* time)
{
    if (!time) return;
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    *time = {static_cast<WORD>(local.tm_year + 1900), static_cast<WORD>(local.tm_mon + 1),
             static_cast<WORD>(local.tm_wday),        static_cast<WORD>(local.tm_mday),
             static_cast<WORD>(local.tm_hour),        static_cast<WORD>(local.tm_min),
             static_cast<WORD>(local.tm_sec),         static_cast<WORD>(now.tv_usec / 1000)};
}
