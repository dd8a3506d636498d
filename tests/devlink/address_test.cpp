#include <gtest/gtest.h>

#include <cstring>

#include "addr/address.h"
#include "socket/datagram.h"
#include "socket/socketapi.h"

using namespace devlink;

namespace {

class DevlinkAddress : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { pmc_address_service_select(GetParam()); }
    void TearDown() override { pmc_address_service_select(0); }
};

TEST_P(DevlinkAddress, LeadingZeroIpv4) {
    IPmcNetworkAddress* a = pmc_create_network_address(nullptr);
    EXPECT_EQ(a->set_text("192.168.0.010"), 0);
    EXPECT_EQ(a->get_kind(), 1);
    if (GetParam() == 2) {
        EXPECT_EQ(a->normalize(), 0);
        EXPECT_STREQ(a->get_text(), "192.168.0.10");
    }
    a->release();
}

TEST_P(DevlinkAddress, IpxAndKinds) {
    IPmcNetworkAddress* a = pmc_create_network_address(nullptr);
    EXPECT_NE(a->set_text("0000000A:00000000000B0"), 0);
    EXPECT_EQ(a->set_text("0000000A:00000000000B"), 0);
    EXPECT_EQ(a->get_kind(), 2);
    EXPECT_STREQ(a->get_text(), "0000000a:00000000000b");
    a->release();
    IPmcNetworkAddress* b = pmc_create_network_address(nullptr);
    b->set_text("10.0.0.1");
    EXPECT_EQ(b->set_text("fe80::1"), GetParam() == 1 ? -2 : -7);
    EXPECT_STREQ(b->get_text(), "10.0.0.1");
    b->release();
}

TEST_P(DevlinkAddress, EqualsPorts) {
    IPmcNetworkAddress* a = pmc_create_network_address(nullptr);
    IPmcNetworkAddress* b = pmc_create_network_address(nullptr);
    a->set_text("10.0.0.1");
    a->set_port(161);
    b->set_text("10.0.0.1");
    EXPECT_TRUE(a->equals(b));
    EXPECT_FALSE(b->equals(a));
    a->release();
    b->release();
}

TEST_P(DevlinkAddress, TrailingCharacter) {
    IPmcNetworkAddress* a = pmc_create_network_address(nullptr);
    if (GetParam() == 2) {
        EXPECT_EQ(a->set_text("10.0.0.1 "), -7);
    }
    a->set("Host-ABC", 1, 0);
    EXPECT_STREQ(a->get_text(), "Host-abc");
    a->release();
}

INSTANTIATE_TEST_SUITE_P(Services, DevlinkAddress, ::testing::Values(1, 2));

TEST(DevlinkSocket, UdpRoundTripAndTimeout) {
    DataGramSocket *a = nullptr, *b = nullptr;
    ASSERT_EQ(pmc_create_datagram_socket(1, 0, &a), 0);
    ASSERT_EQ(pmc_create_datagram_socket(1, 0, &b), 0);
    EXPECT_NE(b->get_local_address()->get_port(), 0);
    IPmcNetworkAddress* dst = pmc_create_network_address(nullptr);
    dst->set("127.0.0.1", 1, b->get_local_address()->get_port());
    char buf[64];
    long len = 0;
    IPmcNetworkAddress* src = nullptr;
    EXPECT_EQ(b->receive(buf, sizeof buf, 0, &len, &src), -203);
    EXPECT_EQ(a->send("hello", 5, dst), 0);
    ASSERT_EQ(b->receive(buf, sizeof buf, 1000, &len, &src), 0);
    EXPECT_EQ(len, 5);
    EXPECT_EQ(src->get_port(), a->get_local_address()->get_port());
    src->release();
    IPmcNetworkAddress* bad = pmc_create_network_address(nullptr);
    bad->set("300.1.1.1", 1, 1);
    EXPECT_EQ(a->send("x", 1, bad), -2);
    bad->release();
    dst->release();
    a->release();
    b->release();
}

TEST(DevlinkSocket, Ipv6Loopback) {
    DataGramSocket* s = nullptr;
    long r = pmc_create_datagram_socket(4, 0, &s);
    if (r == -201) GTEST_SKIP() << "no IPv6 here";
    ASSERT_EQ(r, 0);
    DataGramSocket* t = nullptr;
    ASSERT_EQ(pmc_create_datagram_socket(4, 0, &t), 0);
    IPmcNetworkAddress* dst = pmc_create_network_address(nullptr);
    dst->set("::1", 4, t->get_local_address()->get_port());
    if (s->send("v6", 2, dst) == 0) {
        char buf[8];
        long len = 0;
        IPmcNetworkAddress* src = nullptr;
        if (t->receive(buf, sizeof buf, 1000, &len, &src) == 0) {
            EXPECT_EQ(len, 2);
            EXPECT_EQ(src->get_kind(), 4);
            src->release();
        }
    }
    dst->release();
    s->release();
    t->release();
}

TEST(DevlinkSocket, KindsAndIpx) {
    DataGramSocket* s = nullptr;
    EXPECT_EQ(pmc_create_datagram_socket(3, 0, &s), -2);
    EXPECT_EQ(pmc_create_datagram_socket(1, 0, nullptr), -2);
    long r = pmc_create_datagram_socket(2, 0, &s);
    if (r == 0) s->release();
    else EXPECT_EQ(r, -201);  // a kernel without IPX
}

TEST(DevlinkSocket, Ipv6Expansion) {
    EXPECT_EQ(pmc_ipv6_expand("ff02::1"), "ff02:0:0:0:0:0:0:1");
    EXPECT_EQ(pmc_ipv6_expand("::1"), "0:0:0:0:0:0:0:1");
    EXPECT_EQ(pmc_ipv6_expand("1::"), "1:0:0:0:0:0:0:");
}

void* hide_getaddrinfo(void* module, const char* name, int* error) {
    if (std::strcmp(name, "getaddrinfo") == 0) {
        *error = 127;
        return nullptr;
    }
    return NPmcSocketAPI::default_resolve(module, name, error);
}

TEST(DevlinkSocketApi, OlderServiceFallback) {
    EXPECT_EQ(pmc_socket_api_load(), 0);
    EXPECT_TRUE(pmc_socket_api_has_newer());
    NPmcSocketAPI::set_resolver(&hide_getaddrinfo);
    NPmcSocketAPI::unload_for_test();
    EXPECT_EQ(pmc_socket_api_load(), 0);
    EXPECT_FALSE(pmc_socket_api_has_newer());
    IPmcAddressService* s = pmc_address_service(nullptr);
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->is_newer());
    long kind = 0;
    EXPECT_EQ(s->get_kind("fe80::1", &kind), -7);
    NPmcSocketAPI::set_resolver(nullptr);
    NPmcSocketAPI::unload_for_test();
    EXPECT_TRUE(pmc_socket_api_has_newer());
    EXPECT_TRUE(pmc_address_service(nullptr)->is_newer());
}

TEST(DevlinkSocketApi, MissingLibrary) {
    NPmcSocketAPI::unload_for_test();
    NPmcSocketAPI::set_module_names("libdoes-not-exist.so.9", "libneither.so.9");
    EXPECT_EQ(pmc_socket_api_load(), -10);
    NPmcSocketAPI::set_module_names(nullptr, nullptr);
    EXPECT_EQ(pmc_socket_api_load(), 0);
}

}  // namespace
