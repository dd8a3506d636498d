#include "renderer/pluginrenderingsystem.h"

#include <cstring>

#include "common/debug.h"
#include "common/devmode.h"
#include "common/secret.h"
#include "platform/spooljob.h"
#include "platform/spooler.h"
#include "renderer/jobstrings.h"
#include "renderer/propertyline.h"
#include "renderer/rsettings.h"

namespace {

constexpr DWORD kSignature = 0x46424644;
constexpr DWORD kInterfaceVersion = 0x10000;
constexpr DWORD kVersion = 0x30343130;

bool IsJobType(LPCSTR psz, LPCSTR a, LPCSTR b = nullptr)
{
    return psz && (std::strcmp(psz, a) == 0 || (b && std::strcmp(psz, b) == 0));
}

OEMPrivateDevmode* PrivateOf(PDEVOBJ pdevobj)
{
    if (!pdevobj) return nullptr;
    auto* p = static_cast<OEMPrivateDevmode*>(pdevobj->pOEMDM);
    if (p && IsValidPrivateDevmode(p)) return p;
    return pdevobj->pPublicDM ? GetPrivateDevmode(pdevobj->pPublicDM) : nullptr;
}

BOOL AfterDefault(POEMDMPARAM pParam, OEMPrivateDevmode* pOut, void*)
{
    PrinterDataReader data(pParam->hPrinter, PDS_PRINTER, true);
    const WORD wSecure = data.GetSupportSecurePrint();
    const bool bAuto = wSecure == 2 || wSecure == 3 || wSecure == 5 || wSecure == 6;
    SetDmKeyword(pOut, "$SpecifyDocName", bAuto ? "Auto" : "Input");
    SetDmKeyword(pOut, "$UnitMargin", data.TestCapability(PDCAP_INCH_MARGINS) ? "inch" : "mm");
    return TRUE;
}

BOOL AfterMerge(POEMDMPARAM pParam, OEMPrivateDevmode* pOut, void*)
{
    char szJobType[32] = {};
    if (GetDmKeyword(pOut, "$JobType", nullptr, szJobType, sizeof(szJobType)) && std::strcmp(szJobType, "Proof") == 0 &&
        pParam->pPublicDMOut)
        pParam->pPublicDMOut->dmCollate = 1;
    return TRUE;
}

// Printer data for the job-owner side.
bool CbOwnerName(void* ctx, DWORD dwSource, LPWSTR psz, DWORD cb)
{
    return static_cast<PrinterDataReader*>(ctx)->Read(u"OEMJobOwnerName", psz, cb, dwSource == 2 ? PDS_PRINTER : dwSource);
}
bool CbAccountMode(void* ctx) { return static_cast<PrinterDataReader*>(ctx)->GetJobAccountMode(); }
bool CbAccountRecord(void* ctx, BYTE record[JOB_ACCOUNT_RECORD_SIZE])
{
    static_assert(sizeof(JobAccountRecord) == JOB_ACCOUNT_RECORD_SIZE);
    JobAccountRecord r{};
    if (!static_cast<PrinterDataReader*>(ctx)->GetJobAccountRecord(&r)) return false;
    std::memcpy(record, &r, sizeof(r));
    return true;
}
bool CbSelectId(void* ctx, LPSTR psz, DWORD cb)
{
    return static_cast<PrinterDataReader*>(ctx)->ReadInstallableOption("KTSelectID", psz, cb);
}

void WideTo8(LPCWSTR psz, LPSTR pszOut, DWORD cbOut)
{
    pszOut[0] = 0;
    if (psz && *psz) WideCharToMultiByte(CP_ACP, 0, psz, -1, pszOut, static_cast<int>(cbOut), nullptr, nullptr);
    pszOut[cbOut - 1] = 0;
}

}  // namespace

PluginRenderingSystem::PluginRenderingSystem() = default;

PluginRenderingSystem::~PluginRenderingSystem()
{
    if (m_pCore) m_pCore->Release();
    if (m_pDriver) m_pDriver->Release();
}

