// lumeno settings: the user's settings of a printer, read and written by keyword as the
// plug-ins do. "$" keywords live in the private DEVMODE; "%" keywords (the host driver's own
// options) and the PPD's features in the host's option store: the installable options in the
// printer's FeatureKeyword data, the others in the DEVMODE's host area.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "common/devmode.h"
#include "common/kwprefix.h"
#include "common/preconfig.h"
#include "common/printerdata.h"
#include "common/settingsreader.h"
#include "printers.h"

namespace lumeno {

namespace {

// The host area in front of the private record: "HOPT" and FeatureKeyword-form records.
constexpr char kHostAreaTag[4] = {'H', 'O', 'P', 'T'};

struct HostFeature {
    const char* keyword;
    const char* options[8];
};

// The host driver's own options, first option the default.
const HostFeature kHostFeatures[] = {
    {"%Orientation", {"Portrait", "Landscape", "RotatedLandscape"}},
    {"%PagePerSheet", {"1", "2", "4", "6", "9", "16", "Booklet"}},
    {"%PageOrder", {"FrontToBack", "BackToFront"}},
    {"%OutputFormat", {"Speed", "Portability", "EPS", "Archive"}},
    {"%MetafileSpooling", {"False", "True"}},
    {"%CtrlDAfter", {"False", "True"}},
    {"%Mirroring", {"False", "True"}},
};

const HostFeature* FindHostFeature(const std::string& keyword)
{
    for (const HostFeature& f : kHostFeatures)
        if (keyword == f.keyword) return &f;
    return nullptr;
}

// The user's DEVMODE of the printer (else the printer's default), split into its parts.
struct UserSettings {
    std::vector<BYTE> pub;  // the public part
    std::vector<std::pair<std::string, std::string>> hostOptions;
    OEMPrivateDevmode record{};
    bool hasRecord = false;
};

std::vector<BYTE> ReadDevMode(HANDLE h, DWORD level)
{
    DWORD needed = 0;
    GetPrinterW(h, level, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (!needed || !GetPrinterW(h, level, buf.data(), needed, &needed)) return {};
    const DEVMODEW* dm = reinterpret_cast<PRINTER_INFO_9W*>(buf.data())->pDevMode;
    if (!dm) return {};
    const BYTE* p = reinterpret_cast<const BYTE*>(dm);
    return std::vector<BYTE>(p, p + dm->dmSize + dm->dmDriverExtra);
}

UserSettings Load(HANDLE h)
{
    std::vector<BYTE> dm = ReadDevMode(h, 9);
    if (dm.empty()) dm = ReadDevMode(h, 8);
    UserSettings s;
    if (dm.size() < sizeof(DEVMODEW)) {
        s.pub.assign(sizeof(DEVMODEW), 0);
        auto* pub = reinterpret_cast<DEVMODEW*>(s.pub.data());
        pub->dmSpecVersion = DM_SPECVERSION;
        pub->dmSize = sizeof(DEVMODEW);
    } else {
        const auto* pub = reinterpret_cast<const DEVMODEW*>(dm.data());
        s.pub.assign(dm.begin(), dm.begin() + pub->dmSize);
        if (const OEMPrivateDevmode* pdm = GetPrivateDevmode(pub)) {
            s.record = *pdm;
            s.hasRecord = true;
        }
        const size_t extra = pub->dmDriverExtra;
        if (extra > sizeof(OEMPrivateDevmode) + 4 && std::memcmp(dm.data() + pub->dmSize, kHostAreaTag, 4) == 0) {
            const std::vector<BYTE> area(dm.begin() + pub->dmSize + 4,
                                         dm.begin() + pub->dmSize + static_cast<long>(extra - sizeof(OEMPrivateDevmode)));
            s.hostOptions = DecodeFeatureKeywords(area);
        }
    }
    if (!s.hasRecord) InitPrivateDevmode(&s.record);
    return s;
}

void Save(const Printer& p, const UserSettings& s)
{
    std::vector<BYTE> host;
    if (!s.hostOptions.empty()) {
        host.assign(kHostAreaTag, kHostAreaTag + 4);
        const std::vector<BYTE> records = EncodeFeatureKeywords(s.hostOptions);
        host.insert(host.end(), records.begin(), records.end());
    }
    std::vector<BYTE> dm = s.pub;
    auto* pub = reinterpret_cast<DEVMODEW*>(dm.data());
    pub->dmDriverExtra = static_cast<WORD>(host.size() + sizeof(OEMPrivateDevmode));
    dm.insert(dm.end(), host.begin(), host.end());
    const BYTE* rec = reinterpret_cast<const BYTE*>(&s.record);
    dm.insert(dm.end(), rec, rec + sizeof s.record);
    PRINTER_INFO_9W info{reinterpret_cast<DEVMODEW*>(dm.data())};
    if (!SetPrinterW(p.get(), 9, reinterpret_cast<BYTE*>(&info), 0))
        throw Failure("cannot store the settings of \"" + p.name() + "\"");
}

// The host's option store as the settings reader sees it.
class StoredHostOptions final : public IHostOptions {
public:
    StoredHostOptions(const UserSettings& s, const std::vector<PpdOption>& ppd, HANDLE h) : s_(s), ppd_(ppd), h_(h) {}
    bool GetOption(LPCSTR pszFeature, LPSTR pszOption, DWORD cbOption) override
    {
        std::string value;
        if (!Find(pszFeature, &value) || value.size() + 1 > cbOption) return false;
        std::memcpy(pszOption, value.c_str(), value.size() + 1);
        return true;
    }

private:
    bool Find(const std::string& feature, std::string* value)
    {
        for (const auto& [k, o] : s_.hostOptions)
            if (k == feature) return *value = o, true;
        if (const HostFeature* f = FindHostFeature(feature)) return *value = f->options[0], true;
        for (const PpdOption& o : ppd_) {
            if (o.keyword != feature) continue;
            if (o.installable) {
                char sz[256];
                if (ReadInstallableOption(h_, feature.c_str(), sz, sizeof sz)) return *value = sz, true;
            }
            return *value = o.defaultChoice, true;
        }
        return false;
    }
    const UserSettings& s_;
    const std::vector<PpdOption>& ppd_;
    HANDLE h_;
};

std::string TypedValueText(const std::string& keyword, SettingsReader& reader)
{
    char sz[SETTINGS_WORK_SIZE] = {};
    if (!reader.GetText(keyword.c_str(), sz, sizeof sz)) throw Failure("cannot read \"" + keyword + "\"");
    return sz;
}

// The value given for a "$" keyword, in the external form of its type.
std::vector<BYTE> ParseDollarValue(const DmKeywordEntry* e, const std::string& text)
{
    auto number = [&](long long lo, long long hi) {
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(text.c_str(), &end, 0);
        if (text.empty() || *end || errno || v < lo || v > hi)
            throw Failure("not a number from " + std::to_string(lo) + " to " + std::to_string(hi) + ": \"" + text + "\"");
        return v;
    };
    std::vector<BYTE> out;
    auto put = [&](long long v, size_t n) {
        for (size_t i = 0; i < n; ++i) out.push_back(static_cast<BYTE>((static_cast<unsigned long long>(v) >> (8 * i)) & 0xFF));
    };
    switch (e->dwType) {
    case DMT_BOOL: {
        long long v;
        if (text == "True" || text == "true" || text == "on") v = 1;
        else if (text == "False" || text == "false" || text == "off") v = 0;
        else v = number(0, 1);
        put(v, 4);
        break;
    }
    case DMT_BYTE: put(number(0, 255), 1); break;
    case DMT_CHAR: put(number(-128, 127), 1); break;
    case DMT_WORD: put(number(0, 65535), 2); break;
    case DMT_SHORT: put(number(-32768, 32767), 2); break;
    case DMT_DWORD: put(number(0, 0xFFFFFFFFll), 4); break;
    case DMT_LONG: put(number(-2147483648ll, 2147483647ll), 4); break;
    case DMT_STRING:
        if (e->pszOptions || e->pfnWriter) {
            out.assign(text.begin(), text.end());
            out.push_back(0);
        } else {
            const DWORD size = DmKeywordSize(e);
            if (text.size() + 1 > size) throw Failure("at most " + std::to_string(size - 1) + " characters: \"" + text + "\"");
            out.assign(size, 0);
            std::memcpy(out.data(), text.data(), text.size());
        }
        break;
    case DMT_WSTRING: {
        const std::u16string w = platform::Widen(text);
        const DWORD size = DmKeywordSize(e);
        if ((w.size() + 1) * 2 > size) throw Failure("at most " + std::to_string(size / 2 - 1) + " characters: \"" + text + "\"");
        out.assign(size, 0);
        std::memcpy(out.data(), w.data(), w.size() * 2);
        break;
    }
    default: {  // DMT_BINARY: hexadecimal bytes
        const DWORD size = DmKeywordSize(e);
        if (text.size() != size * 2 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw Failure("give " + std::to_string(size) + " bytes in hexadecimal: \"" + text + "\"");
        for (size_t i = 0; i < text.size(); i += 2) out.push_back(static_cast<BYTE>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    }
    return out;
}

std::string OptionList(const std::vector<std::string>& choices)
{
    std::string s;
    for (const std::string& c : choices) s += (s.empty() ? "" : ", ") + c;
    return s;
}

int Get(Args args)
{
    const std::string name = TakeOption(args, "--printer");
    ExpectArgs(args, 1, 1, "settings get [--printer NAME] KEYWORD");
    Printer p(ResolvePrinter(name));
    UserSettings s = Load(p.get());
    const std::vector<PpdOption> ppd = ReadPpdOptions(p.DataFile());
    PrinterDataReader data(p.get());
    auto* pre = new PreConfigList;
    pre->Load(p.get());
    StoredHostOptions host(s, ppd, p.get());
    SettingsReader reader(&s.record, p.get(), pre, &data, &host);
    const std::string& keyword = args[0];
    if (keyword[0] == '$') {
        if (!FindDmKeyword(keyword.c_str())) throw Failure("unknown keyword \"" + keyword + "\"");
        std::printf("%s\n", TypedValueText(keyword, reader).c_str());
        return 0;
    }
    char sz[SETTINGS_WORK_SIZE] = {};
    if (!reader.ReadOption(keyword.c_str(), sz, sizeof sz)) throw Failure("unknown keyword \"" + keyword + "\"");
    std::printf("%s\n", sz);
    return 0;
}

int Set(Args args)
{
    const std::string name = TakeOption(args, "--printer");
    ExpectArgs(args, 2, 2, "settings set [--printer NAME] KEYWORD VALUE");
    Printer p(ResolvePrinter(name));
    UserSettings s = Load(p.get());
    const std::string& keyword = args[0];
    const std::string& value = args[1];
    if (keyword[0] == '$') {
        const DmKeywordEntry* e = FindDmKeyword(keyword.c_str());
        if (!e) throw Failure("unknown keyword \"" + keyword + "\"");
        if (e->pszOptions && DmOptionIndex(e->pszOptions, value.c_str()) < 0) {
            std::vector<std::string> choices;
            for (DWORD i = 0; LPCSTR o = DmOptionName(e->pszOptions, i); ++i) choices.emplace_back(o);
            throw Failure("\"" + value + "\" is not an option of " + keyword + " (" + OptionList(choices) + ")");
        }
        const std::vector<BYTE> bytes = ParseDollarValue(e, value);
        if (!SetDmKeyword(&s.record, keyword.c_str(), bytes.data()))
            throw Failure("\"" + value + "\" is not a value of " + keyword);
        Save(p, s);
        return 0;
    }
    if (const HostFeature* f = FindHostFeature(keyword)) {
        std::vector<std::string> choices;
        for (const char* o : f->options)
            if (o) choices.emplace_back(o);
        bool ok = false;
        for (const std::string& c : choices) ok = ok || c == value;
        if (!ok) throw Failure("\"" + value + "\" is not an option of " + keyword + " (" + OptionList(choices) + ")");
    } else {
        char szPrefix[KW_PREFIX_SIZE] = {}, szMapped[256];
        GetPpdKeywordPrefix(p.get(), szPrefix);
        MapKeywordToPpd(keyword.c_str(), szPrefix, szMapped, sizeof szMapped);
        const std::vector<PpdOption> ppd = ReadPpdOptions(p.DataFile());
        const PpdOption* found = nullptr;
        for (const PpdOption& o : ppd)
            if (o.keyword == szMapped) found = &o;
        if (!found) throw Failure("unknown keyword \"" + keyword + "\"");
        bool ok = false;
        for (const std::string& c : found->choices) ok = ok || c == value;
        if (!ok) throw Failure("\"" + value + "\" is not an option of " + keyword + " (" + OptionList(found->choices) + ")");
        if (found->installable) {
            // Printer-sticky: the host keeps it in the printer's FeatureKeyword data.
            Printer admin(p.name(), PRINTER_ALL_ACCESS);
            DWORD type = 0, needed = 0;
            GetPrinterDataW(admin.get(), u"FeatureKeyword", &type, nullptr, 0, &needed);
            std::vector<BYTE> fk(needed);
            if (needed) GetPrinterDataW(admin.get(), u"FeatureKeyword", &type, fk.data(), needed, &needed);
            auto records = DecodeFeatureKeywords(fk);
            bool replaced = false;
            for (auto& r : records)
                if (r.first == szMapped) r.second = value, replaced = true;
            if (!replaced) records.emplace_back(szMapped, value);
            const std::vector<BYTE> out = EncodeFeatureKeywords(records);
            const DWORD size = static_cast<DWORD>(out.size());
            if (SetPrinterDataW(admin.get(), u"FeatureKeyword", REG_BINARY, out.data(), size) != ERROR_SUCCESS ||
                SetPrinterDataW(admin.get(), u"FeatureKeywordSize", REG_DWORD, reinterpret_cast<const BYTE*>(&size), 4) !=
                    ERROR_SUCCESS)
                throw Failure("cannot store the installable option " + keyword);
            return 0;
        }
        bool replaced = false;
        for (auto& r : s.hostOptions)
            if (r.first == szMapped) r.second = value, replaced = true;
        if (!replaced) s.hostOptions.emplace_back(szMapped, value);
        Save(p, s);
        return 0;
    }
    bool replaced = false;
    for (auto& r : s.hostOptions)
        if (r.first == keyword) r.second = value, replaced = true;
    if (!replaced) s.hostOptions.emplace_back(keyword, value);
    Save(p, s);
    return 0;
}

int Show(Args args)
{
    const std::string name = TakeOption(args, "--printer");
    ExpectArgs(args, 0, 0, "settings show [--printer NAME]");
    Printer p(ResolvePrinter(name));
    UserSettings s = Load(p.get());
    PrinterDataReader data(p.get());
    auto* pre = new PreConfigList;
    pre->Load(p.get());
    SettingsReader reader(&s.record, p.get(), pre, &data);
    for (const DmKeywordEntry* e = GetDmKeywordTable(); e->pszKeyword; ++e) {
        char sz[SETTINGS_WORK_SIZE] = {};
        if (e->dwType == DMT_BINARY) {
            BYTE raw[SETTINGS_WORK_SIZE] = {};
            DWORD type = 0;
            std::string hex;
            if (GetDmKeyword(&s.record, e->pszKeyword, &type, raw, sizeof raw))
                for (DWORD i = 0; i < DmKeywordSize(e); ++i) {
                    char b[4];
                    std::snprintf(b, sizeof b, "%02X", raw[i]);
                    hex += b;
                }
            std::printf("%-32s %s\n", e->pszKeyword, hex.c_str());
            continue;
        }
        if (!reader.GetText(e->pszKeyword, sz, sizeof sz)) std::snprintf(sz, sizeof sz, "(unreadable)");
        std::printf("%-32s %s\n", e->pszKeyword, sz);
    }
    return 0;
}

}  // namespace

int SettingsCommand(const Args& args)
{
    if (args.empty()) throw UsageError("usage: lumeno settings get|set|show ...");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "get") return Get(rest);
    if (args[0] == "set") return Set(rest);
    if (args[0] == "show") return Show(rest);
    throw UsageError("unknown settings command \"" + args[0] + "\"");
}

}  // namespace lumeno
