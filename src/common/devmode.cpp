#include "devmode.h"

#include <cstring>

#include "debug.h"
#include "memory.h"

namespace {

constexpr DWORD kHeader = OEM_PRIVATE_DEVMODE_HEADER;

BYTE* BodyOf(OEMPrivateDevmode* pdm) { return reinterpret_cast<BYTE*>(pdm) + kHeader; }
const BYTE* BodyOf(const OEMPrivateDevmode* pdm) { return reinterpret_cast<const BYTE*>(pdm) + kHeader; }

// ---- custom readers and writers ---------------------------------------------------------

struct JobTypeName {
    const char* pszName;
    DWORD dwBit;
};

// Reader order: the first set bit in this order names the job type.
constexpr JobTypeName kJobTypeReadOrder[] = {
    {"Secure", DMF_JOB_SECURE}, {"Proof", DMF_JOB_PROOF},         {"Delay", DMF_JOB_DELAY},
    {"DFax", DMF_JOB_DFAX},     {"Box", DMF_JOB_BOX},             {"Hi_Secure", DMF_JOB_HI_SECURE},
    {"MailBox", DMF_JOB_MAILBOX},
};

BOOL CopyName(const char* pszName, void* pBuffer, DWORD cbBuffer)
{
    const size_t cb = std::strlen(pszName) + 1;
    if (!pBuffer || cb > cbBuffer) return FALSE;
    std::memcpy(pBuffer, pszName, cb);
    return TRUE;
}

BOOL ReadJobType(const OEMPrivateDevmode* pdm, void* pBuffer, DWORD cbBuffer)
{
    const char* pszName = "Normal";
    for (const auto& jt : kJobTypeReadOrder) {
        if (pdm->dwFlags & jt.dwBit) {
            pszName = jt.pszName;
            break;
        }
    }
    return CopyName(pszName, pBuffer, cbBuffer);
}

BOOL WriteJobType(OEMPrivateDevmode* pdm, const void* pValue)
{
    const char* pszName = static_cast<const char*>(pValue);
    DWORD dwBit = 0;
    if (std::strcmp(pszName, "Normal") != 0) {
        bool bFound = false;
        for (const auto& jt : kJobTypeReadOrder) {
            if (std::strcmp(pszName, jt.pszName) == 0) {
                dwBit = jt.dwBit;
                bFound = true;
                break;
            }
        }
        if (!bFound) return FALSE;
    }
    pdm->dwFlags = (pdm->dwFlags & ~DMF_JOBTYPE_MASK) | dwBit;
    return TRUE;
}

BOOL ReadImageRotation(const OEMPrivateDevmode* pdm, void* pBuffer, DWORD cbBuffer)
{
    if (!(pdm->dwFlags & DMF_IMAGEROTATION)) return CopyName("None", pBuffer, cbBuffer);
    switch (pdm->wImageRotation) {
    case 0: return CopyName("All", pBuffer, cbBuffer);
    case 1: return CopyName("PortOnly", pBuffer, cbBuffer);
    case 2: return CopyName("LandOnly", pBuffer, cbBuffer);
    default: return FALSE;
    }
}

BOOL WriteImageRotation(OEMPrivateDevmode* pdm, const void* pValue)
{
    const char* pszName = static_cast<const char*>(pValue);
    if (std::strcmp(pszName, "None") == 0) {
        pdm->dwFlags &= ~DMF_IMAGEROTATION;
        return TRUE;
    }
    WORD wRotation = 0;
    if (std::strcmp(pszName, "PortOnly") == 0) wRotation = 1;
    else if (std::strcmp(pszName, "LandOnly") == 0) wRotation = 2;
    else if (std::strcmp(pszName, "All") == 0) wRotation = 0;
    else {
        KTPS_LOG(DBG_ERROR, "Invalid Option Keyword.");
        return FALSE;
    }
    pdm->wImageRotation = wRotation;
    pdm->dwFlags |= DMF_IMAGEROTATION;
    return TRUE;
}

// ---- the keyword table ------------------------------------------------------------------

#define DM_BOOL(name, mask) {name, DMT_BOOL, 20, 0, nullptr, mask, nullptr, nullptr}
#define DM_LIST(name, offset, options) {name, DMT_STRING, offset, 0, options, 0, nullptr, nullptr}
#define DM_PLAIN(name, type, offset, size) {name, type, offset, size, nullptr, 0, nullptr, nullptr}

const DmKeywordEntry kKeywordTable[DM_KEYWORD_COUNT + 1] = {
    {"$JobType", DMT_STRING, 0, 0, "Normal\0Secure\0Proof\0Delay\0DFax\0Box\0Hi_Secure\0MailBox\0", 0, ReadJobType,
     WriteJobType},
    {"$ImageRotation", DMT_STRING, 0, 0, "None\0All\0PortOnly\0LandOnly\0", 0, ReadImageRotation, WriteImageRotation},
    DM_LIST("$SpecifyDocName", 26, "Auto\0Input\0"),
    DM_LIST("$BannerSheet", 164, "UsePrinterSetting\0PrintStartPage\0None\0"),
    DM_LIST("$BindMarginLocation", 168,
            "None\0TopSef\0LeftSef\0RightSef\0BottomSef\0TopLef\0LeftLef\0RightLef\0BottomLef\0"),
    DM_LIST("$MixSizedOrientation", 184, "Portrait\0Landscape\0"),
    DM_BOOL("$UseDocumentMonitor", 0x1),
    DM_BOOL("$StapleNotificationForDocMon", 0x2),
    DM_BOOL("$IntUserSize", 0x10),
    DM_BOOL("$DisableFrameNup", 0x200),
    DM_BOOL("$SaddleMargin", 0x400),
    DM_BOOL("$AutoFit", 0x1000000),
    DM_LIST("$UnitMargin", 286, "mm\0inch\0"),
    DM_BOOL("$MixSizedStapleDocument", 0x800),
    DM_BOOL("$MixSizedPunchDocument", 0x1000),
    DM_PLAIN("$StartPrintTime", DMT_WORD, 78, 0),
    DM_PLAIN("$IntUserPtWidth", DMT_DWORD, 144, 0),
    DM_PLAIN("$IntUserPtHeight", DMT_DWORD, 148, 0),
    DM_PLAIN("$BindMarginFrontWidth", DMT_DWORD, 172, 0),
    DM_PLAIN("$BindMarginBackWidth", DMT_DWORD, 176, 0),
    DM_PLAIN("$SaddleMarginWidth", DMT_DWORD, 180, 0),
    DM_PLAIN("$DocumentName", DMT_WSTRING, 28, 50),
    DM_PLAIN("$IntUserSizeName", DMT_WSTRING, 80, 64),
    DM_BOOL("$LineCorrection", 0x20000),
    DM_BOOL("$NoSignatureFTP", 0x40000),
    DM_BOOL("$BookletSetting", 0x80000),
    DM_BOOL("$FirstMergeDone", 0x100000),
    DM_BOOL("$NupPrintSetting", 0x400000),
    DM_BOOL("$InitSetting", 0x800000),
    DM_LIST("$GraphicsMode", 188, "General\0Expert\0"),
    DM_BOOL("$ColorBalanceAdjustment", 0x2000),
    DM_LIST("$ColorBalanceTarget", 189, "Black\0Cyan\0Magenta\0Yellow\0"),
    DM_PLAIN("$ColorDensity", DMT_BINARY, 190, 12),
    DM_PLAIN("$ColorDensity_BlackLow", DMT_CHAR, 190, 0),
    DM_PLAIN("$ColorDensity_BlackMiddle", DMT_CHAR, 191, 0),
    DM_PLAIN("$ColorDensity_BlackHigh", DMT_CHAR, 192, 0),
    DM_PLAIN("$ColorDensity_CyanLow", DMT_CHAR, 193, 0),
    DM_PLAIN("$ColorDensity_CyanMiddle", DMT_CHAR, 194, 0),
    DM_PLAIN("$ColorDensity_CyanHigh", DMT_CHAR, 195, 0),
    DM_PLAIN("$ColorDensity_MagentaLow", DMT_CHAR, 196, 0),
    DM_PLAIN("$ColorDensity_MagentaMiddle", DMT_CHAR, 197, 0),
    DM_PLAIN("$ColorDensity_MagentaHigh", DMT_CHAR, 198, 0),
    DM_PLAIN("$ColorDensity_YellowLow", DMT_CHAR, 199, 0),
    DM_PLAIN("$ColorDensity_YellowMiddle", DMT_CHAR, 200, 0),
    DM_PLAIN("$ColorDensity_YellowHigh", DMT_CHAR, 201, 0),
    DM_PLAIN("$FitToPage", DMT_WORD, 202, 0),
    DM_LIST("$FaxResolution", 204, "200x200\000100x100\000400x400\000600x600\0"),
    DM_LIST("$FaxReport", 206, "OnError\0Always\0NoReport\0"),
    DM_LIST("$SendHeader", 208, "True\0False\0"),
    DM_PLAIN("$MarginShift", DMT_WORD, 210, 0),
    DM_PLAIN("$BoxNumber", DMT_STRING, 212, 4),
    DM_PLAIN("$BoxPassword", DMT_STRING, 216, 29),
    DM_PLAIN("$SeparatorLocation1", DMT_WORD, 246, 0),
    DM_PLAIN("$SeparatorLocation2", DMT_WORD, 248, 0),
    DM_PLAIN("$SeparatorLocation3", DMT_WORD, 250, 0),
    DM_PLAIN("$SeparatorLocation4", DMT_WORD, 252, 0),
    DM_PLAIN("$SeparatorLocation5", DMT_WORD, 254, 0),
    DM_PLAIN("$SeparatorLocation6", DMT_WORD, 256, 0),
    DM_PLAIN("$SeparatorLocation7", DMT_WORD, 258, 0),
    DM_PLAIN("$SeparatorLocation8", DMT_WORD, 260, 0),
    DM_PLAIN("$SeparatorLocation9", DMT_WORD, 262, 0),
    DM_PLAIN("$SeparatorLocation10", DMT_WORD, 264, 0),
    DM_PLAIN("$SeparatorLocation11", DMT_WORD, 266, 0),
    DM_PLAIN("$SeparatorLocation12", DMT_WORD, 268, 0),
    DM_PLAIN("$SeparatorLocation13", DMT_WORD, 270, 0),
    DM_PLAIN("$SeparatorLocation14", DMT_WORD, 272, 0),
    DM_PLAIN("$SeparatorLocation15", DMT_WORD, 274, 0),
    DM_PLAIN("$SeparatorLocation16", DMT_WORD, 276, 0),
    DM_PLAIN("$SeparatorLocation17", DMT_WORD, 278, 0),
    DM_PLAIN("$SeparatorLocation18", DMT_WORD, 280, 0),
    DM_PLAIN("$SeparatorLocation19", DMT_WORD, 282, 0),
    DM_PLAIN("$SeparatorLocation20", DMT_WORD, 284, 0),
    {nullptr, DMT_UNKNOWN, 0, 0, nullptr, 0, nullptr, nullptr},
};

#undef DM_BOOL
#undef DM_LIST
#undef DM_PLAIN

bool IsListed(const DmKeywordEntry* pEntry) { return pEntry->dwType == DMT_STRING && pEntry->pszOptions; }

// ---- conversion helpers -----------------------------------------------------------------

constexpr DWORD kWorkSize = 788;
constexpr DWORD kMaxSourceSize = kHeader + kWorkSize;  // 800

WORD Get16(const BYTE* p, DWORD off)
{
    WORD v;
    std::memcpy(&v, p + off, 2);
    return v;
}
DWORD Get32(const BYTE* p, DWORD off)
{
    DWORD v;
    std::memcpy(&v, p + off, 4);
    return v;
}
void Put16(BYTE* p, DWORD off, WORD v) { std::memcpy(p + off, &v, 2); }
void Put32(BYTE* p, DWORD off, DWORD v) { std::memcpy(p + off, &v, 4); }

// Characters of the wide text at work-area offset off, up to its terminator or the end of the
// work area, at most cchMax.
DWORD WideTextLength(const BYTE* pWork, DWORD off, DWORD cchMax)
{
    DWORD n = 0;
    while (n < cchMax && off + 2 * n + 2 <= kWorkSize && Get16(pWork, off + 2 * n) != 0) ++n;
    return n;
}

// Appends the wide text at A+srcOff to the text at B+dstOff (which has cchHave characters),
// keeping at most cchCapacity-1 characters; returns the new length. B is zero beyond.
DWORD AppendWideText(BYTE* pB, DWORD dstOff, DWORD cchHave, DWORD cchCapacity, const BYTE* pA, DWORD srcOff)
{
    const DWORD cchRoom = cchCapacity - 1 - cchHave;
    const DWORD n = WideTextLength(pA, srcOff, cchRoom);
    std::memcpy(pB + dstOff + 2 * cchHave, pA + srcOff, 2 * n);
    Put16(pB, dstOff + 2 * (cchHave + n), 0);
    return cchHave + n;
}

void Convert0010To0020(const BYTE* pA, BYTE* pB)
{
    std::memset(pB, 0, kWorkSize);
    Put16(pB, 0, Get16(pA, 0));
    const DWORD n = WideTextLength(pA, 2, 64);
    std::memcpy(pB + 2, pA + 2, 2 * n);
    Put16(pB, 130, 0);
    DWORD dwFlags = 0;
    if (Get16(pA, 132) == 1) dwFlags |= 0x1;
    if (Get16(pA, 134) == 1) dwFlags |= 0x2;
    Put32(pB, 132, dwFlags);
    Put16(pB, 136, Get16(pA, 786));
}

void Convert0030To0040(const BYTE* pA, BYTE* pB)
{
    std::memset(pB, 0, kWorkSize);
    Put16(pB, 0, Get16(pA, 0));
    Put32(pB, 20, Get32(pA, 132));
    Put16(pB, 24, Get16(pA, 136));
    Put16(pB, 26, Get16(pA, 138));
    DWORD cch = AppendWideText(pB, 28, 0, 25, pA, 140);
    AppendWideText(pB, 28, cch, 25, pA, 424);
    Put16(pB, 78, Get16(pA, 450));
    AppendWideText(pB, 80, 0, 32, pA, 508);
    Put32(pB, 144, Get32(pA, 572));
    Put32(pB, 148, Get32(pA, 576));
}

constexpr DWORD VersionOf(const char (&text)[5])
{
    return static_cast<DWORD>(static_cast<BYTE>(text[0])) | (static_cast<DWORD>(static_cast<BYTE>(text[1])) << 8) |
           (static_cast<DWORD>(static_cast<BYTE>(text[2])) << 16) |
           (static_cast<DWORD>(static_cast<BYTE>(text[3])) << 24);
}
constexpr DWORD kVersion0010 = VersionOf("0010");
constexpr DWORD kVersion0020 = VersionOf("0020");
constexpr DWORD kVersion0030 = VersionOf("0030");
constexpr DWORD kVersion0040 = VersionOf("0040");
static_assert(VersionOf("0140") == OEM_DEVMODE_VERSION);
static_assert(VersionOf("DFBF") == OEM_DEVMODE_SIGNATURE);

}  // namespace

