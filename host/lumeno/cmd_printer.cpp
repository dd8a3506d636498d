// lumeno printer: printers in the store and their printer data.
// The PPD API is the reference PPD parser, though CUPS marks it deprecated for its own use.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../hostcore.h"
#include "cli.h"
#include "common/coremain.h"
#include "common/devmode.h"
#include "common/modelbinding.h"
#include "common/printerdata.h"
#include "common/settingsreader.h"
#include "platform/win32.h"
#include "printers.h"

namespace lumeno {

const char* const kDefaultPrinterName = "Lumeno 4100DN";

namespace {

std::u16string W(const std::string& s) { return platform::Widen(s); }

std::string ErrorText(DWORD error)
{
    switch (error) {
    case ERROR_INVALID_PRINTER_NAME: return "no such printer";
    case ERROR_ACCESS_DENIED: return "access denied (administrators only)";
    case ERROR_PRINTER_ALREADY_EXISTS: return "a printer of that name exists";
    case ERROR_FILE_NOT_FOUND: return "no such value";
    case ERROR_CANTOPEN: return "the store cannot be opened";
    case ERROR_CANTWRITE: return "the store cannot be written";
    default: return "error " + std::to_string(error);
    }
}

std::vector<BYTE> Bytes(const void* p, size_t n)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    return std::vector<BYTE>(b, b + n);
}

void SetData(HANDLE h, const char* name, DWORD type, const void* data, DWORD size)
{
    const DWORD error = SetPrinterDataW(h, W(name).c_str(), type, static_cast<const BYTE*>(data), size);
    if (error != ERROR_SUCCESS) throw Failure(std::string("printer data \"") + name + "\": " + ErrorText(error));
}

void SetText(HANDLE h, const char* name, const std::string& text)
{
    const std::u16string wide = W(text);
    SetData(h, name, REG_SZ, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * 2));
}

void SetDword(HANDLE h, const char* name, DWORD value) { SetData(h, name, REG_DWORD, &value, 4); }

std::string NewGuidText()
{
    GUID g{};
    const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        if (read(fd, &g, sizeof g) != static_cast<ssize_t>(sizeof g)) std::memset(&g, 0, sizeof g);
        close(fd);
    }
    g.Data3 = static_cast<uint16_t>((g.Data3 & 0x0FFF) | 0x4000);  // a random (version 4) UUID
    g.Data4[0] = static_cast<uint8_t>((g.Data4[0] & 0x3F) | 0x80);
    char text[39];
    GuidToString(g, text);
    return text;
}

bool IsNetworkPort(std::string port)
{
    for (char& c : port) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (port.empty() || port.back() != ':') port += ':';
    auto digitsThenColon = [&](size_t from) {
        size_t i = from;
        while (i < port.size() && std::isdigit(static_cast<unsigned char>(port[i]))) ++i;
        return i > from && i + 1 == port.size() && port[i] == ':';
    };
    if (port.rfind("FILE:", 0) == 0 || port.rfind("KTUSB", 0) == 0 || port.rfind("\\\\", 0) == 0) return false;
    if ((port.rfind("COM", 0) == 0 || port.rfind("LPT", 0) == 0) && digitsThenColon(3)) return false;
    if (port.rfind("USB", 0) == 0 && port.size() >= 6 && std::isdigit(static_cast<unsigned char>(port[3])) &&
        std::isdigit(static_cast<unsigned char>(port[4])) && std::isdigit(static_cast<unsigned char>(port[5])) &&
        (port.size() == 6 || port[6] == ',' || (port[6] == ':' && port.size() == 7)))
        return false;
    return true;
}

