// The module's exports: DllMain, DllGetClassObject, DllCanUnloadNow.
#include "common/coremain.h"
#include "common/debug.h"
#include "renderer/pluginclassfactory.h"

volatile LONG g_cServerLocks = 0;
volatile LONG g_cLiveObjects = 0;

LUMENO_EXPORT BOOL DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH: return CoreInitialize(hInstance);
    case DLL_PROCESS_DETACH: CoreTerminate(); return TRUE;
    default: return TRUE;
    }
}

LUMENO_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(rclsid == CLSID_OEMRENDER)) {
        KTPS_LOG(DBG_ERROR, "unsupported class id.\n");
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    auto* pFactory = new PluginClassFactory;
    if (!pFactory) {
        KTPS_LOG(DBG_ERROR, "cannot create the PluginClassFactory.\n");
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = pFactory->QueryInterface(riid, ppv);
    pFactory->Release();
    return hr;
}

LUMENO_EXPORT HRESULT DllCanUnloadNow() { return g_cServerLocks == 0 ? S_OK : S_FALSE; }
