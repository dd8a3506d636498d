// The private DEVMODE (OEMPrivateDevmode), its "$" keyword table, the keyword
// read/write rules, defaults, merge, conversion of older versions and the DevMode request
// both plug-ins share.
#pragma once

#include <cstddef>

#include "platform/devmode.h"
#include "platform/win32.h"

// ---------------------------------------------------------------------------------------
// Record layout: 328 bytes, little-endian; a 12-byte header and the body.

constexpr DWORD OEM_PRIVATE_DEVMODE_SIZE = 328;
constexpr DWORD OEM_PRIVATE_DEVMODE_HEADER = 12;
constexpr DWORD OEM_PRIVATE_DEVMODE_BODY = OEM_PRIVATE_DEVMODE_SIZE - OEM_PRIVATE_DEVMODE_HEADER;  // 316
constexpr DWORD OEM_DEVMODE_SIGNATURE = 0x46424644;  // the bytes "DFBF"
constexpr DWORD OEM_DEVMODE_VERSION = 0x30343130;    // the bytes "0140"

struct OEMPrivateDevmode {
    DWORD dwSize;                    //   0  328
    DWORD dwSignature;               //   4  "DFBF"
    DWORD dwVersion;                 //   8  "0140"
    WORD wModelId;                   //  12  (body 0)
    WORD wReserved1;                 //  14
    BYTE PrinterId[16];              //  16  UUID of the printer (OEMPrinterID)
    DWORD dwFlags;                   //  32  (body 20)
    WORD wOwnerStringCode;           //  36  string code for ownerkit
    BYTE bSpecifyDocName;            //  38  "$SpecifyDocName"
    BYTE bReserved2;                 //  39
    WCHAR szDocumentName[25];        //  40  "$DocumentName", 24 characters + terminator
    WORD wStartPrintTime;            //  90  "$StartPrintTime"
    WCHAR szIntUserSizeName[32];     //  92  "$IntUserSizeName", 31 characters + terminator
    DWORD dwIntUserPtWidth;          // 156  "$IntUserPtWidth"
    DWORD dwIntUserPtHeight;         // 160  "$IntUserPtHeight"
    BYTE bReserved3[12];             // 164
    BYTE bBannerSheet;               // 176  "$BannerSheet"
    BYTE bReserved4;                 // 177
    WORD wImageRotation;             // 178  0 All, 1 PortOnly, 2 LandOnly (with flag 0x20)
    BYTE bBindMarginLocation;        // 180  "$BindMarginLocation"
    BYTE bReserved5[3];              // 181
    DWORD dwBindMarginFrontWidth;    // 184
    DWORD dwBindMarginBackWidth;     // 188
    DWORD dwSaddleMarginWidth;       // 192
    BYTE bMixSizedOrientation;       // 196
    BYTE bReserved6[3];              // 197
    BYTE bGraphicsMode;              // 200
    BYTE bColorBalanceTarget;        // 201
    signed char cColorDensity[12];   // 202  Black L/M/H, Cyan L/M/H, Magenta L/M/H, Yellow L/M/H
    WORD wFitToPage;                 // 214
    BYTE bFaxResolution;             // 216
    BYTE bReserved7;                 // 217
    BYTE bFaxReport;                 // 218
    BYTE bReserved8;                 // 219
    BYTE bSendHeader;                // 220
    BYTE bReserved9;                 // 221
    WORD wMarginShift;               // 222
    char szBoxNumber[4];             // 224  8-bit text
    char szBoxPassword[29];          // 228  8-bit text
    BYTE bReserved10;                // 257
    WORD wSeparatorLocation[20];     // 258  "$SeparatorLocation1".."20"
    BYTE bUnitMargin;                // 298  "$UnitMargin"
    BYTE bReserved11[29];            // 299
};
using POEMPrivateDevmode = OEMPrivateDevmode*;