// The values the UI plug-in's printer initialisation stores, taken from the model library.
void StoreStartValues(HANDLE h, const std::string& port)
{
    SetText(h, "SPLUserModePrinterDriver", "psuiplug.so");
    char szProduct[65] = {};
    DWORD cbProduct = sizeof szProduct;
    if (!GetPpdProductName(h, szProduct, &cbProduct)) throw Failure("the PPD names no product (*Product)");
    WORD wModel = 0;
    if (!CallModelFunction(KTPS_PRNFUNC_GETPRINTERTYPE, 0, szProduct, &wModel) || wModel == 0)
        throw Failure(std::string("the model library does not know the product \"") + szProduct + "\"");
    SetText(h, "OEMPrinterID", NewGuidText());
    DWORD dwMask = 0;
    if (!CallModelFunction(OUPF_FUNCID_GETCAPABILITY, wModel, nullptr, &dwMask)) dwMask = 0;
    DWORD adwCapability[4] = {dwMask, 0, 0, 0};
    SetData(h, "OEMSupportCapability", REG_BINARY, adwCapability, sizeof adwCapability);
    const BYTE bTool = (dwMask & 0x00100000) ? 1 : 0;
    SetData(h, "SupportJobOwnerTool", REG_BINARY, &bTool, 1);
    WORD w = 0;
    SetDword(h, "OEMSupportJCL", CallModelFunction(OUPF_FUNCID_GETSUPPORTTYPE_JCL, wModel, nullptr, &w) ? w : 1);
    w = 0;
    DWORD dwBrantel = 0;
    if (CallModelFunction(OUPF_FUNCID_GETSUPPORTTYPE_BRANTEL, wModel, nullptr, &w))
        dwBrantel = w;
    else if (DWORD dwZr = 0; CallModelFunction(101, wModel, nullptr, &dwZr))
        dwBrantel = dwZr ? 1 : 0;
    SetDword(h, "OEMSupportBrantel", dwBrantel);
    w = 0;
    SetDword(h, "OEMSupportSecurePrint",
             CallModelFunction(OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT, wModel, nullptr, &w) ? w : 0);
    WCHAR szKey[MAX_PATH] = {};
    LoadStringW(g_Core.hInstance, IDS_DRIVER_REGISTRY_KEY, szKey, MAX_PATH);
    WCHAR szId[64] = {};
    DWORD type = 0, needed = 0;
    GetPrinterDataW(h, u"OEMPrinterID", &type, reinterpret_cast<BYTE*>(szId), sizeof szId - 2, &needed);
    SetText(h, "UserEntrySubPath", platform::Narrow(szKey) + "PrinterDriverData\\" + platform::Narrow(szId));
    SetText(h, "OEMCommunityName", "");
    SetText(h, "OEMNetAddress", "");
    if (dwMask & 0x1000) {
        SetText(h, "OEMLastCheckedPort", port);
        SetDword(h, "Protocol", IsNetworkPort(port) ? 16 : 0);
    }
}

// The printer's default DEVMODE: the public part and the private record with its start values.
std::vector<BYTE> DefaultDevMode(const std::string& name, HANDLE h)
{
    std::vector<BYTE> dm(sizeof(DEVMODEW) + sizeof(OEMPrivateDevmode));
    auto* pub = reinterpret_cast<DEVMODEW*>(dm.data());
    lstrcpynW(pub->dmDeviceName, W(name).c_str(), CCHDEVICENAME);
    pub->dmSpecVersion = DM_SPECVERSION;
    pub->dmSize = sizeof(DEVMODEW);
    pub->dmDriverExtra = sizeof(OEMPrivateDevmode);
    pub->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_COLOR | DM_DUPLEX;
    pub->dmOrientation = DMORIENT_PORTRAIT;
    pub->dmPaperSize = static_cast<SHORT>(GetLocalePaperSize());
    pub->dmCopies = 1;
    pub->dmColor = DMCOLOR_COLOR;
    pub->dmDuplex = 1;
    auto* pdm = reinterpret_cast<OEMPrivateDevmode*>(dm.data() + sizeof(DEVMODEW));
    InitPrivateDevmode(pdm);
    char szProduct[65] = {};
    DWORD cbProduct = sizeof szProduct;
    WORD wModel = 0;
    if (GetPpdProductName(h, szProduct, &cbProduct)) CallModelFunction(KTPS_PRNFUNC_GETPRINTERTYPE, 0, szProduct, &wModel);
    pdm->wModelId = wModel;
    WCHAR szId[64] = {};
    DWORD type = 0, needed = 0;
    GUID g{};
    if (GetPrinterDataW(h, u"OEMPrinterID", &type, reinterpret_cast<BYTE*>(szId), sizeof szId - 2, &needed) ==
            ERROR_SUCCESS &&
        GuidFromString(platform::Narrow(szId).c_str(), &g))
        std::memcpy(pdm->PrinterId, &g, 16);
    PrinterDataReader data(h);
    const WORD wSecure = data.GetSupportSecurePrint();
    const char* pszDocName = (wSecure == 2 || wSecure == 3 || wSecure == 5 || wSecure == 6) ? "Auto" : "Input";
    SetDmKeyword(pdm, "$SpecifyDocName", pszDocName);
    SetDmKeyword(pdm, "$UnitMargin", data.TestCapability(PDCAP_INCH_MARGINS) ? "inch" : "mm");
    return dm;
}

