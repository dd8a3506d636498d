// BER codec "TransStream": an encoder that writes from the end of a buffer of the target's
// maximum message size (so every length is known when its header is written) and a strict
// decoder that fills caller-owned objects in place.
#include "codec/codec.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "log/log.h"
#include "snmp/sharedblock.h"
#include "snmp/subids.h"

namespace devlink {

namespace {

IPmcLogChannel* L() { return pmc_log_snmp(); }

// ---------------------------------------------------------------------------------------------
class CRawPacket final : public IPmsRawPacket {
public:
    ~CRawPacket() override { free(); }
    void release() override { delete this; }
    void attach(unsigned char* data, long size, long owner) override {
        free();
        data_ = data;
        size_ = data ? size : 0;
        owner_ = owner;
        pos_ = 0;
    }
    unsigned char* detach(long* size) override {
        unsigned char* d = data_;
        if (size) *size = size_;
        data_ = nullptr;
        size_ = 0;
        pos_ = 0;
        return d;
    }
    void free() override {
        if (data_) {
            if (owner_ == PMS_OWNER_HEAP) std::free(data_);
            else ::operator delete[](data_, std::nothrow);
        }
        data_ = nullptr;
        size_ = 0;
        pos_ = 0;
        owner_ = PMS_OWNER_LIBRARY;
    }
    unsigned char* get_data() const override { return data_; }
    unsigned char* get_data2() const override { return data_; }
    long get_size() const override { return size_; }
    bool allocate(long size) override {
        // A buffer of this size that the library owns is kept: each encode asks for the same size.
        if (data_ && size == size_ && owner_ == PMS_OWNER_LIBRARY) {
            pos_ = 0;
            return true;
        }
        free();
        if (size <= 0) return true;
        data_ = new (std::nothrow) unsigned char[static_cast<size_t>(size)];
        if (!data_) return false;
        size_ = size;
        owner_ = PMS_OWNER_LIBRARY;
        return true;
    }
    unsigned char* get_position() const override { return data_ ? data_ + pos_ : nullptr; }
    void set_position(long offset) override { pos_ = offset < 0 ? 0 : offset > size_ ? size_ : offset; }
    long get_remaining() const override { return size_ - pos_; }

private:
    unsigned char* data_ = nullptr;
    long size_ = 0;
    long pos_ = 0;
    long owner_ = PMS_OWNER_LIBRARY;
};

// ---------------------------------------------------------------------------------------------
// The shared visitor plumbing: counter32/timeticks forward to gauge32, ipaddress/ipv6 to octets.
class CCodecBase : public IPmsCodec, public IPmsVisitor {
public:
    void release() override { delete this; }
    long visit_usm_target(IPmsSnmpTarget*) override { return PMC_E_UNSUPPORTED; }
    long process_v2_trap(IPmsPdu*) override { return PMC_E_UNSUPPORTED; }
    long visit_counter32(IPmsValue* v) override { return visit_gauge32(v); }
    long visit_timeticks(IPmsValue* v) override { return visit_gauge32(v); }
    long visit_ipaddress(IPmsValue* v) override { return visit_octets(v); }
    long visit_ipv6_address(IPmsValue* v) override { return visit_octets(v); }
    long visit_udp_address(IPmsValue*) override { return PMC_E_UNSUPPORTED; }
    long visit_ipx_address(IPmsValue*) override { return PMC_E_UNSUPPORTED; }
    long version_ = 0;
};

// ---------------------------------------------------------------------------------------------
class CEncoder final : public CCodecBase {
public:
    explicit CEncoder(IPmsRawPacket* buffer) : buffer_(buffer) {}
    long written_ = 0;

    long process_packet(IPmsSnmpPacket* packet) override {
        if (!packet) return PMC_E_INVALID;
        IPmsSnmpTarget* target = packet->get_target();
        IPmsPdu* pdu = packet->get_pdu();
        if (!target || !pdu) return PMC_E_INVALID;
        version_ = target->get_version();
        long max = static_cast<long>(target->get_max_size());
        if (!buffer_->allocate(max)) return PMC_E_NOMEM;
        start_ = buffer_->get_data();
        pos_ = start_ + (start_ ? max : 0);
        overflow_ = false;
        unsigned char* end = pos_;
        long r = process_pdu(pdu);
        if (r) return r;
        r = target->accept(this);
        if (r) return r;
        put_header(0x30, static_cast<size_t>(end - pos_));
        if (overflow_) return PMC_E_ENCODE_TOOBIG;
        buffer_->set_position(pos_ - start_);
        return 0;
    }

    long visit_community_target(IPmsSnmpTarget* target) override {
        const IPmsCommunity* c = target->as_community();
        const char* text = c ? c->get_community() : nullptr;
        put_octets(0x04, text, text ? std::strlen(text) : 0);
        put_int(0x02, static_cast<int32_t>(target->get_version()));
        return 0;
    }

    long process_pdu(IPmsPdu* pdu) override {
        unsigned char* end = pos_;
        long type = pdu->get_type();
        if (type < 0 || type > 8 || type == 7) return PMC_E_INVALID;
        long r = process_varbind_list(pdu->get_varbinds());
        if (r) return r;
        if (type == PMS_PDU_TRAP) {
            if (version_ != 0) return PMC_E_UNSUPPORTED;
            r = process_v1_trap(pdu);
        } else {
            r = process_pdu_header(pdu);
        }
        if (r) return r;
        put_header(static_cast<unsigned char>(0xA0 + type), static_cast<size_t>(end - pos_));
        return 0;
    }

