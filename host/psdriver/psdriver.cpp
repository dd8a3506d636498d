#include "psdriver.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "../hostcore.h"
#include "common/devmode.h"
#include "platform/spooljob.h"
#include "platform/spooler.h"
#include "platform/store.h"
#include "platform/win32.h"
#include "ppdcore.h"

namespace psdriver {

namespace {

constexpr DWORD kHostExtraSignature = 0x4C4D4E48;  // "HNML"
constexpr DWORD kHostExtraSize = 2048;
constexpr ULONG kPrivateEscape = 0x4B545056;
constexpr DWORD kJobInfoTag = 0x4B545053;
constexpr size_t kChunk = 256 * 1024;

// The host's own block in the DEVMODE's driver-extra area: its options and the chosen PPD
// options as "key=value" lines.
struct HostExtra {
    DWORD dwSignature;
    DWORD dwSize;
    char szOptions[kHostExtraSize - 8];
};
static_assert(sizeof(HostExtra) == kHostExtraSize);

const std::pair<const char*, const char*> kHostDefaults[] = {
    {"%Orientation", "Portrait"},  {"%PagePerSheet", "1"},      {"%PageOrder", "FrontToBack"},
    {"%OutputFormat", "Speed"},    {"%MetafileSpooling", "False"}, {"%CtrlDAfter", "False"},
    {"%Mirroring", "False"},       {"%CustomPageSize", "False"},
};

const char kProlog[] =
    "/featurebegin{countdictstack mark}bind def\r\n"
    "/featurecleanup{stopped{(%%[ Lumeno: a feature failed ]%%)= flush}if cleartomark countdictstack exch sub dup 0 gt"
    "{{end}repeat}{pop}ifelse}bind def\r\n"
    "/mysetup [1 0 0 1 0 0] def\r\n"
    "/colspRefresh{}bind def\r\n"
    "/startpage{gsave}bind def\r\n"
    "/d{def}bind def\r\n";

std::u16string W(const std::string& s) { return platform::Widen(s); }

bool StartsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

std::string FileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A buffered reader of lines (a line keeps its end), in constant memory.
class LineReader {
public:
    explicit LineReader(FILE* f) : m_f(f), m_buf(1 << 20) {}
    bool Next(std::string* line)
    {
        line->clear();
        for (;;) {
            if (m_pos == m_len) {
                m_len = std::fread(m_buf.data(), 1, m_buf.size(), m_f);
                m_pos = 0;
                if (m_len == 0) return !line->empty();
            }
            const char* start = m_buf.data() + m_pos;
            const void* nl = std::memchr(start, '\n', m_len - m_pos);
            const size_t n = nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) + 1 : m_len - m_pos;
            line->append(start, n);
            m_pos += n;
            if (nl) return true;
            if (line->size() > (64u << 20)) return true;  // a line without end: pass it on in pieces
        }
    }

private:
    FILE* m_f;
    std::vector<char> m_buf;
    size_t m_pos = 0, m_len = 0;
};

struct Host;
Host* g_host = nullptr;  // the device's host, reached from its own DDI entries

BOOL HostStartDoc(SURFOBJ*, LPWSTR, DWORD) { return TRUE; }
BOOL HostEndDoc(SURFOBJ*, ULONG) { return TRUE; }
BOOL HostSendPage(SURFOBJ*) { return TRUE; }
ULONG HostEscape(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }

struct Host {
    PrintResult* result = nullptr;
    HANDLE hPrinter = nullptr;
    ppd_file_t* ppd = nullptr;
    std::unique_ptr<PpdCore> core;
    HMODULE hPlugin = nullptr;
    IPrintOemPS* oem = nullptr;
    IPrintOemPS2* oem2 = nullptr;
    std::vector<BYTE> devmode;
    DEVOBJ devobj{};
    SURFOBJ surf{};
    PFN_DrvStartDoc startDoc = nullptr;
    PFN_DrvEndDoc endDoc = nullptr;
    PFN_DrvSendPage sendPage = nullptr;
    PFN_DrvEscape escape = nullptr;
    std::string out;  // the driver's pending output
    bool inCommand = false;
    bool writeFailed = false;

    ~Host()
    {
        if (oem2) oem2->Release();
        if (oem) oem->Release();
        if (hPlugin) FreeLibrary(hPlugin);
        if (ppd) ppdClose(ppd);
        if (hPrinter) ClosePrinter(hPrinter);
        g_host = nullptr;
    }

    DEVMODEW* Public() { return reinterpret_cast<DEVMODEW*>(devmode.data()); }
    HostExtra* Extra() { return reinterpret_cast<HostExtra*>(devmode.data() + DEVMODE_PUBLIC_SIZE); }
    OEMPrivateDevmode* Private() { return reinterpret_cast<OEMPrivateDevmode*>(devmode.data() + DEVMODE_PUBLIC_SIZE + kHostExtraSize); }

