#include "renderer/pluginclassfactory.h"

#include "common/debug.h"
#include "renderer/pluginrenderingsystem.h"

HRESULT PluginClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT PluginClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) {
        KTPS_LOG(DBG_ERROR, "non-Null pUnknownOuter.\n");
        return CLASS_E_NOAGGREGATION;
    }
    auto* pSystem = new PluginRenderingSystem;
    if (!pSystem) {
        KTPS_LOG(DBG_ERROR, "cannot create the PluginRenderingSystem.\n");
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = pSystem->QueryInterface(riid, ppv);
    pSystem->Release();
    return hr;
}

HRESULT PluginClassFactory::LockServer(BOOL lock)
{
    if (lock) InterlockedIncrement(&g_cServerLocks);
    else InterlockedDecrement(&g_cServerLocks);
    return S_OK;
}