    long process_varbind_list(IPmsVarBindList* list) override {
        unsigned char* end = pos_;
        written_ = 0;
        if (list) {
            for (long i = list->get_count() - 1; i >= 0; --i) {
                long r = process_varbind(list->get(i));
                if (r) return r;
                if (overflow_) break;  // nothing more fits; the count tells the session how many did
                ++written_;
            }
        }
        put_header(0x30, static_cast<size_t>(end - pos_));
        return 0;
    }

    long process_varbind(IPmsVarBind* b) override {
        IPmsOid* oid = b ? b->get_oid() : nullptr;
        if (!oid) return PMC_E_INVALID;
        unsigned char* end = pos_;
        IPmsValue* v = b->get_value();
        long r = v ? put_value(v) : (put_header(0x05, 0), 0);
        if (r) return r;
        r = put_oid(oid);
        if (r) return r;
        put_header(0x30, static_cast<size_t>(end - pos_));
        return 0;
    }

    // The visitor's entries by the value's type, called directly (this class is final): one
    // virtual call fewer per value than accept. Types without their own entry go through accept.
    long put_value(IPmsValue* v) {
        long type = v->get_type();
        switch (type) {
        case PMS_INTEGER: return visit_integer(v);
        case PMS_OCTET_STRING: case PMS_OPAQUE: case PMS_IPADDRESS: case PMS_IPV6_ADDRESS: return put_octets_of(v, type);
        case PMS_NULL: return visit_null(v);
        case PMS_OID: return visit_oid(v);
        case PMS_COUNTER32: case PMS_GAUGE32: case PMS_TIMETICKS: return put_unsigned_of(v, type);
        case PMS_COUNTER64: return visit_counter64(v);
        default: return v->accept(this);
        }
    }

    long process_pdu_header(IPmsPdu* pdu) override {
        put_int(0x02, static_cast<int32_t>(pdu->get_error_index()));
        put_int(0x02, static_cast<int32_t>(pdu->get_error_status()));
        put_int(0x02, static_cast<int32_t>(pdu->get_request_id()));
        return 0;
    }

    long process_v1_trap(IPmsPdu* pdu) override {
        IPmsOid* trap = pdu->get_trap_oid();
        IPmsValue* ts = pdu->get_time_stamp();
        if (!trap || !ts) return PMC_E_INVALID;
        long r = 0;
        IPmsOid* oid = trap->clone(&r);
        if (!oid) return r;
        long n = oid->get_count();
        long next_to_last = n >= 2 ? oid->get_element(n - 2, &r) : -1;
        if (n < 2 || r || next_to_last != 0) {
            oid->release();
            return PMC_E_INVALID;
        }
        unsigned long last = static_cast<unsigned long>(oid->get_element(n - 1, &r));
        oid->remove(n - 2, 2);
        long rel = oid->compare_text("1.3.6.1.6.3.1.1.5", &r);
        long generic, specific;
        if (rel == PMS_OID_EQUAL) {
            generic = static_cast<long>(last) - 1;
            specific = 0;
        } else {
            generic = 6;
            specific = static_cast<long>(last);
        }
        put_uint(0x43, static_cast<uint32_t>(ts->get_uint32(nullptr)));
        put_int(0x02, static_cast<int32_t>(specific));
        put_int(0x02, static_cast<int32_t>(generic));
        static const unsigned char any[4] = {0, 0, 0, 0};
        put_octets(0x40, any, 4);
        r = put_oid(oid);
        oid->release();
        return r;
    }