HRESULT PluginRenderingSystem::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IPrintOemPS) {
        *ppv = static_cast<IPrintOemPS*>(this);
    } else if (riid == IID_IPrintOemPS2) {
        m_bCapture = true;
        *ppv = static_cast<IPrintOemPS2*>(this);
    } else if (riid == IID_IRenderingSystem) {
        *ppv = static_cast<IRenderingSystem*>(this);
    } else if (riid == IID_IUnknown) {
        *ppv = static_cast<IPrintOemPS*>(this);
    } else {
        KTPS_LOG(DBG_ERROR, "unsupported interface id.\n");
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT PluginRenderingSystem::GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, DWORD* pcbNeeded)
{
    if (pcbNeeded) *pcbNeeded = 4;
    DWORD dwValue = 0;
    switch (dwMode) {
    case OEMGI_GETSIGNATURE: dwValue = kSignature; break;
    case OEMGI_GETINTERFACEVERSION: dwValue = kInterfaceVersion; break;
    case OEMGI_GETVERSION: dwValue = kVersion; break;
    default: return E_NOTIMPL;
    }
    if (!pBuffer || cbSize < 4) return E_FAIL;
    std::memcpy(pBuffer, &dwValue, 4);
    return S_OK;
}

HRESULT PluginRenderingSystem::DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam)
{
    const DevModeRequestSteps steps = {AfterDefault, AfterMerge, nullptr};
    return HandleDevModeRequest(dwMode, pOemDMParam, &steps) ? S_OK : E_FAIL;
}

namespace {
BOOL DdiSendPage(SURFOBJ* pso);
ULONG DdiEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
BOOL DdiStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
BOOL DdiEndDoc(SURFOBJ* pso, ULONG fl);

DRVFN g_hooks[4] = {
    {INDEX_DrvSendPage, reinterpret_cast<PFN>(DdiSendPage)},
    {INDEX_DrvEscape, reinterpret_cast<PFN>(DdiEscape)},
    {INDEX_DrvStartDoc, reinterpret_cast<PFN>(DdiStartDoc)},
    {INDEX_DrvEndDoc, reinterpret_cast<PFN>(DdiEndDoc)},
};

PluginRenderingSystem* SystemOf(SURFOBJ* pso)
{
    OEMPDEV* p = OemPdevOf(pso);
    return p ? p->pSystem : nullptr;
}

BOOL DdiSendPage(SURFOBJ* pso)
{
    PluginRenderingSystem* s = SystemOf(pso);
    return s ? s->HookSendPage(pso) : FALSE;
}
ULONG DdiEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut)
{
    PluginRenderingSystem* s = SystemOf(pso);
    return s ? s->HookEscape(pso, iEsc, cjIn, pvIn, cjOut, pvOut) : 0;
}
BOOL DdiStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId)
{
    PluginRenderingSystem* s = SystemOf(pso);
    return s ? s->HookStartDoc(pso, pwszDocName, dwJobId) : FALSE;
}
BOOL DdiEndDoc(SURFOBJ* pso, ULONG fl)
{
    PluginRenderingSystem* s = SystemOf(pso);
    return s ? s->HookEndDoc(pso, fl) : FALSE;
}
}  // namespace

OEMPDEV* OemPdevOf(SURFOBJ* pso)
{
    if (!pso || !pso->dhpdev) return nullptr;
    auto* pdevobj = static_cast<PDEVOBJ>(pso->dhpdev);
    return static_cast<OEMPDEV*>(pdevobj->pdevOEM);
}

HRESULT PluginRenderingSystem::EnableDriver(DWORD, DWORD, PDRVENABLEDATA pded)
{
    if (!pded) return E_INVALIDARG;
    pded->iDriverVersion = OEM_DDI_TABLE_VERSION;
    pded->c = 4;
    pded->pdrvfn = g_hooks;
    return S_OK;
}

HRESULT PluginRenderingSystem::DisableDriver()
{
    if (m_pCore) m_pCore->Release();
    m_pCore = nullptr;
    if (m_pDriver) m_pDriver->Release();
    m_pDriver = nullptr;
    return S_OK;
}

bool PluginRenderingSystem::IsPreConfig()
{
    if (!m_pdevobj) return false;
    PrinterDataReader data(m_pdevobj->hPrinter, PDS_PRINTER, true);
    return data.IsPreConfig(0);
}

IPrintCorePS2* PluginRenderingSystem::Core()
{
    if (!m_pCore && m_pDriver) {
        void* pv = nullptr;
        if (SUCCEEDED(m_pDriver->QueryInterface(IID_IPrintCorePS2, &pv))) m_pCore = static_cast<IPrintCorePS2*>(pv);
    }
    return m_pCore;
}

