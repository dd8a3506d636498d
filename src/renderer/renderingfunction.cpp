#include "renderer/renderingfunction.h"

#include <cstdio>
#include <cstring>

#include "common/debug.h"
#include "renderer/documentinfo.h"

RenderingFunction::~RenderingFunction() { DetachSystem(); }

HRESULT RenderingFunction::Initialize(IRenderingSystem* pSystem)
{
    if (m_bInitialized) KTPS_LOG(DBG_WARN, "Function is already initialized.\n");
    const HRESULT hr = AttachSystem(pSystem);
    if (FAILED(hr)) return hr;
    m_bInitialized = true;
    return S_OK;
}

HRESULT RenderingFunction::AttachSystem(IRenderingSystem* pSystem)
{
    DetachSystem();
    if (!pSystem) return E_INVALIDARG;
    pSystem->AddRef();
    m_pSystem = pSystem;
    pSystem->GetKind(&m_dwKind);
    PDEVMODEW pPublic = nullptr;
    void* pPrivate = nullptr;
    if (FAILED(pSystem->GetDevObj(&m_pdevobj)) || FAILED(pSystem->GetPrinterHandle(&m_hPrinter)) ||
        FAILED(pSystem->GetDevmodes(&pPublic, &pPrivate)) || !pPublic) {
        KTPS_LOG(DBG_WARN, "Function initialization failed.\n");
        DetachSystem();
        return E_FAIL;
    }
    m_pPublicDM = pPublic;
    m_pPrivateDM = pPrivate;
    IUnknown* pDriver = nullptr;
    if (SUCCEEDED(pSystem->GetDriverInterface(&pDriver)) && pDriver) {
        void* pv = nullptr;
        if (SUCCEEDED(pDriver->QueryInterface(IID_IPrintCorePS2, &pv))) m_pCore = static_cast<IPrintCorePS2*>(pv);
        pDriver->Release();
    }
    return S_OK;
}

void RenderingFunction::DetachSystem()
{
    if (m_pCore) m_pCore->Release();
    m_pCore = nullptr;
    if (m_pSystem) m_pSystem->Release();
    m_pSystem = nullptr;
    m_pdevobj = nullptr;
    m_hPrinter = nullptr;
    m_pPublicDM = nullptr;
    m_pPrivateDM = nullptr;
}

HRESULT RenderingFunction::SerializeDispatch(LPCSTR, LPCSTR pszName, DWORD, DWORD cbSize, const BYTE* pData)
{
    if (!pszName || std::strcmp(pszName, Name()) != 0) return S_FALSE;
    return RestoreState(pData, cbSize);
}

HRESULT RenderingFunction::StoreState(BYTE*, DWORD, DWORD* pcbState)
{
    if (pcbState) *pcbState = 0;
    return S_OK;
}

HRESULT RenderingFunction::RestoreState(const BYTE*, DWORD) { return S_OK; }

// ---------------------------------------------------------------------------------------

FunctionContainer::~FunctionContainer()
{
    for (DWORD i = 0; i < m_nEntries; ++i)
        if (m_entries[i].pFunction) m_entries[i].pFunction->Release();
    if (m_pSystem) m_pSystem->Release();
}

HRESULT FunctionContainer::Initialize(IRenderingSystem* pSystem)
{
    if (!pSystem) return E_INVALIDARG;
    pSystem->AddRef();
    if (m_pSystem) m_pSystem->Release();
    m_pSystem = pSystem;
    for (DWORD i = 0; i < m_nEntries; ++i) {
        RenderingFunction* f = m_entries[i].pFunction;
        const HRESULT hr = f->IsInitialized() ? f->AttachSystem(pSystem) : f->Initialize(pSystem);
        if (FAILED(hr)) {
            KTPS_LOG(DBG_ERROR, "Function[%s] initialization failed.\n", m_entries[i].szName);
            return E_FAIL;
        }
        m_entries[i].hrLast = S_OK;
    }
    m_bInitialized = true;
    return S_OK;
}

HRESULT FunctionContainer::Add(DWORD dwPriority, RenderingFunction* pFunction)
{
    if (!pFunction) return E_INVALIDARG;
    if (m_nEntries >= FC_MAX_FUNCTIONS) return E_OUTOFMEMORY;
    Entry& e = m_entries[m_nEntries++];
    e.dwPriority = dwPriority ? 1 : 0;
    e.pFunction = pFunction;
    pFunction->AddRef();
    std::snprintf(e.szName, sizeof(e.szName), "%s", pFunction->Name());
    e.hrLast = S_OK;
    return S_OK;
}

HRESULT FunctionContainer::Call(Entry& e, DWORD dwEvent, int nPart, const void* pData)
{
    RenderingFunction* f = e.pFunction;
    if (!f->IsAttached()) return S_OK;  // an inactive function does nothing
    switch (dwEvent) {
    case RF_STARTDOC: return f->OnStartDoc(static_cast<const RfStartDocData*>(pData));
    case RF_ENDDOC: return f->OnEndDoc();
    case RF_BEGINSTREAM: return nPart == 1 ? f->OnBeginStream1() : f->OnBeginStream2();
    case RF_ENDSTREAM: return nPart == 1 ? f->OnEndStream1() : f->OnEndStream2();
    case RF_JOBHEADER: return f->OnJobHeader();
    case RF_PREENDSTREAM: return f->OnPreEndStream();
    case RF_INJECT: return f->OnInject(pData ? *static_cast<const DWORD*>(pData) : 0);
    default: return S_OK;
    }
}