void PrintValue(const std::string& name, DWORD type, const std::vector<BYTE>& data)
{
    std::string text;
    char buf[16];
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && data.size() >= 2) {
        std::u16string w(data.size() / 2, u'\0');
        std::memcpy(w.data(), data.data(), w.size() * 2);
        if (size_t e = w.find(u'\0'); e != std::u16string::npos) w.resize(e);
        text = platform::Narrow(w);
    } else if (type == REG_MULTI_SZ) {
        std::u16string w(data.size() / 2, u'\0');
        std::memcpy(w.data(), data.data(), w.size() * 2);
        while (!w.empty() && w.back() == 0) w.pop_back();
        for (char16_t c : w) text += c ? platform::Narrow(std::u16string(1, c)) : "\\0";
    } else if (type == REG_DWORD && data.size() == 4) {
        DWORD v;
        std::memcpy(&v, data.data(), 4);
        std::snprintf(buf, sizeof buf, "0x%x", v);
        text = buf;
    } else {
        for (BYTE b : data) {
            std::snprintf(buf, sizeof buf, "%02X", b);
            text += buf;
        }
    }
    const char* typeName = type == REG_SZ ? "REG_SZ" : type == REG_DWORD ? "REG_DWORD" : type == REG_MULTI_SZ ? "REG_MULTI_SZ"
                           : type == REG_BINARY ? "REG_BINARY" : type == REG_EXPAND_SZ ? "REG_EXPAND_SZ" : "REG_NONE";
    std::printf("%s    %s    %s\n", name.c_str(), typeName, text.c_str());
}

std::vector<BYTE> EncodeData(const std::string& type, const std::string& text, DWORD* regType)
{
    auto wideBytes = [](const std::u16string& w) { return Bytes(w.data(), w.size() * 2); };
    if (type == "sz") {
        *regType = REG_SZ;
        return wideBytes(W(text) + u'\0');
    }
    if (type == "dword") {
        *regType = REG_DWORD;
        errno = 0;
        char* end = nullptr;
        const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
        if (text.empty() || text[0] == '-' || *end || errno || v > 0xFFFFFFFFull)
            throw Failure("not a 32-bit number: \"" + text + "\"");
        const DWORD d = static_cast<DWORD>(v);
        return Bytes(&d, 4);
    }
    if (type == "binary") {
        *regType = REG_BINARY;
        std::string digits;
        for (char c : text)
            if (c != ' ' && c != ',') digits.push_back(c);
        if (digits.size() % 2 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw Failure("not hexadecimal bytes: \"" + text + "\"");
        std::vector<BYTE> out;
        for (size_t i = 0; i < digits.size(); i += 2) out.push_back(static_cast<BYTE>(std::stoul(digits.substr(i, 2), nullptr, 16)));
        return out;
    }
    if (type == "multi_sz") {
        *regType = REG_MULTI_SZ;
        std::u16string out;
        size_t start = 0;
        for (;;) {
            const size_t sep = text.find("\\0", start);
            out += W(text.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
            out.push_back(u'\0');
            if (sep == std::string::npos) break;
            start = sep + 2;
        }
        out.push_back(u'\0');
        return wideBytes(out);
    }
    throw UsageError("TYPE is one of sz, dword, binary, multi_sz: \"" + type + "\"");
}

std::vector<BYTE> QueryData(HANDLE h, const std::string& name, DWORD* type)
{
    DWORD needed = 0;
    DWORD error = GetPrinterDataW(h, W(name).c_str(), type, nullptr, 0, &needed);
    std::vector<BYTE> data(needed);
    if (error == ERROR_MORE_DATA) error = GetPrinterDataW(h, W(name).c_str(), type, data.data(), needed, &needed);
    if (error != ERROR_SUCCESS) throw Failure("value \"" + name + "\": " + ErrorText(error));
    return data;
}

int Add(Args args)
{
    const std::string model = TakeOption(args, "--model", kDefaultPrinterName);
    const std::string port = TakeOption(args, "--port", "FILE:");
    const std::string ppd = TakeOption(args, "--ppd");
    ExpectArgs(args, 1, 1, "printer add NAME [--model MODEL] [--port PORT] [--ppd FILE]");
    InstallPrinter(args[0], model, port, ppd);
    std::printf("added %s\n", args[0].c_str());
    return 0;
}

int List(const Args& args)
{
    ExpectArgs(args, 0, 0, "printer list");
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (needed && !EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buf.data(), needed, &needed, &count))
        throw Failure("cannot list the printers: " + ErrorText(GetLastError()));
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buf.data());
    for (DWORD i = 0; needed && i < count; ++i)
        std::printf("%-24s %-20s %s\n", platform::Narrow(info[i].pPrinterName).c_str(),
                    platform::Narrow(info[i].pDriverName).c_str(), platform::Narrow(info[i].pPortName).c_str());
    return 0;
}