    // Value visitor
    long visit_oid(IPmsValue* v) override { return put_oid(v->as_oid()); }
    long visit_octets(IPmsValue* v) override { return put_octets_of(v, v->get_type()); }
    long visit_integer(IPmsValue* v) override {
        put_int(0x02, static_cast<int32_t>(v->get_int32(nullptr)));
        return 0;
    }
    long visit_null(IPmsValue*) override {
        put_header(0x05, 0);
        return 0;
    }
    long visit_gauge32(IPmsValue* v) override { return put_unsigned_of(v, v->get_type()); }
    long visit_counter64(IPmsValue* v) override {
        put_uint(0x46, (static_cast<uint64_t>(v->get_high32(nullptr) & 0xFFFFFFFFul) << 32) | (v->get_low32(nullptr) & 0xFFFFFFFFul));
        return 0;
    }
    long visit_exception(IPmsValue* v) override {
        put_header(static_cast<unsigned char>(v->get_type()), 0);
        return 0;
    }

private:
    long put_octets_of(IPmsValue* v, long type) {
        long len = 0;
        const unsigned char* p = v->get_octets(&len, nullptr);
        put_octets(static_cast<unsigned char>(type), p, static_cast<size_t>(len));
        return 0;
    }
    long put_unsigned_of(IPmsValue* v, long type) {
        put_uint(static_cast<unsigned char>(type), static_cast<uint32_t>(v->get_uint32(nullptr)));
        return 0;
    }
    // Room for n more bytes in front of what is written; null (and overflow) when they do not fit.
    // After an overflow the message is refused as a whole, so what still fits may be written.
    unsigned char* reserve(size_t n) {
        if (static_cast<size_t>(pos_ - start_) < n) {
            overflow_ = true;
            return nullptr;
        }
        pos_ -= n;
        return pos_;
    }
    void put_bytes(const void* p, size_t n) {
        unsigned char* w = reserve(n);
        if (w && n) std::memcpy(w, p, n);
    }
    static size_t length_size(size_t n) {
        if (n < 128) return 1;
        size_t k = 1;
        for (; n; n >>= 8) ++k;
        return k;
    }
    void put_header(unsigned char tag, size_t len) {
        size_t k = length_size(len);
        unsigned char* w = reserve(1 + k);
        if (!w) return;
        w[0] = tag;
        if (k == 1) {
            w[1] = static_cast<unsigned char>(len);
            return;
        }
        w[1] = static_cast<unsigned char>(0x80 | (k - 1));
        for (size_t i = k; i >= 2; --i, len >>= 8) w[i] = static_cast<unsigned char>(len);
    }
    // The content bytes of a 32-bit number, big-endian: the fewest that keep the sign, or for an
    // unsigned number the fewest with a leading zero byte when the top bit would be set.
    void put_number(unsigned char tag, uint64_t u, int n) {
        unsigned char* w = reserve(static_cast<size_t>(n));
        if (!w) return;
        for (int i = n - 1; i >= 0; --i, u >>= 8) w[i] = static_cast<unsigned char>(u);
        put_header(tag, static_cast<size_t>(n));
    }
    void put_int(unsigned char tag, int32_t v) {
        uint32_t u = static_cast<uint32_t>(v);
        int n = 4;
        while (n > 1) {
            uint32_t top9 = (u >> ((n - 1) * 8 - 1)) & 0x1FF;
            if (top9 == 0 || top9 == 0x1FF) --n;
            else break;
        }
        put_number(tag, u, n);
    }
    void put_uint(unsigned char tag, uint64_t u) {
        int n = 1;
        while (n < 9 && (u >> (8 * n - 1)) != 0) ++n;
        put_number(tag, u, n);
    }
    void put_octets(unsigned char tag, const void* p, size_t n) {
        put_bytes(p, n);
        put_header(tag, n);
    }
    static size_t subid_size(uint64_t v) {
        size_t k = 1;
        while (v >>= 7) ++k;
        return k;
    }
    // Base 128, high groups first, written backwards in front of w; the caller made sure they fit.
    static unsigned char* put_subid_before(unsigned char* w, uint64_t v) {
        *--w = static_cast<unsigned char>(v & 0x7F);
        while (v >>= 7) *--w = static_cast<unsigned char>(0x80 | (v & 0x7F));
        return w;
    }
    long put_oid(const IPmsOid* oid) {
        if (!oid) return PMC_E_INVALID;
        long count = 0;
        bool exact = false;
        const uint32_t* ids = oid->get_subids(&count, &exact);
        size_t n = static_cast<size_t>(count);
        if (!exact) return PMC_E_INVALID;
        if (n == 1) {
            PMC_LOG(L(), PMC_LOG_ERROR, "encode error:oid size is 1.");
            return PMC_E_INVALID;
        }
        unsigned char* end = pos_;
        if (n >= 2) {
            if (ids[0] > 2 || (ids[0] < 2 && ids[1] >= 40)) return PMC_E_INVALID;
            uint64_t first = static_cast<uint64_t>(ids[0]) * 40 + ids[1];
            // At most five bytes a sub-identifier; only a nearly full buffer needs the exact size.
            if (overflow_ || static_cast<size_t>(pos_ - start_) < 5 * (n - 1)) {
                size_t len = subid_size(first);
                for (size_t i = 2; i < n; ++i) len += subid_size(ids[i]);
                if (overflow_ || static_cast<size_t>(pos_ - start_) < len) {
                    overflow_ = true;
                    return 0;
                }
            }
            unsigned char* w = pos_;  // a local cursor: the byte stores cannot then touch pos_
            // Most sub-identifiers are below 128 and take one byte: four such at a time, else one.
            const uint32_t* stop = ids + 2;
            for (const uint32_t* id = ids + n; id > stop;) {
                if (id - stop >= 4 && (id[-4] | id[-3] | id[-2] | id[-1]) < 0x80) {
                    id -= 4;
                    w -= 4;
                    for (int k = 0; k < 4; ++k) w[k] = static_cast<unsigned char>(id[k]);
                    continue;
                }
                uint32_t v = *--id;
                if (v < 0x80) *--w = static_cast<unsigned char>(v);
                else w = put_subid_before(w, v);
            }
            pos_ = put_subid_before(w, first);
        }
        put_header(0x06, static_cast<size_t>(end - pos_));
        return 0;
    }

    IPmsRawPacket* buffer_;
    unsigned char* start_ = nullptr;
    unsigned char* pos_ = nullptr;
    bool overflow_ = false;
};

// ---------------------------------------------------------------------------------------------
#define DECODE_FAIL(msg)                              \
    do {                                              \
        PMC_LOG(L(), PMC_LOG_ERROR, "%s", msg);        \
        return PMC_E_DECODE;                          \
    } while (0)

// Room for the sub-identifiers of one decoded OID: the usual lengths on the stack.
struct SubIdBuffer {
    SubIdBuffer() = default;
    SubIdBuffer(const SubIdBuffer&) = delete;  // ids may point into the object itself
    SubIdBuffer& operator=(const SubIdBuffer&) = delete;
    uint32_t* room(size_t n) {
        if (n <= SubIdArray::kInline) return ids = small;
        try {
            big.resize(n);
        } catch (...) {
            return nullptr;
        }
        return ids = big.data();
    }
    void keep(size_t n) { count = n; }
    uint32_t small[SubIdArray::kInline];
    std::vector<uint32_t> big;
    uint32_t* ids = small;
    size_t count = 0;
};

class CDecoder final : public CCodecBase {
public:
    CDecoder(IPmsRawPacket* buffer, long translate, bool header_only)
        : buffer_(buffer), translate_(translate), header_only_(header_only) {}