// ---- table access -----------------------------------------------------------------------

DWORD DmTypeNaturalSize(DWORD dwType)
{
    switch (dwType) {
    case DMT_BOOL:
    case DMT_DWORD:
    case DMT_LONG: return 4;
    case DMT_BYTE:
    case DMT_CHAR: return 1;
    case DMT_WORD:
    case DMT_SHORT: return 2;
    default: return 0;
    }
}

const DmKeywordEntry* GetDmKeywordTable() { return kKeywordTable; }

const DmKeywordEntry* FindDmKeyword(LPCSTR pszKeyword)
{
    if (!pszKeyword) return nullptr;
    for (const DmKeywordEntry* p = kKeywordTable; p->pszKeyword; ++p)
        if (std::strcmp(p->pszKeyword, pszKeyword) == 0) return p;
    return nullptr;
}

DWORD DmKeywordSize(const DmKeywordEntry* pEntry)
{
    if (!pEntry || pEntry->pfnReader) return 0;
    if (pEntry->dwSize) return pEntry->dwSize;
    if (IsListed(pEntry)) return 1;
    return DmTypeNaturalSize(pEntry->dwType);
}

LPCSTR DmOptionName(LPCSTR pszOptions, DWORD nIndex)
{
    if (!pszOptions) return nullptr;
    for (DWORD i = 0; *pszOptions; ++i) {
        if (i == nIndex) return pszOptions;
        pszOptions += std::strlen(pszOptions) + 1;
    }
    return nullptr;
}