bool PluginRenderingSystem::RefuseJob(PDEVOBJ pdevobj)
{
    RenderReaders r(pdevobj->hPrinter, PrivateOf(pdevobj), Core(), pdevobj);
    if (!r.IsValid()) return false;
    char szJobType[64] = {};
    r.Text("$JobType", szJobType, sizeof(szJobType));
    const bool bPreConfig = r.data().IsPreConfig(0);
    const PreConfigList* pList = r.preconfig();
    if (bPreConfig) {
        WCHAR szUser[64] = {};
        const bool bHaveUser = r.data().GetSecurePrintUserName(szUser, sizeof(szUser)) && szUser[0];
        const PreConfigEntry* e = pList ? pList->Find("$JobType") : nullptr;
        if (e && e->bEnforced && IsJobType(e->szOption, "Secure", "Proof") && !bHaveUser) {
            KTPS_LOG(DBG_WARN, "Force dis-printing by PreConfig.\n");
            return true;
        }
        if (IsJobType(szJobType, "Secure", "Proof")) {
            WCHAR szPinW[64] = {};
            char szPin[SECRET_DECODED_BUFFER] = {};
            r.data().GetSecurePrintPIN(szPinW, sizeof(szPinW));
            GetStoredSecret(szPinW, r.data().TestCapability(PDCAP_ENCODED_SECRETS), szPin, sizeof(szPin));
            if (!bHaveUser) {
                KTPS_LOG(DBG_WARN, "Force dis-printing by PreConfig.\n");
                return true;
            }
            char szMin[32] = {};
            if (r.data().ReadInstallableOption("KTMinDigitPasscode", szMin, sizeof(szMin)) && szMin[0]) {
                const long nMin = std::strtol(szMin, nullptr, 10);
                if (nMin > 0 && static_cast<long>(std::strlen(szPin)) < nMin) return true;
            }
        }
    }
    if (const PreConfigEntry* d = pList ? pList->Find("Duplex") : nullptr; d && std::strcmp(d->szOption, "None") != 0) {
        bool bInit = false;
        const bool bInitRead = r.Bool("$InitSetting", &bInit);
        char szDuplexOption[32] = {};
        if ((!bInitRead || !bInit || d->bEnforced) &&
            r.data().ReadInstallableOption("KTDuplexOption", szDuplexOption, sizeof(szDuplexOption)) &&
            std::strcmp(szDuplexOption, "False") == 0) {
            KTPS_LOG(DBG_WARN, "Force dis-printing by PreConfig.\n");
            return true;
        }
    }
    if (bPreConfig && IsJobType(szJobType, "DFax")) {
        KTPS_LOG(DBG_WARN, "Force dis-printing by DFax\n");
        return true;
    }
    return false;
}

HRESULT PluginRenderingSystem::EnablePDEV(PDEVOBJ pdevobj, LPWSTR, ULONG, HANDLE*, ULONG, void*, ULONG, void*,
                                          DRVENABLEDATA* pded, void** pDevOem)
{
    if (!pdevobj || !pDevOem) return E_INVALIDARG;
    *pDevOem = nullptr;
    m_pdevobj = pdevobj;
    if (RefuseJob(pdevobj)) return E_FAIL;
    auto* pdev = new OEMPDEV;
    if (!pdev) {
        KTPS_LOG(DBG_ERROR, "cannot allocate OEM PDEV.\n");
        return E_OUTOFMEMORY;
    }
    pdev->pSystem = this;
    if (pded) {
        for (ULONG i = 0; i < pded->c; ++i) {
            switch (pded->pdrvfn[i].iFunc) {
            case INDEX_DrvSendPage: pdev->pfnDrvSendPage = reinterpret_cast<PFN_DrvSendPage>(pded->pdrvfn[i].pfn); break;
            case INDEX_DrvEscape: pdev->pfnDrvEscape = reinterpret_cast<PFN_DrvEscape>(pded->pdrvfn[i].pfn); break;
            case INDEX_DrvStartDoc: pdev->pfnDrvStartDoc = reinterpret_cast<PFN_DrvStartDoc>(pded->pdrvfn[i].pfn); break;
            case INDEX_DrvEndDoc: pdev->pfnDrvEndDoc = reinterpret_cast<PFN_DrvEndDoc>(pded->pdrvfn[i].pfn); break;
            default: break;
            }
        }
    }
    std::memcpy(pdev->rcMargin, m_rcMargin, sizeof(m_rcMargin));
    *pDevOem = pdev;
    return S_OK;
}

HRESULT PluginRenderingSystem::DisablePDEV(PDEVOBJ pdevobj)
{
    if (!pdevobj || !pdevobj->pdevOEM) return S_OK;
    auto* pdev = static_cast<OEMPDEV*>(pdevobj->pdevOEM);
    if (pdev->pContainer) pdev->pContainer->Release();
    delete pdev->pDocInfo;
    delete pdev;
    pdevobj->pdevOEM = nullptr;
    if (m_pdevobj == pdevobj) m_pdevobj = nullptr;
    return S_OK;
}