static_assert(sizeof(OEMPrivateDevmode) == OEM_PRIVATE_DEVMODE_SIZE, "the private DEVMODE is 328 bytes");
static_assert(offsetof(OEMPrivateDevmode, dwSize) == 0);
static_assert(offsetof(OEMPrivateDevmode, dwSignature) == 4);
static_assert(offsetof(OEMPrivateDevmode, dwVersion) == 8);
static_assert(offsetof(OEMPrivateDevmode, wModelId) == 12);
static_assert(offsetof(OEMPrivateDevmode, wReserved1) == 14);
static_assert(offsetof(OEMPrivateDevmode, PrinterId) == 16);
static_assert(offsetof(OEMPrivateDevmode, dwFlags) == 32);
static_assert(offsetof(OEMPrivateDevmode, wOwnerStringCode) == 36);
static_assert(offsetof(OEMPrivateDevmode, bSpecifyDocName) == 38);
static_assert(offsetof(OEMPrivateDevmode, bReserved2) == 39);
static_assert(offsetof(OEMPrivateDevmode, szDocumentName) == 40);
static_assert(offsetof(OEMPrivateDevmode, wStartPrintTime) == 90);
static_assert(offsetof(OEMPrivateDevmode, szIntUserSizeName) == 92);
static_assert(offsetof(OEMPrivateDevmode, dwIntUserPtWidth) == 156);
static_assert(offsetof(OEMPrivateDevmode, dwIntUserPtHeight) == 160);
static_assert(offsetof(OEMPrivateDevmode, bReserved3) == 164);
static_assert(offsetof(OEMPrivateDevmode, bBannerSheet) == 176);
static_assert(offsetof(OEMPrivateDevmode, bReserved4) == 177);
static_assert(offsetof(OEMPrivateDevmode, wImageRotation) == 178);
static_assert(offsetof(OEMPrivateDevmode, bBindMarginLocation) == 180);
static_assert(offsetof(OEMPrivateDevmode, bReserved5) == 181);
static_assert(offsetof(OEMPrivateDevmode, dwBindMarginFrontWidth) == 184);
static_assert(offsetof(OEMPrivateDevmode, dwBindMarginBackWidth) == 188);
static_assert(offsetof(OEMPrivateDevmode, dwSaddleMarginWidth) == 192);
static_assert(offsetof(OEMPrivateDevmode, bMixSizedOrientation) == 196);
static_assert(offsetof(OEMPrivateDevmode, bReserved6) == 197);
static_assert(offsetof(OEMPrivateDevmode, bGraphicsMode) == 200);
static_assert(offsetof(OEMPrivateDevmode, bColorBalanceTarget) == 201);
static_assert(offsetof(OEMPrivateDevmode, cColorDensity) == 202);
static_assert(offsetof(OEMPrivateDevmode, wFitToPage) == 214);
static_assert(offsetof(OEMPrivateDevmode, bFaxResolution) == 216);
static_assert(offsetof(OEMPrivateDevmode, bReserved7) == 217);
static_assert(offsetof(OEMPrivateDevmode, bFaxReport) == 218);
static_assert(offsetof(OEMPrivateDevmode, bReserved8) == 219);
static_assert(offsetof(OEMPrivateDevmode, bSendHeader) == 220);
static_assert(offsetof(OEMPrivateDevmode, bReserved9) == 221);
static_assert(offsetof(OEMPrivateDevmode, wMarginShift) == 222);
static_assert(offsetof(OEMPrivateDevmode, szBoxNumber) == 224);
static_assert(offsetof(OEMPrivateDevmode, szBoxPassword) == 228);
static_assert(offsetof(OEMPrivateDevmode, bReserved10) == 257);
static_assert(offsetof(OEMPrivateDevmode, wSeparatorLocation) == 258);
static_assert(offsetof(OEMPrivateDevmode, bUnitMargin) == 298);
static_assert(offsetof(OEMPrivateDevmode, bReserved11) == 299);

