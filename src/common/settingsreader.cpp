#include "common/settingsreader.h"

#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/debug.h"
#include "common/textconv.h"

namespace {

// Decimal value of an 8-bit text (as far as it reads).
LONG Decimal(const char* psz) { return static_cast<LONG>(std::strtol(psz, nullptr, 10)); }

std::string TextOf(const void* pIn, DWORD cbIn)
{
    const char* p = static_cast<const char*>(pIn);
    const void* pEnd = std::memchr(p, 0, cbIn);
    return std::string(p, pEnd ? static_cast<const char*>(pEnd) - p : cbIn);
}

std::u16string WideOf(const void* pIn, DWORD cbIn)
{
    std::u16string out;
    for (DWORD i = 0; i + 1 < cbIn; i += 2) {
        WCHAR c;
        std::memcpy(&c, static_cast<const BYTE*>(pIn) + i, 2);
        if (!c) break;
        out.push_back(c);
    }
    return out;
}

std::string Narrow8(const std::u16string& wide)
{
    if (wide.empty()) return "";
    std::vector<char> out(wide.size() * 4 + 1);
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    return out.data();
}

std::u16string Widen8(const std::string& text)
{
    if (text.empty()) return u"";
    std::vector<WCHAR> out(text.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()));
    return out.data();
}

bool PutText(const std::string& text, void* pOut, DWORD cbOut)
{
    if (cbOut == 0) return false;
    const size_t n = std::min<size_t>(text.size(), cbOut - 1);
    std::memcpy(pOut, text.data(), n);
    static_cast<char*>(pOut)[n] = '\0';
    return true;
}

bool PutWide(const std::u16string& text, void* pOut, DWORD cbOut)
{
    if (cbOut < 2) return false;
    const size_t n = std::min<size_t>(text.size(), cbOut / 2 - 1);
    std::memcpy(pOut, text.data(), n * 2);
    std::memset(static_cast<BYTE*>(pOut) + n * 2, 0, 2);
    return true;
}

bool PutNumber(DWORD dmTypeOut, LONGLONG value, void* pOut, DWORD cbOut)
{
    switch (dmTypeOut) {
    case DMT_BYTE:
    case DMT_CHAR: {
        if (cbOut < 1) return false;
        const BYTE b = static_cast<BYTE>(value);
        std::memcpy(pOut, &b, 1);
        return true;
    }
    case DMT_WORD:
    case DMT_SHORT: {
        if (cbOut < 2) return false;
        const WORD w = static_cast<WORD>(value);
        std::memcpy(pOut, &w, 2);
        return true;
    }
    default: {
        if (cbOut < 4) return false;
        const DWORD d = static_cast<DWORD>(value);
        std::memcpy(pOut, &d, 4);
        return true;
    }
    }
}

}  // namespace

