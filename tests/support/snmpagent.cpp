#include "snmpagent.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "tempdir.h"

namespace testsupport {

namespace {

std::string MakeTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "lumeno-snmpd-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

void WriteConfig(const std::string& path, const std::string& persistentDir, const SnmpAgentConfig& config)
{
    std::ofstream out(path);
    out << "[snmp] persistentDir " << persistentDir << "\n";
    out << "rwcommunity " << config.community << " " << (config.netns.empty() ? "127.0.0.1" : "default") << "\n";
    out << "sysDescr " << config.sysDescr << "\n";
    for (const SnmpUser& u : config.users) {
        out << "createUser " << u.name;
        if (!u.authProto.empty()) out << " " << u.authProto << " \"" << u.authPass << "\"";
        if (!u.privProto.empty()) out << " " << u.privProto << " \"" << u.privPass << "\"";
        out << "\nrwuser " << u.name << " " << u.level << "\n";
    }
    for (const SnmpValue& v : config.values) out << "override -rw ." << v.oid << " " << v.type << " " << v.value << "\n";
    for (const std::string& line : config.extraLines) out << line << "\n";
}

// The agent is ready when it answers a GET on loopback; a datagram is enough to tell.
bool Answers(const std::string& host, int port)
{
    // GetRequest, community "public", request-id 1, sysDescr.0
    static const unsigned char probe[] = {0x30, 0x26, 0x02, 0x01, 0x00, 0x04, 0x06, 'p',  'u',  'b',  'l',  'i',
                                          'c',  0xA0, 0x19, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00,
                                          0x30, 0x0E, 0x30, 0x0C, 0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01,
                                          0x01, 0x00, 0x05, 0x00};
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &to.sin_addr);
    timeval wait{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sendto(fd, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    unsigned char answer[1500];
    const ssize_t n = recv(fd, answer, sizeof answer, 0);
    close(fd);
    return n > 0;
}

}  // namespace

int SnmpAgent::FreeUdpPort()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("no free UDP port");
    close(fd);
    return ntohs(addr.sin_port);
}

SnmpAgent::SnmpAgent(const SnmpAgentConfig& config) : dir_(MakeTempDir()), reachAt_(config.reachAt)
{
    const std::string conf = dir_ + "/snmpd.conf";
    const std::string log = dir_ + "/snmpd.log";
    // The agent saves its persistent snmpd.conf there at exit; it must not be our configuration.
    const std::string persistent = dir_ + "/persist";
    std::filesystem::create_directory(persistent);
    WriteConfig(conf, persistent, config);
    for (int attempt = 0; attempt < 3 && pid_ < 0; ++attempt) {
        port_ = config.port ? config.port : FreeUdpPort();
        const std::string endpoint = "udp:" + config.listen + ":" + std::to_string(port_);
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("MIBS", "", 1);  // no MIB files needed: every OID is numeric
            if (config.netns.empty())
                execlp("snmpd", "snmpd", "-f", "-C", "-c", conf.c_str(), "-Lf", log.c_str(), "-M", "/dev/null",
                       endpoint.c_str(), static_cast<char*>(nullptr));
            else
                execlp("ip", "ip", "netns", "exec", config.netns.c_str(), "snmpd", "-f", "-C", "-c", conf.c_str(),
                       "-Lf", log.c_str(), "-M", "/dev/null", endpoint.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 100; ++i) {
            if (Answers(reachAt_, port_)) {
                pid_ = pid;
                break;
            }
            if (waitpid(pid, nullptr, WNOHANG) == pid) break;  // it gave up (the port was taken)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (pid_ < 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    if (pid_ < 0) error_ = "snmpd did not start: " + ReadFile(log);
}

SnmpAgent::~SnmpAgent()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

}  // namespace testsupport
