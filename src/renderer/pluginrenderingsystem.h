// The plug-in's main object: the host's IPrintOemPS2 and the functions' IRenderingSystem.
#pragma once

#include "platform/oemps.h"
#include "renderer/documentinfo.h"
#include "renderer/renderingfunction.h"
#include "renderer/renderingsystem.h"

class PluginRenderingSystem;

// The plug-in's block per device.
struct OEMPDEV : HeapObject {
    PFN_DrvSendPage pfnDrvSendPage = nullptr;
    PFN_DrvEscape pfnDrvEscape = nullptr;
    PFN_DrvStartDoc pfnDrvStartDoc = nullptr;
    PFN_DrvEndDoc pfnDrvEndDoc = nullptr;
    PluginRenderingSystem* pSystem = nullptr;
    FunctionContainer* pContainer = nullptr;
    void* pCompanion1 = nullptr;  // the container's two companions (not used by this plug-in)
    void* pCompanion2 = nullptr;
    DocumentInfo* pDocInfo = nullptr;
    LONG rcMargin[4] = {};
};

class PluginRenderingSystem final : public RenderingUnknown, public IPrintOemPS2, public IRenderingSystem {
public:
    PluginRenderingSystem();
    ~PluginRenderingSystem() override;

    // IUnknown (both faces)
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }

    // IPrintOemPS2
    HRESULT GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, DWORD* pcbNeeded) override;
    HRESULT DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) override;
    HRESULT EnableDriver(DWORD dwDriverVersion, DWORD cbSize, PDRVENABLEDATA pded) override;
    HRESULT DisableDriver() override;
    HRESULT EnablePDEV(PDEVOBJ pdevobj, LPWSTR pPrinterName, ULONG cPatterns, HANDLE* phsurfPatterns, ULONG cjGdiInfo,
                       void* pGdiInfo, ULONG cjDevInfo, void* pDevInfo, DRVENABLEDATA* pded, void** pDevOem) override;
    HRESULT DisablePDEV(PDEVOBJ pdevobj) override;
    HRESULT ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) override;
    HRESULT PublishDriverInterface(IUnknown* pIUnknown) override;
    HRESULT Command(PDEVOBJ pdevobj, DWORD dwIndex, PVOID pData, DWORD cbSize, DWORD* pdwResult) override;
    HRESULT WritePrinter(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer, DWORD* pcbWritten) override;
    HRESULT GetPDEVAdjustment(PDEVOBJ pdevobj, DWORD dwAdjustType, PVOID pBuf, DWORD cbBuffer,
                              BOOL* pbAdjustmentDone) override;

    // IRenderingSystem
    HRESULT GetKind(DWORD* pdwKind) override;
    HRESULT GetDevObj(PDEVOBJ* ppdevobj) override;
    HRESULT GetDriverInterface(IUnknown** ppUnknown) override;
    HRESULT GetPrinterHandle(HANDLE* phPrinter) override;
    HRESULT GetDevmodes(PDEVMODEW* ppPublic, void** ppPrivate) override;
    HRESULT GetDocumentInfo(DocumentInfo** ppInfo) override;
    HRESULT WriteProperty(LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize, const void* pData) override;
    HRESULT WriteOutput(const void* pData, DWORD cbSize) override;
    HRESULT Reserved() override { return E_NOTIMPL; }
    HRESULT WriteSpooler(const void* pData, DWORD cbSize) override;
    HRESULT WriteSpoolBuf(const void* pData, DWORD cbSize) override;

    // DDI hooks (ddihook.cpp).
    BOOL HookStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
    BOOL HookEndDoc(SURFOBJ* pso, ULONG fl);
    BOOL HookSendPage(SURFOBJ* pso);
    ULONG HookEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);

    bool IsPreConfig();
    HRESULT Flush(OEMPDEV* pdev);
    void SetDevObj(PDEVOBJ pdevobj) { m_pdevobj = pdevobj; }
    IPrintCorePS2* Core();

private:
    void FillDocumentInfo(OEMPDEV* pdev, LPCWSTR pszDocName, DWORD dwJobId);
    bool RefuseJob(PDEVOBJ pdevobj);

    DWORD m_dwKind = RS_KIND_DIRECT;
    PDEVOBJ m_pdevobj = nullptr;
    IUnknown* m_pDriver = nullptr;
    IPrintCorePS2* m_pCore = nullptr;
    bool m_bCapture = false;
    LONG m_rcMargin[4] = {};
};

// The OEMPDEV of a surface's device, or null.
OEMPDEV* OemPdevOf(SURFOBJ* pso);
