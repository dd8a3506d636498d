// What the SNMPv3 session needs of Net-SNMP: one initialisation per process, the one lock every
// call into the library is made under, the wait for answers, and the error mapping.
//
// Net-SNMP keeps its USM users, engine times and sessions in unprotected process globals (the
// library is built without its reentrant locks), so every call into it happens under one
// process-wide lock. The lock is let go while a thread waits in select() for its answers, so
// two threads' exchanges overlap on the network and only their library calls take turns.
#pragma once

#include <mutex>
#include <string>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace devlink {

// Holds the library lock; the library is initialised on first use.
class NetSnmpLock {
public:
    NetSnmpLock();
    std::unique_lock<std::mutex>& lock() { return lock_; }
private:
    std::unique_lock<std::mutex> lock_;
};

// Runs receive and time-out processing of one single-session handle until *waiting turns
// false (the request callbacks clear it). The lock is released around each select().
// 0, or -204 when select fails or nothing is outstanding.
long pms_netsnmp_wait(void* session, NetSnmpLock& held, const bool* waiting);

// The library's error numbers as our result codes.
long pms_netsnmp_map_error(int snmp_errno);

// "%s(): ErrNo = %d, SnmpErrNo = %d, %s" at level Error, from a session's error state.
void pms_netsnmp_log_error(const char* function, int sys_errno, int snmp_errno, const char* text);
void pms_netsnmp_log_session_error(const char* function, void* session);

// The sender of a received PDU as address text and port; false when it carries none.
bool pms_netsnmp_sender(const netsnmp_pdu* pdu, std::string* text, unsigned short* port);

// Lets the datagram observer see what this session's transport sends and receives.
void pms_netsnmp_observe_transport(void* session);
// Before the session closes: its transport is no longer observed.
void pms_netsnmp_forget_transport(void* session);

}  // namespace devlink
