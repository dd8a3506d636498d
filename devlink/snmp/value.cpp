// SNMP values and object identifiers.
#include "snmp/value.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "snmp/recycler.h"
#include "snmp/sharedblock.h"
#include "snmp/subids.h"

namespace devlink {
namespace {

using SubIds = std::vector<unsigned long>;

// How an OID text relates to its sub-identifiers.
enum class OidTextForm {
    Canonical,  // dotted decimal without leading zeros, each component within 32 bits
    Numbers,    // decimal numbers within 32 bits between single points, some with leading zeros
    Other,      // anything else: kept as given, its numbers are only a reading of it
};

// Reads dotted text into sub-identifiers: the digits between points, each capped at 2^32-1
// (other characters are skipped), and tells the text's form.
OidTextForm read_oid_text(const char* t, long len, SubIdArray& out) {
    out.clear();
    if (len <= 0) return OidTextForm::Canonical;
    OidTextForm form = OidTextForm::Canonical;
    uint64_t cur = 0;
    long digits = 0;
    bool leading_zero = false;
    for (long i = 0; i <= len; ++i) {
        char c = i < len ? t[i] : '.';
        if (c == '.') {
            if (digits == 0) form = OidTextForm::Other;
            else if (leading_zero && digits > 1 && form == OidTextForm::Canonical) form = OidTextForm::Numbers;
            out.push_back(static_cast<uint32_t>(cur));
            cur = 0;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            if (digits++ == 0) leading_zero = c == '0';
            cur = cur * 10 + static_cast<uint64_t>(c - '0');
            if (cur > 0xFFFFFFFFull) {
                cur = 0xFFFFFFFFull;
                form = OidTextForm::Other;
            }
        } else {
            form = OidTextForm::Other;
        }
    }
    return form;
}

// The dotted-decimal text of n sub-identifiers.
std::string text_of(const uint32_t* ids, size_t n) {
    std::string text;
    text.reserve(n * 4);
    char buf[12];
    for (size_t i = 0; i < n; ++i) {
        char* e = buf + sizeof buf;
        char* p = e;
        uint32_t v = ids[i];
        do {
            *--p = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        if (i) *--p = '.';
        text.append(p, static_cast<size_t>(e - p));
    }
    return text;
}

bool parse_u32(const char*& p, unsigned long max, unsigned long& out, int base = 10) {
    const char* s = p;
    unsigned long v = 0;
    int digits = 0;
    for (;;) {
        int d;
        char c = *s;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        v = v * static_cast<unsigned long>(base) + static_cast<unsigned long>(d);
        if (v > max) return false;
        ++s;
        ++digits;
    }
    if (!digits) return false;
    p = s;
    out = v;
    return true;
}

template <class I>
class CValueBase : public I, public Recycled {
public:
    explicit CValueBase(long type) : type_(type) {}
    void release() override { release_object(this, embedded_); }
    void embed_in(CSharedBlock* block) { embedded_.block = block; }
    long get_type() const override { return type_; }
    IPmsOid* as_oid() override { return nullptr; }
    long query_interface(unsigned long iid, void** out) override {
        if (!out) return PMC_E_INVALID;
        *out = nullptr;
        if (iid == PMS_IID_VALUE || iid == 0xFF00ul) {
            *out = static_cast<IPmsValue*>(this);
            return 0;
        }
        void* p = own_interface(iid);
        if (p) {
            *out = p;
            return 0;
        }
        return PMC_E_NOINTERFACE;
    }
    bool is_valid() const override { return true; }
    long get_int32(long* r) const override { return unsupported(r, -1L); }
    unsigned long get_uint32(long* r) const override { return unsupported(r, static_cast<unsigned long>(-1L)); }
    IPmcBytes* to_text(long* r) const override {
        IPmcBytes* b = pmc_create_bytes(r);
        if (!b) return nullptr;
        set_result(r, format_text(b));
        return b;
    }
    long format_text(IPmcBytes* out) const override { return out ? PMC_E_UNSUPPORTED : PMC_E_INVALID; }
    const unsigned char* get_octets(long* length, long* r) const override {
        if (length) *length = 0;
        set_result(r, PMC_E_UNSUPPORTED);
        return nullptr;
    }
    IPmcBytes* to_octets(long* r) const override {
        IPmcBytes* b = pmc_create_bytes(r);
        if (!b) return nullptr;
        set_result(r, copy_octets(b));
        return b;
    }
    long copy_octets(IPmcBytes* out) const override {
        if (!out) return PMC_E_INVALID;
        long len = 0, r = 0;
        const unsigned char* p = get_octets(&len, &r);
        if (r) return r;
        return out->set(p, len);
    }
    unsigned short get_uint16(long* r) const override { return unsupported(r, static_cast<unsigned short>(0xFFFF)); }
    unsigned long get_high32(long* r) const override { return unsupported(r, static_cast<unsigned long>(-1L)); }
    unsigned long get_low32(long* r) const override { return unsupported(r, static_cast<unsigned long>(-1L)); }
    long set_int32(long) override { return PMC_E_UNSUPPORTED; }
    long set_uint32(unsigned long) override { return PMC_E_UNSUPPORTED; }
    long set_text(const char*) override { return PMC_E_UNSUPPORTED; }
    long set_text_from(const IPmcBytes* b) override {
        if (!b) return PMC_E_INVALID;
        return set_text(b->get_data() ? b->get_data() : "");
    }
    long set_octets(const void*, long) override { return PMC_E_UNSUPPORTED; }
    long set_octets_from(const IPmcBytes* b) override {
        if (!b) return PMC_E_INVALID;
        return set_octets(b->get_data(), b->get_length());
    }
    long set_uint16(unsigned short) override { return PMC_E_UNSUPPORTED; }
    long set_high32(unsigned long) override { return PMC_E_UNSUPPORTED; }
    long set_low32(unsigned long) override { return PMC_E_UNSUPPORTED; }
    long get_length() const override { return 1; }
    long get_index_length(bool implied) const override {
        SubIds ids;
        if (index_subids(ids, implied) != 0) return -1;
        return static_cast<long>(ids.size());
    }
    long get_element(long, long* r) const override { return unsupported(r, -1L); }
    long append_index_to(IPmsOid* oid, bool implied) const override {
        if (!oid) return PMC_E_INVALID;
        SubIds ids;
        long r = index_subids(ids, implied);
        if (r) return r;
        for (unsigned long id : ids) {
            r = oid->append_subid(id);
            if (r) return r;
        }
        return 0;
    }
    long write_index_to(IPmsOid* oid, bool implied) const override {
        if (!oid) return PMC_E_INVALID;
        SubIds ids;
        long r = index_subids(ids, implied);  // check first: a refused value leaves the OID alone
        if (r) return r;
        oid->set_oid_text("", 0);
        return append_index_to(oid, implied);
    }
    long read_index_from(const IPmsOid* oid, bool implied, long count) override {
        if (!oid) return PMC_E_INVALID;
        long n = 0;
        const uint32_t* own = oid->get_subids(&n, nullptr);
        SubIds ids(own, own + n);
        long used = 0;
        return read_index(ids, implied, count, &used);
    }

    // The index form's sub-identifiers; -5 when the type has none.
    virtual long index_subids(SubIds&, bool) const { return PMC_E_UNSUPPORTED; }
    virtual long read_index(const SubIds&, bool, long, long*) { return PMC_E_UNSUPPORTED; }

protected:
    template <class T>
    static T unsupported(long* r, T v) {
        set_result(r, PMC_E_UNSUPPORTED);
        return v;
    }
    virtual void* own_interface(unsigned long iid) {
        if (iid == pms_iid_of_type(type_)) return static_cast<IPmsValue*>(this);
        return nullptr;
    }
    long type_;
    EmbeddedIn embedded_;
};

// Clone, assign and equals for a concrete class D with a same_content(const D&) member.
template <class D, class I = IPmsValue>
class CValueImpl : public CValueBase<I> {
public:
    using CValueBase<I>::CValueBase;
    using CValueBase<I>::type_;
    I* clone(long* r) const override {
        D* d = new (std::nothrow) D(*static_cast<const D*>(this));
        set_result(r, d ? PMC_OK : PMC_E_NOMEM);
        return d;
    }
    long assign(const IPmsValue* other) override {
        if (!other || other->get_type() != type_) return PMC_E_INVALID;
        const D* o = dynamic_cast<const D*>(other);
        if (!o) return PMC_E_INVALID;
        if (o == this) return 0;
        try {
            *static_cast<D*>(this) = *o;
        } catch (...) {
            return PMC_E_NOMEM;
        }
        return 0;
    }
    bool equals(const IPmsValue* other) const override {
        if (!other || other->get_type() != type_) return false;
        const D* o = dynamic_cast<const D*>(other);
        return o && static_cast<const D*>(this)->same_content(*o);
    }
};

// ---------------------------------------------------------------------------------------------
class CInteger final : public CValueImpl<CInteger> {
public:
    CInteger() : CValueImpl(PMS_INTEGER) {}
    long accept(IPmsVisitor* v) override { return v ? v->visit_integer(this) : PMC_E_INVALID; }
    long reset() override { v_ = 0; return 0; }
    bool same_content(const CInteger& o) const { return v_ == o.v_; }
    long get_int32(long* r) const override { set_result(r, 0); return v_; }
    long set_int32(long v) override { v_ = static_cast<int32_t>(v); return 0; }
    long take_decoded(const PmsDecodedValue& d) { v_ = static_cast<int32_t>(d.low); return 0; }
    long format_text(IPmcBytes* out) const override {
        if (!out) return PMC_E_INVALID;
        char buf[24];
        int n = std::snprintf(buf, sizeof buf, "%ld", static_cast<long>(v_));
        return out->set(buf, n);
    }
    long set_text(const char* t) override {
        if (!t) return PMC_E_INVALID;
        v_ = static_cast<int32_t>(std::atol(t));
        return 0;
    }
    long index_subids(SubIds& ids, bool) const override {
        ids.assign(1, static_cast<unsigned long>(static_cast<uint32_t>(v_)));
        return 0;
    }
    long read_index(const SubIds& ids, bool, long, long* used) override {
        v_ = 0;
        if (ids.empty()) return PMC_E_INDEX;
        v_ = static_cast<int32_t>(static_cast<uint32_t>(ids[0]));
        *used = 1;
        return 0;
    }
    int32_t v_ = 0;
};

class CUnsigned final : public CValueImpl<CUnsigned> {
public:
    explicit CUnsigned(long type) : CValueImpl(type) {}
    long accept(IPmsVisitor* v) override {
        if (!v) return PMC_E_INVALID;
        if (type_ == PMS_COUNTER32) return v->visit_counter32(this);
        if (type_ == PMS_TIMETICKS) return v->visit_timeticks(this);
        return v->visit_gauge32(this);
    }
    long reset() override { v_ = 0; return 0; }
    bool same_content(const CUnsigned& o) const { return v_ == o.v_; }
    unsigned long get_uint32(long* r) const override { set_result(r, 0); return v_; }
    long set_uint32(unsigned long v) override { v_ = static_cast<uint32_t>(v); return 0; }
    long take_decoded(const PmsDecodedValue& d) { v_ = d.low; return 0; }
    long format_text(IPmcBytes* out) const override {
        if (!out) return PMC_E_INVALID;
        char buf[24];
        int n = std::snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(v_));
        return out->set(buf, n);
    }
    long set_text(const char* t) override {
        if (!t) return PMC_E_INVALID;
        v_ = static_cast<uint32_t>(std::strtoul(t, nullptr, 10));
        return 0;
    }
    long index_subids(SubIds& ids, bool) const override {
        ids.assign(1, v_);
        return 0;
    }
    long read_index(const SubIds& ids, bool, long, long* used) override {
        v_ = 0;
        if (ids.empty()) return PMC_E_INDEX;
        v_ = static_cast<uint32_t>(ids[0]);
        *used = 1;
        return 0;
    }
    uint32_t v_ = 0;
protected:
    void* own_interface(unsigned long iid) override {
        if (iid == pms_iid_of_type(type_) || iid == pms_iid_of_type(PMS_GAUGE32)) return static_cast<IPmsValue*>(this);
        return nullptr;
    }
};

class CCounter64 final : public CValueImpl<CCounter64> {
public:
    CCounter64() : CValueImpl(PMS_COUNTER64) {}
    long accept(IPmsVisitor* v) override { return v ? v->visit_counter64(this) : PMC_E_INVALID; }
    long reset() override { hi_ = lo_ = 0; return 0; }
    bool same_content(const CCounter64& o) const { return hi_ == o.hi_ && lo_ == o.lo_; }
    unsigned long get_uint32(long* r) const override { set_result(r, 0); return lo_; }
    unsigned long get_high32(long* r) const override { set_result(r, 0); return hi_; }
    unsigned long get_low32(long* r) const override { set_result(r, 0); return lo_; }
    long set_uint32(unsigned long v) override { lo_ = static_cast<uint32_t>(v); hi_ = 0; return 0; }
    long set_high32(unsigned long v) override { hi_ = static_cast<uint32_t>(v); return 0; }
    long set_low32(unsigned long v) override { lo_ = static_cast<uint32_t>(v); return 0; }
    long take_decoded(const PmsDecodedValue& d) {
        hi_ = d.high;
        lo_ = d.low;
        return 0;
    }
    // Text form: the 64-bit number in decimal (what snmp_add_var wants for type 'C').
    long format_text(IPmcBytes* out) const override {
        if (!out) return PMC_E_INVALID;
        char buf[24];
        int n = std::snprintf(buf, sizeof buf, "%" PRIu64, (static_cast<uint64_t>(hi_) << 32) | lo_);
        return out->set(buf, n);
    }
    long set_text(const char* t) override {
        if (!t) return PMC_E_INVALID;
        const char* p = t;
        while (*p == ' ') ++p;
        if (*p < '0' || *p > '9') return PMC_E_INVALID;
        uint64_t v = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            uint64_t nv = v * 10 + static_cast<uint64_t>(*p - '0');
            if (nv / 10 != v) return PMC_E_INVALID;
            v = nv;
        }
        if (*p) return PMC_E_INVALID;
        hi_ = static_cast<uint32_t>(v >> 32);
        lo_ = static_cast<uint32_t>(v);
        return 0;
    }
    uint32_t hi_ = 0, lo_ = 0;
};

class COctets final : public CValueImpl<COctets> {
public:
    explicit COctets(long type) : CValueImpl(type) {}
    long accept(IPmsVisitor* v) override { return v ? v->visit_octets(this) : PMC_E_INVALID; }
    long reset() override { data_.clear(); return 0; }
    bool same_content(const COctets& o) const { return data_ == o.data_; }
    const unsigned char* get_octets(long* length, long* r) const override {
        if (length) *length = static_cast<long>(data_.size());
        set_result(r, 0);
        return reinterpret_cast<const unsigned char*>(data_.data());
    }
    long set_octets(const void* data, long length) override {
        if (length < 0 || (!data && length > 0)) return PMC_E_INVALID;
        try {
            data_.assign(static_cast<const char*>(data), static_cast<size_t>(length));
        } catch (...) {
            return PMC_E_NOMEM;
        }
        return 0;
    }
    long set_text(const char* t) override {
        if (!t) { data_.clear(); return 0; }
        return set_octets(t, static_cast<long>(std::strlen(t)));
    }
    long take_decoded(const PmsDecodedValue& d) { return set_octets(d.data, static_cast<long>(d.length)); }
    long format_text(IPmcBytes* out) const override {
        if (!out) return PMC_E_INVALID;
        return out->set(data_.data(), static_cast<long>(data_.size()));
    }
    long get_length() const override { return static_cast<long>(data_.size()); }
    long get_element(long i, long* r) const override {
        if (i < 0 || i >= static_cast<long>(data_.size())) { set_result(r, PMC_E_INVALID); return -1; }
        set_result(r, 0);
        return static_cast<unsigned char>(data_[static_cast<size_t>(i)]);
    }
    long index_subids(SubIds& ids, bool implied) const override {
        ids.clear();
        if (!implied) ids.push_back(data_.size());
        for (unsigned char c : data_) ids.push_back(c);
        return 0;
    }
    long read_index(const SubIds& ids, bool implied, long count, long* used) override {
        data_.clear();
        size_t pos = 0, n;
        if (!implied) {
            if (ids.empty()) return PMC_E_INDEX;
            n = ids[0];
            pos = 1;
            if (n > ids.size() - 1) return PMC_E_INDEX;
        } else {
            n = (count < 0 || static_cast<size_t>(count) > ids.size()) ? ids.size() : static_cast<size_t>(count);
        }
        for (size_t i = 0; i < n; ++i) {
            unsigned long b = ids[pos + i];
            if (b > 255) return PMC_E_INDEX;
            data_.push_back(static_cast<char>(b));
        }
        *used = static_cast<long>(pos + n);
        return 0;
    }
    std::basic_string<char, std::char_traits<char>, RecyclerAllocator<char>> data_;
protected:
    void* own_interface(unsigned long iid) override {
        if (iid == pms_iid_of_type(type_) || iid == pms_iid_of_type(PMS_OCTET_STRING)) return static_cast<IPmsValue*>(this);
        return nullptr;
    }
};

// The fixed-size address types: IpAddress (4), IPv6 (16), UDP address (6), IPX address (12).
class CFixed final : public CValueImpl<CFixed> {
public:
    explicit CFixed(long type) : CValueImpl(type) {
        size_ = type == PMS_IPADDRESS ? 4 : type == PMS_IPV6_ADDRESS ? 16 : type == PMS_UDP_ADDRESS ? 6 : 12;
        std::memset(b_, 0, sizeof b_);
    }
    long accept(IPmsVisitor* v) override {
        if (!v) return PMC_E_INVALID;
        switch (type_) {
        case PMS_IPADDRESS: return v->visit_ipaddress(this);
        case PMS_IPV6_ADDRESS: return v->visit_ipv6_address(this);
        case PMS_UDP_ADDRESS: return v->visit_udp_address(this);
        default: return v->visit_ipx_address(this);
        }
    }
    long reset() override { std::memset(b_, 0, sizeof b_); return 0; }
    bool same_content(const CFixed& o) const { return std::memcmp(b_, o.b_, static_cast<size_t>(size_)) == 0; }
    const unsigned char* get_octets(long* length, long* r) const override {
        if (length) *length = size_;
        set_result(r, 0);
        return b_;
    }
    long set_octets(const void* data, long length) override {
        if (!data || length != size_) return PMC_E_INVALID;
        std::memcpy(b_, data, static_cast<size_t>(size_));
        return 0;
    }
    long take_decoded(const PmsDecodedValue& d) { return set_octets(d.data, static_cast<long>(d.length)); }
    unsigned long get_uint32(long* r) const override {
        if (type_ != PMS_IPADDRESS && type_ != PMS_UDP_ADDRESS) return unsupported(r, static_cast<unsigned long>(-1L));
        set_result(r, 0);
        return (static_cast<unsigned long>(b_[0]) << 24) | (static_cast<unsigned long>(b_[1]) << 16) |
               (static_cast<unsigned long>(b_[2]) << 8) | b_[3];
    }
    long set_uint32(unsigned long v) override {
        if (type_ != PMS_IPADDRESS && type_ != PMS_UDP_ADDRESS) return PMC_E_UNSUPPORTED;
        b_[0] = static_cast<unsigned char>(v >> 24);
        b_[1] = static_cast<unsigned char>(v >> 16);
        b_[2] = static_cast<unsigned char>(v >> 8);
        b_[3] = static_cast<unsigned char>(v);
        return 0;
    }
    unsigned short get_uint16(long* r) const override {
        int at = port_at();
        if (at < 0) return unsupported(r, static_cast<unsigned short>(0xFFFF));
        set_result(r, 0);
        return static_cast<unsigned short>((b_[at] << 8) | b_[at + 1]);
    }
    long set_uint16(unsigned short v) override {
        int at = port_at();
        if (at < 0) return PMC_E_UNSUPPORTED;
        b_[at] = static_cast<unsigned char>(v >> 8);
        b_[at + 1] = static_cast<unsigned char>(v);
        return 0;
    }
    long format_text(IPmcBytes* out) const override {
        if (!out) return PMC_E_INVALID;
        char buf[64];
        int n = 0;
        switch (type_) {
        case PMS_IPADDRESS:
            n = std::snprintf(buf, sizeof buf, "%d.%d.%d.%d", b_[0], b_[1], b_[2], b_[3]);
            break;
        case PMS_UDP_ADDRESS:
            n = std::snprintf(buf, sizeof buf, "%d.%d.%d.%d/%d", b_[0], b_[1], b_[2], b_[3], (b_[4] << 8) | b_[5]);
            break;
        case PMS_IPV6_ADDRESS:
            n = std::snprintf(buf, sizeof buf, "%x:%x:%x:%x:%x:%x:%x:%x", (b_[0] << 8) | b_[1], (b_[2] << 8) | b_[3],
                              (b_[4] << 8) | b_[5], (b_[6] << 8) | b_[7], (b_[8] << 8) | b_[9], (b_[10] << 8) | b_[11],
                              (b_[12] << 8) | b_[13], (b_[14] << 8) | b_[15]);
            break;
        default:
            n = std::snprintf(buf, sizeof buf, "%02x%02x%02x%02x:%02x%02x%02x%02x%02x%02x/%x", b_[0], b_[1], b_[2], b_[3],
                              b_[4], b_[5], b_[6], b_[7], b_[8], b_[9], (b_[10] << 8) | b_[11]);
        }
        return out->set(buf, n);
    }
    long set_text(const char* t) override {
        if (!t) return PMC_E_INVALID;
        reset();
        const char* p = t;
        unsigned long v;
        if (type_ == PMS_IPADDRESS || type_ == PMS_UDP_ADDRESS) {
            for (int i = 0; i < 4; ++i) {
                if (i && *p++ != '.') return PMC_E_INVALID;
                if (!parse_u32(p, 255, v)) return PMC_E_INVALID;
                b_[i] = static_cast<unsigned char>(v);
            }
            if (type_ == PMS_UDP_ADDRESS) {
                if (*p++ != '/') return PMC_E_INVALID;
                if (!parse_u32(p, 0xFFFF, v)) return PMC_E_INVALID;
                set_uint16(static_cast<unsigned short>(v));
            }
            return *p ? PMC_E_INVALID : 0;
        }
        if (type_ == PMS_IPV6_ADDRESS) {
            for (int i = 0; i < 8; ++i) {
                if (i && *p++ != ':') return PMC_E_INVALID;
                if (!parse_u32(p, 0xFFFF, v, 16)) return PMC_E_INVALID;
                b_[2 * i] = static_cast<unsigned char>(v >> 8);
                b_[2 * i + 1] = static_cast<unsigned char>(v);
            }
            return *p ? PMC_E_INVALID : 0;
        }
        unsigned f[11];
        if (std::sscanf(t, "%2x%2x%2x%2x:%2x%2x%2x%2x%2x%2x/%x", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6],
                        &f[7], &f[8], &f[9], &f[10]) != 11)
            return PMC_E_INVALID;
        for (int i = 0; i < 10; ++i) {
            if (f[i] > 255) return PMC_E_INVALID;
            b_[i] = static_cast<unsigned char>(f[i]);
        }
        if (f[10] >= 0x10000) return PMC_E_INVALID;
        set_uint16(static_cast<unsigned short>(f[10]));
        return 0;
    }
    long get_length() const override { return size_; }
    long get_element(long i, long* r) const override {
        if (i < 0 || i >= size_) { set_result(r, PMC_E_INVALID); return -1; }
        set_result(r, 0);
        return b_[i];
    }
    long marker() const { return type_ == PMS_UDP_ADDRESS ? 1 : type_ == PMS_IPX_ADDRESS ? 5 : 0; }
    long index_subids(SubIds& ids, bool implied) const override {
        ids.clear();
        if (marker()) ids.push_back(static_cast<unsigned long>(marker()));
        if (!implied) ids.push_back(static_cast<unsigned long>(size_));
        for (long i = 0; i < size_; ++i) ids.push_back(b_[i]);
        return 0;
    }
    long read_index(const SubIds& ids, bool implied, long, long* used) override {
        reset();
        size_t pos = 0;
        if (marker()) {
            if (ids.empty() || ids[0] != static_cast<unsigned long>(marker())) return PMC_E_INDEX;
            pos = 1;
        }
        if (!implied) {
            if (ids.size() <= pos || ids[pos] != static_cast<unsigned long>(size_)) return PMC_E_INDEX;
            ++pos;
        }
        for (long i = 0; i < size_; ++i) {
            if (pos >= ids.size() || ids[pos] > 255) return PMC_E_INDEX;
            b_[i] = static_cast<unsigned char>(ids[pos++]);
        }
        *used = static_cast<long>(pos);
        return 0;
    }
    unsigned char b_[16];
    long size_;
protected:
    int port_at() const { return type_ == PMS_UDP_ADDRESS ? 4 : type_ == PMS_IPX_ADDRESS ? 10 : -1; }
    void* own_interface(unsigned long iid) override {
        if (iid == pms_iid_of_type(type_) || iid == pms_iid_of_type(PMS_OCTET_STRING)) return static_cast<IPmsValue*>(this);
        return nullptr;
    }
};