    // Bytes of the driver's stream: through the plug-in's WritePrinter when it asked for it.
    bool Emit(const void* data, DWORD cb)
    {
        if (!cb) return true;
        if (inCommand && cb >= 24 && std::memcmp(data, "%-OEMPluginInsertBegin\r\n", 24) == 0) ++result->fragments;
        DWORD written = 0;
        if (oem2) {
            if (FAILED(oem2->WritePrinter(&devobj, const_cast<void*>(data), cb, &written)) || written != cb) writeFailed = true;
        } else if (!::WritePrinter(hPrinter, const_cast<void*>(data), cb, &written)) {
            writeFailed = true;
        }
        return !writeFailed;
    }
    void Put(const std::string& s)
    {
        out += s;
        if (out.size() >= kChunk) Drain();
    }
    void Drain()
    {
        if (!out.empty()) Emit(out.data(), static_cast<DWORD>(out.size()));
        out.clear();
    }
    void Inject(DWORD index)
    {
        Drain();
        DWORD dwResult = 0;
        inCommand = true;
        oem->Command(&devobj, index, nullptr, 0, &dwResult);
        inCommand = false;
    }
};

bool Fail(PrintResult* r, const std::string& why)
{
    r->error = why;
    return false;
}

bool SetPrivateKeyword(OEMPrivateDevmode* pdm, const std::string& key, const std::string& value, std::string* error)
{
    const DmKeywordEntry* e = FindDmKeyword(key.c_str());
    if (!e) {
        *error = "unknown setting " + key;
        return false;
    }
    BOOL ok = FALSE;
    if (e->dwType == DMT_STRING || e->pfnWriter) {
        ok = SetDmKeyword(pdm, key.c_str(), value.c_str());
    } else if (e->dwType == DMT_BOOL) {
        const DWORD v = (value == "True" || value == "true" || value == "on" || value == "1") ? 0xFFFFFFFF : 0;
        ok = SetDmKeyword(pdm, key.c_str(), &v);
    } else if (e->dwType == DMT_WSTRING) {
        std::u16string w = W(value);
        w.resize(DmKeywordSize(e) / 2 + 1);
        ok = SetDmKeyword(pdm, key.c_str(), w.c_str());
    } else if (e->dwType == DMT_BINARY) {
        ok = FALSE;
    } else {
        char* end = nullptr;
        const long long v = std::strtoll(value.c_str(), &end, 0);
        if (value.empty() || *end) {
            *error = "not a number: " + key + "=" + value;
            return false;
        }
        BYTE raw[8] = {};
        std::memcpy(raw, &v, sizeof(raw) < 8 ? sizeof(raw) : 8);
        ok = SetDmKeyword(pdm, key.c_str(), raw);
    }
    if (!ok) *error = "cannot set " + key + "=" + value;
    return ok;
}

void UpdatePaper(Host& h)
{
    DEVMODEW* dm = h.Public();
    ppd_choice_t* c = ppdFindMarkedChoice(h.ppd, "PageSize");
    ppd_size_t* s = c ? ppdPageSize(h.ppd, c->choice) : nullptr;
    if (!s) return;
    dm->dmPaperWidth = static_cast<SHORT>(s->width * 254.0f / 72.0f + 0.5f);
    dm->dmPaperLength = static_cast<SHORT>(s->length * 254.0f / 72.0f + 0.5f);
    const std::string name = c->choice;
    dm->dmPaperSize = name == "A4" ? DMPAPER_A4 : name == "Letter" ? DMPAPER_LETTER : name == "Legal" ? DMPAPER_LEGAL
                    : name == "A3" ? 8 : name == "A5" ? 11 : name == "B4" ? 12 : name == "B5" ? 13 : 256;
    std::memset(dm->dmFormName, 0, sizeof(dm->dmFormName));
    const std::u16string w = W(c->text);
    lstrcpynW(dm->dmFormName, w.c_str(), CCHFORMNAME);
    dm->dmFields |= DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME;
}

void SaveHostExtra(Host& h)
{
    std::string text;
    for (const auto& [k, v] : h.core->hostOptions) text += k + "=" + v + "\n";
    for (int g = 0; g < h.ppd->num_groups; ++g)
        for (int o = 0; o < h.ppd->groups[g].num_options; ++o) {
            ppd_option_t* opt = &h.ppd->groups[g].options[o];
            ppd_choice_t* c = ppdFindMarkedChoice(h.ppd, opt->keyword);
            if (c) text += std::string(opt->keyword) + "=" + c->choice + "\n";
        }
    HostExtra* x = h.Extra();
    x->dwSignature = kHostExtraSignature;
    x->dwSize = kHostExtraSize;
    std::memset(x->szOptions, 0, sizeof(x->szOptions));
    std::memcpy(x->szOptions, text.data(), std::min(text.size(), sizeof(x->szOptions) - 1));
}

void LoadHostExtra(Host& h, const HostExtra* x)
{
    if (x->dwSignature != kHostExtraSignature || x->dwSize != kHostExtraSize) return;
    std::string text(x->szOptions, strnlen(x->szOptions, sizeof(x->szOptions)));
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        const std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string k = line.substr(0, eq), v = line.substr(eq + 1);
        if (StartsWith(k, "%")) h.core->hostOptions[k] = v;
        else if (ppdFindChoice(ppdFindOption(h.ppd, k.c_str()), v.c_str())) ppdMarkOption(h.ppd, k.c_str(), v.c_str());
    }
}

