#include "session/sessionbase.h"

namespace devlink {

namespace {

// Lends a packet's PDU and target to a request and gives them back afterwards.
template <class Call>
long with_unwrapped(IPmsSnmpPacket* packet, Call call) {
    if (!packet) return PMC_E_INVALID;
    IPmsPdu* pdu = packet->take_pdu();
    IPmsSnmpTarget* target = packet->take_target();
    long r = call(pdu, target);
    packet->set_pdu(pdu);
    packet->set_target(target);
    return r;
}

}  // namespace

long CSessionBase::send_sync(IPmsSnmpPacket* packet) {
    return with_unwrapped(packet, [this](IPmsPdu* pdu, IPmsSnmpTarget* target) { return send_sync(pdu, target); });
}

long CSessionBase::send_broad_cast_sync(IPmsSnmpPacket* packet, IPmsSnmpPacketList** out) {
    return with_unwrapped(packet, [this, out](IPmsPdu* pdu, IPmsSnmpTarget* target) {
        return send_broad_cast_sync(pdu, target, out);
    });
}

}  // namespace devlink
