#include "printeragent.h"

#include <fstream>
#include <sstream>

namespace simulator {

namespace {

constexpr const char* kStorageTypeRam = ".1.3.6.1.2.1.25.2.1.2";
constexpr const char* kStorageTypeFixedDisk = ".1.3.6.1.2.1.25.2.1.4";
constexpr const char* kStorageTypeRamDisk = ".1.3.6.1.2.1.25.2.1.8";

void Override(std::ostream& out, const std::string& oid, const char* type, const std::string& value)
{
    out << "override -rw ." << oid << " " << type << " " << value << "\n";
}

void InputTrays(std::ostream& out, int trays)
{
    for (int n = 1; n <= trays; ++n) {
        const std::string row = ".1." + std::to_string(n);
        Override(out, "1.3.6.1.2.1.43.8.2.1.1" + row, "integer", std::to_string(n));
        Override(out, "1.3.6.1.2.1.43.8.2.1.13" + row, "octet_str", "\"Tray " + std::to_string(n) + "\"");
    }
}

void Storage(std::ostream& out, int row, const char* type, const char* description, long long sizeKB)
{
    const std::string index = "." + std::to_string(row);
    Override(out, "1.3.6.1.2.1.25.2.3.1.1" + index, "integer", std::to_string(row));
    Override(out, "1.3.6.1.2.1.25.2.3.1.2" + index, "object_id", type);
    Override(out, "1.3.6.1.2.1.25.2.3.1.3" + index, "octet_str", std::string("\"") + description + "\"");
    Override(out, "1.3.6.1.2.1.25.2.3.1.4" + index, "integer", "1024");
    Override(out, "1.3.6.1.2.1.25.2.3.1.5" + index, "integer", std::to_string(sizeKB));
}

void Users(std::ostream& out, const std::vector<V3User>& users)
{
    for (const V3User& u : users) {
        out << "createUser " << u.name;
        if (!u.authProto.empty()) out << " " << u.authProto << " \"" << u.authPass << "\"";
        if (!u.privProto.empty()) out << " " << u.privProto << " \"" << u.privPass << "\"";
        const char* level = u.authProto.empty() ? "noauth" : (u.privProto.empty() ? "auth" : "priv");
        out << "\nrwuser " << u.name << " " << level << "\n";
    }
}

}  // namespace

bool AgentConfig(const PrinterOptions& options, const std::string& baseConfigPath, const std::string& persistentDir,
                 std::string* config, std::string* error)
{
    std::ifstream base(baseConfigPath);
    if (!base) {
        *error = "cannot read the agent configuration " + baseConfigPath;
        return false;
    }
    std::ostringstream out;
    out << "[snmp] persistentDir " << persistentDir << "\n";
    out << "rwcommunity " << options.community << " 127.0.0.1\n";
    out << base.rdbuf();
    Users(out, options.users);
    InputTrays(out, options.inputTrays);
    Override(out, "1.3.6.1.2.1.25.2.2.0", "integer", std::to_string(static_cast<long long>(options.memoryMB) * 1024));
    Storage(out, 1, kStorageTypeRam, "RAM", static_cast<long long>(options.memoryMB) * 1024);
    int row = 2;
    if (options.hardDisk) Storage(out, row++, kStorageTypeFixedDisk, "Hard disk", 80LL * 1024 * 1024);
    if (options.ramDisk) Storage(out, row++, kStorageTypeRamDisk, "RAM disk", 256LL * 1024);
    Override(out, kDuplexUnitOid, "integer", options.duplexUnit ? "1" : "0");
    *config = out.str();
    return true;
}

std::vector<std::string> AgentArguments(const std::string& configPath, const std::string& logPath, int port,
                                        bool foreground)
{
    // The machine's own storage and device tables would stand beside the simulated ones.
    std::vector<std::string> args = {"snmpd", "-C", "-c", configPath, "-Lf", logPath, "-M", "/dev/null",
                                     "-I", "-hrh_storage,hrh_filesys,hr_storage,hr_disk,hr_filesys,hr_device"};
    if (foreground) args.insert(args.begin() + 1, "-f");
    args.push_back("udp:127.0.0.1:" + std::to_string(port));
    return args;
}

}  // namespace simulator
