// The print spooler, kept in the store: printers with their driver record, printer data,
// forms, and the printers' default and per-user DEVMODEs. Every write is one transaction.
//
// Access: a handle carries the rights it was opened with. Reading needs PRINTER_ACCESS_USE;
// writing printer data, the default DEVMODE and deleting the printer need
// PRINTER_ACCESS_ADMINISTER, which only an administrator gets. An administrator is a user
// who may write the machine store (the store file is writable to the process); setting
// LUMENO_ADMIN=0 takes that right away, so that a plain user's view can be tried out.
#pragma once

#include "platform/devmode.h"
#include "platform/types.h"

using LPDEVMODEW = DEVMODEW*;

using ACCESS_MASK = DWORD;
constexpr ACCESS_MASK PRINTER_ACCESS_ADMINISTER = 0x00000004;
constexpr ACCESS_MASK PRINTER_ACCESS_USE = 0x00000008;
constexpr ACCESS_MASK PRINTER_ALL_ACCESS = 0x000F000C;
constexpr ACCESS_MASK PRINTER_READ = 0x00020008;

struct PRINTER_DEFAULTSW {
    LPWSTR pDatatype;
    DEVMODEW* pDevMode;
    ACCESS_MASK DesiredAccess;
};

constexpr DWORD PRINTER_ATTRIBUTE_QUEUED = 0x00000001;
constexpr DWORD PRINTER_ATTRIBUTE_DEFAULT = 0x00000004;
constexpr DWORD PRINTER_ATTRIBUTE_SHARED = 0x00000008;
constexpr DWORD PRINTER_ATTRIBUTE_NETWORK = 0x00000010;
constexpr DWORD PRINTER_ATTRIBUTE_LOCAL = 0x00000040;
constexpr DWORD PRINTER_ENUM_LOCAL = 0x00000002;
constexpr DWORD PRINTER_ENUM_CONNECTIONS = 0x00000004;
constexpr DWORD PRINTER_ENUM_ICON8 = 0x00800000;

struct PRINTER_INFO_1W {
    DWORD Flags;
    LPWSTR pDescription;
    LPWSTR pName;
    LPWSTR pComment;
};

struct PRINTER_INFO_2W {
    LPWSTR pServerName;
    LPWSTR pPrinterName;
    LPWSTR pShareName;
    LPWSTR pPortName;
    LPWSTR pDriverName;
    LPWSTR pComment;
    LPWSTR pLocation;
    DEVMODEW* pDevMode;
    LPWSTR pSepFile;
    LPWSTR pPrintProcessor;
    LPWSTR pDatatype;
    LPWSTR pParameters;
    void* pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
};

struct PRINTER_INFO_4W {
    LPWSTR pPrinterName;
    LPWSTR pServerName;
    DWORD Attributes;
};

// Level 8: the printer's default DEVMODE; level 9: the calling user's own DEVMODE (null when
// the user has none).
struct PRINTER_INFO_8W {
    DEVMODEW* pDevMode;
};
struct PRINTER_INFO_9W {
    DEVMODEW* pDevMode;
};

struct DRIVER_INFO_1W {
    LPWSTR pName;
};

struct DRIVER_INFO_2W {
    DWORD cVersion;
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDriverPath;
    LPWSTR pDataFile;
    LPWSTR pConfigFile;
};

struct DRIVER_INFO_3W {
    DWORD cVersion;
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDriverPath;
    LPWSTR pDataFile;
    LPWSTR pConfigFile;
    LPWSTR pHelpFile;
    LPWSTR pDependentFiles;  // a list of strings, each terminated, ended by an empty one
    LPWSTR pMonitorName;
    LPWSTR pDefaultDataType;
};

