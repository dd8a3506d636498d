// Between our objects and Net-SNMP's: a session description from a USM target, a request PDU
// from our PDU, and our PDU and target from an answer.
#pragma once

#include <string>

#include "session/netsnmp.h"
#include "snmp/pdu.h"

namespace devlink {

// The agent as a Net-SNMP session description. The texts it points to live here, as long as
// the object (snmp_sess_open copies what it keeps).
class V3SessionSpec {
public:
    // The real request: the target's user, level, keys, context and engine ID.
    long from_target(const IPmsSnmpTarget* target);
    // The engine-ID probe: no user, no security, and no probe of Net-SNMP's own.
    long for_probe(const IPmsSnmpTarget* target);
    netsnmp_session* session() { return &session_; }
    const std::string& peer() const { return peer_; }

private:
    long set_peer(const IPmsSnmpTarget* target);
    long set_keys(const IPmsUsm* usm);

    netsnmp_session session_{};
    std::string peer_;
    std::string user_;
    std::string context_;
    std::string engine_id_;
};

// A Net-SNMP request carrying our PDU's type, request-id and bindings (null on failure).
netsnmp_pdu* pms_v3_build_pdu(const IPmsPdu* pdu, long* result);

// The answer into our PDU (reusing its bindings) and target (user, level, context, engine ID
// and the address it came from).
long pms_v3_read_answer(const netsnmp_pdu* answer, IPmsPdu* pdu, IPmsSnmpTarget* target);

// Dotted text to Net-SNMP sub-identifiers; false for a malformed or over-long text.
bool pms_v3_parse_oid(const char* text, oid* out, size_t* length);

}  // namespace devlink
