// Rendering functions and their container: small objects with a name, an initialisation and
// a handler per rendering event, dispatched in a fixed order.
#pragma once

#include "common/memory.h"
#include "renderer/renderingsystem.h"

class RenderingFunction : public RenderingUnknown {
public:
    ~RenderingFunction() override;

    // Slot order of the function's interface.
    virtual HRESULT Initialize(IRenderingSystem* pSystem);
    virtual HRESULT AttachSystem(IRenderingSystem* pSystem);
    virtual void DetachSystem();
    virtual LPCSTR Name() const = 0;
    virtual HRESULT SerializeDispatch(LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize, const BYTE* pData);
    virtual HRESULT StoreState(BYTE* pBuffer, DWORD cbBuffer, DWORD* pcbState);
    virtual HRESULT RestoreState(const BYTE* pData, DWORD cbSize);
    virtual HRESULT OnStartDoc(const RfStartDocData*) { return S_OK; }
    virtual HRESULT OnSerializeState() { return S_OK; }
    virtual HRESULT OnEndDoc() { return S_OK; }
    virtual HRESULT OnBeginStream1() { return S_OK; }
    virtual HRESULT OnEndStream2() { return S_OK; }
    virtual HRESULT OnBeginStream2() { return S_OK; }
    virtual HRESULT OnEndStream1() { return S_OK; }
    virtual HRESULT OnJobHeader() { return S_OK; }
    virtual HRESULT OnPreEndStream() { return S_OK; }
    virtual HRESULT OnInject(DWORD) { return S_OK; }
    virtual HRESULT Unused() { return E_NOTIMPL; }

    ULONG AddRef() { return AddRefImpl(); }
    ULONG Release() { return ReleaseImpl(); }

    bool IsInitialized() const { return m_bInitialized; }
    bool IsAttached() const { return m_pSystem != nullptr; }

protected:
    bool m_bInitialized = false;
    IRenderingSystem* m_pSystem = nullptr;
    DWORD m_dwKind = 0;
    PDEVOBJ m_pdevobj = nullptr;
    HANDLE m_hPrinter = nullptr;
    PDEVMODEW m_pPublicDM = nullptr;
    void* m_pPrivateDM = nullptr;
    IPrintCorePS2* m_pCore = nullptr;  // the host's print core (held)
};

// Factories of the four functions.
RenderingFunction* CreateDocumentMonitorFunction();
RenderingFunction* CreatePSProcServerFunction();
RenderingFunction* CreateJclHandlerFunction();
RenderingFunction* CreatePropertyHandlerFunction();

constexpr DWORD FC_MAX_FUNCTIONS = 64;

class FunctionContainer : public RenderingUnknown {
public:
    ~FunctionContainer() override;
    ULONG AddRef() { return AddRefImpl(); }
    ULONG Release() { return ReleaseImpl(); }

    HRESULT Initialize(IRenderingSystem* pSystem);
    // Takes a reference of its own.
    HRESULT Add(DWORD dwPriority, RenderingFunction* pFunction);
    HRESULT Fire(DWORD dwEvent, const void* pData);
    HRESULT SerializeDispatch(LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize, const BYTE* pData);
    DWORD Count() const { return m_nEntries; }
    RenderingFunction* Function(DWORD i) const { return i < m_nEntries ? m_entries[i].pFunction : nullptr; }
    HRESULT LastResult(DWORD i) const { return i < m_nEntries ? m_entries[i].hrLast : E_FAIL; }

private:
    struct Entry {
        DWORD dwPriority;
        RenderingFunction* pFunction;
        char szName[64];
        HRESULT hrLast;
    };
    HRESULT Call(Entry& e, DWORD dwEvent, int nPart, const void* pData);
    void Pass(DWORD dwPriority, DWORD dwEvent, int nPart, const void* pData);
    void SerializeAfterStartDoc(const void* pData);

    Entry m_entries[FC_MAX_FUNCTIONS] = {};
    DWORD m_nEntries = 0;
    IRenderingSystem* m_pSystem = nullptr;
    bool m_bInitialized = false;
};

// Creates the container of a device with its four functions, in dispatch order; null on failure.
FunctionContainer* CreateFunctionContainer(IRenderingSystem* pSystem);