bool BuildDevmode(Host& h, const PrintRequest& req, std::string* error)
{
    OEMDMPARAM param{};
    param.cbSize = sizeof(param);
    param.hPrinter = h.hPrinter;
    param.hModule = h.hPlugin;
    if (FAILED(h.oem->DevMode(OEMDM_SIZE, &param)) || param.cbBufSize != OEM_PRIVATE_DEVMODE_SIZE) {
        *error = "the plug-in's private DEVMODE has an unexpected size";
        return false;
    }
    h.devmode.assign(DEVMODE_PUBLIC_SIZE + kHostExtraSize + param.cbBufSize, 0);
    DEVMODEW* dm = h.Public();
    const std::u16string name = W(h.result->printer);
    lstrcpynW(dm->dmDeviceName, name.c_str(), CCHDEVICENAME);
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmDriverVersion = 0x0600;
    dm->dmSize = DEVMODE_PUBLIC_SIZE;
    dm->dmDriverExtra = static_cast<WORD>(kHostExtraSize + param.cbBufSize);
    dm->dmFields = DM_ORIENTATION | DM_COPIES | DM_COLLATE | DM_COLOR;
    dm->dmOrientation = DMORIENT_PORTRAIT;
    dm->dmCopies = 1;
    dm->dmCollate = DMCOLLATE_FALSE;
    dm->dmColor = h.ppd->color_device ? DMCOLOR_COLOR : DMCOLOR_MONOCHROME;
    dm->dmScale = 100;
    dm->dmPrintQuality = 600;
    dm->dmYResolution = 600;
    param.pPublicDMIn = param.pPublicDMOut = dm;
    param.pOEMDMOut = h.Private();
    param.cbBufSize = OEM_PRIVATE_DEVMODE_SIZE;
    if (FAILED(h.oem->DevMode(OEMDM_DEFAULT, &param))) {
        *error = "the plug-in refused its default DEVMODE";
        return false;
    }
    // The user's DEVMODE of the printer (else the printer's default), when it is one of ours.
    for (DWORD level : {9u, 8u}) {
        DWORD cb = 0;
        GetPrinterW(h.hPrinter, level, nullptr, 0, &cb);
        if (!cb) continue;
        std::vector<BYTE> buf(cb);
        if (!GetPrinterW(h.hPrinter, level, buf.data(), cb, &cb)) continue;
        DEVMODEW* user = reinterpret_cast<PRINTER_INFO_9W*>(buf.data())->pDevMode;
        if (!user || user->dmSize != DEVMODE_PUBLIC_SIZE) continue;
        const WORD extra = dm->dmDriverExtra;
        const WORD userExtraSize = user->dmDriverExtra;
        std::memcpy(dm, user, DEVMODE_PUBLIC_SIZE);
        dm->dmDriverExtra = extra;
        if (userExtraSize == extra)
            LoadHostExtra(h, reinterpret_cast<const HostExtra*>(reinterpret_cast<BYTE*>(user) + DEVMODE_PUBLIC_SIZE));
        OEMPrivateDevmode* userPrivate = GetPrivateDevmode(user);
        if (userPrivate) {
            param.pOEMDMIn = userPrivate;
            param.pPublicDMIn = user;
            h.oem->DevMode(OEMDM_MERGE, &param);
            param.pPublicDMIn = dm;
        }
        break;
    }
    // The command line wins.
    for (const auto& [key, value] : req.options) {
        if (StartsWith(key, "$")) {
            if (!SetPrivateKeyword(h.Private(), key, value, error)) return false;
        } else if (StartsWith(key, "%")) {
            h.core->hostOptions[key] = value;
        } else {
            ppd_option_t* o = ppdFindOption(h.ppd, key.c_str());
            if (!o) {
                *error = "the printer has no feature " + key;
                return false;
            }
            if (!ppdFindChoice(o, value.c_str())) {
                *error = "feature " + key + " has no option " + value;
                return false;
            }
            ppdMarkOption(h.ppd, key.c_str(), value.c_str());
        }
    }
    const std::string orient = h.core->Option("%Orientation");
    dm->dmOrientation = orient == "Portrait" ? DMORIENT_PORTRAIT : DMORIENT_LANDSCAPE;
    UpdatePaper(h);
    SaveHostExtra(h);
    return true;
}

std::string JobInfoBlock(const std::vector<std::pair<int, std::string>>& items)
{
    std::string records;
    DWORD n = 0;
    auto put32 = [](std::string& s, DWORD v) {
        for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    for (const auto& [index, text] : items) {
        put32(records, static_cast<DWORD>(index));
        put32(records, 4);  // text
        put32(records, static_cast<DWORD>(text.size() + 1));
        records += text;
        records.push_back('\0');
        ++n;
    }
    std::string block;
    put32(block, kJobInfoTag);
    put32(block, 0x4B744A49);
    put32(block, 1);
    put32(block, n);
    put32(block, static_cast<DWORD>(records.size()));
    return block + records;
}

// A feature invocation as the driver writes it, each in its own failure bracket.
std::string FeatureInvocation(const ppd_option_t* opt, const ppd_choice_t* c)
{
    return std::string("featurebegin{\r\n%%BeginFeature: *") + opt->keyword + " " + c->choice + "\r\n" + c->code +
           "\r\n%%EndFeature\r\n}featurecleanup\r\n";
}

bool IsSetupFeature(const ppd_group_t& group, const ppd_option_t& opt)
{
    if (std::strcmp(opt.keyword, "PageRegion") == 0) return false;
    if (opt.section == PPD_ORDER_EXIT || opt.section == PPD_ORDER_JCL) return false;
    return std::string(group.name) != "InstallableOptions";
}

void WriteFeatures(Host& h)
{
    // The document setup invokes every chosen option that has code, in the order the PPD's
    // OrderDependency gives (the PPD's own order among equal numbers), as CUPS emits them.
    std::vector<std::pair<const ppd_option_t*, const ppd_choice_t*>> chosen;
    for (int g = 0; g < h.ppd->num_groups; ++g) {
        for (int o = 0; o < h.ppd->groups[g].num_options; ++o) {
            const ppd_option_t* opt = &h.ppd->groups[g].options[o];
            if (!IsSetupFeature(h.ppd->groups[g], *opt)) continue;
            const ppd_choice_t* c = ppdFindMarkedChoice(h.ppd, opt->keyword);
            if (c && c->code && *c->code) chosen.emplace_back(opt, c);
        }
    }
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const auto& a, const auto& b) { return a.first->order < b.first->order; });
    for (const auto& [opt, c] : chosen) h.Put(FeatureInvocation(opt, c));
}

