// What every lumeno command shares: its arguments, and the two ways it can fail.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace lumeno {

using Args = std::vector<std::string>;

// Wrong use of the command line: one line on standard error, exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The command was understood but could not be done: one line, exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Each command family answers its sub-commands; args start after the family name.
int ModelCommand(const Args& args);
int RegCommand(const Args& args);
int PrintCommand(const Args& args);
// Sub-commands of "printer" that live in files of their own.
int DetectOptionsCommand(const Args& args);
int SimulateCommand(const Args& args);

// Fails with a usage error unless args has between min and max entries.
void ExpectArgs(const Args& args, size_t min, size_t max, const char* usage);

}  // namespace lumeno
