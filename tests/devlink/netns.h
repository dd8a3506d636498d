// A subnet of the test's own: a bridge in this network namespace and, behind it, network
// namespaces joined by veth pairs, each with one address. Everything is removed again when the
// object goes. Needs root; ready() tells whether it could be made.
#pragma once

#include <string>
#include <vector>

namespace devlinktest {

class TestSubnet {
public:
    explicit TestSubnet(int hosts);
    ~TestSubnet();
    TestSubnet(const TestSubnet&) = delete;
    TestSubnet& operator=(const TestSubnet&) = delete;

    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }
    std::string broadcast() const { return prefix_ + "255"; }
    std::string namespaceName(int i) const { return namespaces_[static_cast<size_t>(i)]; }
    std::string hostAddress(int i) const { return prefix_ + std::to_string(10 + i); }

    // Inside namespace i, forwards every datagram that reaches port `port` (broadcasts included)
    // to the agent at hostAddress(i):agent_port and sends its answer back from `port`. snmpd
    // answers a broadcast from the broadcast address, which the kernel refuses; a printer
    // answers from its own address, as this relay does.
    bool StartRelay(int i, int port, int agent_port);

private:
    bool Run(const std::string& command);
    std::vector<int> relays_;  // process ids
    std::string prefix_;  // "198.18.N." of this subnet
    std::string bridge_;
    std::vector<std::string> namespaces_;
    bool ready_ = false;
    std::string error_;
};

}  // namespace devlinktest
