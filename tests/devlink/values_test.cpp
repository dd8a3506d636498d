#include <gtest/gtest.h>

#include <string>

#include "snmp/value.h"

using namespace devlink;

namespace {

std::string text_of(IPmsValue* v, long* r = nullptr) {
    IPmcBytes* b = v->to_text(r);
    std::string s = b->get_data() ? std::string(b->get_data(), static_cast<size_t>(b->get_length())) : std::string();
    b->release();
    return s;
}

TEST(DevlinkValues, FactoryCodes) {
    long r = 0;
    EXPECT_EQ(pms_create_value(0x45, &r), nullptr);
    EXPECT_EQ(r, -2);
    IPmsValue* udp = pms_create_value(PMS_UDP_ADDRESS, &r);
    ASSERT_NE(udp, nullptr);
    EXPECT_EQ(text_of(udp), "0.0.0.0/0");
    udp->release();
    EXPECT_EQ(pms_create_value_from_number(5, PMS_COUNTER32, &r), nullptr);
    EXPECT_EQ(r, -5);
}

TEST(DevlinkValues, IpAddressAndUdp) {
    IPmsValue* ip = pms_create_value(PMS_IPADDRESS, nullptr);
    EXPECT_EQ(ip->set_text("1.2.3.256"), -2);
    EXPECT_EQ(ip->set_text("1.2.3"), -2);
    EXPECT_EQ(ip->set_octets("abcde", 5), -2);
    EXPECT_EQ(ip->set_text("10.0.0.1"), 0);
    EXPECT_EQ(text_of(ip), "10.0.0.1");
    ip->release();
    IPmsValue* udp = pms_create_value(PMS_UDP_ADDRESS, nullptr);
    EXPECT_EQ(udp->set_text("10.0.0.1/161"), 0);
    EXPECT_EQ(udp->get_uint32(nullptr), 0x0A000001ul);
    EXPECT_EQ(udp->get_uint16(nullptr), 161);
    EXPECT_EQ(udp->set_text("10.0.0.1/65536"), -2);
    udp->release();
}

TEST(DevlinkValues, NullHasNoText) {
    IPmsValue* n = pms_create_value(PMS_NULL, nullptr);
    long r = 0;
    EXPECT_EQ(text_of(n, &r), "");
    EXPECT_EQ(r, -5);
    n->release();
}

TEST(DevlinkValues, QueryInterface) {
    IPmsValue* c = pms_create_value(PMS_COUNTER32, nullptr);
    void* p = nullptr;
    EXPECT_EQ(c->query_interface(0xF0000041ul, &p), 0);
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(c->query_interface(0xF0000042ul, &p), 0);
    EXPECT_EQ(c->query_interface(0xF000FF00ul, &p), 0);
    c->query_interface(0xF0000004ul, &p);
    EXPECT_EQ(p, nullptr);
    c->release();
    IPmsValue* o = pms_create_value(PMS_OID, nullptr);
    o->query_interface(6, &p);
    EXPECT_EQ(p, static_cast<void*>(o->as_oid()));
    o->release();
}

TEST(DevlinkValues, OidCompare) {
    IPmsOid* o = pms_create_oid("1.3.6.1", nullptr);
    long r;
    EXPECT_EQ(o->compare_text("1.3.6.1.2", &r), 1);
    EXPECT_EQ(o->compare_text("1.3.6", &r), 2);
    EXPECT_EQ(o->compare_text("1.3.6.1", &r), 0);
    o->release();
    IPmsOid* p = pms_create_oid("1.3.6.10", nullptr);
    EXPECT_EQ(p->compare_text("1.3.6.1", &r), 4);
    p->release();
    IPmsOid* q = pms_create_oid("1.3.6.1.2", nullptr);
    EXPECT_EQ(q->compare_text("1.3.6.1.10", &r), 4);
    q->release();
}

TEST(DevlinkValues, OidValidity) {
    EXPECT_TRUE(pms_oid_text_valid("", 0));
    EXPECT_TRUE(pms_oid_text_valid("1.3.6.1", 7));
    EXPECT_FALSE(pms_oid_text_valid("1.03", 4));
    EXPECT_FALSE(pms_oid_text_valid("1..3", 4));
    EXPECT_FALSE(pms_oid_text_valid("1.3.", 4));
}

TEST(DevlinkValues, StripPrefix) {
    IPmsOid* o = pms_create_oid("1.3.6.1.4.1.5.3.6.7.8", nullptr);
    EXPECT_EQ(o->strip_prefix_text("1.3.6.1.4.1"), 0);
    EXPECT_STREQ(o->get_text(), "5.3.6.7.8");
    EXPECT_EQ(o->strip_prefix_text("1.3.7"), -2);
    EXPECT_STREQ(o->get_text(), "5.3.6.7.8");
    EXPECT_EQ(o->get_count(), 5);
    o->release();
}

TEST(DevlinkValues, OctetIndex) {
    IPmsOid* o = pms_create_oid("1.2", nullptr);
    IPmsValue* s = pms_create_value(PMS_OCTET_STRING, nullptr);
    s->set_octets("abc", 3);
    EXPECT_EQ(o->append_index(s, false), 0);
    EXPECT_STREQ(o->get_text(), "1.2.3.97.98.99");
    o->remove(0, 2);
    IPmsValue* back = o->take_index_value(PMS_OCTET_STRING, false, -1, nullptr);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->equals(s));
    EXPECT_STREQ(o->get_text(), "");
    back->release();
    IPmsOid* bad = pms_create_oid("4.97.98.99", nullptr);
    EXPECT_EQ(bad->peek_index_into(s, false), -401);
    bad->release();
    s->release();
    o->release();
}