// Paper a page asks for in its own page setup: "%%BeginFeature: *PageSize A5" (or PageRegion,
// or IncludeFeature), "*InputSlot Tray2", or "%%PageMedia: NAME" with NAME a PageSize option
// or a medium of the document's "%%DocumentMedia" whose dimensions match one.
struct PageMedia {
    std::string pageSize, inputSlot;
    bool Empty() const { return pageSize.empty() && inputSlot.empty(); }
};

struct DocumentMedium {
    std::string name;
    float width = 0, length = 0;
};

std::string TrimLineEnd(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

// "%%DocumentMedia: name width height weight colour type" (or a "%%+" line of it).
bool ParseDocumentMedium(const std::string& line, DocumentMedium* m)
{
    const size_t colon = line.find(':');
    const std::string rest = StartsWith(line, "%%+") ? line.substr(3) : colon == std::string::npos ? "" : line.substr(colon + 1);
    char name[128] = {};
    if (std::sscanf(rest.c_str(), " %127s %f %f", name, &m->width, &m->length) != 3) return false;
    m->name = name;
    return true;
}

std::string PpdSizeOfMedium(ppd_file_t* ppd, const std::string& medium, const std::vector<DocumentMedium>& media)
{
    if (ppdPageSize(ppd, medium.c_str())) return medium;
    for (const DocumentMedium& m : media) {
        if (m.name != medium) continue;
        for (int i = 0; i < ppd->num_sizes; ++i) {
            const ppd_size_t& s = ppd->sizes[i];
            if (std::fabs(s.width - m.width) <= 1.0f && std::fabs(s.length - m.length) <= 1.0f) return s.name;
        }
    }
    return {};
}

// The feature a page-setup comment asks for ("PageSize"/"InputSlot"), with its option.
bool PageFeatureOf(const std::string& line, std::string* feature, std::string* option)
{
    const char* const kPrefixes[] = {"%%BeginFeature: *", "%%IncludeFeature: *"};
    for (const char* prefix : kPrefixes) {
        if (!StartsWith(line, prefix)) continue;
        char key[64] = {}, value[128] = {};
        if (std::sscanf(line.c_str() + std::strlen(prefix), "%63s %127s", key, value) != 2) return false;
        *feature = std::strcmp(key, "PageRegion") == 0 ? "PageSize" : key;
        *option = value;
        return *feature == "PageSize" || *feature == "InputSlot";
    }
    return false;
}

// The setup's paper choices, restored before each page applies its own.
struct PaperChoices {
    std::string pageSize, inputSlot;
};

PaperChoices MarkedPaper(ppd_file_t* ppd)
{
    const ppd_choice_t* size = ppdFindMarkedChoice(ppd, "PageSize");
    const ppd_choice_t* slot = ppdFindMarkedChoice(ppd, "InputSlot");
    return {size ? size->choice : "", slot ? slot->choice : ""};
}

void MarkIfKnown(ppd_file_t* ppd, const char* feature, const std::string& option)
{
    if (!option.empty() && ppdFindChoice(ppdFindOption(ppd, feature), option.c_str()))
        ppdMarkOption(ppd, feature, option.c_str());
}

// Takes the page's paper into the PPD marks and the DEVMODE the plug-in reads, and writes the
// invocations of what the page changed.
void ApplyPageMedia(Host& h, const PaperChoices& setup, const PageMedia& page)
{
    MarkIfKnown(h.ppd, "PageSize", setup.pageSize);
    MarkIfKnown(h.ppd, "InputSlot", setup.inputSlot);
    const std::pair<const char*, const std::string*> asked[] = {{"PageSize", &page.pageSize},
                                                                {"InputSlot", &page.inputSlot}};
    for (const auto& [feature, option] : asked) {
        ppd_option_t* opt = ppdFindOption(h.ppd, feature);
        const ppd_choice_t* c = option->empty() ? nullptr : ppdFindChoice(opt, option->c_str());
        if (!c) continue;
        ppdMarkOption(h.ppd, feature, c->choice);
        if (c->code && *c->code) h.Put(FeatureInvocation(opt, c));
    }
    UpdatePaper(h);
}

bool ConvertPdf(const std::string& pdf, std::string* ps, std::string* error)
{
    char tmpl[] = "/tmp/lumeno-pdf-XXXXXX";
    const int fd = mkstemp(tmpl);
    if (fd < 0) {
        *error = "cannot make a temporary file";
        return false;
    }
    close(fd);
    *ps = tmpl;
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string outArg = "-sOutputFile=" + *ps;
        execlp("gs", "gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=ps2write", outArg.c_str(), pdf.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        unlink(ps->c_str());
        *error = "Ghostscript could not convert the PDF document";
        return false;
    }
    return true;
}

// The lines between a document's "%%Page:" and its first drawing line (its page comments and
// page setup), held back so that the paper the page asks for is known before its page setup.
class PageLookahead {
public:
    static constexpr size_t kMaxHeld = 1 << 20;  // a page setup past this is passed on as it is

    bool Active() const { return m_active; }
    void Start(std::string label)
    {
        m_active = true;
        m_inSetup = false;
        m_label = std::move(label);
        m_lines.clear();
        m_bytes = 0;
    }
    // True when the line belongs to the held part.
    bool Take(const std::string& line)
    {
        const bool comment = StartsWith(line, "%%") && !StartsWith(line, "%%Page:") && !StartsWith(line, "%%Trailer");
        if (!(m_inSetup || comment) || m_bytes + line.size() > kMaxHeld) return false;
        if (StartsWith(line, "%%BeginPageSetup")) m_inSetup = true;
        if (StartsWith(line, "%%EndPageSetup")) m_inSetup = false;
        m_lines.push_back(line);
        m_bytes += line.size();
        return true;
    }
    // The paper asked for; the held lines without the feature blocks the host takes over.
    PageMedia Media(ppd_file_t* ppd, const std::vector<DocumentMedium>& media, std::vector<std::string>* rest)
    {
        PageMedia page;
        bool skipping = false;
        for (const std::string& line : m_lines) {
            std::string feature, option;
            if (skipping) {
                skipping = !StartsWith(line, "%%EndFeature");
                continue;
            }
            if (PageFeatureOf(line, &feature, &option)) {
                (feature == "PageSize" ? page.pageSize : page.inputSlot) = option;
                skipping = StartsWith(line, "%%BeginFeature");
                continue;
            }
            if (StartsWith(line, "%%PageMedia:")) {
                char name[128] = {};
                if (std::sscanf(line.c_str() + 12, " %127s", name) == 1) page.pageSize = PpdSizeOfMedium(ppd, name, media);
            }
            rest->push_back(line);
        }
        m_active = false;
        return page;
    }
    const std::string& Label() const { return m_label; }

private:
    bool m_active = false, m_inSetup = false;
    std::string m_label;
    std::vector<std::string> m_lines;
    size_t m_bytes = 0;
};

std::string PageLabel(const std::string& line, int pages)
{
    std::string label = TrimLineEnd(line.substr(7));
    const size_t sp = label.find_first_not_of(' ');
    label = sp == std::string::npos ? std::to_string(pages + 1) : label.substr(sp);
    const size_t blank = label.find(' ');
    if (blank != std::string::npos) label.resize(blank);
    return label;
}

// The document as the driver's stream, with the injection points; DrvSendPage after each page.
void WriteStream(Host& h, FILE* in, const std::string& title)
{
    const std::string format = h.core->Option("%OutputFormat");
    const bool portable = format == "Portability";
    const PaperChoices setupPaper = MarkedPaper(h.ppd);
    std::vector<DocumentMedium> documentMedia;
    h.Inject(PSINJECT_BEGINSTREAM);
    h.Put("%!PS-Adobe-3.0\r\n%%Title: " + title + "\r\n%%Creator: Lumeno 4100 PostScript driver host\r\n"
          "%%Pages: (atend)\r\n%%DocumentSuppliedResources: (atend)\r\n%%EndComments\r\n");
    h.Put("%%BeginDefaults\r\n");
    h.Inject(PSINJECT_BEGINDEFAULTS);
    h.Put("%%EndDefaults\r\n%%BeginProlog\r\n%%BeginResource: procset LumenoDriver 1.0 0\r\n");
    h.Put(kProlog);
    h.Put("%%EndResource\r\n");

    enum { HEADER, PROLOG, BETWEEN, SETUP, PAGE, TRAILER } state = HEADER;
    LineReader reader(in);
    std::string line;
    bool setupDone = false, inDocumentMedia = false;
    int pages = 0;
    PageLookahead lookahead;
    auto endProlog = [&] {
        h.Inject(PSINJECT_ENDPROLOG);
        h.Put("%%EndProlog\r\n%%BeginSetup\r\n");
        h.Inject(PSINJECT_BEGINSETUP);
        WriteFeatures(h);
    };
    auto endSetup = [&] {
        if (setupDone) return;
        setupDone = true;
        h.Inject(PSINJECT_ENDSETUP);
        h.Put("%%EndSetup\r\n");
    };
    auto endPage = [&] {
        h.Put(portable ? "\r\npagesave restore grestore grestore\r\n" : "\r\ngrestore grestore\r\n");
        h.Put("userdict /LumenoSheetSave get restore\r\n%%PageTrailer\r\n");
        h.Drain();
        h.sendPage(&h.surf);
    };
    auto beginPage = [&](const std::string& label, const PageMedia& media) {
        if (state == HEADER || state == PROLOG) endProlog();
        endSetup();
        if (state == PAGE) endPage();
        ++pages;
        h.Put("%%Page: " + label + " " + std::to_string(pages) + "\r\n");
        h.Put("userdict /LumenoSheetSave save put\r\n%%BeginPageSetup\r\n");
        ApplyPageMedia(h, setupPaper, media);
        h.Inject(PSINJECT_BEGINPAGESETUP);
        h.Put(portable ? "startpage\r\ngsave userdict begin /pagesave save def end mysetup concat colspRefresh\r\n"
                       : "startpage\r\ngsave mysetup concat colspRefresh\r\n");
        h.Inject(PSINJECT_ENDPAGESETUP);
        h.Put("%%EndPageSetup\r\n");
        state = PAGE;
    };
    auto releasePage = [&] {
        std::vector<std::string> rest;
        const PageMedia media = lookahead.Media(h.ppd, documentMedia, &rest);
        beginPage(lookahead.Label(), media);
        for (const std::string& held : rest) h.Put(held);
    };
    while (reader.Next(&line)) {
        if (lookahead.Active()) {
            if (lookahead.Take(line)) continue;
            releasePage();
        }
        if (line.size() >= 2 && line[0] == '%' && line[1] == '%') {
            if (StartsWith(line, "%%Page:")) {
                lookahead.Start(PageLabel(line, pages));
                continue;
            }
            if (state == HEADER) {
                DocumentMedium medium;
                if (StartsWith(line, "%%DocumentMedia:")) inDocumentMedia = true;
                else if (!StartsWith(line, "%%+")) inDocumentMedia = false;
                if (inDocumentMedia && ParseDocumentMedium(line, &medium)) documentMedia.push_back(medium);
            }
            if (state == HEADER && (StartsWith(line, "%%EndComments") || line[2] != '+')) {
                if (StartsWith(line, "%%BeginProlog")) state = PROLOG;
                else if (StartsWith(line, "%%BeginSetup")) { endProlog(); state = SETUP; }
                continue;  // the document's own header comments are replaced by the driver's
            }
            if (StartsWith(line, "%%BeginProlog") && state != PAGE) { state = PROLOG; continue; }
            if (StartsWith(line, "%%EndProlog") && state == PROLOG) { endProlog(); state = BETWEEN; continue; }
            if (StartsWith(line, "%%BeginSetup") && (state == BETWEEN || state == HEADER)) { if (state == HEADER) endProlog(); state = SETUP; continue; }
            if (StartsWith(line, "%%EndSetup") && state == SETUP) { endSetup(); state = BETWEEN; continue; }
            if (StartsWith(line, "%%Trailer")) {
                if (state == PAGE) endPage();
                state = TRAILER;
                continue;
            }
            if (StartsWith(line, "%%EOF") || StartsWith(line, "%%Pages:")) continue;
        }
        if (state == HEADER) {
            if (line.empty() || line[0] != '%') {
                // A document without DSC structure is one page.
                beginPage("1", PageMedia{});
                h.Put(line);
            }
            continue;
        }
        if (state == TRAILER) continue;
        h.Put(line);
    }
    if (lookahead.Active()) releasePage();
    if (state == HEADER || state == PROLOG) endProlog();
    endSetup();
    if (state == PAGE) endPage();
    ApplyPageMedia(h, setupPaper, PageMedia{});
    h.Put("%%Trailer\r\n%%Pages: " + std::to_string(pages) + "\r\n%%DocumentSuppliedResources: procset LumenoDriver 1.0 0\r\n");
    h.Inject(PSINJECT_DOCSUPPLIEDRES);
    h.Put("%%EOF\r\n");
    if (h.core->Option("%CtrlDAfter") == "True") h.Put("\x04");
    h.Inject(PSINJECT_ENDSTREAM);
    h.Drain();
    h.result->pages = pages;
}

}  // namespace

