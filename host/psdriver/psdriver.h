// The PostScript driver host: plays the PostScript printer driver towards psrendplug. It loads
// the plug-in through its class factory, answers it with a print core backed by the printer's
// PPD, owns the job's DEVMODE, turns a document (DSC PostScript, or PDF through Ghostscript)
// into the driver's stream with the injection points, and spools the job to the port.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace psdriver {

struct PrintRequest {
    std::string printer;                                       // an installed printer
    std::vector<std::pair<std::string, std::string>> options;  // "$..." private, "%..." host, else PPD
    std::string input;                                         // empty: the bundled sample
    std::string output;                                        // empty: the printer's port
    std::string documentName;                                  // empty: the input's file name
    // Items of the job-information block sent through the private escape after StartDoc, as
    // the UI plug-in's document event does (item index, 8-bit or UTF-8 text).
    std::vector<std::pair<int, std::string>> jobInfo;
    bool useOemPS2 = true;  // false: a host that never asks for IPrintOemPS2
};

struct PrintResult {
    std::string printer;
    int pages = 0;
    std::string jobType;
    int dialect = 0;
    int fragments = 0;               // injection brackets the plug-in wrote
    unsigned long long bytes = 0;    // bytes spooled
    std::string port;                // where the job went
    std::string error;               // empty on success
};

// Runs the job; false with result->error on failure (a refused job among them).
bool Print(const PrintRequest& request, PrintResult* result);

// The PostScript part of a job (between the job-control header and trailer).
std::string ExtractPostScript(const std::string& job);
// Runs Ghostscript over the printer-emulation prolog and the PostScript part of a job file.
// device "png16m" with pngPath renders the first page. Output of gs goes to *log.
bool RunGhostscript(const std::string& jobPath, const std::string& device, const std::string& pngPath,
                    std::string* log);

// Where the shipped data lies: $LUMENO_DATA_DIR, else the driver directory's data.
std::string DataDirectory();

}  // namespace psdriver