int DmOptionIndex(LPCSTR pszOptions, LPCSTR pszName)
{
    if (!pszOptions || !pszName) return -1;
    for (int i = 0; *pszOptions; ++i) {
        if (std::strcmp(pszOptions, pszName) == 0) return i;
        pszOptions += std::strlen(pszOptions) + 1;
    }
    return -1;
}

// ---- record access ----------------------------------------------------------------------

bool IsValidPrivateDevmode(const OEMPrivateDevmode* pdm)
{
    return pdm && pdm->dwSize == OEM_PRIVATE_DEVMODE_SIZE && pdm->dwSignature == OEM_DEVMODE_SIGNATURE &&
           pdm->dwVersion == OEM_DEVMODE_VERSION;
}

const OEMPrivateDevmode* GetPrivateDevmode(const DEVMODEW* pPublic)
{
    if (!pPublic) return nullptr;
    const DWORD cbExtra = pPublic->dmDriverExtra;
    if (cbExtra < OEM_PRIVATE_DEVMODE_SIZE || cbExtra == 0xFFFF) return nullptr;
    const auto* pdm = reinterpret_cast<const OEMPrivateDevmode*>(reinterpret_cast<const BYTE*>(pPublic) +
                                                                 pPublic->dmSize + cbExtra - OEM_PRIVATE_DEVMODE_SIZE);
    return IsValidPrivateDevmode(pdm) ? pdm : nullptr;
}

