#include "jobowner.h"

#include "coremain.h"

bool GetProductVersionText(HMODULE hModule, LPWSTR pszOut, DWORD cchOut)
{
    if (!pszOut || cchOut == 0) return false;
    pszOut[0] = 0;
    VS_FIXEDFILEINFO info{};
    if (!GetModuleFixedVersion(hModule ? hModule : g_Core.hInstance, &info)) return false;
    const std::string text = platform::Format("Version %d.%d.%d (Build %d)", HIWORD(info.dwProductVersionMS),
                                              LOWORD(info.dwProductVersionMS), HIWORD(info.dwProductVersionLS),
                                              LOWORD(info.dwProductVersionLS));
    const std::u16string wide = platform::Widen(text);
    if (wide.size() + 1 > cchOut) return false;
    lstrcpynW(pszOut, wide.c_str(), static_cast<int>(cchOut));
    return true;
}
