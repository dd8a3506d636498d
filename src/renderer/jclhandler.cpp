// "JclHandler" (job header and trailer) and "DocumentMonitor".
#include <cstring>
#include <string>

#include "common/debug.h"
#include "common/devmode.h"
#include "renderer/documentinfo.h"
#include "renderer/pjlheader.h"
#include "renderer/renderingfunction.h"
#include "renderer/rsettings.h"

namespace {

const OEMPrivateDevmode* Private(void* p)
{
    auto* pdm = static_cast<const OEMPrivateDevmode*>(p);
    return pdm && IsValidPrivateDevmode(pdm) ? pdm : nullptr;
}

class JclHandler final : public RenderingFunction {
public:
    LPCSTR Name() const override { return "JclHandler"; }

    HRESULT AttachSystem(IRenderingSystem* pSystem) override
    {
        const HRESULT hr = RenderingFunction::AttachSystem(pSystem);
        if (FAILED(hr)) return hr;
        RenderReaders r(m_hPrinter, Private(m_pPrivateDM), m_pCore, m_pdevobj);
        char szFormat[64] = {}, szCtrlD[64] = {}, szMeta[64] = {};
        if ((m_dwKind != RS_KIND_SERIALIZE && m_dwKind != RS_KIND_DIRECT) || !r.IsValid() ||
            !r.Option("%OutputFormat", szFormat, sizeof(szFormat)) || !r.Option("%CtrlDAfter", szCtrlD, sizeof(szCtrlD)) ||
            !r.Option("%MetafileSpooling", szMeta, sizeof(szMeta))) {
            DetachSystem();
            return S_OK;
        }
        m_bNoJobControl = std::strcmp(szFormat, "EPS") == 0 || std::strcmp(szFormat, "Archive") == 0;
        m_bCtrlDAfter = std::strcmp(szCtrlD, "False") != 0;
        m_bMetafile = std::strcmp(szMeta, "True") == 0;
        return S_OK;
    }

    HRESULT OnJobHeader() override
    {
        if (m_bNoJobControl || m_bWritten) return S_OK;
        DocumentInfo* pInfo = nullptr;
        if (FAILED(m_pSystem->GetDocumentInfo(&pInfo)) || !pInfo) return S_OK;
        const OEMPrivateDevmode* pdm = Private(m_pPrivateDM);
        RenderReaders r(m_hPrinter, pdm, m_pCore, m_pdevobj);
        if (!r.IsValid()) return S_OK;
        m_wDialect = JclDialect(r.data());
        std::string header;
        ComposeJobHeader(*pInfo, r, pdm ? pdm->wModelId : 0, pdm ? pdm->wOwnerStringCode : 0, m_bMetafile, &header);
        if (header.empty()) return S_OK;
        const HRESULT hr = m_pSystem->WriteSpooler(header.data(), static_cast<DWORD>(header.size()));
        if (SUCCEEDED(hr)) m_bWritten = true;
        return hr;
    }

    HRESULT OnEndStream2() override
    {
        if (!m_bWritten || m_bNoJobControl || m_bCtrlDAfter) return S_OK;
        std::string trailer;
        ComposeJobTrailer(m_wDialect, &trailer);
        if (trailer.empty()) return S_OK;
        return m_pSystem->WriteOutput(trailer.data(), static_cast<DWORD>(trailer.size()));
    }

    HRESULT StoreState(BYTE* pBuffer, DWORD cbBuffer, DWORD* pcbState) override
    {
        if (!pBuffer || cbBuffer < 3 || !pcbState) return E_INVALIDARG;
        pBuffer[0] = m_bCtrlDAfter;
        pBuffer[1] = m_bNoJobControl;
        pBuffer[2] = m_bMetafile;
        *pcbState = 3;
        return S_OK;
    }

    HRESULT RestoreState(const BYTE* pData, DWORD cbSize) override
    {
        if (!pData || cbSize < 3) return E_INVALIDARG;
        m_bCtrlDAfter = pData[0] != 0;
        m_bMetafile = pData[2] != 0;
        return S_OK;
    }

private:
    bool m_bNoJobControl = false;
    bool m_bCtrlDAfter = false;
    bool m_bMetafile = false;
    bool m_bWritten = false;
    WORD m_wDialect = 0;
};

// Hands the job to the document monitor in PreConfig mode. The monitor's client bridge lives
// with the common core; without it installed the function stays silent, as a missing
// monitor should leave printing untouched.
class DocumentMonitor final : public RenderingFunction {
public:
    LPCSTR Name() const override { return "DocumentMonitor"; }

    HRESULT AttachSystem(IRenderingSystem* pSystem) override
    {
        const HRESULT hr = RenderingFunction::AttachSystem(pSystem);
        if (FAILED(hr)) return hr;
        RenderReaders r(m_hPrinter, Private(m_pPrivateDM), m_pCore, m_pdevobj);
        bool bUse = false;
        if (!r.IsValid() || !r.data().IsPreConfig(0) || !r.data().TestCapability(PDCAP_DOCUMENT_MONITOR) ||
            !r.settings().GetBool("$UseDocumentMonitor", reinterpret_cast<DWORD*>(&m_dwUse)) || !m_dwUse) {
            (void)bUse;
            DetachSystem();
        }
        return S_OK;
    }

private:
    DWORD m_dwUse = 0;
};

}  // namespace

RenderingFunction* CreateJclHandlerFunction() { return new JclHandler; }
RenderingFunction* CreateDocumentMonitorFunction() { return new DocumentMonitor; }
