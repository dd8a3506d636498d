// What the printer, settings and pre-configuration commands share: opening a printer by
// name (or the embedded default printer), the user's DEVMODE and the PPD's options.
#pragma once

#include <string>
#include <vector>

#include "platform/spooler.h"
#include "platform/win32.h"

namespace lumeno {

// The printer used when none is named: installed in the store on first use.
extern const char* const kDefaultPrinterName;

// An open printer handle that closes itself; throws Failure for an unknown printer.
class Printer {
public:
    explicit Printer(const std::string& name, ACCESS_MASK access = PRINTER_ACCESS_USE);
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;
    HANDLE get() const { return handle_; }
    const std::string& name() const { return name_; }
    std::string DataFile() const;
    std::string DriverName() const;

private:
    HANDLE handle_ = nullptr;
    std::string name_;
};

// The named printer, or the default printer (created when missing) for an empty name.
std::string ResolvePrinter(const std::string& name);
// Installs a printer with its driver record and its start values; throws Failure.
void InstallPrinter(const std::string& name, const std::string& model, const std::string& port,
                    const std::string& ppd);

// A PPD option of the printer description.
struct PpdOption {
    std::string keyword;
    std::string defaultChoice;
    std::vector<std::string> choices;
    bool installable = false;
};
// The options of a PPD file; throws Failure when it does not parse.
std::vector<PpdOption> ReadPpdOptions(const std::string& path);

// FeatureKeyword bytes of a list of (keyword, option) pairs.
std::vector<BYTE> EncodeFeatureKeywords(const std::vector<std::pair<std::string, std::string>>& records);
std::vector<std::pair<std::string, std::string>> DecodeFeatureKeywords(const std::vector<BYTE>& data);

// "--name value" options out of an argument list; the rest stays in args.
std::string TakeOption(std::vector<std::string>& args, const std::string& name, const std::string& fallback = "");

}  // namespace lumeno