    long process_packet(IPmsSnmpPacket* packet) override {
        if (!packet) return PMC_E_INVALID;
        p_ = buffer_->get_position();
        long rem = buffer_->get_remaining();
        end_ = p_ ? p_ + (rem > 0 ? rem : 0) : p_;
        if (!p_) return PMC_E_DECODE;
        const unsigned char* msg = p_;
        size_t len = 0;
        if (read_header(0x30, &len)) return PMC_E_DECODE;
        size_t total = static_cast<size_t>(p_ - msg) + len;
        if (static_cast<size_t>(end_ - msg) < total) DECODE_FAIL("decode error: lack of received packet. can't go on decoding any more.");
        if (static_cast<size_t>(end_ - msg) > total) {
            PMC_LOG(L(), PMC_LOG_INFO, "received packet is redundancy. be cut down.");
            end_ = msg + total;
        }
        IPmsSnmpTarget* target = packet->get_target();
        if (!target) {
            if (translate_ != PMS_TARGET_COMMUNITY) {
                PMC_LOG(L(), PMC_LOG_ERROR, "decode error: unknown translate type.");
                return PMC_E_INVALID;
            }
            long r = 0;
            target = pms_create_target(PMS_TARGET_COMMUNITY, &r);
            if (!target) return r;
            packet->set_target(target);
        }
        IPmsPdu* pdu = packet->get_pdu();
        if (!pdu) {
            long r = 0;
            pdu = pms_create_pdu(&r);
            if (!pdu) return r;
            packet->set_pdu(pdu);
        }
        long r = target->accept(this);
        if (r) return r;
        return process_pdu(pdu);
    }

    long visit_community_target(IPmsSnmpTarget* target) override {
        int32_t version = 0;
        if (read_int(0x02, &version)) return PMC_E_DECODE;
        if (version != 0 && version != 1) DECODE_FAIL("decode error: unsupported snmp version.");
        version_ = version;
        target->set_version(version);
        size_t len = 0;
        if (read_header(0x04, &len) || static_cast<size_t>(end_ - p_) < len) return PMC_E_DECODE;
        long r = pms_target_set_community_bytes(target, reinterpret_cast<const char*>(p_), len);
        if (r) return r;
        p_ += len;
        return 0;
    }

    long process_pdu(IPmsPdu* pdu) override {
        if (p_ >= end_) return PMC_E_DECODE;
        unsigned char tag = *p_++;
        long type;
        switch (tag) {
        case 0xA0: case 0xA1: case 0xA2: case 0xA3: case 0xA5: case 0xA6: case 0xA8: type = tag - 0xA0; break;
        case 0xA4: case 0xA7: type = PMS_PDU_TRAP; break;
        default: DECODE_FAIL("decode error: unknown pdu type.");
        }
        size_t len = 0;
        if (read_length(&len)) return PMC_E_DECODE;
        if (static_cast<size_t>(end_ - p_) != len) DECODE_FAIL("decode error: pdu length is wrong.");
        pdu->set_type(type);
        long r;
        if (type == PMS_PDU_TRAP) {
            if (version_ != 0) return PMC_E_UNSUPPORTED;
            r = process_v1_trap(pdu);
        } else {
            r = process_pdu_header(pdu);
        }
        if (r) return r;
        if (header_only_) return 0;
        IPmsVarBindList* list = pms_pdu_varbinds(pdu, &r);
        if (!list) return r;
        const bool fresh = list->get_count() == 0;
        r = process_varbind_list(list);
        if (r) return r;
        if (type != PMS_PDU_TRAP && pdu->get_error_status() != 0)
            list->mark_error(pdu->get_error_status(), pdu->get_error_index());
        else if (!fresh)  // new bindings start without error marks
            list->clear_errors(0);
        return 0;
    }

    long process_pdu_header(IPmsPdu* pdu) override {
        int32_t id = 0, status = 0, index = 0;
        if (read_int(0x02, &id)) return PMC_E_DECODE;
        if (read_int(0x02, &status)) return PMC_E_DECODE;
        if (status < 0 || status > 18) DECODE_FAIL("decode error: error_status's value is wrong.");
        if (read_int(0x02, &index)) return PMC_E_DECODE;
        pdu->set_request_id(id);
        pdu->set_error_status(status);
        pdu->set_error_index(index);
        return 0;
    }

    long process_v1_trap(IPmsPdu* pdu) override {
        IPmsOid* trap = pdu->get_trap_oid();
        long r = 0;
        if (!trap) {
            trap = pms_create_empty_oid(&r);
            if (!trap) return r;
            pdu->set_trap_oid(trap);
        }
        if (read_oid(trap)) return PMC_E_DECODE;
        size_t len = 0;
        if (read_header(0x40, &len) || len != 4 || static_cast<size_t>(end_ - p_) < len) return PMC_E_DECODE;
        p_ += len;
        int32_t generic = 0, specific = 0;
        if (read_int(0x02, &generic) || read_int(0x02, &specific)) return PMC_E_DECODE;
        if (generic == 6) {
            trap->append_subid(0);
            trap->append_subid(static_cast<uint32_t>(specific));
        } else if (generic >= 0 && generic <= 5) {
            trap->set_oid_text("1.3.6.1.6.3.1.1.5.0", 19);
            trap->append_subid(static_cast<unsigned long>(generic + 1));
        } else {
            DECODE_FAIL("decode error: generic trap No. > 6. ");
        }
        IPmsValue* ts = pdu->get_time_stamp();
        if (!ts) {
            ts = pms_create_value(PMS_TIMETICKS, &r);
            if (!ts) return r;
            pdu->set_time_stamp(ts);
        }
        uint32_t t = 0;
        if (read_uint(0x43, &t)) return PMC_E_DECODE;
        ts->set_uint32(t);
        return 0;
    }

