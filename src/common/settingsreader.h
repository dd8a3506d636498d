// Every setting is read by keyword through one reader: "$" keywords from the private DEVMODE,
// "%" keywords and printer-description features from the host's options (and, without a host,
// the printer-sticky FeatureKeyword data). Enforced pre-configuration entries win; values
// come out in the type the caller asks for.
#pragma once

#include "common/devmode.h"
#include "common/kwprefix.h"
#include "common/memory.h"
#include "common/preconfig.h"
#include "common/printerdata.h"
#include "platform/win32.h"

constexpr DWORD SETTINGS_WORK_SIZE = 256;
constexpr DWORD SETTINGS_FEATURE_MAX = 63;  // keyword + two zero bytes

// The host driver's option store, as its print-core interface (GetOptions) offers it.
struct IHostOptions {
    virtual bool GetOption(LPCSTR pszFeature, LPSTR pszOption, DWORD cbOption) = 0;

protected:
    ~IHostOptions() = default;
};

// Converts a stored value of type dwTypeIn (2..10) into dmTypeOut (2..10). pIn holds the
// value in its external form (numbers little-endian, texts terminated within cbIn).
bool ConvertDmValue(DWORD dwTypeIn, const void* pIn, DWORD cbIn, DWORD dmTypeOut, void* pOut, DWORD cbOut);

class SettingsReader : public HeapObject {
public:
    // pdm may be null (the defaults copy is read then). The reader owns pPreConfig (may be null)
    // and frees it with itself; pData and pHost are lent.
    SettingsReader(const OEMPrivateDevmode* pdm, HANDLE hPrinter, PreConfigList* pPreConfig,
                   PrinterDataReader* pData, IHostOptions* pHost = nullptr);
    ~SettingsReader();
    SettingsReader(const SettingsReader&) = delete;
    SettingsReader& operator=(const SettingsReader&) = delete;

    bool Get(LPCSTR pszKeyword, DWORD dmTypeOut, void* pBuffer, DWORD cbBuffer, bool bWantPreConfig = false);
    bool GetBool(LPCSTR pszKeyword, DWORD* pdwValue, bool bWantPreConfig = false);
    bool GetLong(LPCSTR pszKeyword, LONG* plValue, bool bWantPreConfig = false);
    bool GetDword(LPCSTR pszKeyword, DWORD* pdwValue, bool bWantPreConfig = false);
    bool GetText(LPCSTR pszKeyword, LPSTR pszText, DWORD cbText = SETTINGS_WORK_SIZE, bool bWantPreConfig = false);

    // The option of a "%" or printer-description keyword.
    bool ReadOption(LPCSTR pszFeature, LPSTR pszOption, DWORD cbOption);
    // Any option text other than "False" is true.
    bool ReadOptionBool(LPCSTR pszFeature, bool* pbValue);
    // The decimal value of the option text; "%PagePerSheet" = "Booklet" reads as 1 when the
    // printer's attributes carry 0x10, else 2.
    bool ReadOptionNumber(LPCSTR pszFeature, LONG* plValue);

    // The printer description's prefix ("" when unknown) and whether keywords are mapped.
    const char* Prefix() const { return m_szPrefix; }
    const PreConfigList* PreConfig() const { return m_pPreConfig; }
    PrinterDataReader* Data() const { return m_pData; }

private:
    const OEMPrivateDevmode* Defaults();

    const OEMPrivateDevmode* m_pdm;
    OEMPrivateDevmode* m_pDefaults = nullptr;
    HANDLE m_hPrinter;
    PreConfigList* m_pPreConfig;
    PrinterDataReader* m_pData;
    IHostOptions* m_pHost;
    char m_szPrefix[KW_PREFIX_SIZE] = {};
};

// The user's paper size: LOCALE_IPAPERSIZE-like (1 Letter, 5 Legal, 9 A4).
int GetLocalePaperSize();
// The paper size by telephone country code: Letter (1) for the Americas' codes, else A4 (9).
int PaperSizeForCountry(int nCountry);

// The name between the parentheses of the PPD's "*Product" entry. *pcbName is the buffer size
// in, and the name's length out whenever a name was found; true when it was copied.
bool ScanProductName(const char* pData, size_t cbData, LPSTR pszName, DWORD* pcbName);
bool GetPpdProductName(HANDLE hPrinter, LPSTR pszName, DWORD* pcbName);
