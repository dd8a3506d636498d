// lumeno preconfig show: the administrator's pre-configuration as the plug-ins will see it,
// and every line that has no effect, with the reason.
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "common/preconfig.h"
#include "printers.h"

namespace lumeno {

namespace {

const char* DisplayName(DWORD d)
{
    switch (d) {
    case PCD_SHOW: return "show";
    case PCD_HIDE: return "hide";
    case PCD_DIMMED: return "dimmed";
    default: return "-";
    }
}

int Show(Args args)
{
    const std::string name = TakeOption(args, "--printer");
    ExpectArgs(args, 0, 0, "preconfig show [--printer NAME]");
    Printer p(ResolvePrinter(name));
    std::vector<std::pair<std::string, std::string>> ignored;
    PreConfigList list;
    const bool read = list.Load(
        p.get(),
        [](const char* line, const char* reason, void* ctx) {
            static_cast<std::vector<std::pair<std::string, std::string>>*>(ctx)->emplace_back(line, reason);
        },
        &ignored);
    std::printf("file     %s%s\n", list.Path().c_str(), read ? "" : " (absent: not pre-configured)");
    std::printf("driver   %s\n", p.DriverName().c_str());
    std::printf("section  %s\n", list.Section().empty() ? "(none)" : list.Section().c_str());
    if (list.Count()) std::printf("\n%-20s %-20s %-9s %s\n", "keyword", "option", "enforced", "display");
    for (DWORD i = 0; i < list.Count(); ++i) {
        const PreConfigEntry* e = list.Entry(i);
        std::printf("%-20s %-20s %-9s %s\n", list.Keyword(i), e->szOption[0] ? e->szOption : "-",
                    e->bEnforced ? "yes" : "no", DisplayName(e->dwDisplay));
    }
    if (!ignored.empty()) std::printf("\nlines without effect\n");
    for (const auto& [line, reason] : ignored) std::printf("  %s: %s\n", line.c_str(), reason.c_str());
    return 0;
}

}  // namespace

int PreconfigCommand(const Args& args)
{
    if (args.empty() || args[0] != "show") throw UsageError("usage: lumeno preconfig show [--printer NAME]");
    return Show(Args(args.begin() + 1, args.end()));
}

}  // namespace lumeno