struct SIZEL {
    LONG cx;
    LONG cy;
};
struct RECTL {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

constexpr DWORD FORM_USER = 0x0;
constexpr DWORD FORM_BUILTIN = 0x1;
constexpr DWORD FORM_PRINTER = 0x2;

// Sizes in thousandths of a millimetre.
struct FORM_INFO_1W {
    DWORD Flags;
    LPWSTR pName;
    SIZEL Size;
    RECTL ImageableArea;
};

// Printers. A printer is installed together with its own driver record, in one transaction:
// each printer keeps the driver files it was installed with, its data file being the printer's
// PPD (so two printers of one driver may carry different PPDs). The caller must be an
// administrator (else ERROR_ACCESS_DENIED); a taken name fails with
// ERROR_PRINTER_ALREADY_EXISTS. The handle returned has PRINTER_ALL_ACCESS; null on failure.
HANDLE AddPrinterWithDriverW(const PRINTER_INFO_2W* pPrinter, const DRIVER_INFO_3W* pDriver);
BOOL DeletePrinter(HANDLE hPrinter);

// Null pDefault asks for PRINTER_ACCESS_USE. An unknown name fails with
// ERROR_INVALID_PRINTER_NAME, rights the user does not have with ERROR_ACCESS_DENIED.
BOOL OpenPrinterW(LPWSTR pPrinterName, HANDLE* phPrinter, PRINTER_DEFAULTSW* pDefault);
BOOL ClosePrinter(HANDLE hPrinter);

// Levels 1, 2, 4, 8 and 9. The strings (and the DEVMODE) follow the structure in the caller's
// buffer; a short buffer fails with ERROR_INSUFFICIENT_BUFFER and the size in *pcbNeeded.
BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, BYTE* pPrinter, DWORD cbBuf, LPDWORD pcbNeeded);
// Level 2 changes port, comment, location, attributes and (when given) the default DEVMODE;
// level 8 the default DEVMODE, level 9 the user's DEVMODE (null removes it). Levels 2 and 8
// need PRINTER_ACCESS_ADMINISTER; level 9 only PRINTER_ACCESS_USE.
BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, BYTE* pPrinter, DWORD Command);
// Printers of this machine (flags PRINTER_ENUM_LOCAL and/or PRINTER_ENUM_CONNECTIONS), levels
// 1, 2 and 4.
BOOL EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, BYTE* pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                   LPDWORD pcReturned);

// Levels 1, 2 and 3; pEnvironment is ignored (there is one environment).
BOOL GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, BYTE* pDriverInfo, DWORD cbBuf,
                       LPDWORD pcbNeeded);

// Printer data: named values with registry types. They answer an error code.
// A buffer smaller than the value gives ERROR_MORE_DATA with the size in *pcbNeeded; a missing
// value ERROR_FILE_NOT_FOUND. Writing and deleting need PRINTER_ACCESS_ADMINISTER.
DWORD GetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, LPDWORD pType, BYTE* pData, DWORD nSize,
                      LPDWORD pcbNeeded);
DWORD SetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, DWORD Type, const BYTE* pData, DWORD cbData);
DWORD DeletePrinterDataW(HANDLE hPrinter, LPCWSTR pValueName);
// Values in name order. cbValueName is in bytes, as on Windows. ERROR_NO_MORE_ITEMS past the end.
DWORD EnumPrinterDataW(HANDLE hPrinter, DWORD dwIndex, LPWSTR pValueName, DWORD cbValueName, LPDWORD pcbValueName,
                       LPDWORD pType, BYTE* pData, DWORD cbData, LPDWORD pcbData);

// Forms: the built-in forms of the system and the forms added to it. Level 1 only.
BOOL GetFormW(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, BYTE* pForm, DWORD cbBuf, LPDWORD pcbNeeded);
BOOL AddFormW(HANDLE hPrinter, DWORD Level, BYTE* pForm);
BOOL EnumFormsW(HANDLE hPrinter, DWORD Level, BYTE* pForm, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);

constexpr DWORD ERROR_UNKNOWN_PRINTER_DRIVER = 1797;
constexpr DWORD ERROR_INVALID_LEVEL = 124;
constexpr DWORD ERROR_PRINTER_ALREADY_EXISTS = 1802;
constexpr DWORD ERROR_INVALID_FORM_NAME = 1902;
constexpr DWORD ERROR_INVALID_FORM_SIZE = 1903;
