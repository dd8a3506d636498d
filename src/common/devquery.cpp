#include "devquery.h"

#include <cstring>
#include <string>

namespace {

char g_szLibraryPath[DQ_LIBRARY_PATH_LIMIT + 1] = {};

// The remembered library, loaded for one call.
class LoadedForCall {
public:
    LoadedForCall()
    {
        if (!g_szLibraryPath[0]) return;
        WCHAR szWide[MAX_PATH + 1] = {};
        if (MultiByteToWideChar(CP_ACP, 0, g_szLibraryPath, -1, szWide, MAX_PATH + 1) > 0)
            hModule_ = LoadLibraryW(szWide);
    }
    ~LoadedForCall()
    {
        if (hModule_) FreeLibrary(hModule_);
    }
    LoadedForCall(const LoadedForCall&) = delete;
    LoadedForCall& operator=(const LoadedForCall&) = delete;

    template <typename Proc>
    Proc Export(const char* pszName) const
    {
        return hModule_ ? GetProcAddressAs<Proc>(hModule_, pszName) : nullptr;
    }

private:
    HMODULE hModule_ = nullptr;
};

// Calls a value export; 0 from the library means success, a missing export is a failure.
template <typename Proc, typename... Args>
bool CallForZero(const char* pszExport, Args... args)
{
    LoadedForCall library;
    Proc proc = library.Export<Proc>(pszExport);
    return proc && proc(args...) == 0;
}

}  // namespace

bool DqAcceptLibraryPath(const char* pszPath)
{
    if (!pszPath || !*pszPath || std::strlen(pszPath) > DQ_LIBRARY_PATH_LIMIT) return false;
    if (!g_szLibraryPath[0]) {
        std::strcpy(g_szLibraryPath, pszPath);
        return true;
    }
    return std::strcmp(g_szLibraryPath, pszPath) == 0;
}

void DqForgetLibraryPath() { g_szLibraryPath[0] = '\0'; }

HANDLE DqOpenDevice(const char* pszPortComponent, const char* pszModelComponent)
{
    LoadedForCall library;
    auto proc = library.Export<KTZADC_OpenDeviceProc>("KTZADC_OpenDevice");
    return proc ? proc(pszPortComponent, pszModelComponent, 0) : nullptr;
}

bool DqSetAttribute(HANDLE hDevice, const char* pszName, const void* pValue)
{
    return CallForZero<KTZADC_SetAttributeProc>("KTZADC_SetAttribute", hDevice, pszName, pValue);
}

bool DqSelectDevice(HANDLE hDevice, HWND hOwner, const char* pszPort, const char* pszProduct, const char* pszPrivateMib)
{
    return CallForZero<KTZADC_SelectDeviceProc>("KTZADC_SelectDevice", hDevice, hOwner, pszPort, pszProduct,
                                                pszPrivateMib);
}

bool DqGetValueString(HANDLE hDevice, const char* pszName, char* pszBuffer)
{
    return CallForZero<KTZADC_GetValueStringProc>("KTZADC_GetValueString", hDevice, pszName, DWORD{0}, pszBuffer);
}

bool DqGetValueInteger(HANDLE hDevice, const char* pszName, int32_t* pValue)
{
    return CallForZero<KTZADC_GetValueIntegerProc>("KTZADC_GetValueInteger", hDevice, pszName, DWORD{0}, pValue);
}

bool DqGetValueBoolean(HANDLE hDevice, const char* pszName, uint16_t* pValue)
{
    return CallForZero<KTZADC_GetValueBooleanProc>("KTZADC_GetValueBoolean", hDevice, pszName, DWORD{0}, pValue);
}

bool DqCloseDevice(HANDLE hDevice) { return CallForZero<KTZADC_CloseDeviceProc>("KTZADC_CloseDevice", hDevice); }

HANDLE DqOpenForQuery(const DQ_OPEN_PARAMS& params)
{
    if (!DqAcceptLibraryPath(params.pszLibraryPath)) return nullptr;
    HANDLE hDevice = DqOpenDevice(params.pszPortComponent, params.pszModelComponent);
    if (!hDevice) return nullptr;
    // The community goes over as at most 32 characters.
    char szCommunity[33] = {};
    if (params.pszCommunity) std::strncpy(szCommunity, params.pszCommunity, 32);
    bool ok = params.wLangId == 0 || DqSetAttribute(hDevice, "_KTZADC_LangId", &params.wLangId);
    ok = ok && DqSetAttribute(hDevice, "_KTZADC_Mode", &params.wMode);
    if (ok && params.wMode == 2 && params.pszTryAddress && *params.pszTryAddress)
        ok = DqSetAttribute(hDevice, "_KTZADC_EWSTryAddress", params.pszTryAddress);
    ok = ok && DqSetAttribute(hDevice, "_KTZADC_CommunityName", szCommunity);
    for (size_t i = 0; ok && i < params.cExtra; ++i)
        ok = DqSetAttribute(hDevice, params.pExtra[i].pszName, params.pExtra[i].pValue);
    ok = ok && DqSelectDevice(hDevice, params.hOwner, params.pszPort, params.pszProduct, params.pszPrivateMib);
    if (ok) return hDevice;
    DqCloseDevice(hDevice);
    return nullptr;
}