    long process_varbind_list(IPmsVarBindList* list) override {
        size_t len = 0;
        if (read_header(0x30, &len)) return PMC_E_DECODE;
        if (static_cast<size_t>(end_ - p_) != len) DECODE_FAIL("decode error: length of var bind list is wrong.");
        // A fresh list gets its bindings, OIDs and values in a few shared allocations.
        const size_t estimate = bindings_left(first_binding_size());
        long r = 0;
        CSharedBlock* block = pms_prepare_decoded_list(list, estimate, &r);
        if (r) return r;
        return block ? read_decoded_varbinds(list, block, estimate) : read_varbinds(list);
    }

    // Into the bindings a list has, then into new ones of their own.
    long read_varbinds(IPmsVarBindList* list) {
        long n = 0;
        while (p_ < end_) {
            IPmsVarBind* b = list->get(n);
            long r = b ? process_varbind(b) : append_varbind(list);
            if (r) return r;
            ++n;
        }
        list->truncate(n);
        return 0;
    }

    // Into a fresh list whose bindings go into blocks of an estimated size, holding the block of
    // room for capacity bindings: when one is full, the next is sized for the bytes still to read.
    long read_decoded_varbinds(IPmsVarBindList* list, CSharedBlock* block, size_t capacity) {
        const unsigned char* begin = p_;
        long r = 0;
        for (size_t n = 0, used = 0; p_ < end_ && r == 0; ++n, ++used) {
            if (used == capacity) {
                block->release();
                capacity = bindings_left(static_cast<size_t>(p_ - begin) / n);
                if (!(block = pms_create_decoded_block(capacity, &r))) return r;
                used = 0;
            }
            r = append_decoded_varbind(list, block, used);
        }
        block->release();
        return r;
    }

    // The bindings still to read when each takes about size bytes (at least one, and no more than
    // a block holds, so a misleading first binding cannot make a huge block).
    size_t bindings_left(size_t size) const {
        constexpr size_t kMostPerBlock = 64;
        const size_t left = static_cast<size_t>(end_ - p_);
        if (size == 0 || left <= size) return 1;
        if (left / kMostPerBlock >= size) return kMostPerBlock;
        // Both now fit 32 bits, whose division is much quicker than the 64-bit one.
        const auto l = static_cast<uint32_t>(left), z = static_cast<uint32_t>(size);
        return (l + z - 1) / z;
    }

    // The encoded size of the binding at the cursor; 0 when its header is malformed.
    size_t first_binding_size() {
        const unsigned char* at = p_;
        size_t len = 0;
        const size_t size = read_header(0x30, &len) == 0 ? static_cast<size_t>(p_ - at) + len : 0;
        p_ = at;
        return size;
    }

    // Decodes into an existing binding, keeping its objects where the types allow.
    long process_varbind(IPmsVarBind* b) override {
        const unsigned char* start = nullptr;
        size_t len = 0;
        long type = 0;
        long r = read_varbind_start(&start, &len, &type);
        return r ? r : fill_varbind(b, type, start, len);
    }

    long append_varbind(IPmsVarBindList* list) {
        const unsigned char* start = nullptr;
        size_t len = 0;
        long type = 0;
        long r = read_varbind_start(&start, &len, &type);
        if (r) return r;
        IPmsVarBind* b = pms_create_varbind(&r);
        if (!b) return r;
        if (list->append(b)) {
            b->release();
            return PMC_E_NOMEM;
        }
        return fill_varbind(b, type, start, len);
    }

    // Reads the whole binding first, then makes its three objects already filled.
    long append_decoded_varbind(IPmsVarBindList* list, CSharedBlock* block, size_t index) {
        size_t len = 0;
        if (read_header(0x30, &len)) return PMC_E_DECODE;
        const unsigned char* start = p_;
        if (static_cast<size_t>(end_ - p_) < len) DECODE_FAIL("decode error: length of var bind is wrong.");
        SubIdArray* ids = nullptr;
        IPmsOid* name = pms_create_decoded_oid_in(block, pms_decoded_slot(block, index, PmsDecodedPart::Name), &ids);
        long r = read_name_and_value(start, len, ids);
        if (r) {
            name->as_value()->release();
            return r;
        }
        return pms_append_decoded_varbind(list, block, index, name, value_);
    }
    // The binding's name into its OID's numbers, then its value into value_; the binding must end
    // with the value.
    long read_name_and_value(const unsigned char* start, size_t len, SubIdArray* name) {
        long r = read_subids(name);
        if (r) return r;
        if (p_ >= end_) return PMC_E_DECODE;
        const long type = *p_;
        if ((r = check_value_type(type)) != 0) return r;
        if (read_value(type, &value_, &value_ids_)) return PMC_E_DECODE;
        if (static_cast<size_t>(p_ - start) != len) DECODE_FAIL("decode error: length of var bind is wrong.");
        return 0;
    }

    long fill_varbind(IPmsVarBind* b, long type, const unsigned char* start, size_t len) {
        long r = 0;
        IPmsOid* oid = b->get_oid();
        if (!oid) {
            oid = pms_create_empty_oid(&r);
            if (!oid) return r;
            b->set_oid(oid);
        }
        IPmsValue* v = b->get_value();
        if (!v || v->get_type() != type) {
            v = pms_create_value(type, &r);
            if (!v) return r;
            b->set_value(v);
        }
        if (read_oid(oid)) return PMC_E_DECODE;
        r = v->accept(this);
        if (r) return r;
        if (static_cast<size_t>(p_ - start) != len) DECODE_FAIL("decode error: length of var bind is wrong.");
        return 0;
    }