class CNull final : public CValueImpl<CNull> {
public:
    CNull() : CValueImpl(PMS_NULL) {}
    long accept(IPmsVisitor* v) override { return v ? v->visit_null(this) : PMC_E_INVALID; }
    long reset() override { return 0; }
    bool same_content(const CNull&) const { return true; }
    long get_length() const override { return 0; }
    long take_decoded(const PmsDecodedValue&) { return 0; }
};

class CException final : public CValueImpl<CException> {
public:
    explicit CException(long type) : CValueImpl(type) {}
    long accept(IPmsVisitor* v) override { return v ? v->visit_exception(this) : PMC_E_INVALID; }
    long reset() override { return 0; }
    bool same_content(const CException&) const { return true; }
    long get_length() const override { return 0; }
    long take_decoded(const PmsDecodedValue&) { return 0; }
protected:
    void* own_interface(unsigned long iid) override {
        if (iid == pms_iid_of_type(type_) || iid == PMS_IID_EXCEPTION) return static_cast<IPmsValue*>(this);
        return nullptr;
    }
};

// ---------------------------------------------------------------------------------------------
class COid final : public CValueImpl<COid, IPmsOid> {
public:
    COid() : CValueImpl(PMS_OID) {}
    long accept(IPmsVisitor* v) override { return v ? v->visit_oid(this) : PMC_E_INVALID; }
    long reset() override {
        ids_.clear();
        form_ = OidTextForm::Canonical;
        text_made_ = false;
        return 0;
    }
    // A text that is not in canonical form is kept as given, so only texts compare it equal.
    bool same_content(const COid& o) const {
        if (raw() || o.raw()) return std::strcmp(get_text(), o.get_text()) == 0;
        return ids_ == o.ids_;
    }
    IPmsOid* as_oid() override { return this; }
    bool is_valid() const override { return !raw() || pms_oid_text_valid(text_.data(), static_cast<long>(text_.size())); }
    unsigned long get_uint32(long* r) const override {
        if (ids_.empty()) { set_result(r, PMC_E_NOTREADY); return static_cast<unsigned long>(-1L); }
        set_result(r, 0);
        return ids_[0];
    }
    long set_uint32(unsigned long v) override {
        char buf[24];
        int n = std::snprintf(buf, sizeof buf, "%lu", v);
        return set_oid_text(buf, n);
    }
    long format_text(IPmcBytes* out) const override {
        if (!out) return PMC_E_INVALID;
        return out->set(get_text(), get_text_length());
    }
    long set_text(const char* t) override { return set_oid_text(t ? t : "", t ? static_cast<long>(std::strlen(t)) : 0); }
    const unsigned char* get_octets(long* length, long* r) const override {
        const char* t = get_text();
        if (length) *length = static_cast<long>(text_.size());
        set_result(r, 0);
        return reinterpret_cast<const unsigned char*>(t);
    }
    long set_octets(const void* data, long length) override {
        if (length < 0 || (!data && length > 0)) return PMC_E_INVALID;
        return set_oid_text(static_cast<const char*>(data), length);
    }
    long get_length() const override { return get_count(); }
    long get_element(long i, long* r) const override {
        long n = get_count();
        if (n == 0) { set_result(r, PMC_E_NOTREADY); return -1; }
        if (i < 0 || i >= n) { set_result(r, PMC_E_NOELEMENT); return -1; }
        set_result(r, 0);
        return static_cast<long>(ids_[static_cast<size_t>(i)]);
    }
    long index_subids(SubIds& ids, bool implied) const override {
        ids.clear();
        if (!implied) ids.push_back(ids_.size());
        ids.insert(ids.end(), ids_.data(), ids_.data() + ids_.size());
        return 0;
    }
    long read_index(const SubIds& ids, bool implied, long count, long* used) override {
        reset();
        size_t pos = 0, n;
        if (!implied) {
            if (ids.empty()) return PMC_E_INDEX;
            n = ids[0];
            pos = 1;
            if (n > ids.size() - 1) return PMC_E_INDEX;
        } else {
            n = (count < 0 || static_cast<size_t>(count) > ids.size()) ? ids.size() : static_cast<size_t>(count);
        }
        for (size_t i = 0; i < n; ++i) append_subid(ids[pos + i]);
        *used = static_cast<long>(pos + n);
        return 0;
    }
    void* own_interface(unsigned long iid) override {
        if (iid == pms_iid_of_type(PMS_OID) || iid == 6) return static_cast<IPmsOid*>(this);
        return nullptr;
    }