bool ConvertDmValue(DWORD dwTypeIn, const void* pIn, DWORD cbIn, DWORD dmTypeOut, void* pOut, DWORD cbOut)
{
    if (!pIn || !pOut) return false;
    if (dwTypeIn < DMT_BOOL || dwTypeIn > DMT_WSTRING) return false;
    if (dmTypeOut < DMT_BOOL || dmTypeOut > DMT_WSTRING) {
        KTPS_LOG(DBG_ERROR, "Unsupported dmTypeOut(%d).\n", dmTypeOut);
        return false;
    }
    // The stored value as a number, when it is one.
    LONGLONG number = 0;
    const BYTE* p = static_cast<const BYTE*>(pIn);
    auto need = [&](DWORD n) { return cbIn >= n; };
    switch (dwTypeIn) {
    case DMT_BOOL:
    case DMT_DWORD:
        if (!need(4)) return false;
        number = static_cast<DWORD>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24);
        break;
    case DMT_LONG:
        if (!need(4)) return false;
        number = static_cast<LONG>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24);
        break;
    case DMT_BYTE: if (!need(1)) return false; number = p[0]; break;
    case DMT_CHAR: if (!need(1)) return false; number = static_cast<signed char>(p[0]); break;
    case DMT_WORD: if (!need(2)) return false; number = static_cast<WORD>(p[0] | p[1] << 8); break;
    case DMT_SHORT: if (!need(2)) return false; number = static_cast<SHORT>(p[0] | p[1] << 8); break;
    default: break;
    }
    const bool bText = dwTypeIn == DMT_STRING;
    const bool bWide = dwTypeIn == DMT_WSTRING;
    const std::string text = bText ? TextOf(pIn, cbIn) : std::string();
    const std::u16string wide = bWide ? WideOf(pIn, cbIn) : std::u16string();

    switch (dmTypeOut) {
    case DMT_BOOL: {
        LONGLONG v;
        if (dwTypeIn == DMT_BOOL)
            v = number;
        else if (bText)
            v = text == "False" ? 0 : 1;
        else if (bWide)
            v = wide == u"False" ? 0 : 1;
        else
            v = number != 0;
        return PutNumber(DMT_DWORD, v, pOut, cbOut);
    }
    case DMT_BYTE:
    case DMT_CHAR:
    case DMT_WORD:
    case DMT_SHORT:
    case DMT_DWORD:
    case DMT_LONG: {
        LONGLONG v = number;
        if (dwTypeIn == DMT_BOOL) v = number != 0;
        if (bText) v = Decimal(text.c_str());
        if (bWide) v = Decimal(Narrow8(wide).c_str());
        return PutNumber(dmTypeOut, v, pOut, cbOut);
    }
    case DMT_STRING: {
        if (dwTypeIn == DMT_BOOL) return PutText(number ? "True" : "False", pOut, cbOut);
        if (bText) return PutText(text, pOut, cbOut);
        if (bWide) return PutText(Narrow8(wide), pOut, cbOut);
        char sz[32];
        if (dwTypeIn == DMT_BYTE || dwTypeIn == DMT_WORD || dwTypeIn == DMT_DWORD)
            std::snprintf(sz, sizeof sz, "%u", static_cast<unsigned>(number));
        else
            std::snprintf(sz, sizeof sz, "%d", static_cast<int>(number));
        return PutText(sz, pOut, cbOut);
    }
    default: {  // DMT_WSTRING
        if (dwTypeIn == DMT_BOOL) return PutWide(number ? u"True" : u"False", pOut, cbOut);
        if (bText) return PutWide(Widen8(text), pOut, cbOut);
        if (bWide) return PutWide(wide, pOut, cbOut);
        char sz[32];
        if (dwTypeIn == DMT_BYTE || dwTypeIn == DMT_WORD || dwTypeIn == DMT_DWORD)
            std::snprintf(sz, sizeof sz, "%u", static_cast<unsigned>(number));
        else
            std::snprintf(sz, sizeof sz, "%d", static_cast<int>(number));
        return PutWide(Widen8(sz), pOut, cbOut);
    }
    }
}

SettingsReader::SettingsReader(const OEMPrivateDevmode* pdm, HANDLE hPrinter, PreConfigList* pPreConfig,
                               PrinterDataReader* pData, IHostOptions* pHost)
    : m_pdm(pdm), m_hPrinter(hPrinter), m_pPreConfig(pPreConfig), m_pData(pData), m_pHost(pHost)
{
    if (!GetPpdKeywordPrefix(hPrinter, m_szPrefix)) m_szPrefix[0] = '\0';
}

SettingsReader::~SettingsReader()
{
    MemFree(m_pDefaults);
    delete m_pPreConfig;
}

const OEMPrivateDevmode* SettingsReader::Defaults()
{
    if (!m_pDefaults) {
        void* p = nullptr;
        if (!MemAllocZero(&p, sizeof(OEMPrivateDevmode))) return nullptr;
        m_pDefaults = static_cast<OEMPrivateDevmode*>(p);
        InitPrivateDevmode(m_pDefaults);
    }
    return m_pDefaults;
}

