#include "renderer/rsettings.h"

#include <cstring>

#include "common/debug.h"
#include "common/kwprefix.h"

bool CoreOptions::GetOption(LPCSTR pszFeature, LPSTR pszOption, DWORD cbOption)
{
    if (!m_pCore || !pszFeature || !pszOption || !cbOption) return false;
    char szRequest[66] = {};
    const size_t cch = std::strlen(pszFeature);
    if (cch + 2 > sizeof(szRequest)) return false;
    std::memcpy(szRequest, pszFeature, cch);
    char szAnswer[512] = {};
    DWORD cbNeeded = 0;
    if (FAILED(m_pCore->GetOptions(m_pdevobj, 0, szRequest, static_cast<DWORD>(cch + 2), szAnswer, sizeof(szAnswer) - 2,
                                   &cbNeeded)))
        return false;
    // "feature\0option\0\0"
    if (std::strcmp(szAnswer, pszFeature) != 0) return false;
    const char* pszValue = szAnswer + cch + 1;
    const size_t cchValue = std::strlen(pszValue);
    if (cchValue + 1 > cbOption) return false;
    std::memcpy(pszOption, pszValue, cchValue + 1);
    return true;
}

RenderReaders::RenderReaders(HANDLE hPrinter, const OEMPrivateDevmode* pdm, IPrintCorePS2* pCore, PDEVOBJ pdevobj)
    : m_hPrinter(hPrinter)
{
    m_options.Set(pCore, pdevobj);
    m_pData = new PrinterDataReader(hPrinter, PDS_PRINTER, true);
    SetDevmode(pdm);
}

RenderReaders::~RenderReaders()
{
    delete m_pSettings;
    delete m_pData;
}

void RenderReaders::SetDevmode(const OEMPrivateDevmode* pdm)
{
    delete m_pSettings;
    m_pSettings = nullptr;
    if (!m_pData) return;
    auto* pList = new PreConfigList;
    if (pList) pList->Load(m_hPrinter);
    m_pSettings = new SettingsReader(pdm, m_hPrinter, pList, m_pData, &m_options);
}

void RenderReaders::MapKeyword(LPCSTR pszKeyword, LPSTR pszOut, DWORD cbOut) const
{
    MapKeywordToPpd(pszKeyword, m_pSettings ? m_pSettings->Prefix() : "KT", pszOut, cbOut);
}

bool RenderReaders::Text(LPCSTR pszKeyword, LPSTR pszOut, DWORD cbOut)
{
    if (m_pSettings && m_pSettings->GetText(pszKeyword, pszOut, cbOut)) return true;
    if (pszKeyword && pszKeyword[0] == '$') KTPS_LOG(DBG_ERROR, "Invalid Feature Keyword [%s].\n", pszKeyword);
    return false;
}

bool RenderReaders::Bool(LPCSTR pszKeyword, bool* pb)
{
    DWORD dw = 0;
    if (m_pSettings && m_pSettings->GetBool(pszKeyword, &dw)) {
        *pb = dw != 0;
        return true;
    }
    if (pszKeyword && pszKeyword[0] == '$') KTPS_LOG(DBG_ERROR, "Invalid Feature Keyword [%s].\n", pszKeyword);
    return false;
}

bool RenderReaders::Long(LPCSTR pszKeyword, LONG* pl)
{
    if (m_pSettings && m_pSettings->GetLong(pszKeyword, pl)) return true;
    if (pszKeyword && pszKeyword[0] == '$') KTPS_LOG(DBG_ERROR, "Invalid Feature Keyword [%s].\n", pszKeyword);
    return false;
}

bool RenderReaders::Option(LPCSTR pszKeyword, LPSTR pszOut, DWORD cbOut)
{
    return m_pSettings && m_pSettings->ReadOption(pszKeyword, pszOut, cbOut);
}

bool RenderReaders::OptionIs(LPCSTR pszKeyword, LPCSTR pszValue)
{
    char sz[256] = {};
    return Option(pszKeyword, sz, sizeof(sz)) && std::strcmp(sz, pszValue) == 0;
}
