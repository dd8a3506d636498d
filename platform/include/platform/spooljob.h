// Print jobs of the spooler: StartDocPrinter / WritePrinter / EndDocPrinter on an open printer
// handle. A job's bytes are spooled to a file and, when the document ends, delivered to the
// printer's port (PRINTER_INFO_2 pPortName), or to the document's pOutputFile when it names
// one:
//   - "socket://HOST:PORT" (or "socket://HOST", port 9100): raw TCP, as printers accept;
//   - "file://PATH", "FILE:PATH" or a plain path: that file; the bare "FILE:" port writes
//     $LUMENO_ROOT/jobs/PRINTER-JOBID.prn (blanks and slashes of the name made "_"). The spool file is written beside
//     it and renamed over it at the end, so a failed or aborted job leaves no partial output.
// One job at a time per printer handle.
#pragma once

#include "platform/types.h"

struct DOC_INFO_1W {
    LPWSTR pDocName;
    LPWSTR pOutputFile;  // null: the printer's port
    LPWSTR pDatatype;    // "RAW" or null
};

struct JOB_INFO_1W {
    DWORD JobId;
    LPWSTR pPrinterName;
    LPWSTR pMachineName;  // "\\" + host name, as the spooler reports it
    LPWSTR pUserName;
    LPWSTR pDocument;
    LPWSTR pDatatype;
    LPWSTR pStatus;
    DWORD Status;
    DWORD Priority;
    DWORD Position;
    DWORD TotalPages;
    DWORD PagesPrinted;
};

constexpr DWORD ERROR_SPL_NO_STARTDOC = 3003;
constexpr DWORD ERROR_PRINT_CANCELLED = 63;
constexpr DWORD ERROR_INVALID_PRINTER_STATE = 1906;
constexpr DWORD ERROR_BAD_NET_NAME = 67;
constexpr DWORD ERROR_NOT_CONNECTED = 2250;

// Level 1 only. The job id (non-zero) or 0 with the last error.
DWORD StartDocPrinterW(HANDLE hPrinter, DWORD Level, BYTE* pDocInfo);
BOOL StartPagePrinter(HANDLE hPrinter);
BOOL EndPagePrinter(HANDLE hPrinter);
// Appends to the job's spool file; ERROR_SPL_NO_STARTDOC without a job.
BOOL WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten);
// Ends the job and delivers it to its port; FALSE (last error set) when delivery failed.
BOOL EndDocPrinter(HANDLE hPrinter);
// Drops the job and its spool file.
BOOL AbortPrinter(HANDLE hPrinter);
// Level 1 of the current job of the handle (the only one this spooler knows).
BOOL GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, BYTE* pJob, DWORD cbBuf, LPDWORD pcbNeeded);

namespace platform {
// Bytes spooled so far in the handle's job (0 without one).
ULONGLONG SpooledJobBytes(HANDLE hPrinter);
}  // namespace platform
