// lumeno printer simulate: a Lumeno 4100DN on loopback, for trying option detection and SNMP
// without a printer. The agent is Net-SNMP's snmpd with a configuration of the chosen options.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "cli.h"
#include "platform/store.h"
#include "printeragent.h"
#include "psdriver.h"

namespace lumeno {

namespace {

constexpr const char* kUsage =
    "printer simulate [--port N] [--trays N] [--duplex yes|no] [--memory MB] [--hard-disk yes|no] "
    "[--ram-disk yes|no] [--community NAME] [--user NAME [--auth MD5|SHA PASS] [--priv DES|AES PASS]] [--background]";

int ParseNumber(const std::string& text, int min, int max, const char* what)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < min || v > max)
        throw UsageError(std::string(what) + " must be a number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ": \"" + text + "\"");
    return static_cast<int>(v);
}

bool ParseYesNo(const std::string& text, const char* what)
{
    if (text == "yes") return true;
    if (text == "no") return false;
    throw UsageError(std::string(what) + " is yes or no: \"" + text + "\"");
}

struct Request {
    simulator::PrinterOptions options;
    int port = 16161;
    bool background = false;
};

// Walks the arguments; a flag without its value is a usage error.
class Cursor {
public:
    explicit Cursor(const Args& args) : args_(args) {}
    bool More() const { return i_ < args_.size(); }
    const std::string& Next()
    {
        if (i_ >= args_.size()) throw UsageError("usage: lumeno " + std::string(kUsage));
        return args_[i_++];
    }

private:
    const Args& args_;
    size_t i_ = 0;
};

void ParseCredential(const std::string& flag, Cursor& cursor, Request* r)
{
    if (r->options.users.empty()) throw UsageError(flag + " follows --user");
    const std::string proto = cursor.Next();
    const std::string pass = cursor.Next();
    simulator::V3User& user = r->options.users.back();
    if (flag == "--auth" && (proto == "MD5" || proto == "SHA")) {
        user.authProto = proto;
        user.authPass = pass;
    } else if (flag == "--priv" && (proto == "DES" || proto == "AES")) {
        user.privProto = proto;
        user.privPass = pass;
    } else {
        throw UsageError("unknown protocol \"" + proto + "\" for " + flag);
    }
}

Request Parse(const Args& args)
{
    Request r;
    Cursor cursor(args);
    while (cursor.More()) {
        const std::string flag = cursor.Next();
        if (flag == "--port") r.port = ParseNumber(cursor.Next(), 1, 65535, "--port");
        else if (flag == "--trays") r.options.inputTrays = ParseNumber(cursor.Next(), 0, 16, "--trays");
        else if (flag == "--duplex") r.options.duplexUnit = ParseYesNo(cursor.Next(), "--duplex");
        else if (flag == "--memory") r.options.memoryMB = ParseNumber(cursor.Next(), 0, 1 << 20, "--memory");
        else if (flag == "--hard-disk") r.options.hardDisk = ParseYesNo(cursor.Next(), "--hard-disk");
        else if (flag == "--ram-disk") r.options.ramDisk = ParseYesNo(cursor.Next(), "--ram-disk");
        else if (flag == "--community") r.options.community = cursor.Next();
        else if (flag == "--user") r.options.users.push_back({cursor.Next(), "", "", "", ""});
        else if (flag == "--auth" || flag == "--priv") ParseCredential(flag, cursor, &r);
        else if (flag == "--background") r.background = true;
        else throw UsageError("usage: lumeno " + std::string(kUsage));
    }
    return r;
}

std::string AgentDirectory(int port)
{
    const std::string dir = platform::StoreRoot() + "/simulator/" + std::to_string(port);
    for (size_t pos = 1; pos <= dir.size(); ++pos)
        if (pos == dir.size() || dir[pos] == '/') mkdir(dir.substr(0, pos).c_str(), 0700);
    return dir;
}

[[noreturn]] void ExecAgent(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    setenv("MIBS", "", 1);
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "lumeno: cannot run snmpd (install it with scripts/install-deps)\n");
    _exit(127);
}

// snmpd detaches itself; its pid file tells when it is up, its log why it is not.
int StartInBackground(const std::vector<std::string>& baseArgs, const std::string& dir)
{
    const std::string pidFile = dir + "/snmpd.pid";
    std::remove(pidFile.c_str());
    std::vector<std::string> args = baseArgs;
    args.insert(args.end() - 1, {"-p", pidFile});
    const pid_t child = fork();
    if (child == 0) ExecAgent(args);
    int status = 0;
    waitpid(child, &status, 0);
    for (int i = 0; i < 100; ++i) {
        std::ifstream pid(pidFile);
        long value = 0;
        if (pid >> value && value > 0) return static_cast<int>(value);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream log(dir + "/snmpd.log");
    std::string last, line;
    while (std::getline(log, line)) last = line;
    throw Failure("the agent did not start: " + last);
}

}  // namespace

int SimulateCommand(const Args& args)
{
    const Request r = Parse(args);
    const std::string dir = AgentDirectory(r.port);
    std::string config, error;
    if (!simulator::AgentConfig(r.options, psdriver::DataDirectory() + "lumeno4100dn.conf", dir, &config, &error))
        throw Failure(error);
    const std::string configPath = dir + "/snmpd.conf";
    std::ofstream(configPath) << config;
    const std::string where = "127.0.0.1:" + std::to_string(r.port);
    std::printf("Lumeno 4100DN simulated at %s (community %s): %d input trays, duplex unit %s, %d MB, hard disk %s, "
                "RAM disk %s\n",
                where.c_str(), r.options.community.c_str(), r.options.inputTrays, r.options.duplexUnit ? "yes" : "no",
                r.options.memoryMB, r.options.hardDisk ? "yes" : "no", r.options.ramDisk ? "yes" : "no");
    const std::vector<std::string> agent = simulator::AgentArguments(configPath, dir + "/snmpd.log", r.port, !r.background);
    if (r.background) {
        const int pid = StartInBackground(agent, dir);
        std::printf("agent pid %d (stop it with: kill %d)\n", pid, pid);
        return 0;
    }
    std::printf("Ctrl-C stops it.\n");
    std::fflush(stdout);
    ExecAgent(agent);
}

}  // namespace lumeno