OEMPrivateDevmode* GetPrivateDevmode(DEVMODEW* pPublic)
{
    return const_cast<OEMPrivateDevmode*>(GetPrivateDevmode(static_cast<const DEVMODEW*>(pPublic)));
}

DWORD GetPrivateDevmodeSize() { return OEM_PRIVATE_DEVMODE_SIZE; }

BOOL InitPrivateDevmode(OEMPrivateDevmode* pdm)
{
    if (!pdm) return FALSE;
    std::memset(pdm, 0, sizeof(*pdm));
    pdm->dwSize = OEM_PRIVATE_DEVMODE_SIZE;
    pdm->dwSignature = OEM_DEVMODE_SIGNATURE;
    pdm->dwVersion = OEM_DEVMODE_VERSION;
    pdm->dwFlags |= DMF_USEDOCUMENTMONITOR | DMF_AUTOFIT | DMF_DISABLEFRAMENUP;
    pdm->wOwnerStringCode = 0;
    pdm->wMarginShift = 127;
    return TRUE;
}

BOOL GetDmKeyword(const OEMPrivateDevmode* pdm, LPCSTR pszKeyword, DWORD* pdwType, void* pBuffer, DWORD cbBuffer)
{
    if (!pdm || !pszKeyword) return FALSE;
    const DmKeywordEntry* pEntry = FindDmKeyword(pszKeyword);
    if (!pEntry) return FALSE;
    if (pdwType) *pdwType = pEntry->dwType;
    if (!pBuffer) return TRUE;

    if (pEntry->pfnReader) return pEntry->pfnReader(pdm, pBuffer, cbBuffer);
    const BYTE* pField = BodyOf(pdm) + pEntry->dwOffset;
    if (pEntry->dwType == DMT_BOOL) {
        if (cbBuffer < 4) return FALSE;
        const DWORD dwValue = pdm->dwFlags & pEntry->dwMask;
        std::memcpy(pBuffer, &dwValue, 4);
        return TRUE;
    }
    if (IsListed(pEntry)) {
        const char* pszName = DmOptionName(pEntry->pszOptions, *pField);
        return pszName ? CopyName(pszName, pBuffer, cbBuffer) : FALSE;
    }
    const DWORD cb = DmKeywordSize(pEntry);
    if (cb >= cbBuffer) return FALSE;
    std::memcpy(pBuffer, pField, cb);
    return TRUE;
}

