// lumeno print: a document through the PostScript driver host and the rendering plug-in.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli.h"
#include "platform/store.h"
#include "printers.h"
#include "psdriver.h"

namespace lumeno {

namespace {
constexpr const char* kPrintUsage =
    "print [-P PRINTER] [-o KEYWORD=VALUE ...] [--output FILE] [--preview PNG] [--job-info N=TEXT] [INPUT]";
}

int PrintCommand(const Args& args)
{
    psdriver::PrintRequest req;
    std::string preview;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(std::string("usage: lumeno ") + kPrintUsage);
            return args[++i];
        };
        if (a == "-P" || a == "--printer") {
            req.printer = value();
        } else if (a == "-o") {
            const std::string& kv = value();
            const size_t eq = kv.find('=');
            if (eq == std::string::npos || eq == 0) throw UsageError("-o takes KEYWORD=VALUE, not \"" + kv + "\"");
            req.options.emplace_back(kv.substr(0, eq), kv.substr(eq + 1));
        } else if (a == "--output") {
            req.output = value();
        } else if (a == "--preview") {
            preview = value();
        } else if (a == "--job-info") {
            const std::string& kv = value();
            const size_t eq = kv.find('=');
            char* end = nullptr;
            const std::string item = eq == std::string::npos ? std::string() : kv.substr(0, eq);
            const long n = item.empty() ? -1 : std::strtol(item.c_str(), &end, 10);
            if (n < 0 || n > 31 || !end || *end) throw UsageError("--job-info takes ITEM=TEXT, ITEM 0..31");
            req.jobInfo.emplace_back(static_cast<int>(n), kv.substr(eq + 1));
        } else if (a == "--no-ps2") {
            req.useOemPS2 = false;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            throw UsageError("unknown option \"" + a + "\"; usage: lumeno " + kPrintUsage);
        } else if (req.input.empty()) {
            req.input = a;
        } else {
            throw UsageError(std::string("usage: lumeno ") + kPrintUsage);
        }
    }
    req.printer = ResolvePrinter(req.printer);
    psdriver::PrintResult r;
    if (!psdriver::Print(req, &r)) throw Failure(r.error);
    std::string where = r.port;
    if (where == "FILE:") where = platform::StoreRoot() + "/jobs/ (FILE: port)";
    std::fprintf(stderr,
                 "printer: %s\npages: %d\njob type: %s\nheader dialect: %d\nfragments injected: %d\nbytes written: %llu\n"
                 "output: %s\n",
                 r.printer.c_str(), r.pages, r.jobType.empty() ? "Normal" : r.jobType.c_str(), r.dialect, r.fragments,
                 r.bytes, where.c_str());
    if (!preview.empty()) {
        if (req.output.empty()) throw Failure("--preview needs --output FILE");
        std::string log;
        if (!psdriver::RunGhostscript(req.output, "png16m", preview, &log))
            throw Failure("Ghostscript could not render the preview: " + log.substr(0, 200));
        std::fprintf(stderr, "preview: %s\n", preview.c_str());
    }
    return 0;
}

}  // namespace lumeno
