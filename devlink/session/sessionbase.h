// What both session kinds share: the packet forms of the two requests unwrap the packet,
// forward to the PDU/target form and put the PDU and target back.
#pragma once

#include "session/session.h"

namespace devlink {

class CSessionBase : public IPmsSession {
public:
    void release() override { delete this; }
    long send_sync(IPmsSnmpPacket* packet) override;
    long send_broad_cast_sync(IPmsSnmpPacket* packet, IPmsSnmpPacketList** out) override;
    using IPmsSession::send_broad_cast_sync;
    using IPmsSession::send_sync;
};

}  // namespace devlink