    // IPmsOid. Relations compare the texts character by character, as they always have.
    long compare_text(const char* t, long* r) const override {
        if (!t) { set_result(r, PMC_E_INVALID); return -1; }
        set_result(r, 0);
        const char* a = get_text();
        const char* b = t;
        while (*a && *b) {
            if (*a != *b) return static_cast<unsigned char>(*b) < static_cast<unsigned char>(*a) ? PMS_OID_GREATER : PMS_OID_LESS;
            ++a;
            ++b;
        }
        if (*a) return *a == '.' ? PMS_OID_THIS_BELOW : PMS_OID_GREATER;
        if (!*b) return PMS_OID_EQUAL;
        return *b == '.' ? PMS_OID_GIVEN_BELOW : PMS_OID_LESS;
    }
    long compare(const IPmsOid* o, long* r) const override {
        if (!o) { set_result(r, PMC_E_INVALID); return -1; }
        return compare_text(o->get_text(), r);
    }
    long strip_prefix_text(const char* t) override {
        if (!t) return PMC_E_INVALID;
        long r = 0;
        long rel = compare_text(t, &r);
        if (r || (rel != PMS_OID_EQUAL && rel != PMS_OID_THIS_BELOW)) return PMC_E_INVALID;
        long n = 0;
        if (*t) {
            n = 1;
            for (const char* p = t; *p; ++p) n += *p == '.';
        }
        return remove(0, n);
    }
    long strip_prefix(const IPmsOid* o) override { return o ? strip_prefix_text(o->get_text()) : PMC_E_INVALID; }
    long append_text(const char* t) override {
        if (!t) return PMC_E_INVALID;
        if (!*t) return 0;
        SubIdArray more;
        long len = static_cast<long>(std::strlen(t));
        if (!raw() && read_oid_text(t, len, more) == OidTextForm::Canonical)
            return guarded([&] {
                for (size_t i = 0; i < more.size(); ++i) ids_.push_back(more[i]);
            });
        // A text in another form joins the text as given.
        const char* current = get_text();
        std::string joined;
        if (guarded([&] { joined = std::string(current) + (*current ? "." : "") + t; })) return PMC_E_NOMEM;
        return set_oid_text(joined.data(), static_cast<long>(joined.size()));
    }
    long append_subid(unsigned long id) override {
        if (raw() || id > 0xFFFFFFFFul) {
            char buf[24];
            std::snprintf(buf, sizeof buf, "%lu", id);
            return append_text(buf);
        }
        return guarded([&] { ids_.push_back(static_cast<uint32_t>(id)); });
    }
    long append_oid(const IPmsOid* o) override {
        if (!o) return PMC_E_INVALID;
        long n = 0;
        bool exact = false;
        const uint32_t* more = o->get_subids(&n, &exact);
        if (raw() || !o->as_value()->is_valid() || !exact) return append_text(o->get_text());
        return guarded([&] {
            for (long i = 0; i < n; ++i) ids_.push_back(more[i]);
        });
    }
    long append_value_text(long type, const char* t, bool implied) override {
        long r = 0;
        IPmsValue* v = pms_create_value_from_text(t, type, &r);
        if (!v) return r;
        r = append_index(v, implied);
        v->release();
        return r;
    }
    long append_index(const IPmsValue* v, bool implied) override {
        if (!v) return PMC_E_INVALID;
        return v->append_index_to(this, implied);
    }
    IPmsOid* new_prefix(long count, long* r) override {
        if (count < 0 || count > get_count()) { set_result(r, PMC_E_INVALID); return nullptr; }
        COid* c = new (std::nothrow) COid();
        if (!c) { set_result(r, PMC_E_NOMEM); return nullptr; }
        long rr = c->set_subids(ids_.data(), count);
        if (rr) { c->release(); set_result(r, rr); return nullptr; }
        remove(0, count);
        set_result(r, 0);
        return c;
    }
    long take_prefix_into(IPmsValue* v, long count) override {
        if (!v || count < 0 || count > get_count()) return PMC_E_INVALID;
        std::string prefix;
        if (guarded([&] { prefix = text_of(ids_.data(), static_cast<size_t>(count)); })) return PMC_E_NOMEM;
        long r = v->set_text(prefix.c_str());
        if (r) return r;
        return remove(0, count);
    }
    unsigned long take_first_subid(long* r) override {
        if (ids_.empty()) { set_result(r, PMC_E_NOTREADY); return static_cast<unsigned long>(-1L); }
        unsigned long v = ids_[0];
        remove(0, 1);
        set_result(r, 0);
        return v;
    }
    IPmcBytes* take_prefix_bytes(long count, long* r) override {
        IPmcBytes* b = pmc_create_bytes(r);
        if (!b) return nullptr;
        long rr = take_prefix_into_bytes(b, count);
        if (rr) { b->release(); set_result(r, rr); return nullptr; }
        return b;
    }
    long take_prefix_into_bytes(IPmcBytes* b, long count) override {
        if (!b || count < 0 || count > get_count()) return PMC_E_INVALID;
        std::string prefix;
        if (guarded([&] { prefix = text_of(ids_.data(), static_cast<size_t>(count)); })) return PMC_E_NOMEM;
        long r = b->set(prefix.data(), static_cast<long>(prefix.size()));
        if (r) return r;
        return remove(0, count);
    }
    IPmsValue* take_index_value(long type, bool implied, long count, long* r) override {
        IPmsValue* v = pms_create_value(type, r);
        if (!v) return nullptr;
        long rr = take_index_into(v, implied, count);
        if (rr) { v->release(); set_result(r, rr); return nullptr; }
        set_result(r, 0);
        return v;
    }
    long take_index_into(IPmsValue* v, bool implied, long count) override {
        if (!v) return PMC_E_INVALID;
        long r = v->read_index_from(this, implied, count);
        if (r) return r;
        long used = (implied && count != -1) ? count : v->get_index_length(implied);
        if (used > 0) remove(0, used);
        return 0;
    }
    // Removing from an OID kept in another text form leaves it in canonical form.
    long remove(long start, long count) override {
        long n = get_count();
        if (start < 0 || start >= n) return (start == 0 && n == 0 && count == 0) ? 0 : PMC_E_INVALID;
        if (count < 0 || start + count > n) count = n - start;
        if (count == 0) return 0;
        ids_.erase(static_cast<size_t>(start), static_cast<size_t>(count));
        changed();
        return 0;
    }
    IPmsValue* peek_index_value(long type, bool implied, long* r) const override {
        IPmsValue* v = pms_create_value(type, r);
        if (!v) return nullptr;
        long rr = peek_index_into(v, implied);
        if (rr) { v->release(); set_result(r, rr); return nullptr; }
        set_result(r, 0);
        return v;
    }
    long peek_index_into(IPmsValue* v, bool implied) const override {
        if (!v) return PMC_E_INVALID;
        return v->read_index_from(this, implied, -1);
    }
    long set_from_index(const IPmsValue* v, bool implied) override {
        if (!v) return PMC_E_INVALID;
        return v->write_index_to(this, implied);
    }
    IPmsValue* as_value() override { return this; }
    const IPmsValue* as_value() const override { return this; }
    // The text is made on demand and kept until the next change.
    const char* get_text() const override {
        if (!text_made_) {
            try {
                text_ = text_of(ids_.data(), ids_.size());
            } catch (...) {
                text_.clear();
                return "";
            }
            text_made_ = true;
        }
        return text_.c_str();
    }
    long get_text_length() const override { return static_cast<long>(std::strlen(get_text())); }
    long get_count() const override { return static_cast<long>(ids_.size()); }
    long set_oid_text(const char* t, long length) override {
        if (!t || length < 0) length = 0;
        return guarded([&] {
            form_ = read_oid_text(t, length, ids_);
            if (raw()) {
                text_.assign(t, static_cast<size_t>(length));
                text_made_ = true;
            }
        });
    }
    const uint32_t* get_subids(long* count, bool* exact) const override {
        if (count) *count = static_cast<long>(ids_.size());
        if (exact) *exact = form_ != OidTextForm::Other;
        return ids_.data();
    }
    long set_subids(const uint32_t* ids, long count) override {
        if (count < 0 || (!ids && count > 0)) return PMC_E_INVALID;
        return guarded([&] {
            ids_.assign(ids, static_cast<size_t>(count));
            form_ = OidTextForm::Canonical;
            text_made_ = false;
        });
    }
    long take_decoded(const PmsDecodedValue& d) {
        return set_subids(static_cast<const uint32_t*>(d.data), static_cast<long>(d.length));
    }
    // The numbers, for the decoder to write in place; the text is made from them afterwards.
    SubIdArray* subids() {
        changed();
        return &ids_;
    }

private:
    bool raw() const { return form_ != OidTextForm::Canonical; }
    void changed() {
        form_ = OidTextForm::Canonical;
        text_made_ = false;
    }
    // Runs a change that may run out of memory; the text is made again afterwards.
    template <class F>
    long guarded(F&& change) {
        try {
            change();
        } catch (...) {
            return PMC_E_NOMEM;
        }
        if (!raw()) text_made_ = false;
        return 0;
    }
    SubIdArray ids_;
    OidTextForm form_ = OidTextForm::Canonical;
    mutable std::string text_;  // the text as given while raw(), else the cache
    mutable bool text_made_ = false;
};

}  // namespace

