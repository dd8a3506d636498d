// Runs a program to its end and collects what it wrote.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "");

// Runs build/bin/lumeno with the arguments.
ProcessResult RunLumeno(const std::vector<std::string>& args, const std::string& input = "");

}  // namespace testsupport