BOOL SetDmKeyword(OEMPrivateDevmode* pdm, LPCSTR pszKeyword, const void* pValue)
{
    if (!pdm || !pszKeyword || !pValue) return FALSE;
    const DmKeywordEntry* pEntry = FindDmKeyword(pszKeyword);
    if (!pEntry) return FALSE;

    if (pEntry->pfnWriter) return pEntry->pfnWriter(pdm, pValue);
    BYTE* pField = BodyOf(pdm) + pEntry->dwOffset;
    if (pEntry->dwType == DMT_BOOL) {
        DWORD dwValue;
        std::memcpy(&dwValue, pValue, 4);
        if (dwValue) pdm->dwFlags |= pEntry->dwMask;
        else pdm->dwFlags &= ~pEntry->dwMask;
        return TRUE;
    }
    if (IsListed(pEntry)) {
        const int nIndex = DmOptionIndex(pEntry->pszOptions, static_cast<const char*>(pValue));
        if (nIndex < 0) return FALSE;
        *pField = static_cast<BYTE>(nIndex);
        return TRUE;
    }
    std::memcpy(pField, pValue, DmKeywordSize(pEntry));
    return TRUE;
}

// ---- merge and conversion ---------------------------------------------------------------

BOOL MergePrivateDevmode(OEMPrivateDevmode* pTarget, const OEMPrivateDevmode* pSource, DWORD cbBuffer)
{
    if (!pTarget || !pSource || cbBuffer < OEM_PRIVATE_DEVMODE_SIZE) return FALSE;
    BYTE buffer[256];
    for (const DmKeywordEntry* p = kKeywordTable; p->pszKeyword; ++p) {
        std::memset(buffer, 0, sizeof(buffer));
        DWORD dwType = 0;
        if (GetDmKeyword(pSource, p->pszKeyword, &dwType, buffer, sizeof(buffer)))
            SetDmKeyword(pTarget, p->pszKeyword, buffer);
    }
    if (pTarget->wModelId == 0) pTarget->wModelId = pSource->wModelId;
    static const BYTE kZeroId[16] = {};
    if (std::memcmp(pTarget->PrinterId, kZeroId, sizeof(kZeroId)) == 0)
        std::memcpy(pTarget->PrinterId, pSource->PrinterId, sizeof(pTarget->PrinterId));
    pTarget->wOwnerStringCode = pSource->wOwnerStringCode;
    return TRUE;
}