bool SettingsReader::Get(LPCSTR pszKeyword, DWORD dmTypeOut, void* pBuffer, DWORD cbBuffer, bool bWantPreConfig)
{
    if (!pszKeyword || !pBuffer) return false;
    BYTE work[SETTINGS_WORK_SIZE] = {};
    DWORD dwType = 0;
    const PreConfigEntry* pEntry = m_pPreConfig ? m_pPreConfig->Find(pszKeyword) : nullptr;
    if (pEntry && (pEntry->bEnforced || bWantPreConfig)) {
        dwType = DMT_STRING;
        std::snprintf(reinterpret_cast<char*>(work), sizeof work, "%s", pEntry->szOption);
    } else {
        const OEMPrivateDevmode* pdm = (bWantPreConfig || !m_pdm) ? Defaults() : m_pdm;
        if (!pdm || !GetDmKeyword(pdm, pszKeyword, &dwType, work, sizeof work - 1)) return false;
    }
    return ConvertDmValue(dwType, work, sizeof work, dmTypeOut, pBuffer, cbBuffer);
}

bool SettingsReader::GetBool(LPCSTR pszKeyword, DWORD* pdwValue, bool bWantPreConfig)
{
    return Get(pszKeyword, DMT_BOOL, pdwValue, 4, bWantPreConfig);
}

bool SettingsReader::GetLong(LPCSTR pszKeyword, LONG* plValue, bool bWantPreConfig)
{
    return Get(pszKeyword, DMT_LONG, plValue, 4, bWantPreConfig);
}

bool SettingsReader::GetDword(LPCSTR pszKeyword, DWORD* pdwValue, bool bWantPreConfig)
{
    return Get(pszKeyword, DMT_DWORD, pdwValue, 4, bWantPreConfig);
}

bool SettingsReader::GetText(LPCSTR pszKeyword, LPSTR pszText, DWORD cbText, bool bWantPreConfig)
{
    return Get(pszKeyword, DMT_STRING, pszText, cbText, bWantPreConfig);
}

bool SettingsReader::ReadOption(LPCSTR pszFeature, LPSTR pszOption, DWORD cbOption)
{
    if (!pszFeature || !pszOption) return false;
    if (std::strlen(pszFeature) + 2 > SETTINGS_FEATURE_MAX) {
        KTPS_LOG(DBG_ERROR, "pszFeature length too long.");
        return false;
    }
    char szFeature[SETTINGS_FEATURE_MAX + 1];
    MapKeywordToPpd(pszFeature, m_szPrefix, szFeature, sizeof szFeature);
    char szOption[SETTINGS_WORK_SIZE] = {};
    bool bFound = m_pHost && m_pHost->GetOption(szFeature, szOption, sizeof szOption);
    if (!bFound) bFound = ReadInstallableOption(m_hPrinter, szFeature, szOption, sizeof szOption);
    if (!bFound) return false;
    const size_t n = std::strlen(szOption);
    if (n + 1 > cbOption) return false;
    std::memcpy(pszOption, szOption, n + 1);
    return true;
}

bool SettingsReader::ReadOptionBool(LPCSTR pszFeature, bool* pbValue)
{
    char szOption[SETTINGS_WORK_SIZE];
    if (!pbValue || !ReadOption(pszFeature, szOption, sizeof szOption)) return false;
    *pbValue = std::strcmp(szOption, "False") != 0;
    return true;
}

bool SettingsReader::ReadOptionNumber(LPCSTR pszFeature, LONG* plValue)
{
    char szOption[SETTINGS_WORK_SIZE];
    if (!plValue || !ReadOption(pszFeature, szOption, sizeof szOption)) return false;
    if (std::strcmp(pszFeature, "%PagePerSheet") == 0 && std::strcmp(szOption, "Booklet") == 0) {
        DWORD dwAttributes = 0, cbNeeded = 0;
        GetPrinterW(m_hPrinter, 2, nullptr, 0, &cbNeeded);
        if (cbNeeded) {
            std::vector<BYTE> info(cbNeeded);
            if (GetPrinterW(m_hPrinter, 2, info.data(), cbNeeded, &cbNeeded))
                dwAttributes = reinterpret_cast<PRINTER_INFO_2W*>(info.data())->Attributes;
        }
        *plValue = (dwAttributes & 0x10) ? 1 : 2;
        return true;
    }
    *plValue = Decimal(szOption);
    return true;
}

int PaperSizeForCountry(int n)
{
    const bool bLetter = (n >= 1 && n <= 2) || (n >= 50 && n <= 54) || (n >= 56 && n <= 59) ||
                         (n >= 500 && n <= 592) || (n >= 594 && n <= 599);
    return bLetter ? DMPAPER_LETTER : DMPAPER_A4;
}