bool pms_oid_text_valid(const char* t, long len) {
    if (len <= 0) return true;
    if (!t) return false;
    long i = 0;
    for (;;) {
        if (i >= len || t[i] < '0' || t[i] > '9') return false;
        if (t[i] == '0') {
            ++i;
        } else {
            while (i < len && t[i] >= '0' && t[i] <= '9') ++i;
        }
        if (i == len) return true;
        if (t[i] != '.') return false;
        ++i;
    }
}

namespace {

// Calls make(std::type_identity<Class>{}, constructor arguments...) for the value class of a type;
// *known tells whether the type has one.
template <class Make>
IPmsValue* make_value(long type, bool* known, Make&& make) {
    *known = true;
    switch (type) {
    case PMS_INTEGER: return make(std::type_identity<CInteger>{});
    case PMS_OCTET_STRING:
    case PMS_OPAQUE: return make(std::type_identity<COctets>{}, type);
    case PMS_NULL: return make(std::type_identity<CNull>{});
    case PMS_OID: return make(std::type_identity<COid>{});
    case PMS_IPADDRESS:
    case PMS_IPV6_ADDRESS:
    case PMS_UDP_ADDRESS:
    case PMS_IPX_ADDRESS: return make(std::type_identity<CFixed>{}, type);
    case PMS_COUNTER32:
    case PMS_GAUGE32:
    case PMS_TIMETICKS: return make(std::type_identity<CUnsigned>{}, type);
    case PMS_COUNTER64: return make(std::type_identity<CCounter64>{});
    case PMS_NO_SUCH_OBJECT:
    case PMS_NO_SUCH_INSTANCE:
    case PMS_END_OF_MIB_VIEW: return make(std::type_identity<CException>{}, type);
    default: *known = false; return nullptr;
    }
}

constexpr size_t kValueSlot = std::max({slot_size_of<CInteger>(), slot_size_of<COctets>(), slot_size_of<CNull>(),
                                        slot_size_of<COid>(), slot_size_of<CFixed>(), slot_size_of<CUnsigned>(),
                                        slot_size_of<CCounter64>(), slot_size_of<CException>()});

}  // namespace