int Show(const Args& args)
{
    ExpectArgs(args, 1, 1, "printer show NAME");
    Printer p(args[0]);
    DWORD needed = 0;
    GetPrinterW(p.get(), 2, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed);
    if (!GetPrinterW(p.get(), 2, buf.data(), needed, &needed)) throw Failure("cannot read the printer");
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buf.data());
    std::printf("name        %s\nport        %s\ndriver      %s\nattributes  0x%08X\n",
                platform::Narrow(info->pPrinterName).c_str(), platform::Narrow(info->pPortName).c_str(),
                platform::Narrow(info->pDriverName).c_str(), info->Attributes);
    GetPrinterDriverW(p.get(), nullptr, 3, nullptr, 0, &needed);
    std::vector<BYTE> drv(needed);
    if (GetPrinterDriverW(p.get(), nullptr, 3, drv.data(), needed, &needed)) {
        const auto* d = reinterpret_cast<const DRIVER_INFO_3W*>(drv.data());
        std::printf("data file   %s\ndriver file %s\nconfig file %s\nhelp file   %s\n",
                    platform::Narrow(d->pDataFile).c_str(), platform::Narrow(d->pDriverPath).c_str(),
                    platform::Narrow(d->pConfigFile).c_str(), platform::Narrow(d->pHelpFile).c_str());
        for (LPCWSTR f = d->pDependentFiles; f && *f; f += lstrlenW(f) + 1)
            std::printf("dependent   %s\n", platform::Narrow(f).c_str());
    }
    char szProduct[256];
    DWORD cb = sizeof szProduct;
    if (GetPpdProductName(p.get(), szProduct, &cb)) std::printf("product     %s\n", szProduct);
    return 0;
}

int Delete(const Args& args)
{
    ExpectArgs(args, 1, 1, "printer delete NAME");
    Printer p(args[0], PRINTER_ALL_ACCESS);
    if (!DeletePrinter(p.get())) throw Failure(args[0] + ": " + ErrorText(GetLastError()));
    std::printf("deleted %s\n", args[0].c_str());
    return 0;
}

int Data(const Args& args)
{
    if (args.empty()) throw UsageError("usage: lumeno printer data list|get|set|delete PRINTER ...");
    const std::string op = args[0];
    const Args rest(args.begin() + 1, args.end());
    if (op == "list") {
        ExpectArgs(rest, 1, 1, "printer data list PRINTER");
        Printer p(rest[0]);
        for (DWORD i = 0;; ++i) {
            WCHAR name[1024];
            DWORD cbName = 0, type = 0, cbData = 0;
            std::vector<BYTE> data(1);
            DWORD e = EnumPrinterDataW(p.get(), i, name, sizeof name, &cbName, &type, data.data(), 0, &cbData);
            if (e == ERROR_NO_MORE_ITEMS) break;
            data.resize(cbData ? cbData : 1);
            e = EnumPrinterDataW(p.get(), i, name, sizeof name, &cbName, &type, data.data(), cbData, &cbData);
            if (e != ERROR_SUCCESS) break;
            data.resize(cbData);
            PrintValue(platform::Narrow(name), type, data);
        }
        return 0;
    }
    if (op == "get") {
        ExpectArgs(rest, 2, 2, "printer data get PRINTER VALUE");
        Printer p(rest[0]);
        DWORD type = 0;
        const std::vector<BYTE> data = QueryData(p.get(), rest[1], &type);
        PrintValue(rest[1], type, data);
        return 0;
    }
    if (op == "set") {
        ExpectArgs(rest, 4, 4, "printer data set PRINTER VALUE TYPE DATA");
        DWORD type = 0;
        const std::vector<BYTE> data = EncodeData(rest[2], rest[3], &type);
        Printer p(rest[0], PRINTER_ALL_ACCESS);
        SetData(p.get(), rest[1].c_str(), type, data.data(), static_cast<DWORD>(data.size()));
        return 0;
    }
    if (op == "delete") {
        ExpectArgs(rest, 2, 2, "printer data delete PRINTER VALUE");
        Printer p(rest[0], PRINTER_ALL_ACCESS);
        const DWORD e = DeletePrinterDataW(p.get(), W(rest[1]).c_str());
        if (e != ERROR_SUCCESS) throw Failure("value \"" + rest[1] + "\": " + ErrorText(e));
        return 0;
    }
    throw UsageError("unknown printer data command \"" + op + "\"");
}

}  // namespace

