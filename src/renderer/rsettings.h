// The readers a rendering task builds: printer data (sources 0 and 1), the pre-configuration
// list and the settings reader, with the host's print core as the option store.
#pragma once

#include "common/devmode.h"
#include "common/printerdata.h"
#include "common/settingsreader.h"
#include "platform/oemps.h"

// The host's options through IPrintCorePS2 GetOptions (keywords arrive already mapped).
class CoreOptions : public IHostOptions {
public:
    void Set(IPrintCorePS2* pCore, PDEVOBJ pdevobj)
    {
        m_pCore = pCore;
        m_pdevobj = pdevobj;
    }
    bool GetOption(LPCSTR pszFeature, LPSTR pszOption, DWORD cbOption) override;

private:
    IPrintCorePS2* m_pCore = nullptr;
    PDEVOBJ m_pdevobj = nullptr;
};

class RenderReaders : public HeapObject {
public:
    RenderReaders(HANDLE hPrinter, const OEMPrivateDevmode* pdm, IPrintCorePS2* pCore, PDEVOBJ pdevobj);
    ~RenderReaders();
    RenderReaders(const RenderReaders&) = delete;
    RenderReaders& operator=(const RenderReaders&) = delete;

    bool IsValid() const { return m_pSettings && m_pData; }
    SettingsReader& settings() { return *m_pSettings; }
    PrinterDataReader& data() { return *m_pData; }
    const PreConfigList* preconfig() const { return m_pSettings ? m_pSettings->PreConfig() : nullptr; }
    // Points the settings reader at another private DEVMODE (rebuilds it).
    void SetDevmode(const OEMPrivateDevmode* pdm);

    // Keyword as the host knows it (the PPD's prefix in place of "KT").
    void MapKeyword(LPCSTR pszKeyword, LPSTR pszOut, DWORD cbOut) const;

    // "$" keyword as text / boolean / number; false (and the ERROR line) when unreadable.
    bool Text(LPCSTR pszKeyword, LPSTR pszOut, DWORD cbOut = SETTINGS_WORK_SIZE);
    bool Bool(LPCSTR pszKeyword, bool* pb);
    bool Long(LPCSTR pszKeyword, LONG* pl);
    // Option of a "%" or PPD keyword.
    bool Option(LPCSTR pszKeyword, LPSTR pszOut, DWORD cbOut);
    bool OptionIs(LPCSTR pszKeyword, LPCSTR pszValue);

private:
    HANDLE m_hPrinter;
    PrinterDataReader* m_pData = nullptr;
    SettingsReader* m_pSettings = nullptr;
    CoreOptions m_options;
};