size_t pms_value_slot_size() { return kValueSlot; }

IPmsValue* pms_create_value(long type, long* r) {
    bool known = false;
    IPmsValue* v = make_value(type, &known, [](auto cls, auto... args) -> IPmsValue* {
        return new (std::nothrow) typename decltype(cls)::type(args...);
    });
    set_result(r, !known ? PMC_E_INVALID : v ? PMC_OK : PMC_E_NOMEM);
    return v;
}

IPmsValue* pms_create_decoded_value_in(const PmsDecodedValue& d, CSharedBlock* block, void* slot, long* r) {
    bool known = false;
    long taken = 0;
    IPmsValue* v = make_value(d.type, &known, [&](auto cls, auto... args) -> IPmsValue* {
        using Class = typename decltype(cls)::type;
        auto* c = new (slot) Class(args...);
        taken = c->take_decoded(d);
        if (taken) {
            c->~Class();
            return nullptr;
        }
        c->embed_in(block);
        block->add_objects(1);
        return c;
    });
    set_result(r, !known ? PMC_E_INVALID : taken == PMC_E_NOMEM ? PMC_E_NOMEM : taken ? PMC_E_DECODE : 0);
    return v;
}

SubIdArray* pms_oid_subids_to_decode(IPmsOid* oid) {
    return oid && typeid(*oid) == typeid(COid) ? static_cast<COid*>(oid)->subids() : nullptr;
}

