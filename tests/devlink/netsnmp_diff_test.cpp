// Differential test against Net-SNMP's own BER code: thousands of generated PDUs are encoded by
// both sides and compared byte for byte, and each side decodes the other's messages.
#include <gtest/gtest.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "snmp/pdu.h"

using namespace devlink;

namespace {

struct Var {
    std::vector<uint32_t> name;
    int type = 5;
    int32_t i = 0;
    uint32_t u = 0;
    uint64_t c64 = 0;
    std::string bytes;
    std::vector<uint32_t> oidval;
};

struct Msg {
    int version = 0;
    std::string community = "public";
    int type = 0;  // our PDU type number
    int32_t reqid = 0, errstat = 0, errindex = 0;
    std::vector<Var> vars;
    // v1 trap
    std::vector<uint32_t> enterprise;
    int generic = 6;
    int32_t specific = 0;
    uint32_t time = 0;
};

std::string oid_text(const std::vector<uint32_t>& ids) {
    std::string s;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i) s += '.';
        s += std::to_string(ids[i]);
    }
    return s;
}

class Gen {
public:
    explicit Gen(unsigned seed) : rng_(seed) {}
    uint32_t u32() { return static_cast<uint32_t>(rng_()); }
    int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    int32_t int_value() {
        static const int64_t edges[] = {0, 1, -1, 127, 128, -128, -129, 255, 256, 32767, 32768, -32768, -32769,
                                        8388607, 8388608, -8388608, -8388609, INT32_MAX, INT32_MIN};
        if (pick(2)) return static_cast<int32_t>(edges[pick(sizeof edges / sizeof edges[0])]);
        return static_cast<int32_t>(u32() >> pick(32));
    }
    uint32_t uint_value() {
        static const uint32_t edges[] = {0, 1, 127, 128, 255, 256, 32767, 32768, 65535, 65536, 0x7FFFFF, 0x800000,
                                         0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
        if (pick(2)) return edges[pick(sizeof edges / sizeof edges[0])];
        return u32() >> pick(32);
    }
    uint32_t subid() {
        static const uint32_t edges[] = {0, 1, 127, 128, 16383, 16384, (1u << 21) - 1, 1u << 21, (1u << 28) - 1,
                                         1u << 28, (1u << 28) + 1, 0x7FFFFFFF, 0xFFFFFFFFu};
        int k = pick(4);
        if (k == 0) return edges[pick(sizeof edges / sizeof edges[0])];
        if (k == 1) return u32();
        return static_cast<uint32_t>(pick(300));
    }
    std::vector<uint32_t> oid(size_t min_len = 2) {
        size_t n = min_len + static_cast<size_t>(pick(pick(8) == 0 ? 127 : 12));
        if (n > 128) n = 128;
        std::vector<uint32_t> v;
        v.push_back(static_cast<uint32_t>(pick(3)));
        v.push_back(v[0] < 2 ? static_cast<uint32_t>(pick(40)) : (pick(2) ? static_cast<uint32_t>(pick(200)) : 0xFFFFFFFFu - 80));
        while (v.size() < n) v.push_back(subid());
        return v;
    }
    size_t length() {
        static const size_t edges[] = {0, 1, 2, 126, 127, 128, 129, 254, 255, 256, 257, 1000};
        if (pick(200) == 0) return 65535 - static_cast<size_t>(pick(3));
        if (pick(2)) return edges[pick(sizeof edges / sizeof edges[0])];
        return static_cast<size_t>(pick(40));
    }
    std::string bytes(size_t n) {
        std::string s(n, '\0');
        for (auto& c : s) c = static_cast<char>(u32());
        return s;
    }
    Var var(int version) {
        Var v;
        v.name = oid();
        static const int types[] = {2, 4, 5, 6, 0x40, 0x41, 0x42, 0x43, 0x44, 0x46, 0x80, 0x81, 0x82};
        int ntypes = version == 0 ? 10 : 13;  // the exception values belong to SNMPv2c
        v.type = types[pick(ntypes)];
        switch (v.type) {
        case 2: v.i = int_value(); break;
        case 4: v.bytes = bytes(length()); break;
        case 0x44:
            v.bytes = bytes(length());
            if (v.bytes.size() >= 2 && static_cast<unsigned char>(v.bytes[0]) == 0x9f) v.bytes[0] = 0x04;
            break;
        case 6: v.oidval = oid(); break;
        case 0x40: v.bytes = bytes(4); break;
        case 0x41: case 0x42: case 0x43: v.u = uint_value(); break;
        case 0x46: v.c64 = pick(3) == 0 ? uint_value() : (static_cast<uint64_t>(uint_value()) << 32) | uint_value(); break;
        default: break;
        }
        return v;
    }
    Msg msg() {
        Msg m;
        m.version = pick(2);
        m.community = pick(4) == 0 ? bytes(length() % 256) : std::string("public");
        for (auto& c : m.community)  // the community is a text in our model: no zero bytes
            if (c == 0) c = 'z';
        static const int v1types[] = {0, 1, 2, 3, 4};
        static const int v2types[] = {0, 1, 2, 3, 5, 6};  // Net-SNMP builds Report only for SNMPv3
        m.type = m.version == 0 ? v1types[pick(5)] : v2types[pick(6)];
        m.reqid = int_value();
        m.errstat = pick(19);
        m.errindex = pick(3) ? pick(30) : int_value();
        // Net-SNMP takes -1 as "default" and writes 0 there (SNMP_DEFAULT_ERRINDEX, _REQID).
        if (m.errindex == -1) m.errindex = -2;
        if (m.reqid == -1) m.reqid = -2;
        // Net-SNMP refuses a negative max-repetitions (the error-index of a GetBulk).
        if (m.type == 5 && m.errindex < 0) m.errindex = m.errindex == INT32_MIN ? INT32_MAX : -m.errindex;
        size_t n = static_cast<size_t>(pick(4) == 0 ? pick(60) : pick(6));
        for (size_t i = 0; i < n; ++i) m.vars.push_back(var(m.version));
        if (m.type == 4) {
            m.generic = pick(7);
            m.enterprise = oid();
            if (m.generic != 6) m.enterprise = {1, 3, 6, 1, 6, 3, 1, 1, 5};
            m.specific = m.generic == 6 ? static_cast<int32_t>(uint_value() & 0x7FFFFFFF) : 0;
            m.time = uint_value() | 1;
        }
        return m;
    }

private:
    std::mt19937 rng_;
};

// ----------------------------------------------------------------------------- ours
IPmsValue* our_value(const Var& v) {
    IPmsValue* x = pms_create_value(v.type, nullptr);
    switch (v.type) {
    case 2: x->set_int32(v.i); break;
    case 4: case 0x44: case 0x40: x->set_octets(v.bytes.data(), static_cast<long>(v.bytes.size())); break;
    case 6: x->set_text(oid_text(v.oidval).c_str()); break;
    case 0x41: case 0x42: case 0x43: x->set_uint32(v.u); break;
    case 0x46: x->set_high32(static_cast<uint32_t>(v.c64 >> 32)); x->set_low32(static_cast<uint32_t>(v.c64)); break;
    default: break;
    }
    return x;
}

struct Ours {
    IPmsPdu* pdu = nullptr;
    IPmsSnmpTarget* target = nullptr;
    ~Ours() {
        if (pdu) pdu->release();
        if (target) target->release();
    }
};

void build_ours(const Msg& m, Ours& o) {
    o.pdu = pms_create_pdu(nullptr);
    o.target = pms_create_target(0, nullptr);
    o.target->set_version(m.version);
    o.target->set_max_size(1 << 20);
    pms_target_set_community_bytes(o.target, m.community.data(), m.community.size());
    o.pdu->set_type(m.type);
    o.pdu->set_request_id(m.reqid);
    o.pdu->set_error_status(m.errstat);
    o.pdu->set_error_index(m.errindex);
    for (const Var& v : m.vars) o.pdu->add(pms_create_oid(oid_text(v.name).c_str(), nullptr), our_value(v));
    if (m.type == 4) {
        std::vector<uint32_t> t = m.enterprise;
        t.push_back(0);
        t.push_back(m.generic == 6 ? static_cast<uint32_t>(m.specific) : static_cast<uint32_t>(m.generic + 1));
        o.pdu->set_trap_oid(pms_create_oid(oid_text(t).c_str(), nullptr));
        IPmsValue* ts = pms_create_value(PMS_TIMETICKS, nullptr);
        ts->set_uint32(m.time);
        o.pdu->set_time_stamp(ts);
    }
}

std::string encode_ours(const Msg& m, long* result) {
    Ours o;
    build_ours(m, o);
    IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
    long bindings = 0;
    *result = pms_codec_registry()->encode(o.pdu, o.target, raw, &bindings);
    std::string out;
    if (*result == 0) out.assign(reinterpret_cast<char*>(raw->get_position()), static_cast<size_t>(raw->get_remaining()));
    raw->release();
    return out;
}

// Compares a PDU decoded by us with the model.
void expect_ours_equal(const Msg& m, IPmsPdu* pdu, IPmsSnmpTarget* target, const std::string& ctx) {
    ASSERT_EQ(target->get_version(), m.version) << ctx;
    std::string community(target->as_community()->get_community());
    // The community text is handed out zero-terminated; compare the part before any zero byte.
    EXPECT_EQ(community, std::string(m.community.c_str())) << ctx;
    ASSERT_EQ(pdu->get_type(), m.type) << ctx;
    if (m.type == 4) {
        std::vector<uint32_t> t = m.enterprise;
        t.push_back(0);
        t.push_back(m.generic == 6 ? static_cast<uint32_t>(m.specific) : static_cast<uint32_t>(m.generic + 1));
        EXPECT_STREQ(pdu->get_trap_oid()->get_text(), oid_text(t).c_str()) << ctx;
        EXPECT_EQ(pdu->get_time_stamp()->get_uint32(nullptr), m.time) << ctx;
    } else {
        EXPECT_EQ(pdu->get_request_id(), m.reqid) << ctx;
        EXPECT_EQ(pdu->get_error_status(), m.errstat) << ctx;
        EXPECT_EQ(pdu->get_error_index(), m.errindex) << ctx;
    }
    IPmsVarBindList* l = pdu->get_varbinds();
    ASSERT_NE(l, nullptr) << ctx;
    ASSERT_EQ(l->get_count(), static_cast<long>(m.vars.size())) << ctx;
    for (size_t i = 0; i < m.vars.size(); ++i) {
        IPmsVarBind* b = l->get(static_cast<long>(i));
        EXPECT_STREQ(b->get_oid()->get_text(), oid_text(m.vars[i].name).c_str()) << ctx << " binding " << i;
        IPmsValue* expect = our_value(m.vars[i]);
        EXPECT_TRUE(b->get_value()->equals(expect)) << ctx << " binding " << i << " type " << m.vars[i].type;
        expect->release();
    }
}

// ----------------------------------------------------------------------------- Net-SNMP
int ns_command(int type, int version) {
    switch (type) {
    case 0: return SNMP_MSG_GET;
    case 1: return SNMP_MSG_GETNEXT;
    case 2: return SNMP_MSG_RESPONSE;
    case 3: return SNMP_MSG_SET;
    case 4: return version == 0 ? SNMP_MSG_TRAP : SNMP_MSG_TRAP2;
    case 5: return SNMP_MSG_GETBULK;
    case 6: return SNMP_MSG_INFORM;
    default: return SNMP_MSG_REPORT;
    }
}

std::vector<oid> ns_oid(const std::vector<uint32_t>& v) { return std::vector<oid>(v.begin(), v.end()); }

netsnmp_pdu* build_netsnmp(const Msg& m) {
    netsnmp_pdu* pdu = snmp_pdu_create(ns_command(m.type, m.version));
    pdu->version = m.version == 0 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
    pdu->community = static_cast<u_char*>(malloc(m.community.size() + 1));
    memcpy(pdu->community, m.community.data(), m.community.size());
    pdu->community_len = m.community.size();
    if (m.type == 4) {
        auto e = ns_oid(m.enterprise);
        pdu->enterprise = static_cast<oid*>(malloc(e.size() * sizeof(oid)));
        memcpy(pdu->enterprise, e.data(), e.size() * sizeof(oid));
        pdu->enterprise_length = e.size();
        pdu->trap_type = m.generic;
        pdu->specific_type = m.specific;
        pdu->time = m.time;
        memset(pdu->agent_addr, 0, 4);
    } else {
        pdu->reqid = m.reqid;
        pdu->errstat = m.errstat;
        pdu->errindex = m.errindex;
    }
    for (const Var& v : m.vars) {
        auto name = ns_oid(v.name);
        switch (v.type) {
        case 2: { long x = v.i; snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_INTEGER, &x, sizeof x); break; }
        case 4: case 0x44: case 0x40:
            snmp_pdu_add_variable(pdu, name.data(), name.size(), static_cast<u_char>(v.type), v.bytes.data(), v.bytes.size());
            break;
        case 6: {
            auto val = ns_oid(v.oidval);
            snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_OBJECT_ID, val.data(), val.size() * sizeof(oid));
            break;
        }
        case 0x41: case 0x42: case 0x43: {
            u_long x = v.u;
            snmp_pdu_add_variable(pdu, name.data(), name.size(), static_cast<u_char>(v.type), &x, sizeof x);
            break;
        }
        case 0x46: {
            struct counter64 c;
            c.high = v.c64 >> 32;
            c.low = v.c64 & 0xFFFFFFFFu;
            snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_COUNTER64, &c, sizeof c);
            break;
        }
        default: snmp_pdu_add_variable(pdu, name.data(), name.size(), static_cast<u_char>(v.type), nullptr, 0); break;
        }
    }
    return pdu;
}

