// The codec's worked examples: known messages and their exact bytes, both ways.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/codec.h"

using namespace devlink;

namespace {

using Bytes = std::vector<unsigned char>;

struct Msg {
    IPmsPdu* pdu = pms_create_pdu(nullptr);
    IPmsSnmpTarget* target = pms_create_target(0, nullptr);
    Msg(long version = 0, unsigned long max = 1472) {
        target->set_version(version);
        target->set_max_size(max);
        target->as_community()->set_community("public");
    }
    ~Msg() {
        pdu->release();
        target->release();
    }
};

long encode(Msg& m, Bytes* out, long* bindings = nullptr) {
    IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
    long r = pms_codec_registry()->encode(m.pdu, m.target, raw, bindings);
    if (r == 0) out->assign(raw->get_position(), raw->get_position() + raw->get_remaining());
    raw->release();
    return r;
}

long decode(const Bytes& in, Msg& m) {
    IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
    auto* d = static_cast<unsigned char*>(std::malloc(in.size() ? in.size() : 1));
    if (!in.empty()) std::memcpy(d, in.data(), in.size());
    raw->attach(d, static_cast<long>(in.size()), PMS_OWNER_HEAP);
    long r = pms_codec_registry()->decode(raw, m.pdu, m.target, -1);
    raw->release();
    return r;
}

Bytes value_bytes(IPmsValue* v) {
    Msg m;
    m.pdu->set_type(0);
    m.pdu->add(pms_create_oid("1.3", nullptr), v);
    Bytes b;
    EXPECT_EQ(encode(m, &b), 0);
    // message: 30 L 02 01 00 04 06 public A0 L 3x(02 01 00) 30 L 30 L 06 01 2B value
    return Bytes(b.begin() + 31, b.end());
}

TEST(DevlinkCodec, RegistryHasTransStream) {
    EXPECT_STREQ(pms_codec_registry()->get_current_name(), "TransStream");
    EXPECT_EQ(pms_codec_registry()->select("transstream"), -2);
    EXPECT_EQ(pms_codec_registry()->select("TransStream"), 0);
}

TEST(DevlinkCodec, FortyByteGetRequest) {
    Msg m;
    m.pdu->set_type(0);
    m.pdu->set_request_id(0);
    m.pdu->add(pms_create_oid("1.3.6.1.2.1.1.1.0", nullptr), nullptr);
    Bytes b;
    ASSERT_EQ(encode(m, &b), 0);
    Bytes want = {0x30, 0x26, 0x02, 0x01, 0x00, 0x04, 0x06, 0x70, 0x75, 0x62, 0x6C, 0x69, 0x63, 0xA0,
                  0x19, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x0E, 0x30, 0x0C,
                  0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00, 0x05, 0x00};
    EXPECT_EQ(b, want);
}

TEST(DevlinkCodec, IntegerAndCounterForms) {
    EXPECT_EQ(value_bytes(pms_create_value_from_number(-1, PMS_INTEGER, nullptr)), (Bytes{0x02, 0x01, 0xFF}));
    EXPECT_EQ(value_bytes(pms_create_value_from_number(128, PMS_INTEGER, nullptr)), (Bytes{0x02, 0x02, 0x00, 0x80}));
    IPmsValue* c = pms_create_value(PMS_COUNTER32, nullptr);
    c->set_uint32(0x80000000ul);
    EXPECT_EQ(value_bytes(c), (Bytes{0x41, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00}));
    EXPECT_EQ(value_bytes(pms_create_value(PMS_OID, nullptr)), (Bytes{0x06, 0x00}));
}

// OID values: their bytes come from the sub-identifiers, whatever text form set them.
TEST(DevlinkCodec, OidValueForms) {
    struct Case {
        const char* text;
        Bytes bytes;  // empty: the encode is refused with -2
    };
    const Case cases[] = {
        {"1.3.6", {0x06, 0x02, 0x2B, 0x06}},
        {"01.3.06", {0x06, 0x02, 0x2B, 0x06}},
        {"2.999.4294967295", {0x06, 0x07, 0x88, 0x37, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"1.x", {}},
        {"1.3.4294967296", {}},
        {"3.1", {}},
        {"1.40", {}},
    };
    for (const Case& c : cases) {
        IPmsValue* v = pms_create_value(PMS_OID, nullptr);
        v->set_text(c.text);
        Msg m;
        m.pdu->set_type(0);
        m.pdu->add(pms_create_oid("1.3", nullptr), v);
        Bytes b;
        long r = encode(m, &b);
        if (c.bytes.empty()) {
            EXPECT_EQ(r, -2) << c.text;
            continue;
        }
        ASSERT_EQ(r, 0) << c.text;
        EXPECT_EQ(Bytes(b.begin() + 31, b.end()), c.bytes) << c.text;
    }
}

// An OID longer than the in-object room and one with large sub-identifiers survive both ways.
TEST(DevlinkCodec, LongOidRoundTrip) {
    std::string text = "1.3.6.1.4.1";
    for (int i = 0; i < 60; ++i) text += "." + std::to_string(i * 70001u);
    text += ".4294967295";
    Msg m;
    m.pdu->set_type(2);
    m.pdu->add(pms_create_oid(text.c_str(), nullptr), pms_create_oid(text.c_str(), nullptr));
    Bytes b;
    ASSERT_EQ(encode(m, &b), 0);
    Msg back;
    ASSERT_EQ(decode(b, back), 0);
    IPmsVarBind* got = back.pdu->get_varbinds()->get(0);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got->get_oid()->get_text(), text.c_str());
    EXPECT_STREQ(got->get_value()->as_oid()->get_text(), text.c_str());
    EXPECT_TRUE(back.pdu->equals(m.pdu));
}

TEST(DevlinkCodec, OneSubidOidFails) {
    Msg m;
    m.pdu->set_type(0);
    m.pdu->add(pms_create_oid("1", nullptr), nullptr);
    Bytes b;
    EXPECT_EQ(encode(m, &b), -2);
}

Bytes get_request() {
    Msg m;
    m.pdu->set_type(0);
    m.pdu->add(pms_create_oid("1.3.6.1.2.1.1.1.0", nullptr), nullptr);
    Bytes b;
    encode(m, &b);
    return b;
}

TEST(DevlinkCodec, LengthChecks) {
    Bytes b = get_request();
    Msg m;
    Bytes shorter(b.begin(), b.end() - 1);
    EXPECT_EQ(decode(shorter, m), -250);
    Bytes longer = b;
    longer.push_back(0xEE);
    longer.push_back(0xEE);
    EXPECT_EQ(decode(longer, m), 0);
    EXPECT_EQ(m.pdu->get_varbinds()->get_count(), 1);
    Bytes indefinite = b;
    indefinite[1] = 0x80;
    EXPECT_EQ(decode(indefinite, m), -250);
}

Bytes response_with_int(Bytes content) {
    // Response, request-id 1, one binding 1.3 = INTEGER content
    Bytes vb = {0x06, 0x01, 0x2B, 0x02, static_cast<unsigned char>(content.size())};
    vb.insert(vb.end(), content.begin(), content.end());
    Bytes bind = {0x30, static_cast<unsigned char>(vb.size())};
    bind.insert(bind.end(), vb.begin(), vb.end());
    Bytes list = {0x30, static_cast<unsigned char>(bind.size())};
    list.insert(list.end(), bind.begin(), bind.end());
    Bytes pdu = {0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00};
    pdu.insert(pdu.end(), list.begin(), list.end());
    Bytes pduh = {0xA2, static_cast<unsigned char>(pdu.size())};
    pduh.insert(pduh.end(), pdu.begin(), pdu.end());
    Bytes body = {0x02, 0x01, 0x00, 0x04, 0x06, 'p', 'u', 'b', 'l', 'i', 'c'};
    body.insert(body.end(), pduh.begin(), pduh.end());
    Bytes msg = {0x30, static_cast<unsigned char>(body.size())};
    msg.insert(msg.end(), body.begin(), body.end());
    return msg;
}

TEST(DevlinkCodec, FiveByteInteger) {
    Msg m;
    ASSERT_EQ(decode(response_with_int({0x00, 0xFF, 0xFF, 0xFF, 0xFF}), m), 0);
    EXPECT_EQ(static_cast<uint32_t>(m.pdu->get_varbinds()->get(0)->get_value()->get_int32(nullptr)), 0xFFFFFFFFu);
    Msg n;
    EXPECT_EQ(decode(response_with_int({0x01, 0x00, 0x00, 0x00, 0x00}), n), -250);
}

TEST(DevlinkCodec, ErrorMarking) {
    Msg m;
    m.pdu->set_type(2);
    m.pdu->set_error_status(2);
    m.pdu->set_error_index(1);
    m.pdu->add(pms_create_oid("1.3.1", nullptr), nullptr);
    m.pdu->add(pms_create_oid("1.3.2", nullptr), nullptr);
    Bytes b;
    ASSERT_EQ(encode(m, &b), 0);
    Msg d;
    ASSERT_EQ(decode(b, d), 0);
    EXPECT_EQ(d.pdu->get_varbinds()->get(0)->get_error(), 2);
    EXPECT_EQ(d.pdu->get_varbinds()->get(1)->get_error(), 100);
}

TEST(DevlinkCodec, TrapOidForms) {
    // SNMPv1 trap, generic-trap 0 (coldStart), enterprise 1.3.6.1.4.1.9
    Bytes body = {0x02, 0x01, 0x00, 0x04, 0x06, 'p', 'u', 'b', 'l', 'i', 'c',
                  0xA4, 0x1A, 0x06, 0x07, 0x2B, 0x06, 0x01, 0x04, 0x01, 0x09, 0x01,
                  0x40, 0x04, 0x0A, 0x00, 0x00, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00,
                  0x43, 0x01, 0x05, 0x30, 0x00};
    Bytes msg = {0x30, static_cast<unsigned char>(body.size())};
    msg.insert(msg.end(), body.begin(), body.end());
    Msg d;
    ASSERT_EQ(decode(msg, d), 0);
    EXPECT_EQ(d.pdu->get_type(), 4);
    EXPECT_STREQ(d.pdu->get_trap_oid()->get_text(), "1.3.6.1.6.3.1.1.5.0.1");
    EXPECT_EQ(d.pdu->get_time_stamp()->get_uint32(nullptr), 5ul);
    Bytes again;
    ASSERT_EQ(encode(d, &again), 0);
    // enterprise 1.3.6.1.6.3.1.1.5, agent-addr 0.0.0.0, generic 0, specific 0
    Bytes want_pdu = {0xA4, 0x1B, 0x06, 0x08, 0x2B, 0x06, 0x01, 0x06, 0x03, 0x01, 0x01, 0x05,
                      0x40, 0x04, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00,
                      0x43, 0x01, 0x05, 0x30, 0x00};
    EXPECT_EQ(Bytes(again.begin() + 13, again.end()), want_pdu);
    // Enterprise-specific form: enterprise.0.specific
    Msg e;
    e.pdu->set_type(4);
    e.pdu->set_trap_oid(pms_create_oid("1.3.6.1.4.1.9.0.7", nullptr));
    e.pdu->set_time_stamp(pms_create_value(PMS_TIMETICKS, nullptr));
    Bytes enc;
    ASSERT_EQ(encode(e, &enc), 0);
    Msg back;
    ASSERT_EQ(decode(enc, back), 0);
    EXPECT_STREQ(back.pdu->get_trap_oid()->get_text(), "1.3.6.1.4.1.9.0.7");
}

TEST(DevlinkCodec, V2cTrapUnsupported) {
    Msg e(1);
    e.pdu->set_type(4);
    e.pdu->set_trap_oid(pms_create_oid("1.3.6.1.4.1.9.0.7", nullptr));
    e.pdu->set_time_stamp(pms_create_value(PMS_TIMETICKS, nullptr));
    Bytes enc;
    EXPECT_EQ(encode(e, &enc), -5);
    Bytes msg = {0x30, 0x1A, 0x02, 0x01, 0x01, 0x04, 0x06, 'p', 'u', 'b', 'l', 'i', 'c', 0xA7, 0x0D,
                 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x02, 0x30, 0x00};
    msg[1] = static_cast<unsigned char>(msg.size() - 2);
    msg[14] = static_cast<unsigned char>(msg.size() - 15);
    Msg d;
    EXPECT_EQ(decode(msg, d), -5);
    EXPECT_EQ(d.pdu->get_type(), 4);
}

TEST(DevlinkCodec, TooBigReportsWrittenBindings) {
    Msg m(1, 1400);
    m.pdu->set_type(3);
    for (int i = 0; i < 30; ++i) {
        IPmsValue* s = pms_create_value(PMS_OCTET_STRING, nullptr);
        std::string data(40, 'x');
        s->set_octets(data.data(), 40);
        m.pdu->add(pms_create_oid(("1.3.6.1.4.1.1." + std::to_string(i)).c_str(), nullptr), s);
    }
    Bytes b;
    long bindings = -1;
    EXPECT_EQ(encode(m, &b, &bindings), -211);
    EXPECT_GT(bindings, 0);
    EXPECT_LT(bindings, 30);
}

TEST(DevlinkCodec, PeekHeader) {
    Msg m;
    m.pdu->set_type(2);
    m.pdu->set_request_id(4711);
    m.pdu->set_error_status(5);
    m.pdu->add(pms_create_oid("1.3.6", nullptr), nullptr);
    Bytes b;
    ASSERT_EQ(encode(m, &b), 0);
    IPmsRawPacket* raw = pms_create_raw_packet(nullptr);
    auto* d = static_cast<unsigned char*>(std::malloc(b.size()));
    std::memcpy(d, b.data(), b.size());
    raw->attach(d, static_cast<long>(b.size()), PMS_OWNER_HEAP);
    long status = 0, id = 0;
    EXPECT_EQ(pms_codec_registry()->peek_header(raw, &status, &id, 0), 0);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(id, 4711);
    raw->release();
}

}  // namespace
