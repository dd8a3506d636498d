// lumeno printer detect-options: asks which installable options a printer has, the way the
// Configuration page does (the printer's own "LM_" data on a local port, a live device query
// otherwise), and with --apply makes them the printer's installable-option settings.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "../hostcore.h"
#include "cli.h"
#include "common/devquery.h"
#include "common/modelbinding.h"
#include "common/portkind.h"
#include "common/settingsreader.h"
#include "platform/win32.h"
#include "printers.h"

namespace lumeno {

namespace {

// String resources the host shares with the UI plug-in: the device-query library and the
// port component it is opened with.
constexpr UINT IDS_DEVQUERY_LIBRARY = 7;
constexpr UINT IDS_PORT_COMPONENT = 8;

constexpr const char* kUsage =
    "printer detect-options NAME [--apply] [--community NAME] [-v 1|3] [-u USER] [-l LEVEL] [-a MD5|SHA] [-A PASS] "
    "[-x DES|AES] [-X PASS]";

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct Snmp {
    std::string community;
    int32_t version = 1;
    std::string user, level, authProto, authPass, privProto, privPass;
};

std::string ResourceString(HMODULE module, UINT id)
{
    WCHAR text[MAX_PATH + 1] = {};
    if (LoadStringW(module, id, text, MAX_PATH + 1) <= 0) throw Failure("string resource " + std::to_string(id) + " is missing");
    return platform::Narrow(text);
}

std::string ReadText(HANDLE printer, const char16_t* name)
{
    WCHAR text[256] = {};
    DWORD type = 0, needed = 0;
    if (GetPrinterDataW(printer, name, &type, reinterpret_cast<BYTE*>(text), sizeof text - 2, &needed) != ERROR_SUCCESS)
        return "";
    return platform::Narrow(text);
}

std::string PortName(HANDLE printer)
{
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed);
    if (!needed || !GetPrinterW(printer, 2, info.data(), needed, &needed)) throw Failure("cannot read the printer's port");
    const auto* level2 = reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
    return level2->pPortName ? platform::Narrow(level2->pPortName) : "";
}

// The printer's own status data counts when it names a memory size.
bool HasStatusData(HANDLE printer)
{
    int32_t megabytes = 0;
    DWORD type = 0, needed = 0;
    return GetPrinterDataW(printer, u"LM_MemorySizeInMByte", &type, reinterpret_cast<BYTE*>(&megabytes),
                           sizeof megabytes, &needed) == ERROR_SUCCESS &&
           needed == 4 && megabytes != 0 && megabytes != -1;
}

HANDLE OpenDevice(const std::string& port, const std::string& product, const OUPM_DEVICEQUERYINFO& info,
                  const Snmp& snmp)
{
    const std::string library = DriverDirectory() + ResourceString(nullptr, IDS_DEVQUERY_LIBRARY);
    const std::string portComponent = ResourceString(nullptr, IDS_PORT_COMPONENT);
    const std::string langText = ResourceString(GetModelLibraryHandle(), IDS_LANGUAGE_ID);
    const DQ_ATTRIBUTE extra[] = {
        {"_KTZADC_SNMPVersion", &snmp.version},          {"_KTZADC_SNMPv3User", snmp.user.c_str()},
        {"_KTZADC_SNMPv3Level", snmp.level.c_str()},     {"_KTZADC_SNMPv3AuthProtocol", snmp.authProto.c_str()},
        {"_KTZADC_SNMPv3AuthPass", snmp.authPass.c_str()}, {"_KTZADC_SNMPv3PrivProtocol", snmp.privProto.c_str()},
        {"_KTZADC_SNMPv3PrivPass", snmp.privPass.c_str()},
    };
    DQ_OPEN_PARAMS params{};
    params.pszLibraryPath = library.c_str();
    params.pszPortComponent = portComponent.c_str();
    params.pszModelComponent = info.pszDeviceComponent;
    params.wLangId = static_cast<WORD>(std::stoi(langText));
    params.wMode = 1;
    params.pszCommunity = snmp.community.c_str();
    params.pszPort = port.c_str();
    params.pszProduct = product.c_str();
    params.pszPrivateMib = info.pszPrivateMib;
    params.pExtra = extra;
    params.cExtra = snmp.version == 3 ? std::size(extra) : 1;
    HANDLE device = DqOpenForQuery(params);
    if (!device) throw Failure("cannot reach the printer at \"" + port + "\" through " + library);
    return device;
}

struct Detection {
    Pairs pairs;
    std::string address, community;
    DWORD version = 0;
    bool local = false;
};

Detection Detect(HANDLE printer, const std::string& product, const Snmp& snmp)
{
    WORD model = 0;
    if (!CallModelFunction(KTPS_PRNFUNC_GETPRINTERTYPE, 0, const_cast<char*>(product.c_str()), &model) || !model)
        throw Failure("the model library does not know \"" + product + "\"");
    DWORD count = 0;
    if (!CallModelFunction(OPMP_FUNCID_GETDEVICEOPTIONNUM, model, nullptr, &count) || !count)
        throw Failure("the model has no installable options to detect");
    OUPM_DEVICEQUERYINFO info = {sizeof info, nullptr, nullptr, nullptr};
    CallModelFunction(OPMP_FUNCID_GETDEVICEQUERYINFO, model, nullptr, &info);

    Detection d;
    const std::string port = PortName(printer);
    d.local = IsLocalPort(platform::Widen(port).c_str()) && HasStatusData(printer);
    std::vector<OUPM_OPTIONPAIR> room(count);
    OUPM_OPTIONRESULT result{};
    result.pPairs = room.data();
    result.hPrinter = d.local ? printer : nullptr;
    HANDLE device = d.local ? nullptr : OpenDevice(port, product, info, snmp);
    const std::string library = DriverDirectory() + ResourceString(nullptr, IDS_DEVQUERY_LIBRARY);
    OUPM_OPTIONQUERY query = {sizeof query, library.c_str(), device, 0};
    CallModelFunction(OPMP_FUNCID_GETDEVICEOPTIONS, model, &query, &result);
    if (device) DqCloseDevice(device);
    for (DWORD i = 0; i < result.dwPairCount && i < count; ++i)
        d.pairs.emplace_back(result.pPairs[i].pszKeyword, result.pPairs[i].pszOption);
    d.address = result.szNetworkAddress;
    d.community = result.szCommunity;
    d.version = result.dwSnmpVersion;
    return d;
}

// The detected pairs replace the options of the same keywords; every other stored setting
// stays, and a keyword not stored yet is added.
Pairs Merge(const Pairs& stored, const Pairs& detected)
{
    Pairs merged = stored;
    for (const auto& pair : detected) {
        auto it = std::find_if(merged.begin(), merged.end(), [&](const auto& p) { return p.first == pair.first; });
        if (it != merged.end())
            it->second = pair.second;
        else
            merged.push_back(pair);
    }
    return merged;
}

Pairs StoredPairs(HANDLE printer)
{
    DWORD size = 0, type = 0, needed = 0;
    GetPrinterDataW(printer, u"FeatureKeywordSize", &type, reinterpret_cast<BYTE*>(&size), sizeof size, &needed);
    std::vector<BYTE> data(size);
    if (size && GetPrinterDataW(printer, u"FeatureKeyword", &type, data.data(), size, &needed) != ERROR_SUCCESS)
        data.clear();
    return DecodeFeatureKeywords(data);
}

void Apply(HANDLE printer, const Detection& d)
{
    const std::vector<BYTE> data = EncodeFeatureKeywords(Merge(StoredPairs(printer), d.pairs));
    const DWORD size = static_cast<DWORD>(data.size());
    // The list first, then its size: a reader between the two finds a list at least as long
    // as the size it reads, and its walk stops at the list's own end.
    if (SetPrinterDataW(printer, u"FeatureKeyword", REG_BINARY, data.data(), size) != ERROR_SUCCESS ||
        SetPrinterDataW(printer, u"FeatureKeywordSize", REG_DWORD, reinterpret_cast<const BYTE*>(&size), 4) !=
            ERROR_SUCCESS)
        throw Failure("cannot store the installable options (administrators only)");
    if (!d.address.empty()) {
        const std::u16string address = platform::Widen(d.address);
        SetPrinterDataW(printer, u"OEMNetAddress", REG_SZ, reinterpret_cast<const BYTE*>(address.c_str()),
                        static_cast<DWORD>((address.size() + 1) * 2));
    }
}

Snmp ParseSnmp(Args& args, HANDLE printer)
{
    Snmp snmp;
    snmp.community = TakeOption(args, "--community", ReadText(printer, u"OEMCommunityName"));
    if (snmp.community.empty()) snmp.community = "public";
    const std::string version = TakeOption(args, "-v", "1");
    if (version != "1" && version != "3") throw UsageError("-v is 1 or 3: \"" + version + "\"");
    snmp.version = version == "3" ? 3 : 1;
    snmp.user = TakeOption(args, "-u");
    snmp.level = TakeOption(args, "-l", "noAuthNoPriv");
    snmp.authProto = TakeOption(args, "-a", "MD5");
    snmp.authPass = TakeOption(args, "-A");
    snmp.privProto = TakeOption(args, "-x", "DES");
    snmp.privPass = TakeOption(args, "-X");
    if (snmp.version == 3 && snmp.user.empty()) throw UsageError("SNMPv3 needs -u USER");
    return snmp;
}

}  // namespace

