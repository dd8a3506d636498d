// A real Net-SNMP agent (snmpd) for the tests: started on a free loopback UDP port with a
// configuration of the test's own, stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

struct SnmpUser {
    std::string name;
    std::string level;      // "noauth", "auth" or "priv" (the agent's rouser/rwuser levels)
    std::string authProto;  // "MD5" or "SHA"; empty for noauth
    std::string authPass;
    std::string privProto;  // "DES" or "AES"; empty unless level is "priv"
    std::string privPass;
};

struct SnmpValue {
    std::string oid;    // dotted, without a leading dot
    std::string type;   // snmpd override types: integer, octet_str, counter, gauge, ...
    std::string value;  // as snmpd.conf takes it (strings quoted by the caller when they hold blanks)
};

struct SnmpAgentConfig {
    std::string community = "public";         // read-write for SNMPv1/v2c
    std::vector<SnmpUser> users;
    std::vector<SnmpValue> values;            // served on top of the agent's own MIBs
    std::string sysDescr = "Lumeno 4100DN";
    std::vector<std::string> extraLines;      // anything else for snmpd.conf
    // Where the agent runs: by default on loopback in this network namespace. For an agent in a
    // namespace of the test's own, name it, listen on "0.0.0.0" (to hear broadcasts), give the
    // address the test reaches it at and a port (0: a free loopback port).
    std::string netns;
    std::string listen = "127.0.0.1";
    std::string reachAt = "127.0.0.1";
    int port = 0;
};

class SnmpAgent {
public:
    explicit SnmpAgent(const SnmpAgentConfig& config);
    ~SnmpAgent();
    SnmpAgent(const SnmpAgent&) = delete;
    SnmpAgent& operator=(const SnmpAgent&) = delete;

    bool running() const { return pid_ > 0; }
    int port() const { return port_; }
    std::string address() const { return reachAt_ + ":" + std::to_string(port_); }
    // Why the agent did not start (its own log), when running() is false.
    const std::string& error() const { return error_; }

    // A free UDP port on the loopback interface, for agents and silent listeners.
    static int FreeUdpPort();

private:
    std::string dir_;
    std::string reachAt_;
    int port_ = 0;
    pid_t pid_ = -1;
    std::string error_;
};

}  // namespace testsupport