int GetLocalePaperSize()
{
    // The user's paper setting (LC_PAPER), when a locale other than the C one names it.
    locale_t loc = newlocale(LC_PAPER_MASK | LC_TELEPHONE_MASK, "", static_cast<locale_t>(0));
    if (!loc) return PaperSizeForCountry(0);
    const char* pszName = setlocale(LC_PAPER, nullptr);
    (void)pszName;
    const char* pszPaper = std::getenv("LC_ALL");
    if (!pszPaper || !*pszPaper) pszPaper = std::getenv("LC_PAPER");
    if (!pszPaper || !*pszPaper) pszPaper = std::getenv("LANG");
    const bool bNamed = pszPaper && *pszPaper && std::strcmp(pszPaper, "C") != 0 && std::strcmp(pszPaper, "POSIX") != 0;
    int nSize = 0;
    if (bNamed) {
        const int nHeight = static_cast<int>(reinterpret_cast<intptr_t>(nl_langinfo_l(_NL_PAPER_HEIGHT, loc)));
        const int nWidth = static_cast<int>(reinterpret_cast<intptr_t>(nl_langinfo_l(_NL_PAPER_WIDTH, loc)));
        if (nWidth == 216 && nHeight == 279)
            nSize = DMPAPER_LETTER;
        else if (nWidth == 216 && nHeight == 356)
            nSize = DMPAPER_LEGAL;
        else if (nWidth > 0 && nHeight > 0)
            nSize = DMPAPER_A4;
        if (nSize == 0) {
            // No paper setting: the country decides.
            const char* pszPrefix = nl_langinfo_l(_NL_TELEPHONE_INT_PREFIX, loc);
            nSize = PaperSizeForCountry(pszPrefix ? std::atoi(pszPrefix) : 0);
        }
    } else {
        nSize = PaperSizeForCountry(0);
    }
    freelocale(loc);
    return nSize;
}

bool ScanProductName(const char* pData, size_t cbData, LPSTR pszName, DWORD* pcbName)
{
    if (!pData || !pcbName) return false;
    static const char kKey[] = "\n*Product";
    constexpr size_t kKeyLen = sizeof kKey - 1;  // 9
    size_t pos = 0;
    bool bFound = false;
    for (; pos + kKeyLen <= cbData; ++pos) {
        if (std::memcmp(pData + pos, kKey, kKeyLen) == 0) {
            bFound = true;
            break;
        }
    }
    if (!bFound) return false;
    size_t p = pos + kKeyLen + 1;  // past the colon
    while (p < cbData && pData[p] != '"') {
        if (pData[p] == '\n') return false;
        ++p;
    }
    if (p >= cbData) return false;
    const size_t start = p + 2;  // past the quote and the opening parenthesis
    if (start > cbData) return false;
    const void* pClose = std::memchr(pData + start, ')', cbData - start);
    if (!pClose) return false;
    const size_t len = static_cast<size_t>(static_cast<const char*>(pClose) - (pData + start));
    const DWORD cbBuffer = *pcbName;
    *pcbName = static_cast<DWORD>(len);
    if (!pszName || len >= cbBuffer) return false;
    std::memcpy(pszName, pData + start, len);
    pszName[len] = '\0';
    return true;
}

bool GetPpdProductName(HANDLE hPrinter, LPSTR pszName, DWORD* pcbName)
{
    DWORD cbNeeded = 0;
    GetPrinterDriverW(hPrinter, nullptr, 2, nullptr, 0, &cbNeeded);
    if (cbNeeded == 0 || cbNeeded > 64 * 1024) return false;
    std::vector<BYTE> info(cbNeeded);
    if (!GetPrinterDriverW(hPrinter, nullptr, 2, info.data(), cbNeeded, &cbNeeded)) return false;
    const std::string path = platform::Narrow(reinterpret_cast<DRIVER_INFO_2W*>(info.data())->pDataFile);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool bOk = false;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        void* pMap = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (pMap != MAP_FAILED) {
            bOk = ScanProductName(static_cast<const char*>(pMap), static_cast<size_t>(st.st_size), pszName, pcbName);
            munmap(pMap, static_cast<size_t>(st.st_size));
        }
    }
    close(fd);
    return bOk;
}