HRESULT PluginRenderingSystem::ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew)
{
    if (!pdevobjOld || !pdevobjNew) return E_INVALIDARG;
    auto* pOld = static_cast<OEMPDEV*>(pdevobjOld->pdevOEM);
    auto* pNew = static_cast<OEMPDEV*>(pdevobjNew->pdevOEM);
    if (!pOld || !pNew) return E_FAIL;
    pNew->pDocInfo = pOld->pDocInfo;
    pNew->pContainer = pOld->pContainer;
    pNew->pCompanion1 = pOld->pCompanion1;
    pNew->pCompanion2 = pOld->pCompanion2;
    pOld->pDocInfo = nullptr;
    pOld->pContainer = nullptr;
    pOld->pCompanion1 = pOld->pCompanion2 = nullptr;
    m_pdevobj = pdevobjNew;
    if (pNew->pContainer && FAILED(pNew->pContainer->Initialize(this))) return E_FAIL;
    return S_OK;
}

HRESULT PluginRenderingSystem::PublishDriverInterface(IUnknown* pIUnknown)
{
    if (pIUnknown) pIUnknown->AddRef();
    if (m_pCore) m_pCore->Release();
    m_pCore = nullptr;
    if (m_pDriver) m_pDriver->Release();
    m_pDriver = pIUnknown;
    return S_OK;
}

HRESULT PluginRenderingSystem::Command(PDEVOBJ pdevobj, DWORD dwIndex, PVOID, DWORD, DWORD* pdwResult)
{
    if (pdwResult) *pdwResult = 0;
    if (pdevobj) m_pdevobj = pdevobj;
    if (!m_bCapture) return S_OK;
    OEMPDEV* pdev = pdevobj ? static_cast<OEMPDEV*>(pdevobj->pdevOEM) : nullptr;
    if (!pdev || !pdev->pContainer) return E_FAIL;
    FunctionContainer* c = pdev->pContainer;
    if (dwIndex == PSINJECT_BEGINSTREAM) {
        if (!pdev->pDocInfo) return E_FAIL;
        if (IsPreConfig()) {
            HRESULT hr = c->Fire(RF_BEGINSTREAM, nullptr);
            const HRESULT hr2 = c->Fire(RF_JOBHEADER, nullptr);
            if (SUCCEEDED(hr)) hr = hr2;
            const HRESULT hr3 = c->Fire(RF_INJECT, &dwIndex);
            return FAILED(hr) ? hr : hr3;
        }
        return c->Fire(RF_INJECT, &dwIndex);
    }
    if (dwIndex == PSINJECT_ENDSTREAM) {
        // A document whose pages were never sent is flushed here, so that its header, its
        // stream and then its trailer go out in order.
        if (pdev->pDocInfo && !pdev->pDocInfo->passThrough && !IsPreConfig()) Flush(pdev);
        HRESULT hr = c->Fire(RF_INJECT, &dwIndex);
        const HRESULT hr2 = c->Fire(RF_PREENDSTREAM, nullptr);
        const HRESULT hr3 = c->Fire(RF_ENDSTREAM, nullptr);
        if (SUCCEEDED(hr)) hr = hr2;
        if (SUCCEEDED(hr)) hr = hr3;
        return hr;
    }
    return c->Fire(RF_INJECT, &dwIndex);
}

HRESULT PluginRenderingSystem::WritePrinter(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer, DWORD* pcbWritten)
{
    if (!pdevobj || !pBuf || !cbBuffer || !pcbWritten) {
        if (pcbWritten) *pcbWritten = 0;
        return S_OK;
    }
    m_pdevobj = pdevobj;
    auto* pdev = static_cast<OEMPDEV*>(pdevobj->pdevOEM);
    DocumentInfo* pInfo = pdev ? pdev->pDocInfo : nullptr;
    if (!pInfo || pInfo->passThrough) {
        DWORD cbWritten = 0;
        if (!::WritePrinter(pdevobj->hPrinter, pBuf, cbBuffer, &cbWritten)) {
            *pcbWritten = cbWritten;
            return HRESULT_FROM_WIN32(GetLastError());
        }
        *pcbWritten = cbWritten;
        return S_OK;
    }
    if (!pInfo->Capture(pBuf, cbBuffer)) {
        *pcbWritten = 0;
        return E_OUTOFMEMORY;
    }
    *pcbWritten = cbBuffer;
    if (pInfo->CapturedSize() > CAPTURE_LIMIT) return Flush(pdev);
    return S_OK;
}