std::string DataDirectory()
{
    if (const char* d = std::getenv("LUMENO_DATA_DIR"); d && *d) {
        std::string s = d;
        if (s.back() != '/') s.push_back('/');
        return s;
    }
    return DriverDirectory();
}

bool Print(const PrintRequest& req, PrintResult* result)
{
    *result = PrintResult{};
    std::string error;
    result->printer = req.printer;
    if (result->printer.empty()) return Fail(result, "no printer named");

    auto h = std::make_unique<Host>();
    h->result = result;
    std::u16string printerW = W(result->printer);
    if (!OpenPrinterW(printerW.data(), &h->hPrinter, nullptr)) {
        h->hPrinter = nullptr;
        return Fail(result, "no printer \"" + result->printer + "\"");
    }
    DWORD cb = 0;
    GetPrinterDriverW(h->hPrinter, nullptr, 2, nullptr, 0, &cb);
    std::vector<BYTE> di(cb ? cb : 1);
    if (!cb || !GetPrinterDriverW(h->hPrinter, nullptr, 2, di.data(), cb, &cb))
        return Fail(result, "the printer has no driver record");
    const std::string ppdPath = platform::Narrow(reinterpret_cast<DRIVER_INFO_2W*>(di.data())->pDataFile);
    h->ppd = ppdOpenFile(ppdPath.c_str());
    if (!h->ppd) return Fail(result, "cannot read the printer's PPD " + ppdPath);
    ppdMarkDefaults(h->ppd);
    h->core = std::make_unique<PpdCore>(h->ppd);
    for (const auto& [k, v] : kHostDefaults) h->core->hostOptions[k] = v;
    Host* hp = h.get();
    h->core->writer = [hp](const void* data, DWORD size) {
        hp->Drain();
        return hp->Emit(data, size);
    };

    // The plug-in, as the PostScript driver loads it.
    const std::u16string plugPath = W(DriverDirectory() + "psrendplug.so");
    h->hPlugin = LoadLibraryW(plugPath.c_str());
    if (!h->hPlugin) return Fail(result, "cannot load psrendplug.so from " + DriverDirectory());
    auto getClass = GetProcAddressAs<PFN_DllGetClassObject>(h->hPlugin, "DllGetClassObject");
    IClassFactory* factory = nullptr;
    if (!getClass || FAILED(getClass(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return Fail(result, "psrendplug serves no rendering class");
    const HRESULT hrCreate = factory->CreateInstance(nullptr, IID_IPrintOemPS, reinterpret_cast<void**>(&h->oem));
    factory->Release();
    if (FAILED(hrCreate)) return Fail(result, "cannot create the rendering object");
    if (req.useOemPS2 && FAILED(h->oem->QueryInterface(IID_IPrintOemPS2, reinterpret_cast<void**>(&h->oem2))))
        h->oem2 = nullptr;
    h->oem->PublishDriverInterface(static_cast<IPrintCorePS2*>(h->core.get()));
    DWORD sig = 0, needed = 0;
    if (FAILED(h->oem->GetInfo(OEMGI_GETSIGNATURE, &sig, sizeof(sig), &needed)))
        return Fail(result, "the plug-in does not answer GetInfo");
    if (!BuildDevmode(*h, req, &error)) return Fail(result, error);

    DRVENABLEDATA ded{};
    if (FAILED(h->oem->EnableDriver(DDI_DRIVER_VERSION_NT5, sizeof(ded), &ded))) return Fail(result, "EnableDriver failed");
    // The driver's own DDI entries, and its device object.
    static DRVFN hostFns[] = {{INDEX_DrvStartDoc, reinterpret_cast<PFN>(HostStartDoc)},
                              {INDEX_DrvEndDoc, reinterpret_cast<PFN>(HostEndDoc)},
                              {INDEX_DrvSendPage, reinterpret_cast<PFN>(HostSendPage)},
                              {INDEX_DrvEscape, reinterpret_cast<PFN>(HostEscape)}};
    DRVENABLEDATA hostTable = {DDI_DRIVER_VERSION_NT5, 4, hostFns};
    h->startDoc = HostStartDoc;
    h->endDoc = HostEndDoc;
    h->sendPage = HostSendPage;
    h->escape = HostEscape;
    for (ULONG i = 0; i < ded.c; ++i) {
        switch (ded.pdrvfn[i].iFunc) {
        case INDEX_DrvStartDoc: h->startDoc = reinterpret_cast<PFN_DrvStartDoc>(ded.pdrvfn[i].pfn); break;
        case INDEX_DrvEndDoc: h->endDoc = reinterpret_cast<PFN_DrvEndDoc>(ded.pdrvfn[i].pfn); break;
        case INDEX_DrvSendPage: h->sendPage = reinterpret_cast<PFN_DrvSendPage>(ded.pdrvfn[i].pfn); break;
        case INDEX_DrvEscape: h->escape = reinterpret_cast<PFN_DrvEscape>(ded.pdrvfn[i].pfn); break;
        default: break;
        }
    }
    h->devobj.dwSize = sizeof(DEVOBJ);
    h->devobj.hPrinter = h->hPrinter;
    h->devobj.pPublicDM = h->Public();
    h->devobj.pOEMDM = h->Private();
    h->surf.dhpdev = &h->devobj;
    g_host = h.get();

    // The paper margin: the imageable area of the chosen paper, as the PPD gives it.
    {
        ppd_choice_t* c = ppdFindMarkedChoice(h->ppd, "PageSize");
        ppd_size_t* s = c ? ppdPageSize(h->ppd, c->choice) : nullptr;
        LONG rc[4] = {};
        if (s) {
            auto um = [](float pt) { return static_cast<LONG>(pt * 25400.0f / 72.0f + 0.5f); };
            rc[0] = um(s->left);
            rc[1] = um(s->top);
            rc[2] = um(s->right);
            rc[3] = um(s->bottom);
        }
        BOOL done = FALSE;
        if (h->oem2) h->oem2->GetPDEVAdjustment(&h->devobj, PDEV_ADJUST_PAPER_MARGIN_TYPE, rc, sizeof(rc), &done);
    }
    void* pdevOem = nullptr;
    if (FAILED(h->oem->EnablePDEV(&h->devobj, printerW.data(), 0, nullptr, 0, nullptr, 0, nullptr, &hostTable, &pdevOem)) ||
        !pdevOem)
        return Fail(result, "the driver refused the job (see the plug-in's log)");
    h->devobj.pdevOEM = pdevOem;

    // The document.
    std::string input = req.input.empty() ? DataDirectory() + "sample.ps" : req.input;
    std::string converted;
    {
        FILE* probe = std::fopen(input.c_str(), "rb");
        if (!probe) {
            h->oem->DisablePDEV(&h->devobj);
            return Fail(result, "cannot read " + input);
        }
        char magic[5] = {};
        const size_t n = std::fread(magic, 1, 4, probe);
        std::fclose(probe);
        if (n == 4 && std::memcmp(magic, "%PDF", 4) == 0) {
            if (!ConvertPdf(input, &converted, &error)) {
                h->oem->DisablePDEV(&h->devobj);
                return Fail(result, error);
            }
        }
    }
    FILE* in = std::fopen(converted.empty() ? input.c_str() : converted.c_str(), "rb");
    if (!in) {
        h->oem->DisablePDEV(&h->devobj);
        return Fail(result, "cannot read " + input);
    }
    const std::string title = req.documentName.empty() ? FileName(input) : req.documentName;
    std::u16string docW = W(title), outW = W(req.output), raw = u"RAW";
    DOC_INFO_1W doc = {docW.data(), req.output.empty() ? nullptr : outW.data(), raw.data()};
    const DWORD jobId = StartDocPrinterW(h->hPrinter, 1, reinterpret_cast<BYTE*>(&doc));
    if (!jobId) {
        std::fclose(in);
        if (!converted.empty()) unlink(converted.c_str());
        h->oem->DisablePDEV(&h->devobj);
        return Fail(result, "cannot start the job (error " + std::to_string(GetLastError()) + ")");
    }
    h->startDoc(&h->surf, docW.data(), jobId);
    // The UI plug-in's document event hands its job information over through the escape.
    {
        std::vector<std::pair<int, std::string>> items = req.jobInfo;
        ULONG code = kPrivateEscape;
        if (!items.empty() && h->escape(&h->surf, QUERYESCSUPPORT, sizeof(code), &code, 0, nullptr) == 1) {
            std::string block = JobInfoBlock(items);
            h->escape(&h->surf, kPrivateEscape, static_cast<ULONG>(block.size()), block.data(), 0, nullptr);
        }
    }
    WriteStream(*h, in, title);
    std::fclose(in);
    if (!converted.empty()) unlink(converted.c_str());
    h->endDoc(&h->surf, 0);
    result->bytes = platform::SpooledJobBytes(h->hPrinter);
    bool ok = !h->writeFailed;
    if (ok) {
        ok = EndDocPrinter(h->hPrinter);
        if (!ok) error = "cannot deliver the job (error " + std::to_string(GetLastError()) + ")";
    } else {
        AbortPrinter(h->hPrinter);
        error = "writing the job failed";
    }
    h->oem->DisablePDEV(&h->devobj);
    h->oem->DisableDriver();
    // Facts for the summary.
    {
        char jobType[32] = {};
        GetDmKeyword(h->Private(), "$JobType", nullptr, jobType, sizeof(jobType));
        result->jobType = jobType;
        DWORD type = 0, jcl = 0, need = 0;
        if (GetPrinterDataW(h->hPrinter, u"OEMSupportJCL", &type, reinterpret_cast<BYTE*>(&jcl), sizeof(jcl), &need) ==
            ERROR_SUCCESS)
            result->dialect = (jcl & 0xFFFF) <= 3 ? static_cast<int>(jcl & 0xFFFF) : 0;
        if (!req.output.empty()) result->port = req.output;
        else {
            DWORD cbp = 0;
            GetPrinterW(h->hPrinter, 2, nullptr, 0, &cbp);
            std::vector<BYTE> pi(cbp ? cbp : 1);
            if (cbp && GetPrinterW(h->hPrinter, 2, pi.data(), cbp, &cbp))
                result->port = platform::Narrow(reinterpret_cast<PRINTER_INFO_2W*>(pi.data())->pPortName);
        }
    }
    if (!ok) return Fail(result, error);
    return true;
}

std::string ExtractPostScript(const std::string& job)
{
    size_t begin = 0;
    for (const char* enter : {"@PJL ENTER LANGUAGE=POSTSCRIPT\r\n", "@PL>PostScript\r\n"}) {
        const size_t p = job.find(enter);
        if (p != std::string::npos) {
            begin = p + std::strlen(enter);
            break;
        }
    }
    size_t end = job.rfind("\x1B%-12345X");
    if (end == std::string::npos || end < begin) end = job.size();
    std::string ps = job.substr(begin, end - begin);
    // A Ctrl-D ends a job for a printer; the interpreter reads it as end of file.
    return ps;
}

bool RunGhostscript(const std::string& jobPath, const std::string& device, const std::string& pngPath, std::string* log)
{
    FILE* f = std::fopen(jobPath.c_str(), "rb");
    if (!f) return false;
    std::string job;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) job.append(buf, n);
    std::fclose(f);
    const std::string psPath = jobPath + ".ps";
    {
        FILE* o = std::fopen(psPath.c_str(), "wb");
        if (!o) return false;
        const std::string ps = ExtractPostScript(job);
        std::fwrite(ps.data(), 1, ps.size(), o);
        std::fclose(o);
    }
    const std::string prolog = DataDirectory() + "lumeno-emulation.ps";
    std::string cmd = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=" + device;
    if (!pngPath.empty()) cmd += " -r72 -dFirstPage=1 -dLastPage=1 -sOutputFile='" + pngPath + "'";
    cmd += " '" + prolog + "' '" + psPath + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    std::string out;
    while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
    const int status = pclose(p);
    unlink(psPath.c_str());
    if (log) *log = out;
    return status == 0 && out.find("Error") == std::string::npos && out.find("feature failed") == std::string::npos;
}

}  // namespace psdriver