Printer::Printer(const std::string& name, ACCESS_MASK access) : name_(name)
{
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    std::u16string wide = W(name);
    if (!OpenPrinterW(wide.data(), &handle_, &defaults))
        throw Failure("printer \"" + name + "\": " + ErrorText(GetLastError()));
}

Printer::~Printer() { ClosePrinter(handle_); }

std::string Printer::DataFile() const
{
    DWORD needed = 0;
    GetPrinterDriverW(handle_, nullptr, 2, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (!needed || !GetPrinterDriverW(handle_, nullptr, 2, buf.data(), needed, &needed)) return "";
    return platform::Narrow(reinterpret_cast<DRIVER_INFO_2W*>(buf.data())->pDataFile);
}

std::string Printer::DriverName() const
{
    DWORD needed = 0;
    GetPrinterDriverW(handle_, nullptr, 1, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (!needed || !GetPrinterDriverW(handle_, nullptr, 1, buf.data(), needed, &needed)) return "";
    return platform::Narrow(reinterpret_cast<DRIVER_INFO_1W*>(buf.data())->pName);
}

std::string TakeOption(std::vector<std::string>& args, const std::string& name, const std::string& fallback)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != name) continue;
        if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
        const std::string value = args[i + 1];
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        return value;
    }
    return fallback;
}

std::vector<BYTE> EncodeFeatureKeywords(const std::vector<std::pair<std::string, std::string>>& records)
{
    std::vector<BYTE> out;
    for (const auto& [keyword, option] : records) {
        out.insert(out.end(), keyword.begin(), keyword.end());
        out.push_back(0);
        out.insert(out.end(), option.begin(), option.end());
        out.push_back(0);
        out.push_back('\n');
    }
    out.push_back(0);
    return out;
}

std::vector<std::pair<std::string, std::string>> DecodeFeatureKeywords(const std::vector<BYTE>& data)
{
    std::vector<std::pair<std::string, std::string>> out;
    WalkFeatureKeywords(
        data.data(), static_cast<DWORD>(data.size()),
        [](LPCSTR k, LPCSTR o, void* p) {
            static_cast<std::vector<std::pair<std::string, std::string>>*>(p)->emplace_back(k, o);
            return true;
        },
        &out);
    return out;
}

std::vector<PpdOption> ReadPpdOptions(const std::string& path)
{
    ppd_file_t* ppd = ppdOpenFile(path.c_str());
    if (!ppd) throw Failure("cannot read the PPD " + path);
    std::vector<PpdOption> out;
    for (int g = 0; g < ppd->num_groups; ++g) {
        const ppd_group_t& group = ppd->groups[g];
        for (int o = 0; o < group.num_options; ++o) {
            const ppd_option_t& option = group.options[o];
            PpdOption item;
            item.keyword = option.keyword;
            item.defaultChoice = option.defchoice;
            item.installable = std::strcmp(group.name, "InstallableOptions") == 0;
            for (int c = 0; c < option.num_choices; ++c) item.choices.push_back(option.choices[c].choice);
            out.push_back(item);
        }
    }
    ppdClose(ppd);
    return out;
}

