// The dispatcher hands a target to the session of its kind, creating that session on first use.
#include <mutex>
#include <new>

#include "log/log.h"
#include "session/session.h"

namespace devlink {

namespace {

class CSessionDispatcher final : public SessionDispatcher {
public:
    ~CSessionDispatcher() override {
        if (community_) community_->release();
        if (v3_) v3_->release();
    }
    void release() override { delete this; }

    long send_sync(IPmsPdu* pdu, IPmsSnmpTarget* target) override {
        IPmsSession* s = nullptr;
        long r = select(target, &s);
        return r ? r : s->send_sync(pdu, target);
    }
    long send_sync(IPmsSnmpPacket* packet) override {
        IPmsSession* s = nullptr;
        long r = packet ? select(packet->get_target(), &s) : PMC_E_INVALID;
        return r ? r : s->send_sync(packet);
    }
    long send_broad_cast_sync(IPmsSnmpPacket* packet, IPmsSnmpPacketList** out) override {
        IPmsSession* s = nullptr;
        long r = packet ? select(packet->get_target(), &s) : PMC_E_INVALID;
        return r ? r : s->send_broad_cast_sync(packet, out);
    }
    long send_broad_cast_sync(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsSnmpPacketList** out) override {
        PmcTrace trace(pmc_log_snmp(), "SessionDispatcher::send_broad_cast_sync");
        if (!pdu || !target || !out) return PMC_E_INVALID;
        IPmsSession* s = nullptr;
        long r = select(target, &s);
        return r ? r : s->send_broad_cast_sync(pdu, target, out);
    }

private:
    // USM targets with version 2 go to SNMPv3, community targets with version 0 or 1 to our codec.
    long select(const IPmsSnmpTarget* target, IPmsSession** out) {
        if (!target) return PMC_E_INVALID;
        const long kind = target->get_kind();
        const long version = target->get_version();
        IPmsSession** slot = nullptr;
        IPmsSession* (*create)(long*) = nullptr;
        if (kind == PMS_TARGET_USM && version == 2) {
            slot = &v3_;
            create = pms_create_v3_session;
        } else if (kind == PMS_TARGET_COMMUNITY && (version == 0 || version == 1)) {
            slot = &community_;
            create = pms_create_request_session;
        } else {
            return PMC_E_INVALID;
        }
        std::lock_guard<std::mutex> hold(lock_);
        long r = 0;
        if (!*slot) *slot = create(&r);
        *out = *slot;
        return *slot ? 0 : r;
    }

    std::mutex lock_;
    IPmsSession* community_ = nullptr;
    IPmsSession* v3_ = nullptr;
};

}  // namespace

SessionDispatcher* pms_create_session_dispatcher(long* result) {
    auto* d = new (std::nothrow) CSessionDispatcher();
    set_result(result, d ? PMC_OK : PMC_E_NOMEM);
    return d;
}

}  // namespace devlink