IPmsOid* pms_create_decoded_oid_in(CSharedBlock* block, void* slot, SubIdArray** ids) {
    auto* o = new (slot) COid();
    o->embed_in(block);
    block->add_objects(1);
    *ids = o->subids();
    return o;
}

IPmsValue* pms_create_value_from_text(const char* text, long type, long* r) {
    if (!text) { set_result(r, PMC_E_INVALID); return nullptr; }
    IPmsValue* v = pms_create_value(type, r);
    if (!v) return nullptr;
    if (v->set_text(text) != 0 || !v->is_valid()) {
        v->release();
        set_result(r, PMC_E_INVALID);
        return nullptr;
    }
    return v;
}

IPmsValue* pms_create_value_from_number(long number, long type, long* r) {
    IPmsValue* v = pms_create_value(type, r);
    if (!v) return nullptr;
    long rr = v->set_int32(number);
    if (rr) {
        v->release();
        set_result(r, rr);
        return nullptr;
    }
    return v;
}

IPmsOid* pms_create_oid(const char* text, long* r) {
    if (!text) { set_result(r, PMC_E_INVALID); return nullptr; }
    IPmsOid* o = pms_create_empty_oid(r);
    if (!o) return nullptr;
    if (o->set_oid_text(text, static_cast<long>(std::strlen(text))) != 0 || !o->as_value()->is_valid()) {
        o->as_value()->release();
        set_result(r, PMC_E_INVALID);
        return nullptr;
    }
    return o;
}

IPmsOid* pms_create_empty_oid(long* r) {
    COid* o = new (std::nothrow) COid();
    set_result(r, o ? PMC_OK : PMC_E_NOMEM);
    return o;
}

}  // namespace devlink
