// Per-printer and per-user values, read and written by name through one of the data sources,
// with a built-in default for every known value.
#pragma once

#include "common/memory.h"
#include "platform/spooler.h"
#include "platform/win32.h"

// Where a value is read from or written to.
enum PrinterDataSource : DWORD {
    PDS_DEFAULT = 0,         // the built-in default (read only)
    PDS_PRINTER = 1,         // the printer's data
    PDS_USER = 2,            // the per-user store, then source 3, then the default
    PDS_PRINTER_DEFAULT = 3, // printer data under the name + "Default"
    PDS_RESERVED = 4,        // not implemented
};

// Capability bits of the first word of OEMSupportCapability.
constexpr DWORD PDCAP_DOCUMENT_MONITOR = 0x00000002;
constexpr DWORD PDCAP_ACCOUNT_MODE_B = 0x00000004;
constexpr DWORD PDCAP_OWNER_PASSWORD = 0x00000200;
constexpr DWORD PDCAP_ENCODED_SECRETS = 0x00010000;
constexpr DWORD PDCAP_ACCOUNT_MODE_A = 0x00020000;
constexpr DWORD PDCAP_DOCNAME_COMMENT = 0x00080000;
constexpr DWORD PDCAP_INCH_MARGINS = 0x00800000;
constexpr DWORD PDCAP_NO_ACCOUNT_ID = 0x02000000;

constexpr DWORD JOB_ACCOUNT_INFO_MAX = 2048;   // bytes of OEMJobAccountInfo
constexpr DWORD JOB_ACCOUNT_FLAGS_ABSENT = 28;

// The account record of the job (536 bytes); capacities in characters, terminator included.
struct JobAccountRecord {
    DWORD dwFlags;
    WCHAR szUserId[33];
    WCHAR szAccountId[33];
    WCHAR szPassword[17];
    WCHAR szChargeUserId[33];
    WCHAR szChargePassword[17];
    WCHAR szPopupUserId[33];
    WCHAR szPopupAccountId[33];
    WCHAR szPopupPassword[17];
    WCHAR szPopupChargeUserId[33];
    WCHAR szPopupChargePassword[17];
};
static_assert(sizeof(JobAccountRecord) == 536, "the account record is 536 bytes");
static_assert(offsetof(JobAccountRecord, szUserId) == 4);
static_assert(offsetof(JobAccountRecord, szAccountId) == 70);
static_assert(offsetof(JobAccountRecord, szPassword) == 136);
static_assert(offsetof(JobAccountRecord, szChargeUserId) == 170);
static_assert(offsetof(JobAccountRecord, szChargePassword) == 236);
static_assert(offsetof(JobAccountRecord, szPopupUserId) == 270);
static_assert(offsetof(JobAccountRecord, szPopupAccountId) == 336);
static_assert(offsetof(JobAccountRecord, szPopupPassword) == 402);
static_assert(offsetof(JobAccountRecord, szPopupChargeUserId) == 436);
static_assert(offsetof(JobAccountRecord, szPopupChargePassword) == 502);

// Fills the record from the bytes of an OEMJobAccountInfo value (a list of wide "key=value"
// strings ended by an empty one; at most 2048 bytes are looked at). Keys not found leave their
// field empty; a missing Flags gives 28.
void ParseJobAccountInfo(const BYTE* pData, DWORD cbData, JobAccountRecord* pRecord);

// Looks a keyword up in FeatureKeyword bytes (records "keyword\0option\0...\n", ended by an
// empty keyword; exact, case-sensitive). Copies the option when it fits (with terminator).
// *pcchOption (when given) receives the option's length whenever the keyword was found.
bool FindFeatureKeywordOption(const BYTE* pData, DWORD cbData, LPCSTR pszKeyword, LPSTR pszOption, DWORD cbOption,
                              DWORD* pcchOption = nullptr);
// Walks the records; the callback gets each keyword and option. Stops at the end record, at a
// record that runs past the data, or when the callback answers false.
bool WalkFeatureKeywords(const BYTE* pData, DWORD cbData,
                         bool (*pfnRecord)(LPCSTR pszKeyword, LPCSTR pszOption, void* pContext), void* pContext);

class PrinterDataReader : public HeapObject {
public:
    // bReadOnly: the rendering plug-in's reader, which knows sources 0 and 1 only.
    PrinterDataReader(HANDLE hPrinter, DWORD dwDefaultSource = PDS_PRINTER, bool bReadOnly = false);

