#include "netns.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "processrun.h"

namespace devlinktest {

TestSubnet::TestSubnet(int hosts)
{
    const int tag = static_cast<int>(getpid() % 9000) + 1000;
    prefix_ = "198.18." + std::to_string(tag % 250 + 1) + ".";
    bridge_ = "lmbr" + std::to_string(tag);
    if (!Run("ip link add " + bridge_ + " type bridge") || !Run("ip addr add " + prefix_ + "1/24 dev " + bridge_) ||
        !Run("ip link set " + bridge_ + " up"))
        return;
    for (int i = 0; i < hosts; ++i) {
        const std::string ns = "lumeno-" + std::to_string(tag) + "-" + std::to_string(i);
        const std::string outside = "lmv" + std::to_string(tag) + "o" + std::to_string(i);
        const std::string inside = "lmv" + std::to_string(tag) + "i" + std::to_string(i);
        if (!Run("ip netns add " + ns)) return;
        namespaces_.push_back(ns);
        if (!Run("ip link add " + outside + " type veth peer name " + inside) ||
            !Run("ip link set " + outside + " master " + bridge_ + " up") ||
            !Run("ip link set " + inside + " netns " + ns) ||
            !Run("ip -n " + ns + " addr add " + hostAddress(i) + "/24 dev " + inside) ||
            !Run("ip -n " + ns + " link set " + inside + " up") || !Run("ip -n " + ns + " link set lo up"))
            return;
    }
    ready_ = true;
}

namespace {

int BoundSocket(const std::string& address, int port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    return fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? fd : -1;
}

[[noreturn]] void Relay(const std::string& ns, const std::string& agent, int port, int agent_port)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int nsfd = open(("/var/run/netns/" + ns).c_str(), O_RDONLY);
    if (nsfd < 0 || setns(nsfd, CLONE_NEWNET) != 0) _exit(1);
    const int front = BoundSocket("0.0.0.0", port);
    const int back = BoundSocket("0.0.0.0", 0);
    if (front < 0 || back < 0) _exit(1);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(agent_port));
    inet_pton(AF_INET, agent.c_str(), &to.sin_addr);
    char buffer[65536];
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(front, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) continue;
        sendto(back, buffer, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        pollfd wait{back, POLLIN, 0};
        if (poll(&wait, 1, 2000) != 1) continue;
        const ssize_t m = recv(back, buffer, sizeof buffer, 0);
        if (m > 0) sendto(front, buffer, static_cast<size_t>(m), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

}  // namespace

bool TestSubnet::StartRelay(int i, int port, int agent_port)
{
    const pid_t pid = fork();
    if (pid == 0) Relay(namespaceName(i), hostAddress(i), port, agent_port);
    if (pid < 0) return false;
    relays_.push_back(pid);
    return true;
}

TestSubnet::~TestSubnet()
{
    for (int pid : relays_) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    // Removing a namespace removes its veth end, and with it the pair.
    for (const std::string& ns : namespaces_) Run("ip netns del " + ns);
    Run("ip link del " + bridge_);
}

bool TestSubnet::Run(const std::string& command)
{
    testsupport::ProcessResult r = testsupport::RunProcess({"/bin/sh", "-c", command});
    if (r.status != 0 && error_.empty()) error_ = command + ": " + r.err;
    return r.status == 0;
}

}  // namespace devlinktest