// dwFlags bits.
constexpr DWORD DMF_USEDOCUMENTMONITOR = 0x00000001;
constexpr DWORD DMF_STAPLENOTIFICATIONFORDOCMON = 0x00000002;
constexpr DWORD DMF_JOB_SECURE = 0x00000004;
constexpr DWORD DMF_JOB_PROOF = 0x00000008;
constexpr DWORD DMF_INTUSERSIZE = 0x00000010;
constexpr DWORD DMF_IMAGEROTATION = 0x00000020;
constexpr DWORD DMF_JOB_DELAY = 0x00000040;
constexpr DWORD DMF_DISABLEFRAMENUP = 0x00000200;
constexpr DWORD DMF_SADDLEMARGIN = 0x00000400;
constexpr DWORD DMF_MIXSIZEDSTAPLEDOCUMENT = 0x00000800;
constexpr DWORD DMF_MIXSIZEDPUNCHDOCUMENT = 0x00001000;
constexpr DWORD DMF_COLORBALANCEADJUSTMENT = 0x00002000;
constexpr DWORD DMF_JOB_DFAX = 0x00008000;
constexpr DWORD DMF_LINECORRECTION = 0x00020000;
constexpr DWORD DMF_NOSIGNATUREFTP = 0x00040000;
constexpr DWORD DMF_BOOKLETSETTING = 0x00080000;
constexpr DWORD DMF_FIRSTMERGEDONE = 0x00100000;
constexpr DWORD DMF_JOB_BOX = 0x00200000;
constexpr DWORD DMF_NUPPRINTSETTING = 0x00400000;
constexpr DWORD DMF_INITSETTING = 0x00800000;
constexpr DWORD DMF_AUTOFIT = 0x01000000;
constexpr DWORD DMF_JOB_MAILBOX = 0x02000000;
constexpr DWORD DMF_JOB_HI_SECURE = 0x04000000;
constexpr DWORD DMF_JOBTYPE_MASK = 0x0620804C;
static_assert((~DMF_JOBTYPE_MASK) == 0xF9DF7FB3u);

// ---------------------------------------------------------------------------------------
// Keyword table.

// Value type codes (also the output types the settings reader converts to).
enum DmValueType : DWORD {
    DMT_UNKNOWN = 0,
    DMT_BINARY = 1,   // raw bytes of the keyword's size
    DMT_BOOL = 2,     // a bit of dwFlags; external form: 32-bit value, non-zero = on
    DMT_BYTE = 3,     // unsigned 8-bit
    DMT_WORD = 4,     // unsigned 16-bit
    DMT_DWORD = 5,    // unsigned 32-bit
    DMT_CHAR = 6,     // signed 8-bit
    DMT_SHORT = 7,    // signed 16-bit
    DMT_LONG = 8,     // signed 32-bit
    DMT_STRING = 9,   // with an option list: 1-byte index, external form the option name;
                      // without one: 8-bit text of the keyword's size
    DMT_WSTRING = 10, // wide text of the keyword's size in bytes
};

// Natural size of a type code: 4 for 2, 5, 8; 1 for 3, 6; 2 for 4, 7; else 0.
DWORD DmTypeNaturalSize(DWORD dwType);

using DmCustomReader = BOOL (*)(const OEMPrivateDevmode* pdm, void* pBuffer, DWORD cbBuffer);
using DmCustomWriter = BOOL (*)(OEMPrivateDevmode* pdm, const void* pValue);

struct DmKeywordEntry {
    const char* pszKeyword;        // null in the table's end row
    DWORD dwType;                  // DmValueType
    DWORD dwOffset;                // body offset (record offset - 12)
    DWORD dwSize;                  // 0 = natural size of the type
    const char* pszOptions;        // "A\0B\0\0" or null
    DWORD dwMask;                  // DMT_BOOL: the bit(s) of dwFlags
    DmCustomReader pfnReader;      // "$JobType", "$ImageRotation" only
    DmCustomWriter pfnWriter;
};

constexpr DWORD DM_KEYWORD_COUNT = 72;

// The table in its order, ended by an all-null row (DM_KEYWORD_COUNT rows before it).
const DmKeywordEntry* GetDmKeywordTable();
// Exact, case-sensitive look-up; null for an unknown or null keyword.
const DmKeywordEntry* FindDmKeyword(LPCSTR pszKeyword);
// The keyword's stored size: the table's size, else the natural size of its type
// (1 for a listed DMT_STRING). 0 for a custom keyword or null.
DWORD DmKeywordSize(const DmKeywordEntry* pEntry);
// Name of option nIndex of a list, or null when the list has no such option.
LPCSTR DmOptionName(LPCSTR pszOptions, DWORD nIndex);
// Index of an option name in a list (exact, case-sensitive); -1 when absent.
int DmOptionIndex(LPCSTR pszOptions, LPCSTR pszName);

