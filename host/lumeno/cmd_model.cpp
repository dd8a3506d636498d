// lumeno model: asks the model library through the same binding the plug-ins use.
#include <cstdio>

#include "../hostcore.h"
#include "capabilitybits.h"
#include "cli.h"
#include "common/modelbinding.h"
#include "modellib/oupm.h"

namespace lumeno {

namespace {

// Function 101 answers the owner-source type where function 103 is not supported.
constexpr DWORD kBrantelFallbackFunction = 101;

const char* const kProductNames[] = {"Lumeno 4100N", "Lumeno 4100DN"};

void RequireModelLibrary()
{
    if (!GetModelLibraryHandle()) throw Failure("cannot load the model library in " + DriverDirectory());
}

WORD ModelOf(const std::string& product)
{
    WORD wModel = 0;
    if (!CallModelFunction(KTPS_PRNFUNC_GETPRINTERTYPE, 0, const_cast<char*>(product.c_str()), &wModel)) return 0;
    return wModel;
}

template <typename T>
bool Ask(DWORD function, WORD wModel, T* answer)
{
    return CallModelFunction(function, wModel, nullptr, answer) != 0;
}

void PrintWord(const char* label, DWORD function, WORD wModel)
{
    WORD w = 0;
    if (Ask(function, wModel, &w))
        std::printf("  %-22s %u\n", label, w);
    else
        std::printf("  %-22s not supported\n", label);
}

const char* MeaningOf(uint32_t bit)
{
    for (int i = 0; i < kCapabilityBitCount; ++i)
        if (kCapabilityBits[i].bit == bit) return kCapabilityBits[i].meaning;
    return "no meaning to the plug-ins";
}

void PrintCapabilities(WORD wModel)
{
    DWORD dwMask = 0;
    if (!Ask(OUPF_FUNCID_GETCAPABILITY, wModel, &dwMask)) {
        std::printf("  %-22s not supported\n", "capability mask");
        return;
    }
    std::printf("  %-22s 0x%08X\n", "capability mask", dwMask);
    for (int n = 0; n < 32; ++n) {
        const uint32_t bit = 1u << n;
        if (dwMask & bit) std::printf("    bit %2d  0x%08X  %s\n", n, bit, MeaningOf(bit));
    }
}

void PrintLimits(const char* label, const char* item, DWORD function, WORD wModel)
{
    const OUPM_FIELDLIMIT* pTable = nullptr;
    if (!Ask(function, wModel, &pTable) || !pTable) {
        std::printf("  %-22s none\n", label);
        return;
    }
    std::printf("  %s\n", label);
    for (const OUPM_FIELDLIMIT* p = pTable; p->dwId != 0; ++p)
        std::printf("    %s %-6u length %u..%u, character classes 0x%08X\n", item, p->dwId, p->w4, p->w5,
                    MAKELONG(p->w1, p->w2));
}

int List(const Args& args)
{
    ExpectArgs(args, 0, 0, "model list");
    RequireModelLibrary();
    for (const char* name : kProductNames) std::printf("%-16s %u\n", name, ModelOf(name));
    return 0;
}

int Info(const Args& args)
{
    ExpectArgs(args, 1, 1, "model info MODEL");
    RequireModelLibrary();
    const WORD wModel = ModelOf(args[0]);
    if (wModel == 0) throw Failure("unknown model \"" + args[0] + "\" (see lumeno model list)");
    std::printf("%s\n", args[0].c_str());
    std::printf("  %-22s %u (0x%04X)\n", "model number", wModel, wModel);
    PrintWord("JCL support type", OUPF_FUNCID_GETSUPPORTTYPE_JCL, wModel);
    WORD wBrantel = 0;
    if (Ask(OUPF_FUNCID_GETSUPPORTTYPE_BRANTEL, wModel, &wBrantel) || Ask(kBrantelFallbackFunction, wModel, &wBrantel))
        std::printf("  %-22s %u\n", "Brantel support type", wBrantel);
    else
        std::printf("  %-22s not supported\n", "Brantel support type");
    PrintWord("secure-print type", OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT, wModel);
    PrintCapabilities(wModel);
    DWORD dwOptions = 0;
    if (Ask(OPMP_FUNCID_GETDEVICEOPTIONNUM, wModel, &dwOptions))
        std::printf("  %-22s %u\n", "device options", dwOptions);
    else
        std::printf("  %-22s not supported\n", "device options");
    PrintLimits("text limits", "control", OUPF_FUNCID_GETTEXTLIMITS, wModel);
    PrintLimits("job-owner limits", "field", OUPF_FUNCID_GETJOBOWNERLIMITS, wModel);
    return 0;
}

}  // namespace

int ModelCommand(const Args& args)
{
    if (args.empty()) throw UsageError("usage: lumeno model list|info MODEL");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "list") return List(rest);
    if (args[0] == "info") return Info(rest);
    throw UsageError("unknown model command \"" + args[0] + "\"");
}

}  // namespace lumeno
