// A simulated Lumeno 4100DN: snmpd on loopback answering with a chosen set of installable
// options, where the option detection looks for them (Printer MIB input table, Host Resources
// memory and storage, the model's private subtree for the duplex unit).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace simulator {

struct V3User {
    std::string name;
    std::string authProto;  // MD5 or SHA; empty: no authentication
    std::string authPass;
    std::string privProto;  // DES or AES; empty: no privacy
    std::string privPass;
};

struct PrinterOptions {
    int inputTrays = 2;     // rows of the input table
    bool duplexUnit = true;
    int memoryMB = 512;
    bool hardDisk = false;
    bool ramDisk = false;
    std::string community = "public";
    std::vector<V3User> users;
};

// The private subtree whose first instance tells whether a duplex unit is installed.
constexpr const char* kDuplexUnitOid = "1.3.6.1.4.1.47301.8.62.1.19.4.33.1.0";

// The whole snmpd.conf: the fixed part from baseConfigPath and the lines for the options.
// False (with the reason in *error) when the base file cannot be read.
bool AgentConfig(const PrinterOptions& options, const std::string& baseConfigPath, const std::string& persistentDir,
                 std::string* config, std::string* error);

// The snmpd arguments that serve config on 127.0.0.1:port with only the simulated storage.
std::vector<std::string> AgentArguments(const std::string& configPath, const std::string& logPath, int port,
                                        bool foreground);

}  // namespace simulator