    // The binding's header and the type of its value (found behind the OID, which stays unread).
    long read_varbind_start(const unsigned char** start, size_t* len, long* type) {
        if (read_header(0x30, len)) return PMC_E_DECODE;
        *start = p_;
        if (static_cast<size_t>(end_ - p_) < *len) DECODE_FAIL("decode error: length of var bind is wrong.");
        const unsigned char* oid = p_;
        size_t oid_len = 0;
        long r = read_header(0x06, &oid_len);
        const unsigned char* value = p_ + oid_len;
        bool fits = r == 0 && static_cast<size_t>(end_ - p_) > oid_len;
        p_ = oid;
        if (!fits) return PMC_E_DECODE;
        *type = *value;
        return check_value_type(*type);
    }

    long check_value_type(long type) {
        switch (type) {
        case 2: case 4: case 5: case 6: case 0x40: case 0x41: case 0x42: case 0x43: case 0x44: case 0x46:
        case 0x80: case 0x81: case 0x82:
            return 0;
        default:
            DECODE_FAIL("decode error: unknown asn type.");
        }
    }

    // Value visitor: each reads its element at the cursor into the value.
    long visit_oid(IPmsValue* v) override { return read_oid(v->as_oid()) ? PMC_E_DECODE : 0; }
    long visit_octets(IPmsValue* v) override {
        PmsDecodedValue d;
        if (read_octets(v->get_type(), &d)) return PMC_E_DECODE;
        return v->set_octets(d.data, static_cast<long>(d.length)) ? PMC_E_DECODE : 0;
    }
    long visit_integer(IPmsValue* v) override {
        uint32_t x = 0;
        if (read_uint(0x02, &x)) return PMC_E_DECODE;
        v->set_int32(static_cast<int32_t>(x));
        return 0;
    }
    long visit_null(IPmsValue*) override { return read_empty(0x05); }
    long visit_gauge32(IPmsValue* v) override {
        uint32_t x = 0;
        if (read_uint(static_cast<unsigned char>(v->get_type()), &x)) return PMC_E_DECODE;
        v->set_uint32(x);
        return 0;
    }
    long visit_counter64(IPmsValue* v) override {
        PmsDecodedValue d;
        if (read_counter64(&d)) return PMC_E_DECODE;
        v->set_high32(d.high);
        v->set_low32(d.low);
        return 0;
    }
    long visit_exception(IPmsValue* v) override { return read_empty(static_cast<unsigned char>(v->get_type())); }

    // The value element at the cursor, of the type its tag gave.
    long read_value(long type, PmsDecodedValue* d, SubIdBuffer* ids) {
        d->type = type;
        switch (type) {
        case PMS_INTEGER: case PMS_COUNTER32: case PMS_GAUGE32: case PMS_TIMETICKS:
            return read_uint(static_cast<unsigned char>(type), &d->low);
        case PMS_OCTET_STRING: case PMS_OPAQUE: case PMS_IPADDRESS:
            return read_octets(type, d);
        case PMS_OID: {
            long r = read_subids(ids);
            d->data = ids->ids;
            d->length = ids->count;
            return r;
        }
        case PMS_COUNTER64:
            return read_counter64(d);
        default:  // NULL and the exceptions
            return read_empty(static_cast<unsigned char>(type));
        }
    }
    long read_octets(long type, PmsDecodedValue* d) {
        size_t len = 0;
        if (read_header(static_cast<unsigned char>(type), &len)) return PMC_E_DECODE;
        if (static_cast<size_t>(end_ - p_) < len) return PMC_E_DECODE;
        d->data = p_;
        d->length = len;
        p_ += len;
        return 0;
    }
    long read_counter64(PmsDecodedValue* d) {
        size_t len = 0;
        if (read_header(0x46, &len)) return PMC_E_DECODE;
        if (len == 0 || static_cast<size_t>(end_ - p_) < len) DECODE_FAIL("decode error: counter64 format is wrong.");
        uint32_t hi = 0, lo = 0;
        for (size_t i = 0; i < len; ++i) {
            unsigned char c = p_[i];
            if (len - i > 4) hi = (hi << 8) | c;
            else lo = (lo << 8) | c;
        }
        p_ += len;
        d->high = hi;
        d->low = lo;
        return 0;
    }

