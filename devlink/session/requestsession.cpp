// The SNMPv1/v2c session: our own codec over a fresh datagram socket per request.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "codec/codec.h"
#include "log/log.h"
#include "session/datagramtrace.h"
#include "session/fragment.h"
#include "session/requestid.h"
#include "session/sessionbase.h"
#include "socket/datagram.h"

namespace devlink {

namespace {

constexpr long kReceiveBufferSize = 2048;

IPmcLogChannel* L() { return pmc_log_snmp(); }

const char* text_of(const IPmcNetworkAddress* a) { return a && a->get_text() ? a->get_text() : ""; }

void observe(bool sent, const void* data, long length, const IPmcNetworkAddress* peer) {
    if (!pms_datagram_observed()) return;
    const std::string where = std::string(text_of(peer)) + ":" + std::to_string(peer ? peer->get_port() : 0);
    pms_observe_datagram(sent, data, static_cast<size_t>(length), where.c_str());
}

// Milliseconds left of a wait, counted down as datagrams arrive. Counted against a deadline:
// datagrams less than a millisecond apart must not each round their time away, or a flood of
// them would hold the wait open for ever.
class WaitBudget {
public:
    explicit WaitBudget(long ms)
        : remaining_(ms), deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    long remaining() const { return remaining_; }
    void charge() {
        auto left = deadline_ - std::chrono::steady_clock::now();
        remaining_ = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count());
    }
private:
    long remaining_;
    std::chrono::steady_clock::time_point deadline_;
};

// One received datagram, trimmed to its length, with the address it came from.
struct Datagram {
    IPmsRawPacket* raw = nullptr;
    IPmcNetworkAddress* source = nullptr;
    ~Datagram() {
        if (raw) raw->release();
        if (source) source->release();
    }
};

class CRequestSession final : public CSessionBase {
public:
    ~CRequestSession() override { drop_socket(); }
    using CSessionBase::send_broad_cast_sync;
    using CSessionBase::send_sync;

    long send_sync(IPmsPdu* pdu, IPmsSnmpTarget* target) override {
        if (!pdu || !target || !target->get_address()) return PMC_E_INVALID;
        long r = renew_socket(target);
        return r ? r : exchange_with_fragmentation(pdu, target);
    }

    long send_broad_cast_sync(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsSnmpPacketList** out) override;

private:
    void drop_socket() {
        if (socket_) socket_->release();
        socket_ = nullptr;
    }

    // Every request gets a new local port, unless the target fixes it.
    long renew_socket(const IPmsSnmpTarget* target) {
        drop_socket();
        return pmc_create_datagram_socket(target->get_address()->get_kind(), target->get_port(), &socket_);
    }

    long exchange_with_fragmentation(IPmsPdu* pdu, IPmsSnmpTarget* target) {
        long fragments = 0;
        long r = single_exchange(pdu, target, &fragments);
        return fragments ? process_fragments(pdu, target, fragments) : r;
    }

    long process_fragments(IPmsPdu* pdu, IPmsSnmpTarget* target, long n);
    long encode(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsRawPacket* raw, long* fragments);
    long single_exchange(IPmsPdu* pdu, IPmsSnmpTarget* target, long* fragments);
    long receive(long timeout_ms, Datagram* datagram);
    long send_request(const IPmsRawPacket* request, const IPmcNetworkAddress* destination);