std::string encode_netsnmp(const Msg& m, int* result) {
    netsnmp_session sess;
    snmp_sess_init(&sess);
    sess.version = m.version == 0 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
    netsnmp_pdu* pdu = build_netsnmp(m);
    size_t len = 4096, offset = 0;
    u_char* buf = static_cast<u_char*>(malloc(len));
    *result = snmp_build(&buf, &len, &offset, &sess, pdu);
    std::string out;
    if (*result == 0) out.assign(reinterpret_cast<char*>(buf + len - offset), offset);
    free(buf);
    snmp_free_pdu(pdu);
    return out;
}

void expect_netsnmp_equal(const Msg& m, const std::string& wire, const std::string& ctx) {
    netsnmp_session sess;
    snmp_sess_init(&sess);
    netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
    std::vector<u_char> data(wire.begin(), wire.end());
    int r = snmp_parse(nullptr, &sess, pdu, data.data(), data.size());
    ASSERT_EQ(r, 0) << ctx;
    EXPECT_EQ(pdu->version, m.version == 0 ? SNMP_VERSION_1 : SNMP_VERSION_2c) << ctx;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pdu->community), pdu->community_len), m.community) << ctx;
    EXPECT_EQ(pdu->command, ns_command(m.type, m.version)) << ctx;
    if (m.type == 4) {
        EXPECT_EQ(std::vector<oid>(pdu->enterprise, pdu->enterprise + pdu->enterprise_length), ns_oid(m.enterprise)) << ctx;
        EXPECT_EQ(pdu->trap_type, m.generic) << ctx;
        EXPECT_EQ(pdu->specific_type, m.specific) << ctx;
        EXPECT_EQ(pdu->time, m.time) << ctx;
    } else {
        EXPECT_EQ(pdu->reqid, m.reqid) << ctx;
        EXPECT_EQ(pdu->errstat, m.errstat) << ctx;
        EXPECT_EQ(pdu->errindex, m.errindex) << ctx;
    }
    size_t i = 0;
    for (netsnmp_variable_list* v = pdu->variables; v; v = v->next_variable, ++i) {
        ASSERT_LT(i, m.vars.size()) << ctx;
        const Var& e = m.vars[i];
        EXPECT_EQ(std::vector<oid>(v->name, v->name + v->name_length), ns_oid(e.name)) << ctx << " binding " << i;
        EXPECT_EQ(v->type, e.type) << ctx << " binding " << i;
        switch (e.type) {
        case 2: EXPECT_EQ(*v->val.integer, e.i) << ctx; break;
        case 4: case 0x44: case 0x40:
            EXPECT_EQ(std::string(reinterpret_cast<char*>(v->val.string), v->val_len), e.bytes) << ctx << " binding " << i;
            break;
        case 6:
            EXPECT_EQ(std::vector<oid>(v->val.objid, v->val.objid + v->val_len / sizeof(oid)), ns_oid(e.oidval)) << ctx;
            break;
        case 0x41: case 0x42: case 0x43: EXPECT_EQ(static_cast<uint32_t>(*v->val.integer), e.u) << ctx; break;
        case 0x46:
            EXPECT_EQ((static_cast<uint64_t>(v->val.counter64->high) << 32) | v->val.counter64->low, e.c64) << ctx;
            break;
        default: break;
        }
    }
    EXPECT_EQ(i, m.vars.size()) << ctx;
    snmp_free_pdu(pdu);
}