    // Reading primitives (public for peek).
    long read_length(size_t* out) {
        if (p_ >= end_) return PMC_E_DECODE;
        unsigned char b = *p_++;
        if (b < 0x80) {
            *out = b;
            return 0;
        }
        unsigned n = b & 0x7F;
        if (n == 0 || n > 4 || static_cast<size_t>(end_ - p_) < n) return PMC_E_DECODE;
        size_t v = 0;
        for (unsigned i = 0; i < n; ++i) v = (v << 8) | *p_++;
        *out = v;
        return 0;
    }
    long read_header(unsigned char tag, size_t* len) {
        if (p_ >= end_ || *p_ != tag) return PMC_E_DECODE;
        ++p_;
        return read_length(len);
    }
    // Big-endian into 32 bits, sign-extended from the first byte; five bytes only with 0x00 first.
    long read_raw32(size_t len, uint32_t* out) {
        if (len == 0 || static_cast<size_t>(end_ - p_) < len) return PMC_E_DECODE;
        if (len == 5 && p_[0] != 0) return PMC_E_DECODE;
        uint32_t v = (p_[0] & 0x80) ? 0xFFFFFFFFu : 0;
        for (size_t i = 0; i < len; ++i) v = (v << 8) | p_[i];
        p_ += len;
        *out = v;
        return 0;
    }
    long read_int(unsigned char tag, int32_t* out) {
        size_t len = 0;
        uint32_t v = 0;
        if (read_header(tag, &len) || read_raw32(len, &v)) return PMC_E_DECODE;
        *out = static_cast<int32_t>(v);
        return 0;
    }
    long read_uint(unsigned char tag, uint32_t* out) {
        size_t len = 0;
        if (read_header(tag, &len) || read_raw32(len, out)) return PMC_E_DECODE;
        return 0;
    }
    long read_empty(unsigned char tag) {
        size_t len = 0;
        if (read_header(tag, &len) || len != 0) return PMC_E_DECODE;
        return 0;
    }
    // One base-128 group of at most max; a group running past the content fails.
    static long read_group(const unsigned char** q, const unsigned char* e, uint64_t max, uint64_t* out) {
        unsigned char c = *(*q)++;
        uint64_t v = c & 0x7F;
        while (c & 0x80) {
            if (*q >= e) return PMC_E_DECODE;
            c = *(*q)++;
            v = (v << 7) | (c & 0x7F);
            if (v > max) return PMC_E_DECODE;
        }
        *out = v;
        return 0;
    }
    // An OBJECT IDENTIFIER element's sub-identifiers. -250 for a malformed one, -3 when a long
    // one finds no memory.
    template <class Ids>
    long read_subids(Ids* out) {
        size_t len = 0;
        if (read_header(0x06, &len)) return PMC_E_DECODE;
        if (static_cast<size_t>(end_ - p_) < len) DECODE_FAIL("decode error. oid format is wrong.");
        const unsigned char* q = p_;
        const unsigned char* e = p_ + len;
        // Each content byte ends at most one sub-identifier; the first group gives two.
        uint32_t* ids = out->room(len + 1);
        if (!ids) return PMC_E_NOMEM;
        size_t n = 0;
        uint64_t v = 0;
        if (q < e) {  // the first group gives two sub-identifiers
            if (read_group(&q, e, 0xFFFFFFFFull + 80, &v)) return PMC_E_DECODE;
            uint64_t a = v < 40 ? 0 : v < 80 ? 1 : 2;
            ids[n++] = static_cast<uint32_t>(a);
            ids[n++] = static_cast<uint32_t>(v - 40 * a);
        }
        // Eight bytes at a time: the one-byte sub-identifiers up to the first longer one are
        // copied at once (all eight are written; the room allows it while eight bytes remain).
        while (e - q >= 8) {
            const size_t k = one_byte_run(q);
            for (size_t i = 0; i < 8; ++i) ids[n + i] = q[i];
            n += k;
            q += k;
            if (k == 8) continue;
            if (read_group(&q, e, 0xFFFFFFFFull, &v)) return PMC_E_DECODE;
            ids[n++] = static_cast<uint32_t>(v);
        }
        while (q < e) {
            // The usual one-byte sub-identifiers: four at a time where they are, else one.
            if (e - q >= 4 && (q[0] | q[1] | q[2] | q[3]) < 0x80) {
                for (int k = 0; k < 4; ++k) ids[n + k] = q[k];
                n += 4;
                q += 4;
                continue;
            }
            if (*q < 0x80) {
                ids[n++] = *q++;
                continue;
            }
            if (read_group(&q, e, 0xFFFFFFFFull, &v)) return PMC_E_DECODE;
            ids[n++] = static_cast<uint32_t>(v);
        }
        p_ = e;
        out->keep(n);
        return 0;
    }
    // How many of the eight bytes at q come before the first with its top bit set.
    static size_t one_byte_run(const unsigned char* q) {
        uint64_t x = 0;
        std::memcpy(&x, q, sizeof x);
        const uint64_t high = x & 0x8080808080808080ull;
        if (!high) return 8;
        if constexpr (std::endian::native == std::endian::little) return static_cast<size_t>(std::countr_zero(high)) / 8;
        return static_cast<size_t>(std::countl_zero(high)) / 8;
    }
    long read_oid(IPmsOid* oid) {
        if (!oid) return PMC_E_DECODE;
        if (SubIdArray* own = pms_oid_subids_to_decode(oid)) return read_subids(own);
        SubIdBuffer ids;
        long r = read_subids(&ids);
        if (r) return r;
        return oid->set_subids(ids.ids, static_cast<long>(ids.count)) ? PMC_E_NOMEM : 0;
    }

private:
    IPmsRawPacket* buffer_;
    long translate_;
    bool header_only_;
    const unsigned char* p_ = nullptr;
    const unsigned char* end_ = nullptr;
    // The value of the binding being read into fresh objects, with the room for an OID value.
    PmsDecodedValue value_;
    SubIdBuffer value_ids_;
};

class CTransStreamFactory final : public IPmsCodecFactory {
public:
    const char* get_name() const override { return "TransStream"; }
    IPmsCodec* create_encoder(IPmsRawPacket* buffer, long* r) override {
        auto* e = new (std::nothrow) CEncoder(buffer);
        set_result(r, e ? PMC_OK : PMC_E_NOMEM);
        return e;
    }
    IPmsCodec* create_decoder(IPmsRawPacket* buffer, long translate, bool header_only, long* r) override {
        auto* d = new (std::nothrow) CDecoder(buffer, translate, header_only);
        set_result(r, d ? PMC_OK : PMC_E_NOMEM);
        return d;
    }
};

CTransStreamFactory g_trans_stream;

// A packet that only lends the caller's PDU and target to a codec.
class CLendingPacket final : public IPmsSnmpPacket {
public:
    CLendingPacket(IPmsPdu* pdu, IPmsSnmpTarget* target) : pdu_(pdu), target_(target) {}
    void release() override {}
    IPmsSnmpPacket* clone(long* r) const override { set_result(r, PMC_E_UNSUPPORTED); return nullptr; }
    bool equals(const IPmsSnmpPacket*) const override { return false; }
    void set_target(IPmsSnmpTarget* t) override { target_ = t; }
    void set_pdu(IPmsPdu* p) override { pdu_ = p; }
    IPmsSnmpTarget* take_target() override { auto* t = target_; target_ = nullptr; return t; }
    IPmsPdu* take_pdu() override { auto* p = pdu_; pdu_ = nullptr; return p; }
    IPmsSnmpTarget* get_target() const override { return target_; }
    IPmsPdu* get_pdu() const override { return pdu_; }
private:
    IPmsPdu* pdu_;
    IPmsSnmpTarget* target_;
};

class CRegistry final : public IPmsCodecRegistry {
public:
    long add(IPmsCodecFactory* f) override {
        if (!f) return PMC_E_INVALID;
        try { factories_.push_back(f); } catch (...) { return PMC_E_NOMEM; }
        current_ = f;
        return 0;
    }
    long select(const char* name) override {
        if (!name) {
            current_ = nullptr;
            return 0;
        }
        for (auto* f : factories_)
            if (std::strcmp(f->get_name(), name) == 0) {
                current_ = f;
                return 0;
            }
        return PMC_E_INVALID;
    }
    const char* get_current_name() const override { return current_ ? current_->get_name() : nullptr; }
    long encode(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsRawPacket* buffer, long* bindings) override {
        if (!current_) return PMC_E_NOTREADY;
        if (!pdu || !target || !buffer) return PMC_E_INVALID;
        CLendingPacket packet(pdu, target);
        return encode_packet(&packet, buffer, bindings);
    }
    long encode_packet(IPmsSnmpPacket* packet, IPmsRawPacket* buffer, long* bindings) override {
        if (!current_) return PMC_E_NOTREADY;
        if (!packet || !buffer) return PMC_E_INVALID;
        if (current_ == &g_trans_stream) {  // the built-in codec needs no heap object per message
            CEncoder e(buffer);
            long r = e.process_packet(packet);
            if (bindings) *bindings = e.written_;
            return r;
        }
        long r = 0;
        IPmsCodec* e = current_->create_encoder(buffer, &r);
        if (!e) return r;
        r = e->process_packet(packet);
        if (bindings) *bindings = pms_codec_written_bindings(e);
        e->release();
        return r;
    }
    long decode(IPmsRawPacket* buffer, IPmsPdu* pdu, IPmsSnmpTarget* target, long translate) override {
        if (!current_) return PMC_E_NOTREADY;
        if (!buffer || !pdu || !target) return PMC_E_INVALID;
        CLendingPacket packet(pdu, target);
        return decode_packet(buffer, &packet, translate);
    }
    long decode_packet(IPmsRawPacket* buffer, IPmsSnmpPacket* packet, long translate) override {
        if (!current_) return PMC_E_NOTREADY;
        if (!buffer || !packet) return PMC_E_INVALID;
        if (current_ == &g_trans_stream) {
            CDecoder d(buffer, translate, false);
            return d.process_packet(packet);
        }
        long r = 0;
        IPmsCodec* d = current_->create_decoder(buffer, translate, false, &r);
        if (!d) return r;
        r = d->process_packet(packet);
        d->release();
        return r;
    }
    long peek_header(IPmsRawPacket* buffer, long* status, long* id, long translate) override {
        if (!current_) return PMC_E_NOTREADY;
        if (!buffer || !status || !id) return PMC_E_INVALID;
        long r = 0;
        IPmsPdu* pdu = pms_create_pdu(&r);
        if (!pdu) return r;
        IPmsSnmpPacket* packet = pms_create_packet(&r);
        if (!packet) {
            pdu->release();
            return r;
        }
        packet->set_pdu(pdu);
        IPmsCodec* d = current_->create_decoder(buffer, translate, true, &r);
        if (d) {
            r = d->process_packet(packet);
            d->release();
        }
        if (r == 0) {
            *status = pdu->get_error_status();
            *id = pdu->get_request_id();
        }
        packet->release();
        return r;
    }

private:
    std::vector<IPmsCodecFactory*> factories_;
    IPmsCodecFactory* current_ = nullptr;
};

CRegistry* make_registry() {
    static CRegistry registry;  // lives until unload
    registry.add(&g_trans_stream);
    return &registry;
}

}  // namespace

long pms_codec_written_bindings(IPmsCodec* codec) {
    auto* e = dynamic_cast<CEncoder*>(codec);
    return e ? e->written_ : 0;
}

IPmsRawPacket* pms_create_raw_packet(long* result) {
    auto* p = new (std::nothrow) CRawPacket();
    set_result(result, p ? PMC_OK : PMC_E_NOMEM);
    return p;
}

IPmsCodecRegistry* pms_codec_registry() {
    static CRegistry* registry = make_registry();
    return registry;
}

// Created at library load, so the first request finds the codec already registered.
static IPmsCodecRegistry* const g_loaded_registry = pms_codec_registry();

}  // namespace devlink