int DetectOptionsCommand(const Args& input)
{
    Args args = input;
    const auto apply = std::find(args.begin(), args.end(), "--apply");
    const bool bApply = apply != args.end();
    if (bApply) args.erase(apply);
    if (args.empty() || args[0].starts_with("-")) throw UsageError("usage: lumeno " + std::string(kUsage));
    const std::string name = args[0];
    args.erase(args.begin());
    Printer printer(name, bApply ? PRINTER_ALL_ACCESS : PRINTER_ACCESS_USE);
    const Snmp snmp = ParseSnmp(args, printer.get());
    if (!args.empty()) throw UsageError("usage: lumeno " + std::string(kUsage));

    // The model is known by the product name of the printer's PPD.
    char product[65] = {};
    DWORD size = sizeof product;
    if (!GetPpdProductName(printer.get(), product, &size)) throw Failure("cannot read the product name of the printer's PPD");
    const Detection d = Detect(printer.get(), product, snmp);
    if (d.pairs.empty()) throw Failure("no installable options detected for \"" + name + "\"; nothing stored");
    std::printf("source             %s\n", d.local ? "printer status data" : "device query");
    for (const auto& [keyword, option] : d.pairs) std::printf("%-26s %s\n", keyword.c_str(), option.c_str());
    // The local source asks no device: it knows no address, community or version.
    std::printf("network address    %s\ncommunity          %s\nSNMP version       %s\n",
                d.address.empty() ? "-" : d.address.c_str(), d.community.empty() ? "-" : d.community.c_str(),
                d.version ? std::to_string(d.version).c_str() : "-");
    if (bApply) {
        Apply(printer.get(), d);
        std::printf("stored in FeatureKeyword\n");
    }
    return 0;
}

}  // namespace lumeno