HRESULT PluginRenderingSystem::Flush(OEMPDEV* pdev)
{
    DocumentInfo* pInfo = pdev ? pdev->pDocInfo : nullptr;
    if (!pInfo || !m_bCapture) return S_OK;
    if (!pInfo->passThrough) {
        pInfo->passThrough = true;
        if (pdev->pContainer && !IsPreConfig()) {
            const RfStartDocData sd = {pInfo->GetTextW(DII_DOCNAME), 0};
            RfStartDocData data = sd;
            pInfo->GetDword(DII_JOBID, &data.dwJobId);
            if (FAILED(pdev->pContainer->Fire(RF_STARTDOC, &data))) KTPS_LOG(DBG_ERROR, "RF_STARTDOC event failed.\n");
            pdev->pContainer->Fire(RF_BEGINSTREAM, nullptr);
            pdev->pContainer->Fire(RF_JOBHEADER, nullptr);
        }
    }
    HRESULT hr = S_OK;
    if (pInfo->CapturedSize()) hr = WriteSpooler(pInfo->Captured(), pInfo->CapturedSize());
    pInfo->ReleaseCapture();
    return hr;
}

HRESULT PluginRenderingSystem::GetPDEVAdjustment(PDEVOBJ, DWORD dwAdjustType, PVOID pBuf, DWORD cbBuffer,
                                                 BOOL* pbAdjustmentDone)
{
    if (pbAdjustmentDone) *pbAdjustmentDone = FALSE;
    if (dwAdjustType == PDEV_ADJUST_PAPER_MARGIN_TYPE && pBuf && cbBuffer >= sizeof(m_rcMargin))
        std::memcpy(m_rcMargin, pBuf, sizeof(m_rcMargin));
    return S_OK;
}

// ---- IRenderingSystem ------------------------------------------------------------------

HRESULT PluginRenderingSystem::GetKind(DWORD* pdwKind)
{
    if (!pdwKind) return E_INVALIDARG;
    *pdwKind = m_dwKind;
    return S_OK;
}

HRESULT PluginRenderingSystem::GetDevObj(PDEVOBJ* ppdevobj)
{
    if (!ppdevobj) return E_INVALIDARG;
    *ppdevobj = m_pdevobj;
    return m_pdevobj ? S_OK : E_FAIL;
}

HRESULT PluginRenderingSystem::GetDriverInterface(IUnknown** ppUnknown)
{
    if (!ppUnknown) return E_INVALIDARG;
    *ppUnknown = m_pDriver;
    if (!m_pDriver) return E_FAIL;
    m_pDriver->AddRef();
    return S_OK;
}

HRESULT PluginRenderingSystem::GetPrinterHandle(HANDLE* phPrinter)
{
    if (!phPrinter) return E_INVALIDARG;
    *phPrinter = m_pdevobj ? m_pdevobj->hPrinter : nullptr;
    return *phPrinter ? S_OK : E_FAIL;
}

HRESULT PluginRenderingSystem::GetDevmodes(PDEVMODEW* ppPublic, void** ppPrivate)
{
    if (!ppPublic || !ppPrivate) return E_INVALIDARG;
    *ppPublic = m_pdevobj ? m_pdevobj->pPublicDM : nullptr;
    *ppPrivate = PrivateOf(m_pdevobj);
    return *ppPublic ? S_OK : E_FAIL;
}

HRESULT PluginRenderingSystem::GetDocumentInfo(DocumentInfo** ppInfo)
{
    if (!ppInfo) return E_INVALIDARG;
    auto* pdev = m_pdevobj ? static_cast<OEMPDEV*>(m_pdevobj->pdevOEM) : nullptr;
    *ppInfo = pdev ? pdev->pDocInfo : nullptr;
    return *ppInfo ? S_OK : E_FAIL;
}

HRESULT PluginRenderingSystem::WriteProperty(LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize,
                                             const void* pData)
{
    return WritePropertyLine(this, pszOwner, pszName, dwType, cbSize, pData);
}

HRESULT PluginRenderingSystem::WriteOutput(const void* pData, DWORD cbSize) { return WriteSpoolBuf(pData, cbSize); }