TEST(DevlinkValues, EmptyOid) {
    IPmsOid* o = pms_create_empty_oid(nullptr);
    long r = 0;
    EXPECT_EQ(o->get_length(), 0);
    o->get_element(0, &r);
    EXPECT_EQ(r, -8);
    o->append_subid(1);
    o->append_subid(3);
    EXPECT_STREQ(o->get_text(), "1.3");
    o->release();
}

TEST(DevlinkValues, Counter64Text) {
    IPmsValue* c = pms_create_value_from_text("18446744073709551615", PMS_COUNTER64, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->get_high32(nullptr), 0xFFFFFFFFul);
    EXPECT_EQ(text_of(c), "18446744073709551615");
    c->release();
}

}  // namespace

namespace {

// A text that is not canonical dotted decimal is kept exactly as given; only canonical texts
// and lists of 32-bit numbers (leading zeros allowed) have exact sub-identifiers to encode.
TEST(DevlinkValues, OidTextForms) {
    struct Case {
        const char* text;
        bool valid;
        bool exact;
        long count;
    };
    const Case cases[] = {
        {"1.3.6.1", true, true, 4},     {"", true, true, 0},          {"01.3", false, true, 2},
        {"1.x.3", false, false, 3},     {"1..3", false, false, 3},    {"4294967296.1", true, false, 2},
        {"4294967295.7", true, true, 2},
    };
    for (const Case& c : cases) {
        IPmsValue* v = pms_create_value(PMS_OID, nullptr);
        ASSERT_EQ(v->set_text(c.text), 0) << c.text;
        IPmsOid* o = v->as_oid();
        EXPECT_STREQ(o->get_text(), c.text);
        EXPECT_EQ(v->is_valid(), c.valid) << c.text;
        long n = -1;
        bool exact = !c.exact;
        o->get_subids(&n, &exact);
        EXPECT_EQ(exact, c.exact) << c.text;
        EXPECT_EQ(n, c.count) << c.text;
        v->release();
    }
}

TEST(DevlinkValues, OidTextMadeAfterChanges) {
    IPmsOid* o = pms_create_oid("1.3.6.1", nullptr);
    EXPECT_STREQ(o->get_text(), "1.3.6.1");
    o->append_subid(4294967295ul);
    EXPECT_STREQ(o->get_text(), "1.3.6.1.4294967295");
    o->append_subid(4294967296ul);  // beyond 32 bits: kept as text, no longer exact
    EXPECT_STREQ(o->get_text(), "1.3.6.1.4294967295.4294967296");
    bool exact = true;
    o->get_subids(nullptr, &exact);
    EXPECT_FALSE(exact);
    const uint32_t ids[] = {1, 3, 6, 1, 2, 1};
    EXPECT_EQ(o->set_subids(ids, 6), 0);
    EXPECT_STREQ(o->get_text(), "1.3.6.1.2.1");
    EXPECT_EQ(o->get_count(), 6);
    IPmsOid* other = pms_create_oid("1.3.6.1.2.1", nullptr);
    EXPECT_TRUE(o->equals(other));
    o->release();
    other->release();
}

// Longer OIDs than the in-object room go to the heap; every operation must see them whole.
TEST(DevlinkValues, LongOid) {
    std::string text = "1.3";
    for (int i = 0; i < 40; ++i) text += "." + std::to_string(1000 + i);
    IPmsOid* o = pms_create_oid(text.c_str(), nullptr);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->get_count(), 42);
    IPmsOid* copy = o->clone(nullptr);
    EXPECT_TRUE(copy->equals(o));
    EXPECT_EQ(o->remove(2, 30), 0);
    EXPECT_EQ(o->get_count(), 12);
    EXPECT_EQ(o->get_element(2, nullptr), 1030);
    EXPECT_EQ(copy->get_element(41, nullptr), 1039);
    EXPECT_STREQ(copy->get_text(), text.c_str());
    o->release();
    copy->release();
}

}  // namespace
