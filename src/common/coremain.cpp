#include "coremain.h"

#include <clocale>

CoreModuleState g_Core;

namespace {

constexpr SIZE_T kInitialHeapSize = 0x10000;

// A value of the driver key; anything but a readable REG_DWORD reads as 0.
DWORD ReadDriverDword(LPCWSTR pszName)
{
    WCHAR szKey[MAX_PATH + 1] = {};
    if (LoadStringW(g_Core.hInstance, IDS_DRIVER_REGISTRY_KEY, szKey, MAX_PATH + 1) <= 0) return 0;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, szKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) return 0;
    DWORD dwType = 0, dwValue = 0, dwSize = sizeof(dwValue);
    const LSTATUS status =
        RegQueryValueExW(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwValue), &dwSize);
    RegCloseKey(hKey);
    return (status == ERROR_SUCCESS && dwType == REG_DWORD && dwSize == sizeof(dwValue)) ? dwValue : 0;
}

bool StoreModulePath()
{
    WCHAR szPath[MAX_PATH + 1] = {};
    const DWORD dwLength = GetModuleFileNameW(g_Core.hInstance, szPath, MAX_PATH + 1);
    if (dwLength == 0 || dwLength > MAX_PATH) return false;
    int nSplit = static_cast<int>(dwLength);
    while (nSplit > 0 && szPath[nSplit - 1] != u'/' && szPath[nSplit - 1] != u'\\') --nSplit;
    if (nSplit == 0 || nSplit == static_cast<int>(dwLength)) return false;
    lstrcpynW(g_Core.szModuleFile, szPath + nSplit, MAX_PATH + 1);
    lstrcpynW(g_Core.szModuleDir, szPath, nSplit + 1);
    return true;
}

}  // namespace

BOOL CoreInitialize(HINSTANCE hInstance)
{
    g_Core.hInstance = hInstance;
    InitializeCriticalSection(&g_Core.csModule);
    g_Core.hHeap = HeapCreate(0, kInitialHeapSize, ReadDriverDword(u"MaxHeapSize"));
    const bool bPathOk = StoreModulePath();
    if (!g_Core.hHeap || !bPathOk) {
        CoreTerminate();
        return FALSE;
    }
    setlocale(LC_CTYPE, "");
    const DWORD dwLevel = ReadDriverDword(u"DebugLevel");
    g_Core.dwDebugLevel = (dwLevel >= 1 && dwLevel <= 5) ? dwLevel : 0;
    return TRUE;
}

void ReleaseModelLibrary()
{
    if (g_Core.hModelLib) FreeLibrary(g_Core.hModelLib);
    g_Core.hModelLib = nullptr;
    g_Core.pfnOupmFunction = nullptr;
}

void CoreTerminate()
{
    ReleaseModelLibrary();
    if (g_Core.csModule.lock) {
        EnterCriticalSection(&g_Core.csModule);
        if (g_Core.hHeap && g_Core.hHeap != GetProcessHeap()) HeapDestroy(g_Core.hHeap);
        g_Core.hHeap = nullptr;
        LeaveCriticalSection(&g_Core.csModule);
        DeleteCriticalSection(&g_Core.csModule);
    }
    g_Core.dwDebugLevel = 0;
}
