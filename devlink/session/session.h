// Request sessions: a synchronous exchange of one PDU with an agent, and a broadcast that
// collects one answer per responding address. The dispatcher picks the session for a target.
#pragma once

#include "devlink.h"
#include "snmp/pdu.h"

namespace devlink {

class IPmsSession {
public:
    virtual void release() = 0;
    // On success the PDU holds the answer and the target the address it came from.
    virtual long send_sync(IPmsPdu* pdu, IPmsSnmpTarget* target) = 0;
    virtual long send_sync(IPmsSnmpPacket* packet) = 0;
    virtual long send_broad_cast_sync(IPmsSnmpPacket* packet, IPmsSnmpPacketList** out) = 0;
    // On success *out holds one packet per answering agent (empty when nobody answered).
    virtual long send_broad_cast_sync(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsSnmpPacketList** out) = 0;
    virtual ~IPmsSession() = default;  // destroy
};

class SessionDispatcher {
public:
    virtual void release() = 0;
    virtual long send_sync(IPmsPdu* pdu, IPmsSnmpTarget* target) = 0;
    virtual long send_sync(IPmsSnmpPacket* packet) = 0;
    virtual long send_broad_cast_sync(IPmsSnmpPacket* packet, IPmsSnmpPacketList** out) = 0;
    virtual long send_broad_cast_sync(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsSnmpPacketList** out) = 0;
    virtual ~SessionDispatcher() = default;  // destroy
};

SessionDispatcher* pms_create_session_dispatcher(long* result);

// The two session kinds: SNMPv1/v2c community targets, and SNMPv3 USM targets.
IPmsSession* pms_create_request_session(long* result);
IPmsSession* pms_create_v3_session(long* result);

}  // namespace devlink