HRESULT PluginRenderingSystem::WriteSpooler(const void* pData, DWORD cbSize)
{
    if (!m_pdevobj) return E_FAIL;
    DWORD cbWritten = 0;
    if (!::WritePrinter(m_pdevobj->hPrinter, const_cast<void*>(pData), cbSize, &cbWritten))
        return HRESULT_FROM_WIN32(GetLastError());
    return cbWritten == cbSize ? S_OK : E_FAIL;
}

HRESULT PluginRenderingSystem::WriteSpoolBuf(const void* pData, DWORD cbSize)
{
    IPrintCorePS2* pCore = Core();
    if (!pCore || !m_pdevobj) return E_FAIL;
    DWORD cbWritten = 0;
    return pCore->DrvWriteSpoolBuf(m_pdevobj, const_cast<void*>(pData), cbSize, &cbWritten);
}

// ---- DDI hooks ------------------------------------------------------------------------

void PluginRenderingSystem::FillDocumentInfo(OEMPDEV* pdev, LPCWSTR pszDocName, DWORD dwJobId)
{
    DocumentInfo* pInfo = pdev->pDocInfo;
    PDEVOBJ pdevobj = m_pdevobj;
    RenderReaders r(pdevobj->hPrinter, PrivateOf(pdevobj), Core(), pdevobj);
    if (!r.IsValid()) return;
    IPrintCorePS2* pCore = Core();
    const bool bPreConfig = r.data().IsPreConfig(0);

    // N-up value.
    {
        WORD wNup = 0;
        bool bDecided = false;
        bool bSkipSignature = false;
        if (pCore) {
            DWORD dwType = 0, cbNeeded = 0;
            BYTE data[8] = {};
            if (SUCCEEDED(pCore->GetGlobalAttribute(pdevobj, 0, "ColorDevice", &dwType, data, sizeof(data), &cbNeeded)) &&
                dwType == kADT_BOOL && data[0] && r.OptionIs("KTSigFuncChange", "True"))
                bSkipSignature = true;
        }
        char sz[64] = {};
        if (!bSkipSignature && r.Option("KTSignature", sz, sizeof(sz)) && std::strcmp(sz, "None") != 0) {
            wNup = 2;
            bDecided = true;
        }
        bool bBooklet = false;
        if (!bDecided && r.OptionIs("%MetafileSpooling", "True") && r.Bool("$BookletSetting", &bBooklet) && bBooklet) {
            wNup = 2;
            bDecided = true;
        }
        if (!bDecided && r.Option("%PagePerSheet", sz, sizeof(sz))) {
            LONG l = 0;
            if (r.settings().ReadOptionNumber("%PagePerSheet", &l)) wNup = static_cast<WORD>(l);
            bDecided = true;
        }
        if (bDecided) pInfo->SetWord(DII_NUP, wNup);
    }

    // Document name and the job's facts from the spooler.
    DWORD cbJob = 0;
    GetJobW(pdevobj->hPrinter, dwJobId, 1, nullptr, 0, &cbJob);
    if (cbJob) {
        void* p = nullptr;
        if (MemAllocZero(&p, cbJob)) {
            if (GetJobW(pdevobj->hPrinter, dwJobId, 1, static_cast<BYTE*>(p), cbJob, &cbJob)) {
                const auto* ji = static_cast<const JOB_INFO_1W*>(p);
                pInfo->SetDword(DII_JOBID, ji->JobId);
                if (ji->pDocument && ji->pDocument[0]) pInfo->SetTextW(DII_DOCNAME, ji->pDocument);
                if (ji->pUserName && ji->pUserName[0]) pInfo->SetTextW(DII_USERNAME, ji->pUserName);
                if (LPCWSTR m = ji->pMachineName) {
                    if (m[0] == u'\\' && m[1] == u'\\') m += 2;
                    if (m[0]) pInfo->SetTextW(DII_MACHINENAME, m);
                }
            }
            MemFree(p);
        }
    }
    if (!pInfo->IsSet(DII_JOBID)) pInfo->SetDword(DII_JOBID, dwJobId);
    if (!pInfo->IsSet(DII_DOCNAME) && pszDocName) pInfo->SetTextW(DII_DOCNAME, pszDocName);
    DWORD cbPrinter = 0;
    GetPrinterW(pdevobj->hPrinter, 2, nullptr, 0, &cbPrinter);
    if (cbPrinter) {
        void* p = nullptr;
        if (MemAllocZero(&p, cbPrinter)) {
            if (GetPrinterW(pdevobj->hPrinter, 2, static_cast<BYTE*>(p), cbPrinter, &cbPrinter)) {
                const auto* pi = static_cast<const PRINTER_INFO_2W*>(p);
                char sz[262] = {};
                WideTo8(pi->pPortName, sz, 33);
                pInfo->SetText(DII_PORTNAME, sz);
                WideTo8(pi->pPrinterName, sz, 261);
                pInfo->SetText(DII_PRINTERNAME, sz);
            }
            MemFree(p);
        }
    }

    if (bPreConfig) {
        PrinterDataReader& d = r.data();
        WCHAR szW[64] = {};
        char sz[SECRET_DECODED_BUFFER] = {};
        if (d.GetSecurePrintUserName(szW, sizeof(szW))) {
            WideTo8(szW, sz, sizeof(sz));
            pInfo->SetText(DII_SECUREUSER, sz);
        }
        std::memset(szW, 0, sizeof(szW));
        if (d.GetSecurePrintPIN(szW, sizeof(szW)) &&
            GetStoredSecret(szW, d.TestCapability(PDCAP_ENCODED_SECRETS), sz, sizeof(sz)))
            pInfo->SetText(DII_SECUREPIN, sz);
        std::memset(szW, 0, sizeof(szW));
        if (d.GetJobOwnerName(szW, sizeof(szW))) {
            WideTo8(szW, sz, sizeof(sz));
            pInfo->SetText(DII_OWNERNAME, sz);
        }
        std::memset(szW, 0, sizeof(szW));
        if (d.GetJobOwnerPassword(szW, sizeof(szW))) {
            WideTo8(szW, sz, sizeof(sz));
            pInfo->SetText(DII_OWNERPASSWORD, sz);
        }
        std::memset(szW, 0, sizeof(szW));
        if (d.GetMailAddress(szW, sizeof(szW))) {
            char szMail[129] = {};
            WideTo8(szW, szMail, sizeof(szMail));
            pInfo->SetText(DII_MAILADDRESS, szMail);
        }
        const JobDataCallbacks cb = {CbOwnerName, CbAccountMode, CbAccountRecord, CbSelectId, &d};
        BYTE record[JOB_ACCOUNT_RECORD_SIZE] = {};
        MakeAccountRecord(cb, record);
        pInfo->SetRecord(DII_ACCOUNT, record, sizeof(record));
    }

    // Tab-margin shift mode.
    if (pCore) {
        char szFeature[66] = {}, szAnswer[256] = {};
        DWORD cbNeeded = 0;
        r.MapKeyword("KTTabMarginShiftEx", szFeature, sizeof(szFeature) - 2);
        const DWORD cbIn = static_cast<DWORD>(std::strlen(szFeature) + 2);
        if (SUCCEEDED(pCore->GetOptions(pdevobj, 0, szFeature, cbIn, szAnswer, sizeof(szAnswer) - 2, &cbNeeded))) {
            if (std::strcmp(szAnswer, szFeature) == 0) {
                if (std::strcmp(szAnswer + std::strlen(szAnswer) + 1, "True") == 0) pInfo->SetWord(DII_TABMARGINSHIFT, 2);
            } else {
                std::memset(szFeature, 0, sizeof(szFeature));
                std::memset(szAnswer, 0, sizeof(szAnswer));
                r.MapKeyword("KTTabMarginShift", szFeature, sizeof(szFeature) - 2);
                const DWORD cbIn2 = static_cast<DWORD>(std::strlen(szFeature) + 2);
                if (SUCCEEDED(pCore->GetOptions(pdevobj, 0, szFeature, cbIn2, szAnswer, sizeof(szAnswer) - 2, &cbNeeded)))
                    pInfo->SetWord(DII_TABMARGINSHIFT, std::strcmp(szAnswer, szFeature) == 0 ? 1 : 3);
            }
        }
    }

    // Output bin display name.
    char szBin[64] = {};
    if (pCore && r.Option("OutputBin", szBin, sizeof(szBin))) {
        DWORD dwType = 0, cbNeeded = 0;
        WCHAR szName[81] = {};
        if (SUCCEEDED(pCore->GetOptionAttribute(pdevobj, 0, "OutputBin", szBin, "DisplayName", &dwType,
                                                reinterpret_cast<BYTE*>(szName), sizeof(szName) - 2, &cbNeeded)) &&
            dwType == kADT_UNICODE) {
            char sz[81] = {};
            WideTo8(szName, sz, sizeof(sz));
            pInfo->SetText(DII_OUTPUTBIN, sz);
        }
    }
}

