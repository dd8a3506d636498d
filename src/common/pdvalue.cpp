#include "common/pdvalue.h"

namespace {

// Little-endian bytes of the defaults.
constexpr BYTE kEmptyText[2] = {0, 0};
constexpr BYTE kZero16[16] = {};
constexpr BYTE kUnknownUser[24] = {'U', 0, 'n', 0, 'k', 0, 'n', 0, 'o', 0, 'w', 0, 'n', 0,
                                   'U', 0, 's', 0, 'e', 0, 'r', 0, 0,   0};
constexpr BYTE kDword0[4] = {0, 0, 0, 0};
constexpr BYTE kDword1[4] = {1, 0, 0, 0};
constexpr BYTE kDword7[4] = {7, 0, 0, 0};
constexpr BYTE kByte1[1] = {1};
constexpr BYTE kEnableFunction[16] = {2, 0, 0, 0};

#define TEXT_VALUE(name) {name, REG_SZ, sizeof kEmptyText, kEmptyText}
#define DWORD_VALUE(name, bytes) {name, REG_DWORD, 4, bytes}

const PdValueEntry kValues[] = {
    TEXT_VALUE(u"OEMLastCheckedPort"),
    TEXT_VALUE(u"OEMPrinterID"),
    {u"OEMSecurePrintUserName", REG_SZ, sizeof kZero16, kZero16},
    {u"OEMSecurePrintPIN", REG_SZ, sizeof kZero16, kZero16},
    DWORD_VALUE(u"OEMSpecifyJobOwner", kDword7),
    {u"OEMJobOwnerName", REG_SZ, sizeof kUnknownUser, kUnknownUser},
    TEXT_VALUE(u"OEMJobOwnerPassword"),
    TEXT_VALUE(u"OEMNetAddress"),
    DWORD_VALUE(u"OEMDisablePSFeatures", kDword0),
    {u"OEMSupportCapability", REG_BINARY, sizeof kZero16, kZero16},
    {u"OEMEnableFunction", REG_BINARY, sizeof kEnableFunction, kEnableFunction},
    DWORD_VALUE(u"OEMJobAccountMode", kDword1),
    {u"OEMJobAccountStatus", REG_BINARY, 1, kByte1},
    DWORD_VALUE(u"OEMJobAccountDefault", kDword0),
    TEXT_VALUE(u"OEMMailAddress"),
    TEXT_VALUE(u"OEMCac3GroupName"),
    {u"SupportJobOwnerTool", REG_BINARY, 1, kByte1},
    TEXT_VALUE(u"OEMCommunityName"),
    DWORD_VALUE(u"OEMSNMPVersion", kDword0),
    TEXT_VALUE(u"UserEntrySubPath"),
    DWORD_VALUE(u"Printer Bidi\\BidiLink", kDword0),
    TEXT_VALUE(u"Printer Bidi\\DeviceAddress"),
    TEXT_VALUE(u"Printer Bidi\\SNMPCNString"),
    DWORD_VALUE(u"Printer Bidi\\SNMPVersion", kDword0),
    TEXT_VALUE(u"Printer Bidi\\DataFileName"),
    TEXT_VALUE(u"Printer Bidi\\HelpFileID"),
    DWORD_VALUE(u"Printer Bidi\\PollingInterval", kDword0),
    TEXT_VALUE(u"Printer Bidi\\OrvaneFileName"),
    DWORD_VALUE(u"Printer Bidi\\ReferenceCounter", kDword0),
    TEXT_VALUE(u"OEMOutputDest"),
    {nullptr, 0, 0, nullptr},
};

}  // namespace

const PdValueEntry* GetPdValueTable() { return kValues; }

const PdValueEntry* FindPdValue(LPCWSTR pszName)
{
    if (!pszName) return nullptr;
    for (const PdValueEntry* p = kValues; p->pszName; ++p)
        if (lstrcmpW(p->pszName, pszName) == 0) return p;
    return nullptr;
}
