// One opened device of the device-query library: what the caller set, where the printer is,
// and how to ask it. Plain data only, so that a handle stays good across the caller's
// load-call-free cycle of the library.
#pragma once

#include <cstdint>
#include <string>

namespace devquery {

struct SnmpSettings {
    std::string community = "public";
    int32_t version = 1;  // 1 (SNMPv1) or 3 (SNMPv3 with the USM fields)
    std::string user;
    std::string level = "noAuthNoPriv";  // noAuthNoPriv, authNoPriv, authPriv
    std::string authProtocol = "MD5";    // MD5 or SHA
    std::string authPass;
    std::string privProtocol = "DES";    // DES or AES
    std::string privPass;
};

struct Device {
    uint32_t magic = kMagic;
    std::string portComponent, modelComponent;
    uint16_t langId = 0, mode = 0;
    std::string tryAddress;
    SnmpSettings snmp;
    // Set by select: the agent's address text and port, and the printer's private subtree.
    std::string address;
    unsigned short port = 161;
    long addressKind = 0;
    std::string privateMib;
    bool selected = false;

    static constexpr uint32_t kMagic = 0x4451444C;
};

// The device behind a handle, or null for anything that is not one of ours.
Device* FromHandle(void* handle);

// "IP_10.0.0.5", "10.0.0.5", "printer.example", "host:16161", "[fe80::1]:161" or "IP_host:port":
// the address text and the port (161 unless given). False for an empty or malformed name.
bool ParsePortName(const std::string& portName, std::string* address, unsigned short* port);

}  // namespace devquery