    DataGramSocket* socket_ = nullptr;
};

long CRequestSession::encode(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsRawPacket* raw, long* fragments) {
    pdu->set_request_id(pms_next_request_id());
    long written = 0;
    long r = pms_codec_registry()->encode(pdu, target, raw, &written);
    if (r == PMC_E_ENCODE_TOOBIG) {
        const IPmsVarBindList* list = pdu->get_varbinds();
        *fragments = pms_fragment_count(list ? list->get_count() : 0, written);
    }
    return r;
}

long CRequestSession::send_request(const IPmsRawPacket* request, const IPmcNetworkAddress* destination) {
    long r = socket_->send(request->get_position(), request->get_remaining(), destination);
    if (r == 0) observe(true, request->get_position(), request->get_remaining(), destination);
    return r;
}

long CRequestSession::receive(long timeout_ms, Datagram* datagram) {
    auto* buffer = static_cast<unsigned char*>(std::malloc(kReceiveBufferSize));
    if (!buffer) return PMC_E_NOMEM;
    long length = 0;
    long r = socket_->receive(buffer, kReceiveBufferSize, timeout_ms, &length, &datagram->source);
    if (r == 0) {
        // Kept in a buffer of exactly its length.
        auto* trimmed = static_cast<unsigned char*>(std::realloc(buffer, length > 0 ? static_cast<size_t>(length) : 1));
        if (trimmed) buffer = trimmed;
        datagram->raw = pms_create_raw_packet(&r);
    }
    if (!datagram->raw) {
        std::free(buffer);
        return r;
    }
    datagram->raw->attach(buffer, length, PMS_OWNER_HEAP);
    observe(false, buffer, length, datagram->source);
    return 0;
}

long CRequestSession::single_exchange(IPmsPdu* pdu, IPmsSnmpTarget* target, long* fragments) {
    *fragments = 0;
    long r = 0;
    IPmsRawPacket* request = pms_create_raw_packet(&r);
    if (!request) return r;
    r = encode(pdu, target, request, fragments);
    if (r) {
        request->release();
        return r;
    }
    const long sent_id = pdu->get_request_id();
    const IPmcNetworkAddress* destination = target->get_address();
    IPmcNetworkAddress* answered_from = nullptr;
    PMC_LOG(L(), PMC_LOG_INFO, "_send_and_receive(): timeout= %ld, retries=%ld", target->get_timeout(), target->get_retries());
    bool done = false;
    for (long attempt = 0; attempt <= target->get_retries() && !done; ++attempt) {
        PMC_LOG(L(), PMC_LOG_DEBUG, "_send_and_receive(): try %ld, destination=%s", attempt, text_of(destination));
        r = send_request(request, destination);
        if (r) break;
        r = PMC_E_TIMEOUT;
        for (WaitBudget wait(target->get_timeout()); wait.remaining() > 0 && !done; wait.charge()) {
            Datagram datagram;
            long got = receive(wait.remaining(), &datagram);
            if (got == PMC_E_TIMEOUT) {
                PMC_LOG(L(), PMC_LOG_ERROR, "_send_and_receive(): receive timeout.");
                r = got;
                break;
            }
            if (got) {
                PMC_LOG(L(), PMC_LOG_ERROR, "_send_and_receive(): error=%ld.", got);
                r = got;
                done = true;
                break;
            }
            PMC_LOG(L(), PMC_LOG_DEBUG, "_send_and_receive(): receive from %s", text_of(datagram.source));
            long status = 0, id = 0;
            if (pms_codec_registry()->peek_header(datagram.raw, &status, &id, target->get_kind()) != 0 || id != sent_id) {
                PMC_LOG(L(), PMC_LOG_DEBUG,
                        "[RequestSession::check_received_raw_packet] request id not match. sended packet[%ld]:received packet[%ld].",
                        sent_id, id);
                r = PMC_E_REQID;
                continue;
            }
            if (status == 1) {
                PMC_LOG(L(), PMC_LOG_DEBUG, "_send_and_receive(): receive packet is too big.");
                *fragments = 2;
                r = PMC_E_TOOBIG;
                done = true;
                break;
            }
            r = pms_codec_registry()->decode(datagram.raw, pdu, target, -1);
            if (r == PMC_E_DECODE) continue;  // a broken answer; a good one may still come
            if (r == 0) {
                answered_from = datagram.source;
                datagram.source = nullptr;
            }
            done = true;
        }
    }
    request->release();
    if (answered_from) {
        target->set_address(answered_from);
        answered_from->release();
    }
    return r;
}

long CRequestSession::process_fragments(IPmsPdu* pdu, IPmsSnmpTarget* target, long n) {
    IPmcPtrList<IPmsPdu>* fragments = nullptr;
    long r = pms_fragment_pdu(pdu, n, &fragments);
    if (r) return r;
    PMC_LOG(L(), PMC_LOG_INFO, "[RequestSession::fragment_process] packet[%ld] is fragmented to %ld.", pdu->get_request_id(),
            fragments->size());
    auto* it = fragments->create_iterator(&r);
    for (IPmsPdu* fragment; it && r == 0 && (fragment = fragments->get(it)) != nullptr; fragments->next(it))
        r = exchange_with_fragmentation(fragment, target);
    if (it) fragments->release_iterator(it);
    if (r == 0) pms_merge_fragments(pdu, fragments);
    fragments->release();
    return r;
}

// For IPX, an answer counts only from the network the broadcast went to (or any, for network 0).
bool qualifies(const IPmcNetworkAddress* destination, const IPmcNetworkAddress* source) {
    if (destination->get_kind() != PMC_ADDR_IPX) return true;
    const char* d = text_of(destination);
    const char* s = text_of(source);
    return std::strncmp(d, "00000000", 8) == 0 || std::strncmp(d, s, 8) == 0;
}

bool already_listed(IPmsSnmpPacketList* list, const IPmcNetworkAddress* source, long* result) {
    auto* it = list->create_iterator(result);
    if (!it) return false;
    bool found = false;
    for (IPmsSnmpPacket* p; !found && (p = list->get(it)) != nullptr; list->next(it))
        found = p->get_target() && source->equals(p->get_target()->get_address());
    list->release_iterator(it);
    return found;
}

// An answer to a broadcast becomes a packet of its own, with a target that names its sender.
long append_answer(IPmsSnmpPacketList* list, IPmsRawPacket* raw, const IPmcNetworkAddress* source, long kind) {
    long r = 0;
    IPmsSnmpPacket* packet = pms_create_packet(&r);
    IPmsPdu* pdu = packet ? pms_create_pdu(&r) : nullptr;
    IPmsSnmpTarget* target = pdu ? pms_create_target(kind, &r) : nullptr;
    if (target) {
        packet->set_pdu(pdu);
        packet->set_target(target);
        r = pms_codec_registry()->decode(raw, pdu, target, -1);
        if (r == 0) r = target->set_address(source);
        if (r == 0) r = list->push_back(packet);
        if (r == 0) return 0;
    } else if (pdu) {
        pdu->release();
    }
    if (packet) packet->release();
    return r;
}

long CRequestSession::send_broad_cast_sync(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsSnmpPacketList** out) {
    PmcTrace trace(L(), "RequestSession::send_broad_cast_sync");
    if (!pdu || !target || !out || !target->get_address()) return PMC_E_INVALID;
    *out = nullptr;
    long r = renew_socket(target);
    if (r == 0) r = socket_->set_broadcast(true);
    if (r) return r;
    IPmsRawPacket* request = pms_create_raw_packet(&r);
    if (!request) return r;
    long fragments = 0;
    r = encode(pdu, target, request, &fragments);
    IPmsSnmpPacketList* list = r ? nullptr : pms_create_packet_list(&r);
    if (!list) {
        request->release();
        return r;
    }
    const IPmcNetworkAddress* destination = target->get_address();
    PMC_LOG(L(), PMC_LOG_INFO, "broad cast: timeout= %ld, retries=%ld, destination=%s", target->get_timeout(),
            target->get_retries(), text_of(destination));
    bool failed = false;
    for (long attempt = 0; attempt <= target->get_retries() && !failed; ++attempt) {
        PMC_LOG(L(), PMC_LOG_DEBUG, "broad cast: try %ld.", attempt);
        r = send_request(request, destination);
        if (r) break;
        for (WaitBudget wait(target->get_timeout()); wait.remaining() > 0; wait.charge()) {
            Datagram datagram;
            long got = receive(wait.remaining(), &datagram);
            if (got == PMC_E_TIMEOUT) break;
            if (got) {
                r = got;
                failed = true;
                break;
            }
            if (!qualifies(destination, datagram.source)) continue;
            long search = 0;
            bool listed = already_listed(list, datagram.source, &search);
            if (search) {
                PMC_LOG(L(), PMC_LOG_ERROR, "[RequestSession::send_broad_cast_sync] fail search_new_packet().");
                r = search;
                failed = true;
                break;
            }
            if (listed) continue;
            PMC_LOG(L(), PMC_LOG_DEBUG, "broad cast: receive from new address:%s", text_of(datagram.source));
            long decoded = append_answer(list, datagram.raw, datagram.source, target->get_kind());
            if (decoded) r = decoded;
        }
    }
    request->release();
    if (r == 0 || r == PMC_E_TIMEOUT || r == PMC_E_DECODE) {
        *out = list;
        return 0;
    }
    PMC_LOG(L(), PMC_LOG_ERROR, "broad cast: error=%ld.", r);
    list->release();
    return r;
}

}  // namespace

IPmsSession* pms_create_request_session(long* result) {
    auto* s = new (std::nothrow) CRequestSession();
    set_result(result, s ? PMC_OK : PMC_E_NOMEM);
    return s;
}

}  // namespace devlink
