// Fallback names, the binding of the outside job-owner DLL `ownerkit`, the owner and
// host-address strings, the account record for the job and the product version text.
#pragma once

#include "common/printerdata.h"  // JobAccountRecord
#include "platform/win32.h"

inline constexpr char JOB_UNKNOWN_USER_A[] = "UnknownUser";
inline constexpr char JOB_UNKNOWN_HOST_A[] = "UnknownHost";
inline constexpr WCHAR JOB_UNKNOWN_USER_W[] = u"UnknownUser";
inline constexpr WCHAR JOB_UNKNOWN_HOST_W[] = u"UnknownHost";

// String resource 6 of each plug-in: the file name of ownerkit in the plug-in's directory.
constexpr UINT IDS_OWNERKIT_FILE_NAME = 6;
// Size of DocumentInfo items 14 (owner string) and 15 (host-address string), 8-bit text.
constexpr DWORD JOB_OWNER_STRING_SIZE = 64;

// ---- ownerkit's exports (bound by name in this order) -----------------------------------
// Every string entry writes 8-bit text: *pcbOut is the buffer size on entry and the length
// written (without terminator) on return; *pdwStatus is ownerkit's own status, passed through.
// The answer is non-zero when a string was made.
using PFN_ZRIsValidJobOwnerStringCodeAndLengthW = DWORD (*)(DWORD dwStringCode, LPCWSTR pszText, DWORD* pdwStatus);
using PFN_ZRGetQJCLStringOfJobOwnerFromInputW = DWORD (*)(DWORD dwKind, LPCWSTR pszOwner, DWORD dwFlag,
                                                          DWORD dwStringCode, LPSTR pszOut, DWORD* pcbOut,
                                                          DWORD* pdwStatus);
using PFN_ZRGetQJCLStringOfJobOwnerStringFromUserHostName = DWORD (*)(DWORD dwKind, DWORD dwFlag, DWORD dwStringCode,
                                                                      LPSTR pszOut, DWORD* pcbOut, DWORD* pdwStatus);
using PFN_ZRGetQJCLStringOfHostAddress = DWORD (*)(LPSTR pszOut, DWORD* pcbOut, DWORD* pdwStatus);
using PFN_ZRGetQJCLStringOfNup = DWORD (*)(DWORD dwNup, LPSTR pszOut, DWORD* pcbOut, DWORD* pdwStatus);

inline constexpr const char* OWNERKIT_ENTRY_NAMES[5] = {
    "ZRIsValidJobOwnerStringCodeAndLengthW", "ZRGetQJCLStringOfJobOwnerFromInputW",
    "ZRGetQJCLStringOfJobOwnerStringFromUserHostName", "ZRGetQJCLStringOfHostAddress", "ZRGetQJCLStringOfNup"};

// Loads ownerkit once per binding: path = pszModuleDir (default: the module's own directory)
// + string resource 6 of hResources (default: the module's own instance); under the module
// lock; resolves the five names. A failed load sets the failed flag: no retry until a reset.
// True when the DLL is loaded.
bool BindOwnerKit(HINSTANCE hResources = nullptr, LPCWSTR pszModuleDir = nullptr);
// Clears the binding (unloading the DLL when loaded): before each job header, and after it.
void ResetOwnerKit();
bool IsOwnerKitLoaded();
bool HasOwnerKitFailed();

// ---- what the plug-ins need from printer data -------------------------------
// The settings/printer-data side implements this over PrinterDataReader.
class JobPrinterData {
public:
    virtual ~JobPrinterData() = default;
    // OEMJobOwnerName through data source 1 (printer data) or 2 (per-user store).
    virtual bool ReadOwnerName(DWORD dwSource, LPWSTR pszName, DWORD cbName) = 0;
    // OEMJobAccountMode is on, or capability bit 0x20000 is set.
    virtual bool IsAccountModeOn() = 0;
    // The account record of OEMJobAccountInfo (the typed reader of printer data); false when absent.
    virtual bool ReadAccountRecord(JobAccountRecord* pRecord) = 0;
    // The installable option "KTSelectID" (read from the installable options).
    virtual bool ReadSelectId(LPSTR pszOption, DWORD cbOption) = 0;
};

// Owner string (DocumentInfo item 14). dwSpecifyJobOwner = OEMSpecifyJobOwner, dwOwnerSourceMode
// = the owner-source mode of the job header, wStringCode = wOwnerStringCode of the private DEVMODE.
// Binds ownerkit when needed. pszOut is always terminated (empty when no string); true when
// ownerkit made a string. *pdwStatus (when given) gets ownerkit's status (0 when not called).
bool GetJobOwnerString(JobPrinterData& data, DWORD dwSpecifyJobOwner, DWORD dwOwnerSourceMode, WORD wStringCode,
                       LPSTR pszOut, DWORD cbOut, DWORD* pdwStatus = nullptr);
// Host-address string (DocumentInfo item 15), the same conventions.
bool GetHostAddressString(LPSTR pszOut, DWORD cbOut, DWORD* pdwStatus = nullptr);

// The account record for the job (PreConfig mode), for DocumentInfo item 16.
void MakeJobAccountRecord(JobPrinterData& data, JobAccountRecord* pRecord);

// "Version %d.%d.%d (Build %d)" from the product version of the module's version resource
// (null: the module's own instance). False when the module has no version resource.
bool GetProductVersionText(HMODULE hModule, LPWSTR pszOut, DWORD cchOut);