void InstallPrinter(const std::string& name, const std::string& model, const std::string& port,
                    const std::string& ppdGiven)
{
    std::string ppdName;
    if (model == "Lumeno 4100DN")
        ppdName = "QN4100DN.PPD";
    else if (model == "Lumeno 4100N")
        ppdName = "QN4100N.PPD";
    else
        throw Failure("unknown model \"" + model + "\" (Lumeno 4100N or Lumeno 4100DN)");
    std::string ppd = ppdGiven.empty() ? DriverDirectory() + ppdName : ppdGiven;
    if (char* real = realpath(ppd.c_str(), nullptr)) {
        ppd = real;
        std::free(real);
    } else {
        throw Failure("no PPD file " + ppd);
    }
    const std::vector<PpdOption> options = ReadPpdOptions(ppd);
    if (!GetModelLibraryHandle()) throw Failure("cannot load the model library in " + DriverDirectory());

    const std::string dir = DriverDirectory();
    std::u16string wName = W(name), wPort = W(port), wDriver = W(model + " PS"), wEmpty;
    std::u16string wDriverPath = W(dir + "lumeno"), wData = W(ppd), wConfig = W(dir + "psuiplug.so"),
                   wHelp = W(dir + "lumeno4100.chm"), wDatatype = W("RAW");
    std::u16string wDependent;
    const size_t slash = ppd.rfind('/');
    for (const std::string& f : {std::string("psuiplug.so"), std::string("psrendplug.so"), std::string("modellib.fpl"),
                                 ppd.substr(slash == std::string::npos ? 0 : slash + 1)}) {
        wDependent += W(f);
        wDependent.push_back(u'\0');
    }
    wDependent.push_back(u'\0');
    PRINTER_INFO_2W info{};
    info.pPrinterName = wName.data();
    info.pPortName = wPort.data();
    info.pDriverName = wDriver.data();
    info.pComment = wEmpty.data();
    info.pLocation = wEmpty.data();
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_QUEUED;
    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = wDriver.data();
    driver.pDriverPath = wDriverPath.data();
    driver.pDataFile = wData.data();
    driver.pConfigFile = wConfig.data();
    driver.pHelpFile = wHelp.data();
    driver.pDependentFiles = wDependent.data();
    driver.pDefaultDataType = wDatatype.data();
    HANDLE h = AddPrinterWithDriverW(&info, &driver);
    if (!h) throw Failure("printer \"" + name + "\": " + ErrorText(GetLastError()));
    try {
        StoreStartValues(h, port);
        // The host driver keeps the installable options' settings, starting at the PPD's defaults.
        std::vector<std::pair<std::string, std::string>> sticky;
        for (const PpdOption& o : options)
            if (o.installable) sticky.emplace_back(o.keyword, o.defaultChoice);
        const std::vector<BYTE> fk = EncodeFeatureKeywords(sticky);
        SetData(h, "FeatureKeyword", REG_BINARY, fk.data(), static_cast<DWORD>(fk.size()));
        SetDword(h, "FeatureKeywordSize", static_cast<DWORD>(fk.size()));
        std::vector<BYTE> dm = DefaultDevMode(name, h);
        PRINTER_INFO_8W level8{reinterpret_cast<DEVMODEW*>(dm.data())};
        if (!SetPrinterW(h, 8, reinterpret_cast<BYTE*>(&level8), 0))
            throw Failure("cannot store the default DEVMODE: " + ErrorText(GetLastError()));
    } catch (...) {
        DeletePrinter(h);
        ClosePrinter(h);
        throw;
    }
    ClosePrinter(h);
}

std::string ResolvePrinter(const std::string& name)
{
    if (!name.empty()) return name;
    HANDLE h = nullptr;
    std::u16string wide = W(kDefaultPrinterName);
    if (OpenPrinterW(wide.data(), &h, nullptr)) {
        ClosePrinter(h);
        return kDefaultPrinterName;
    }
    InstallPrinter(kDefaultPrinterName, kDefaultPrinterName, "FILE:", "");
    return kDefaultPrinterName;
}

int PrinterCommand(const Args& args)
{
    if (args.empty()) throw UsageError("usage: lumeno printer add|list|show|delete|data|detect-options|simulate ...");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "add") return Add(rest);
    if (args[0] == "list") return List(rest);
    if (args[0] == "show") return Show(rest);
    if (args[0] == "delete") return Delete(rest);
    if (args[0] == "data") return Data(rest);
    if (args[0] == "detect-options") return DetectOptionsCommand(rest);
    if (args[0] == "simulate") return SimulateCommand(rest);
    throw UsageError("unknown printer command \"" + args[0] + "\"");
}

}  // namespace lumeno