// ---------------------------------------------------------------------------------------
// Operations.

// The record at the end of the public DEVMODE's driver-extra area, or null when the area is
// under 328 bytes or 0xFFFF, or the record's size, signature or version are not current.
OEMPrivateDevmode* GetPrivateDevmode(DEVMODEW* pPublic);
const OEMPrivateDevmode* GetPrivateDevmode(const DEVMODEW* pPublic);
// True when the record's size, signature and version are the current ones.
bool IsValidPrivateDevmode(const OEMPrivateDevmode* pdm);
// What the host's size request is answered with: 328.
DWORD GetPrivateDevmodeSize();

// Defaults. False only for a null record.
BOOL InitPrivateDevmode(OEMPrivateDevmode* pdm);

// Reads a keyword. *pdwType (when given) receives the type code of the keyword. With a buffer,
// the value is copied in its external form:
//  - listed DMT_STRING (and the custom "$JobType"/"$ImageRotation"): the option name, copied
//    when name + terminator fit;
//  - DMT_BOOL: the 32-bit value dwFlags AND mask (buffer of at least 4 bytes);
//  - others: the raw bytes, copied when their size is smaller than cbBuffer.
// False when the record or keyword is null or the keyword unknown; also false when a buffer
// is given and the value is not copied (too small a buffer, or a stored option index that has
// no name) - the merge relies on that. With no buffer the answer is true for a known keyword.
BOOL GetDmKeyword(const OEMPrivateDevmode* pdm, LPCSTR pszKeyword, DWORD* pdwType, void* pBuffer, DWORD cbBuffer);
// Writes a keyword from its external form (see GetDmKeyword; non-bool, unlisted types copy
// DmKeywordSize bytes from pValue). False for a null record/keyword/value, an unknown keyword,
// an option name not in the list (record unchanged) or a custom writer's refusal.
BOOL SetDmKeyword(OEMPrivateDevmode* pdm, LPCSTR pszKeyword, const void* pValue);

// Merge of a source record into a target (both of the current layout); runs only when both
// are given and cbBuffer >= 328. True when it ran.
BOOL MergePrivateDevmode(OEMPrivateDevmode* pTarget, const OEMPrivateDevmode* pSource, DWORD cbBuffer);
// Conversion of a source record of any version into the target (current version, cbCopy bytes
// of room). The source is read up to its dwSize, and never beyond 800 bytes (the largest old
// version). Always true.
BOOL ConvertPrivateDevmode(OEMPrivateDevmode* pTarget, const void* pSource, DWORD cbCopy);

// ---------------------------------------------------------------------------------------
// The host's DevMode request (IPrintOemUI / IPrintOemPS DevMode with OEMDMPARAM).

// Plug-in specific steps run after the common ones; either may be null. A false answer makes
// the request fail.
struct DevModeRequestSteps {
    // After InitPrivateDevmode on the output record (default request).
    BOOL (*pfnAfterDefault)(POEMDMPARAM pParam, OEMPrivateDevmode* pOut, void* pContext);
    // After MergePrivateDevmode (merge request).
    BOOL (*pfnAfterMerge)(POEMDMPARAM pParam, OEMPrivateDevmode* pOut, void* pContext);
    void* pContext;
};

// dwMode OEMDM_SIZE..OEMDM_MERGE with a non-null block. Size: cbBufSize = 328. Default:
// InitPrivateDevmode(pOEMDMOut) + steps. Convert: ConvertPrivateDevmode(pOEMDMOut, pOEMDMIn,
// cbBufSize). Merge: MergePrivateDevmode(pOEMDMOut, pOEMDMIn, cbBufSize) + steps. Any other mode
// or a null block: ERROR_INVALID_PARAMETER and FALSE. A missing record pointer fails too.
BOOL HandleDevModeRequest(DWORD dwMode, POEMDMPARAM pParam, const DevModeRequestSteps* pSteps);
