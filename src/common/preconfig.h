// The administrator's pre-configuration: a file in the initialisation-file format beside the
// modules (the model library's base name with ".cfg"), whose entries force settings
// ("enforced"), give start values ("default") or set how a control is shown ("display").
#pragma once

#include <string>
#include <vector>

#include "common/memory.h"
#include "platform/win32.h"

constexpr DWORD PRECONFIG_PART_MAX = 63;        // characters of a key, attribute or value
constexpr DWORD PRECONFIG_NAMELIST_MAX = 3072;  // bytes of the keyword name list

// Display states of an entry.
enum PreConfigDisplay : DWORD {
    PCD_NONE = 0,
    PCD_SHOW = 1,
    PCD_HIDE = 2,
    PCD_DIMMED = 3,
};

struct PreConfigEntry {
    char szOption[PRECONFIG_PART_MAX + 1];
    BOOL bEnforced;
    DWORD dwDisplay;
};

// Told about every line that has no effect, with the reason (the plug-ins pass none and
// ignore such lines silently).
using PreConfigNotice = void (*)(const char* pszLine, const char* pszReason, void* pContext);

class PreConfigList : public HeapObject {
public:
    // Reads the file beside the modules for the printer's driver. Missing file or sections
    // leave the list empty; true when the file was read.
    bool Load(HANDLE hPrinter, PreConfigNotice pfnNotice = nullptr, void* pContext = nullptr);
    // Reads the text of a whole file for a driver name (not yet made a section name).
    void LoadText(const char* pText, size_t cbText, LPCSTR pszDriverName, PreConfigNotice pfnNotice = nullptr,
                  void* pContext = nullptr);

    // Entry of a setting keyword (case-insensitive), or null.
    const PreConfigEntry* Find(LPCSTR pszKeyword) const;
    DWORD Count() const { return static_cast<DWORD>(m_entries.size()); }
    LPCSTR Keyword(DWORD i) const { return i < m_keywords.size() ? m_keywords[i].c_str() : nullptr; }
    const PreConfigEntry* Entry(DWORD i) const { return i < m_entries.size() ? &m_entries[i] : nullptr; }
    // The section the entries came from ("" when none was found).
    const std::string& Section() const { return m_section; }
    const std::string& Path() const { return m_path; }

private:
    void Clear();
    void ProcessLine(const std::string& line, int nDepth, PreConfigNotice pfnNotice, void* pContext);
    PreConfigEntry* EntryFor(const std::string& keyword);

    std::vector<std::string> m_keywords;
    std::vector<PreConfigEntry> m_entries;
    DWORD m_cbNames = 0;
    std::string m_section;
    std::string m_path;
};

// The section name of a driver: its name with every blank, "/" and "-" made "_".
std::string PreConfigSectionName(LPCSTR pszDriverName);
// The lines of one section of an initialisation file (case-insensitive name), in order;
// blank lines and comments left out. False when the section is absent.
bool ReadProfileSection(const char* pText, size_t cbText, const std::string& section, std::vector<std::string>* lines);
