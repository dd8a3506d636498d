#include "common/preconfig.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "common/coremain.h"
#include "common/modelbinding.h"
#include "platform/spooler.h"

namespace {

struct Macro {
    const char* pszKey;
    const char* apszLines[3];
};

const Macro kMacros[] = {
    {"SECURE_PRINT", {"Option_HardDisk.default=on", "JobType.display=dimout", "JobType.enforced=secure_print"}},
    {"MONOCOLOR_PRINT", {"ColorMode.display=dimout", "ColorMode.enforced=gray", nullptr}},
    {"BANNER_PRINT", {"BannerSheet.display=dimout", "BannerSheet.enforced=1", nullptr}},
    {"DUPLEX_PRINT_LONG", {"Duplex.display=dimout", "Duplex.enforced=1", "Option_Duplex.default=on"}},
    {"DUPLEX_PRINT_SHORT", {"Duplex.display=dimout", "Duplex.enforced=2", "Option_Duplex.default=on"}},
};

struct ValueWord {
    const char* pszWord;
    int nValue;
};

const ValueWord kWords[] = {
    {"on", 1},           {"off", 0},          {"true", 1},         {"false", 0},       {"auto_color", 0},
    {"gray", 1},         {"color", 2},        {"hide", 0},         {"dimout", 1},      {"show", 2},
    {"normal_print", 0}, {"secure_print", 1}, {"sample_print", 2}, {"box_print", 3},   {"delay_print", 4},
    {"dfax_print", 5},   {"use_setting", 0},  {"start_page", 1},   {"none", 2},        {"none_duplex", 0},
    {"duplex_long", 1},  {"duplex_short", 2},
};

struct ConfigKey {
    const char* pszKey;
    const char* pszKeyword;
    const char* apszOptions[6];  // by value number; null: no option
};

const ConfigKey kConfigKeys[] = {
    {"JobType", "$JobType", {"Normal", "Secure", "Proof", "Box", "Delay", "DFax"}},
    {"Option_HardDisk", "KTHardDisk", {"False", "True"}},
    {"BannerSheet", "$BannerSheet", {"UsePrinterSetting", "PrintStartPage", "None"}},
    {"ColorMode", "KTColorMode", {nullptr, "Black", "Color"}},
    {"Option_Duplex", "KTDuplexOption", {"False", "True"}},
    {"Duplex", "Duplex", {"None", "DuplexNoTumble", "DuplexTumble"}},
};

std::string Trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

bool Same(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

const Macro* FindMacro(const std::string& key)
{
    for (const Macro& m : kMacros)
        if (Same(key, m.pszKey)) return &m;
    return nullptr;
}

const ConfigKey* FindConfigKey(const std::string& key)
{
    for (const ConfigKey& k : kConfigKeys)
        if (Same(key, k.pszKey)) return &k;
    return nullptr;
}

// A value word's number as text; other values stay as written.
std::string Translate(const std::string& value)
{
    for (const ValueWord& w : kWords)
        if (Same(value, w.pszWord)) return std::to_string(w.nValue);
    return value;
}

// The value as a table index: a plain decimal number, else -1.
int NumberOf(const std::string& value)
{
    if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(value);
}

}  // namespace

std::string PreConfigSectionName(LPCSTR pszDriverName)
{
    std::string name = pszDriverName ? pszDriverName : "";
    for (char& c : name)
        if (c == ' ' || c == '/' || c == '-') c = '_';
    return name;
}

bool ReadProfileSection(const char* pText, size_t cbText, const std::string& section, std::vector<std::string>* lines)
{
    lines->clear();
    if (!pText) return false;
    bool bInside = false, bFound = false;
    size_t pos = 0;
    while (pos < cbText) {
        const void* pEnd = std::memchr(pText + pos, '\n', cbText - pos);
        const size_t end = pEnd ? static_cast<size_t>(static_cast<const char*>(pEnd) - pText) : cbText;
        std::string line(pText + pos, end - pos);
        pos = end + 1;
        // A NUL ends a line's text, as the system's own reader would see it.
        if (const size_t nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            const std::string name = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            // The first section of that name is the one read.
            if (bInside) return true;
            bInside = !bFound && strcasecmp(name.c_str(), section.c_str()) == 0;
            if (bInside) bFound = true;
            continue;
        }
        if (bInside) lines->push_back(line);
    }
    return bFound;
}

void PreConfigList::Clear()
{
    m_keywords.clear();
    m_entries.clear();
    m_cbNames = 0;
    m_section.clear();
}

PreConfigEntry* PreConfigList::EntryFor(const std::string& keyword)
{
    for (size_t i = 0; i < m_keywords.size(); ++i)
        if (Same(m_keywords[i], keyword.c_str())) return &m_entries[i];
    if (m_cbNames + keyword.size() + 1 > PRECONFIG_NAMELIST_MAX) return nullptr;
    m_cbNames += static_cast<DWORD>(keyword.size() + 1);
    m_keywords.push_back(keyword);
    m_entries.push_back(PreConfigEntry{});
    return &m_entries.back();
}

void PreConfigList::ProcessLine(const std::string& line, int nDepth, PreConfigNotice pfnNotice, void* pContext)
{
    auto ignore = [&](const char* pszReason) {
        if (pfnNotice) pfnNotice(line.c_str(), pszReason, pContext);
    };
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return ignore("no \"=\" in the line");
    const std::string left = Trim(line.substr(0, eq));
    std::string value = Trim(line.substr(eq + 1));
    const size_t dot = left.find('.');
    const std::string key = Trim(left.substr(0, dot));
    const std::string attribute = dot == std::string::npos ? "enforced" : Trim(left.substr(dot + 1));
    if (key.empty()) return ignore("no key");
    if (key.size() > PRECONFIG_PART_MAX || attribute.size() > PRECONFIG_PART_MAX || value.size() > PRECONFIG_PART_MAX)
        return ignore("a key, attribute or value longer than 63 characters");

    const Macro* pMacro = FindMacro(key);
    const ConfigKey* pConfig = FindConfigKey(key);
    if (pMacro || pConfig) value = Translate(value);
    if (pMacro) {
        if (value != "1") return ignore("a macro whose value is not on");
        if (nDepth == 0)
            for (const char* pszLine : pMacro->apszLines)
                if (pszLine) ProcessLine(pszLine, nDepth + 1, pfnNotice, pContext);
        return;
    }

    const bool bDisplay = Same(attribute, "display");
    const bool bEnforced = Same(attribute, "enforced");
    const bool bDefault = Same(attribute, "default");
    if (!bDisplay && !bEnforced && !bDefault) return ignore("an attribute other than enforced, default or display");

    std::string keyword = key;
    std::string option = value;
    if (pConfig) {
        keyword = pConfig->pszKeyword;
        const int n = NumberOf(value);
        if (!bDisplay && n >= 0 && n < 6 && pConfig->apszOptions[n]) option = pConfig->apszOptions[n];
    }
    PreConfigEntry* pEntry = EntryFor(keyword);
    if (!pEntry) return ignore("the list of pre-configured keywords is full");

    if (bEnforced) {
        if (pEntry->bEnforced) return ignore("the keyword is enforced by an earlier line");
        std::snprintf(pEntry->szOption, sizeof pEntry->szOption, "%s", option.c_str());
        pEntry->bEnforced = TRUE;
        pEntry->dwDisplay = PCD_DIMMED;
    } else if (bDefault) {
        if (pEntry->szOption[0]) return ignore("the keyword already has an option from an earlier line");
        std::snprintf(pEntry->szOption, sizeof pEntry->szOption, "%s", option.c_str());
    } else {
        if (pEntry->bEnforced) return ignore("display of an enforced keyword (always dimmed)");
        if (option == "0")
            pEntry->dwDisplay = PCD_HIDE;
        else if (option == "1")
            pEntry->dwDisplay = PCD_DIMMED;
        else if (option == "2")
            pEntry->dwDisplay = PCD_SHOW;
        else
            return ignore("a display value other than hide, dimout or show (0, 1, 2)");
    }
}

void PreConfigList::LoadText(const char* pText, size_t cbText, LPCSTR pszDriverName, PreConfigNotice pfnNotice,
                             void* pContext)
{
    Clear();
    std::vector<std::string> lines;
    const std::string section = PreConfigSectionName(pszDriverName);
    if (!section.empty() && ReadProfileSection(pText, cbText, section, &lines) && !lines.empty())
        m_section = section;
    else if (ReadProfileSection(pText, cbText, "DEFAULT", &lines) && !lines.empty())
        m_section = "DEFAULT";
    else
        return;
    for (const std::string& line : lines) ProcessLine(line, 0, pfnNotice, pContext);
}

bool PreConfigList::Load(HANDLE hPrinter, PreConfigNotice pfnNotice, void* pContext)
{
    Clear();
    m_path.clear();
    // The file: module directory + model library base name + ".cfg".
    WCHAR szBase[256] = {};
    if (LoadStringW(g_Core.hInstance, IDS_MODEL_LIBRARY_NAME, szBase, 256) <= 0) return false;
    const std::string path = platform::Narrow(g_Core.szModuleDir) + platform::Narrow(szBase) + ".cfg";
    m_path = path;
    // The section: the installed driver's name.
    std::string driverName;
    DWORD cbNeeded = 0;
    GetPrinterDriverW(hPrinter, nullptr, 1, nullptr, 0, &cbNeeded);
    if (cbNeeded > 0 && cbNeeded < 64 * 1024) {
        std::vector<BYTE> info(cbNeeded);
        if (GetPrinterDriverW(hPrinter, nullptr, 1, info.data(), cbNeeded, &cbNeeded)) {
            char szName[256] = {};
            WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<DRIVER_INFO_1W*>(info.data())->pName, -1, szName,
                                sizeof szName, nullptr, nullptr);
            driverName = szName;
        }
    }
    const std::u16string widePath = platform::Widen(path);
    HANDLE hFile = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    std::string text;
    char buffer[4096];
    DWORD cbRead = 0;
    while (ReadFile(hFile, buffer, sizeof buffer, &cbRead, nullptr) && cbRead > 0) {
        text.append(buffer, cbRead);
        if (text.size() > 16 * 1024 * 1024) break;  // no administrator writes a file this large
    }
    CloseHandle(hFile);
    LoadText(text.data(), text.size(), driverName.c_str(), pfnNotice, pContext);
    return true;
}

const PreConfigEntry* PreConfigList::Find(LPCSTR pszKeyword) const
{
    if (!pszKeyword) return nullptr;
    for (size_t i = 0; i < m_keywords.size(); ++i)
        if (strcasecmp(m_keywords[i].c_str(), pszKeyword) == 0) return &m_entries[i];
    return nullptr;
}
