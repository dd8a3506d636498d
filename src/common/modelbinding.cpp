#include "modelbinding.h"

#include "coremain.h"
#include "debug.h"

namespace {

bool BuildModelLibraryPath(LPWSTR pszPath, int cchPath)
{
    WCHAR szName[257] = {};
    if (LoadStringW(g_Core.hInstance, IDS_MODEL_LIBRARY_NAME, szName, 257) <= 0) return false;
    const std::u16string path = std::u16string(g_Core.szModuleDir) + szName + u".fpl";
    if (path.size() >= static_cast<size_t>(cchPath)) return false;
    lstrcpynW(pszPath, path.c_str(), cchPath);
    return true;
}

}  // namespace

bool LoadModelLibrary()
{
    if (g_Core.hModelLib && g_Core.pfnOupmFunction) return true;
    WCHAR szPath[MAX_PATH + 1] = {};
    if (!BuildModelLibraryPath(szPath, MAX_PATH + 1)) return false;
    ReleaseModelLibrary();
    g_Core.hModelLib = LoadLibraryW(szPath);
    if (!g_Core.hModelLib) {
        KTPS_LOG(DBG_ERROR, "Cannot load the Printer DLL [name = %S, err = %d].", szPath,
                 static_cast<int>(GetLastError()));
        return false;
    }
    g_Core.pfnOupmFunction = GetProcAddressAs<OupmFunctionProc>(g_Core.hModelLib, "OupmFunction");
    return g_Core.pfnOupmFunction != nullptr;
}

int CallModelFunction(DWORD dwFunction, WORD wModel, void* pIn, void* pOut)
{
    if (!LoadModelLibrary()) return 0;
    DWORD dwSupported = 0;
    g_Core.pfnOupmFunction(OUPF_FUNCID_ISSUPPORTED, wModel, reinterpret_cast<void*>(static_cast<uintptr_t>(dwFunction)),
                           &dwSupported);
    if (dwSupported == 0) return 0;
    g_Core.pfnOupmFunction(dwFunction, wModel, pIn, pOut);
    return 1;
}

HMODULE GetModelLibraryHandle() { return LoadModelLibrary() ? g_Core.hModelLib : nullptr; }