BOOL PluginRenderingSystem::HookStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId)
{
    OEMPDEV* pdev = OemPdevOf(pso);
    if (!pdev) return FALSE;
    m_pdevobj = static_cast<PDEVOBJ>(pso->dhpdev);
    const bool bPreConfig = IsPreConfig();
    if (!pdev->pDocInfo) {
        pdev->pDocInfo = new DocumentInfo;
        if (pdev->pDocInfo && !pdev->pDocInfo->IsValid()) {
            delete pdev->pDocInfo;
            pdev->pDocInfo = nullptr;
        }
        if (!pdev->pDocInfo) KTPS_LOG(DBG_ERROR, "Cannot create the DocumentInfo.");
        else if (bPreConfig) pdev->pDocInfo->passThrough = true;
    }
    if (pdev->pDocInfo) {
        DocumentInfo* pInfo = pdev->pDocInfo;
        if (pInfo->ended) {
            if (pdev->pContainer) pdev->pContainer->Release();
            pdev->pContainer = nullptr;
            pInfo->ended = false;
            if (!bPreConfig) pInfo->passThrough = false;
            pInfo->ReleaseCapture();
            pInfo->Start();
        }
        FillDocumentInfo(pdev, pwszDocName, dwJobId);
        if (!pdev->pContainer) {
            pdev->pContainer = CreateFunctionContainer(this);
            if (!pdev->pContainer) KTPS_LOG(DBG_ERROR, "cannot create the Function, StartDoc failed.\n");
        }
        if (bPreConfig && pdev->pContainer && pInfo->GetTextW(DII_DOCNAME)) {
            RfStartDocData data = {pInfo->GetTextW(DII_DOCNAME), dwJobId};
            if (FAILED(pdev->pContainer->Fire(RF_STARTDOC, &data))) KTPS_LOG(DBG_ERROR, "RF_STARTDOC event failed.\n");
        }
    }
    return pdev->pfnDrvStartDoc ? pdev->pfnDrvStartDoc(pso, pwszDocName, dwJobId) : TRUE;
}