    HANDLE printer() const { return m_hPrinter; }
    DWORD defaultSource() const { return m_dwDefaultSource; }

    // Reads into the buffer; *pcbRead (when given) receives the size copied.
    bool Read(LPCWSTR pszName, void* pBuffer, DWORD cbBuffer, DWORD dwSource, DWORD* pcbRead = nullptr);
    bool Read(LPCWSTR pszName, void* pBuffer, DWORD cbBuffer) { return Read(pszName, pBuffer, cbBuffer, m_dwDefaultSource); }
    bool Write(LPCWSTR pszName, DWORD dwType, const void* pData, DWORD cbData, DWORD dwSource);
    // Deletes a value of the per-user store (source 2 only).
    bool Delete(LPCWSTR pszName, DWORD dwSource = PDS_USER);

    // Any of the bits set in the first word of OEMSupportCapability.
    bool TestCapability(DWORD dwMask);
    // Any of the bits set in slot 1..4 of OEMEnableFunction.
    bool TestEnableFunction(DWORD dwMask, int nSlot, DWORD dwSource = PDS_PRINTER);
    // PreConfig mode: OEMDisablePSFeatures has bit 0x80000000, or bit 0x1 when asked for level 0.
    bool IsPreConfig(int nLevel);

    // Typed readers (source 1 unless said otherwise).
    WORD GetJobOwnerChoice();                                   // OEMSpecifyJobOwner, default 7
    bool GetJobOwnerName(LPWSTR pszOut, DWORD cbOut);
    bool GetJobOwnerPassword(LPWSTR pszOut, DWORD cbOut);
    bool GetSecurePrintUserName(LPWSTR pszOut, DWORD cbOut);
    bool GetSecurePrintPIN(LPWSTR pszOut, DWORD cbOut);
    bool GetMailAddress(LPWSTR pszOut, DWORD cbOut);
    // True when the account mode is on (OEMJobAccountMode non-zero) or capability 0x20000 is set;
    // *pdwMode receives the stored mode.
    bool GetJobAccountMode(DWORD* pdwMode = nullptr);
    BYTE GetJobAccountStatus();                                  // default 1
    DWORD GetJobAccountDefault();                                // default 0
    // False when OEMJobAccountInfo cannot be read; the record is filled either way.
    bool GetJobAccountRecord(JobAccountRecord* pRecord);
    WORD GetSupportJCL();                                        // 0 when not stored
    WORD GetSupportBrantel();
    WORD GetSupportSecurePrint();

    // UI writers.
    bool SetCapabilityWord(DWORD dwCapability);
    bool SetEnableFunctionBits(int nSlot, DWORD dwMask, bool bSet, DWORD dwSource = PDS_PRINTER);

    // The host's printer-sticky option of a feature (from FeatureKeyword). The keyword is mapped
    // to the PPD's prefix first when the printer's PPD uses another one.
    bool ReadInstallableOption(LPCSTR pszKeyword, LPSTR pszOption, DWORD cbOption);

private:
    bool ReadDefault(LPCWSTR pszName, void* pBuffer, DWORD cbBuffer, DWORD* pcbRead);
    bool ReadPrinterData(LPCWSTR pszName, void* pBuffer, DWORD cbBuffer, DWORD* pcbRead, DWORD* pdwError);
    bool ReadUserStore(LPCWSTR pszName, void* pBuffer, DWORD cbBuffer, DWORD* pcbRead, DWORD* pdwError);
    bool WritePrinterData(LPCWSTR pszName, DWORD dwType, const void* pData, DWORD cbData);
    bool WriteUserStore(LPCWSTR pszName, DWORD dwType, const void* pData, DWORD cbData);
    bool ReadText(LPCWSTR pszName, LPWSTR pszOut, DWORD cbOut);
    WORD ReadWord(LPCWSTR pszName, WORD wFallback);
    // HKCU path of this printer's per-user key; false without an OEMPrinterID.
    bool UserKeyPath(LPWSTR pszPath, DWORD cchPath);

    HANDLE m_hPrinter;
    DWORD m_dwDefaultSource;
    bool m_bReadOnly;
};

// ReadInstallableOption without a reader.
bool ReadInstallableOption(HANDLE hPrinter, LPCSTR pszKeyword, LPSTR pszOption, DWORD cbOption);