class NetSnmpDiff : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_QUICK_PRINT, 1);
        init_snmp("devlink-diff");
    }
};

TEST_F(NetSnmpDiff, GeneratedMessagesAgreeByteForByteAndDecodeEachOther) {
    Gen gen(20240611);
    int compared = 0;
    for (int n = 0; n < 4000; ++n) {
        Msg m = gen.msg();
        std::string ctx = "message " + std::to_string(n) + " version " + std::to_string(m.version) + " type " +
                          std::to_string(m.type);
        long ours_r = 0;
        int ns_r = 0;
        std::string ours = encode_ours(m, &ours_r);
        std::string theirs = encode_netsnmp(m, &ns_r);
        ASSERT_EQ(ours_r, 0) << ctx;
        ASSERT_EQ(ns_r, 0) << ctx << " " << snmp_api_errstring(ns_r);
        ASSERT_EQ(ours, theirs) << ctx;
        ++compared;
        // Each side decodes the other's message to the same content.
        IPmsPdu* pdu = pms_create_pdu(nullptr);
        IPmsSnmpTarget* target = pms_create_target(0, nullptr);
        IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
        auto* bytes = static_cast<unsigned char*>(malloc(theirs.size()));
        memcpy(bytes, theirs.data(), theirs.size());
        raw->attach(bytes, static_cast<long>(theirs.size()), PMS_OWNER_HEAP);
        ASSERT_EQ(pms_codec_registry()->decode(raw, pdu, target, -1), 0) << ctx;
        expect_ours_equal(m, pdu, target, ctx);
        raw->release();
        pdu->release();
        target->release();
        expect_netsnmp_equal(m, ours, ctx);
        if (HasFailure()) return;
    }
    EXPECT_EQ(compared, 4000);
}

}  // namespace