BOOL ConvertPrivateDevmode(OEMPrivateDevmode* pTarget, const void* pSourceRecord, DWORD cbCopy)
{
    if (!pTarget) return TRUE;
    if (!pSourceRecord) {
        InitPrivateDevmode(pTarget);
        return TRUE;
    }
    const BYTE* pSource = static_cast<const BYTE*>(pSourceRecord);
    const DWORD dwSrcSize = Get32(pSource, 0);
    const DWORD dwSrcSignature = Get32(pSource, 4);
    const DWORD dwSrcVersion = Get32(pSource, 8);

    // 1. Foreign signature: defaults.
    if (dwSrcSignature != OEM_DEVMODE_SIGNATURE) {
        InitPrivateDevmode(pTarget);
        return TRUE;
    }
    // 2. Current record of the target's size: plain copy.
    if (dwSrcSize == pTarget->dwSize && pTarget->dwSignature == OEM_DEVMODE_SIGNATURE &&
        dwSrcVersion == OEM_DEVMODE_VERSION && pTarget->dwVersion == OEM_DEVMODE_VERSION) {
        const DWORD cb = cbCopy < dwSrcSize ? cbCopy : dwSrcSize;
        if (static_cast<const void*>(pTarget) != pSourceRecord) std::memmove(pTarget, pSource, cb);
        return TRUE;
    }
    // 3. Two work areas.
    BYTE* pA = nullptr;
    BYTE* pB = nullptr;
    if (!MemAllocZero(reinterpret_cast<void**>(&pA), kWorkSize) ||
        !MemAllocZero(reinterpret_cast<void**>(&pB), kWorkSize)) {
        if (pA) MemFree(pA);
        return TRUE;
    }
    // 4. The source body (never more than the work area holds).
    DWORD cbBody = dwSrcSize > kHeader ? dwSrcSize - kHeader : 0;
    if (dwSrcSize > kMaxSourceSize) cbBody = kWorkSize;
    std::memcpy(pA, pSource + kHeader, cbBody);

    // 5. The version chain.
    DWORD dwVersion = dwSrcVersion;
    bool bConverted = false;
    for (;;) {
        if (dwVersion == kVersion0010) {
            Convert0010To0020(pA, pB);
            std::memcpy(pA, pB, 504);
            dwVersion = kVersion0020;
        } else if (dwVersion == kVersion0020) {
            std::memset(pB, 0, 764);
            std::memcpy(pB, pA, 504);
            std::memcpy(pA, pB, 764);
            dwVersion = kVersion0030;
        } else if (dwVersion == kVersion0030) {
            Convert0030To0040(pA, pB);
            std::memcpy(pA, pB, 188);
            dwVersion = kVersion0040;
        } else if (dwVersion == kVersion0040) {
            std::memset(pB, 0, OEM_PRIVATE_DEVMODE_BODY);
            std::memcpy(pB, pA, 188);
            bConverted = true;
            break;
        } else {
            InitPrivateDevmode(pTarget);
            break;
        }
    }
    // 6. Into the target.
    if (bConverted) {
        if (pTarget->dwVersion != OEM_DEVMODE_VERSION) {
            KTPS_LOG(DBG_ERROR, "Unknown OEM Private DEVMODE signature.\n");
            InitPrivateDevmode(pTarget);
        } else {
            DWORD cbTarget = pTarget->dwSize;
            if (cbTarget > OEM_PRIVATE_DEVMODE_SIZE) cbTarget = OEM_PRIVATE_DEVMODE_SIZE;
            if (cbTarget > cbCopy) cbTarget = cbCopy;
            if (cbTarget > kHeader) std::memcpy(BodyOf(pTarget), pB, cbTarget - kHeader);
        }
    }
    // 7.
    MemFree(pA);
    MemFree(pB);
    return TRUE;
}