void FunctionContainer::Pass(DWORD dwPriority, DWORD dwEvent, int nPart, const void* pData)
{
    for (DWORD i = 0; i < m_nEntries; ++i) {
        Entry& e = m_entries[i];
        if (e.dwPriority != dwPriority || e.hrLast != S_OK) continue;
        e.hrLast = Call(e, dwEvent, nPart, pData);
    }
}

void FunctionContainer::SerializeAfterStartDoc(const void* pData)
{
    PDEVMODEW pPublic = nullptr;
    void* pPrivate = nullptr;
    if (SUCCEEDED(m_pSystem->GetDevmodes(&pPublic, &pPrivate)) && pPublic)
        m_pSystem->WriteProperty("__Serialize__", "__PublicDM__", 1, pPublic->dmSize + pPublic->dmDriverExtra, pPublic);
    DocumentInfo* pInfo = nullptr;
    if (SUCCEEDED(m_pSystem->GetDocumentInfo(&pInfo)) && pInfo) {
        DWORD cb = 0;
        if (BYTE* pBlock = pInfo->Export(&cb)) {
            m_pSystem->WriteProperty("__Serialize__", "__JobInfo__", 1, cb, pBlock);
            MemFree(pBlock);
        }
    }
    for (DWORD i = 0; i < m_nEntries; ++i) {
        BYTE state[256];
        DWORD cb = 0;
        if (SUCCEEDED(m_entries[i].pFunction->StoreState(state, sizeof(state), &cb)) && cb)
            m_pSystem->WriteProperty("__Serialize__", m_entries[i].szName, 1, cb, state);
    }
    const auto* sd = static_cast<const RfStartDocData*>(pData);
    if (sd && sd->pszDocName)
        m_pSystem->WriteProperty("__Serialize__", "__StartDoc__", 1,
                                 static_cast<DWORD>((lstrlenW(sd->pszDocName) + 1) * sizeof(WCHAR)), sd->pszDocName);
}

HRESULT FunctionContainer::Fire(DWORD dwEvent, const void* pData)
{
    if (!m_pSystem) return E_FAIL;
    if (dwEvent == RF_BEGINSTREAM) {
        Pass(1, dwEvent, 1, pData);
        Pass(1, dwEvent, 2, pData);
        Pass(0, dwEvent, 2, pData);
    } else if (dwEvent == RF_ENDSTREAM) {
        Pass(1, dwEvent, 1, pData);
        Pass(0, dwEvent, 1, pData);
        Pass(1, dwEvent, 2, pData);
    } else {
        Pass(1, dwEvent, 0, pData);
        Pass(0, dwEvent, 0, pData);
    }
    DWORD dwKind = 0;
    m_pSystem->GetKind(&dwKind);
    if (dwKind == RS_KIND_SERIALIZE) {
        if (dwEvent == RF_STARTDOC) SerializeAfterStartDoc(pData);
        if (dwEvent == RF_BEGINSTREAM) {
            const BYTE marker[4] = {3, 0, 0, 0};
            m_pSystem->WriteProperty("__Serialize__", "__BeginStream__", 1, 4, marker);
        }
    }
    for (DWORD i = 0; i < m_nEntries; ++i)
        if (FAILED(m_entries[i].hrLast)) return E_FAIL;
    return S_OK;
}

HRESULT FunctionContainer::SerializeDispatch(LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize,
                                             const BYTE* pData)
{
    if (!pszOwner || std::strcmp(pszOwner, "__Serialize__") != 0) return S_FALSE;
    HRESULT hr = S_FALSE;
    for (DWORD i = 0; i < m_nEntries; ++i) {
        if (std::strcmp(m_entries[i].szName, pszName ? pszName : "") != 0) continue;
        hr = m_entries[i].pFunction->SerializeDispatch(pszOwner, pszName, dwType, cbSize, pData);
    }
    return hr;
}

FunctionContainer* CreateFunctionContainer(IRenderingSystem* pSystem)
{
    auto* pContainer = new FunctionContainer;
    if (!pContainer) return nullptr;
    RenderingFunction* pMonitor = CreateDocumentMonitorFunction();
    RenderingFunction* pProc = CreatePSProcServerFunction();
    RenderingFunction* pJcl = CreateJclHandlerFunction();
    RenderingFunction* pProp = CreatePropertyHandlerFunction();
    bool ok = pMonitor && pProc && pJcl && pProp;
    ok = ok && SUCCEEDED(pContainer->Add(0, pMonitor)) && SUCCEEDED(pContainer->Add(0, pProc));
    // The two priority-1 functions are initialised on their own before they join.
    if (ok) {
        pJcl->Initialize(pSystem);
        pProp->Initialize(pSystem);
    }
    ok = ok && SUCCEEDED(pContainer->Initialize(pSystem));
    ok = ok && SUCCEEDED(pContainer->Add(1, pJcl)) && SUCCEEDED(pContainer->Add(1, pProp));
    for (RenderingFunction* f : {pMonitor, pProc, pJcl, pProp})
        if (f) f->Release();
    if (!ok) {
        pContainer->Release();
        return nullptr;
    }
    return pContainer;
}