BOOL PluginRenderingSystem::HookEndDoc(SURFOBJ* pso, ULONG fl)
{
    OEMPDEV* pdev = OemPdevOf(pso);
    if (!pdev) return FALSE;
    m_pdevobj = static_cast<PDEVOBJ>(pso->dhpdev);
    // Bytes still held back (no page was sent, no end stream came) go out now.
    if (pdev->pDocInfo && !pdev->pDocInfo->passThrough && !IsPreConfig()) Flush(pdev);
    if (pdev->pContainer && SUCCEEDED(pdev->pContainer->Fire(RF_ENDDOC, nullptr)) && pdev->pDocInfo)
        pdev->pDocInfo->ended = true;
    else if (!pdev->pContainer && pdev->pDocInfo)
        pdev->pDocInfo->ended = true;
    return pdev->pfnDrvEndDoc ? pdev->pfnDrvEndDoc(pso, fl) : TRUE;
}

BOOL PluginRenderingSystem::HookSendPage(SURFOBJ* pso)
{
    OEMPDEV* pdev = OemPdevOf(pso);
    if (!pdev) return FALSE;
    m_pdevobj = static_cast<PDEVOBJ>(pso->dhpdev);
    if (!IsPreConfig()) Flush(pdev);
    return pdev->pfnDrvSendPage ? pdev->pfnDrvSendPage(pso) : TRUE;
}

ULONG PluginRenderingSystem::HookEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut)
{
    constexpr ULONG kPrivateEscape = 0x4B545056;
    constexpr DWORD kJobInfoTag = 0x4B545053;
    OEMPDEV* pdev = OemPdevOf(pso);
    if (!pdev) return 0;
    if (iEsc == QUERYESCSUPPORT) {
        if (pvIn && cjIn >= 4) {
            DWORD dwCode = 0;
            std::memcpy(&dwCode, pvIn, 4);
            if (dwCode == kPrivateEscape) return 1;
        }
    } else if (iEsc == kPrivateEscape) {
        if (pvIn && cjIn >= 4 && pdev->pDocInfo) {
            DWORD dwTag = 0;
            std::memcpy(&dwTag, pvIn, 4);
            if (dwTag == kJobInfoTag) {
                const DWORD dwResult = pdev->pDocInfo->Import(static_cast<const BYTE*>(pvIn) + 4, cjIn - 4);
                if (dwResult != JII_OK) KTPS_LOG(DBG_WARN, "job information refused (%u).\n", dwResult);
            }
        }
        return 1;
    }
    return pdev->pfnDrvEscape ? pdev->pfnDrvEscape(pso, iEsc, cjIn, pvIn, cjOut, pvOut) : 0;
}