// ---- the DevMode request ----------------------------------------------------------------

BOOL HandleDevModeRequest(DWORD dwMode, POEMDMPARAM pParam, const DevModeRequestSteps* pSteps)
{
    if (!pParam || dwMode < OEMDM_SIZE || dwMode > OEMDM_MERGE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwMode == OEMDM_SIZE) {
        pParam->cbBufSize = GetPrivateDevmodeSize();
        return TRUE;
    }
    auto* pOut = static_cast<OEMPrivateDevmode*>(pParam->pOEMDMOut);
    const auto* pIn = static_cast<const OEMPrivateDevmode*>(pParam->pOEMDMIn);
    if (!pOut || (dwMode != OEMDM_DEFAULT && !pIn)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    switch (dwMode) {
    case OEMDM_DEFAULT:
        InitPrivateDevmode(pOut);
        if (pSteps && pSteps->pfnAfterDefault) return pSteps->pfnAfterDefault(pParam, pOut, pSteps->pContext);
        return TRUE;
    case OEMDM_CONVERT: return ConvertPrivateDevmode(pOut, pIn, pParam->cbBufSize);
    default:  // OEMDM_MERGE
        if (!MergePrivateDevmode(pOut, pIn, pParam->cbBufSize)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        if (pSteps && pSteps->pfnAfterMerge) return pSteps->pfnAfterMerge(pParam, pOut, pSteps->pContext);
        return TRUE;
    }
}
