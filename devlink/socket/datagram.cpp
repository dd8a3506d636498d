#include "socket/datagram.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "log/log.h"
#include "socket/socketapi.h"

namespace devlink {

#ifndef AF_IPX
#define AF_IPX 4
#endif

namespace {

// Linux's IPX socket address (linux/ipx.h), declared here so no kernel header is needed.
struct SockAddrIpx {
    sa_family_t sipx_family;
    uint16_t sipx_port;
    uint32_t sipx_network;
    unsigned char sipx_node[6];
    uint8_t sipx_type;
    unsigned char sipx_zero;
};

const NPmcSocketAPI::Table& A() { return NPmcSocketAPI::api(); }
IPmcLogChannel* L() { return pmc_log_socket(); }

class SocketBase : public DataGramSocket {
public:
    SocketBase(long kind) : kind_(kind) {}
    ~SocketBase() override {
        if (local_) local_->release();
        if (handle_ != -1) A().closesocket(handle_);
        if (started_) pmc_socket_cleanup();
    }
    void release() override { delete this; }
    int get_handle() const override { return handle_; }
    IPmcNetworkAddress* get_local_address() const override { return local_; }

    long send(const void* data, long length, const IPmcNetworkAddress* dst) override {
        if (!data || !dst) return PMC_E_INVALID;
        unsigned p = local_ ? local_->get_port() : 0;
        PMC_LOG(L(), PMC_LOG_DEBUG, "[DataGramSocket::send] send packet. port:%d(0x%x) -> %s:%d(0x%x).", p, p,
                dst->get_text() ? dst->get_text() : "", dst->get_port(), dst->get_port());
        struct sockaddr_storage sa {};
        if (!to_socket_address(&sa, dst)) return PMC_E_INVALID;
        ssize_t n = A().sendto(handle_, data, static_cast<size_t>(length), 0, reinterpret_cast<struct sockaddr*>(&sa),
                               sizeof sa);
        if (n == -1) {
            PMC_LOG(L(), PMC_LOG_ERROR, "fail send(). WSAGetLastError()=%d", A().WSAGetLastError());
            return PMC_E_SEND;
        }
        if (n < length) PMC_LOG(L(), PMC_LOG_WARN, "send(). size of sended bytes is not same that of buffer.");
        return 0;
    }

    long receive(void* buffer, long size, long timeout_ms, long* length, IPmcNetworkAddress** source) override {
        if (source) *source = nullptr;
        if (!buffer || !length || !source) return PMC_E_INVALID;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(handle_, &set);
        struct timeval tv {};
        struct timeval* ptv = nullptr;
        if (timeout_ms >= 0) {
            tv.tv_sec = timeout_ms / 1000;
            tv.tv_usec = (timeout_ms % 1000) * 1000;
            ptv = &tv;
        }
        int s = A().select(handle_ + 1, &set, nullptr, nullptr, ptv);
        if (s == -1) {
            PMC_LOG(L(), PMC_LOG_ERROR, "fail select(). WSAGetLastError()=%d", A().WSAGetLastError());
            return PMC_E_RECEIVE;
        }
        if (s == 0) {
            PMC_LOG(L(), PMC_LOG_TRACE, "select API timeout.");
            return PMC_E_TIMEOUT;
        }
        struct sockaddr_storage sa {};
        socklen_t salen = sizeof sa;
        ssize_t n = A().recvfrom(handle_, buffer, static_cast<size_t>(size), 0, reinterpret_cast<struct sockaddr*>(&sa), &salen);
        if (n < 0) {
            PMC_LOG(L(), PMC_LOG_ERROR, "fail recvfrom(). WSAGetLastError()=%d", A().WSAGetLastError());
            return PMC_E_RECEIVE;
        }
        *length = static_cast<long>(n);
        long r = 0;
        IPmcNetworkAddress* a = pmc_create_network_address(&r);
        if (!a) return PMC_E_NOMEM;
        if (!from_socket_address(reinterpret_cast<struct sockaddr*>(&sa), a)) {
            PMC_LOG(L(), PMC_LOG_ERROR, "[DataGramSocket::receive] fail create CPmcNetworkAddress ( success recvfrom() ).");
            a->release();
            return PMC_E_NOVALUE;
        }
        unsigned p = local_->get_port();
        PMC_LOG(L(), PMC_LOG_DEBUG, "[DataGramSocket::receive] receive packet port:%d(0x%x) <- %s:%d(0x%x).", p, p,
                a->get_text() ? a->get_text() : "", a->get_port(), a->get_port());
        *source = a;
        return 0;
    }

    long set_broadcast(bool flag) override {
        if (kind_ != PMC_ADDR_IPV4 && kind_ != PMC_ADDR_IPX) return 0;
        int v = flag ? 1 : 0;
        if (A().setsockopt(handle_, SOL_SOCKET, SO_BROADCAST, &v, sizeof v) != 0) {
            PMC_LOG(L(), PMC_LOG_ERROR, "fail setsockopt(). can't set broadcast flag. WSAGetLastError()=%d", A().WSAGetLastError());
            return PMC_E_NOVALUE;
        }
        return 0;
    }

    long join_multicast(const char* group) override {
        if (!group) return PMC_E_INVALID;
        int rc;
        if (kind_ == PMC_ADDR_IPV4) {
            unsigned int g = A().inet_addr(group);
            if (g == INADDR_NONE && std::strcmp(group, "255.255.255.255") != 0) {
                PMC_LOG(L(), PMC_LOG_ERROR, "fail inet_addr(). WSAGetLastError()=%d", A().WSAGetLastError());
                return PMC_E_NOVALUE;
            }
            struct ip_mreq m {};
            m.imr_multiaddr.s_addr = g;
            m.imr_interface.s_addr = 0;
            rc = A().setsockopt(handle_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m);
        } else if (kind_ == PMC_ADDR_IPV6) {
            std::string t = pmc_ipv6_expand(group);
            unsigned g[8];
            char tail;
            if (t.empty() || std::sscanf(t.c_str(), "%x:%x:%x:%x:%x:%x:%x:%x%c", &g[0], &g[1], &g[2], &g[3], &g[4], &g[5],
                                         &g[6], &g[7], &tail) != 8)
                return PMC_E_INVALID;
            struct ipv6_mreq m {};
            for (int i = 0; i < 8; ++i) {
                if (g[i] > 0xFFFF) return PMC_E_INVALID;
                m.ipv6mr_multiaddr.s6_addr[2 * i] = static_cast<unsigned char>(g[i] >> 8);
                m.ipv6mr_multiaddr.s6_addr[2 * i + 1] = static_cast<unsigned char>(g[i]);
            }
            m.ipv6mr_interface = 0;
            rc = A().setsockopt(handle_, IPPROTO_IPV6, IPV6_ADD_MEMBERSHIP, &m, sizeof m);
        } else {
            return PMC_E_INVALID;
        }
        if (rc != 0) {
            PMC_LOG(L(), PMC_LOG_ERROR, "fail setsockopt(). can't set multicast flag. WSAGetLastError()=%d", A().WSAGetLastError());
            return PMC_E_NOVALUE;
        }
        return 0;
    }

    long start_up() override {
        long r = kind_ == PMC_ADDR_IPV6 ? pmc_socket_startup_2_2() : pmc_socket_startup_1_1();
        if (r == 0) started_ = true;
        return r;
    }

    long set_any_address(IPmcNetworkAddress* a) override {
        if (!a) return PMC_E_INVALID;
        switch (a->get_kind()) {
        case PMC_ADDR_IPV4: return a->set("0.0.0.0", 0, 0);
        case PMC_ADDR_IPX: return a->set("00000000:000000000000", 0, 0);
        case PMC_ADDR_IPV6: return a->set("0000:0000:0000:0000:0000:0000:0000:0000", 0, 0);
        default: return PMC_E_NOELEMENT;
        }
    }

    long open() {
        long r = 0;
        local_ = pmc_create_network_address(&r);
        if (!local_) return r;
        local_->set_kind(kind_);
        local_->set_port(port_);
        r = set_any_address(local_);
        if (r) return r;
        r = start_up();
        if (r) return r;
        r = open_socket();
        if (r) {
            PMC_LOG(L(), PMC_LOG_ERROR, "fail socket(). WSAGetLastError()=%d", A().WSAGetLastError());
            return PMC_E_SOCKET;
        }
        struct sockaddr_storage sa {};
        if (!to_socket_address(&sa, local_)) return PMC_E_BIND;
        if (A().bind(handle_, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa) != 0) {
            PMC_LOG(L(), PMC_LOG_ERROR, "fail bind(). WSAGetLastError()=%d", A().WSAGetLastError());
            return PMC_E_BIND;
        }
        struct sockaddr_storage got {};
        socklen_t len = sizeof got;
        if (A().getsockname(handle_, reinterpret_cast<struct sockaddr*>(&got), &len) != 0) return PMC_E_NOVALUE;
        if (!from_socket_address(reinterpret_cast<struct sockaddr*>(&got), local_)) return PMC_E_NOVALUE;
        unsigned p = local_->get_port();
        PMC_LOG(L(), PMC_LOG_DEBUG, "create socket. id:0x%x port:%d(0x%x)", static_cast<unsigned>(handle_), p, p);
        return 0;
    }

    unsigned short port_ = 0;

protected:
    long kind_;
    int handle_ = -1;
    bool started_ = false;
    IPmcNetworkAddress* local_ = nullptr;
};

class Ipv4Socket final : public SocketBase {
public:
    Ipv4Socket() : SocketBase(PMC_ADDR_IPV4) {}
    long open_socket() override {
        handle_ = A().socket(AF_INET, SOCK_DGRAM, 0);
        return handle_ == -1 ? PMC_E_SOCKET : 0;
    }
    bool to_socket_address(void* buf, const IPmcNetworkAddress* a) override {
        if (!buf || !a || !a->get_text()) return false;
        unsigned int ip = A().inet_addr(a->get_text());
        if (ip == INADDR_NONE && std::strcmp(a->get_text(), "255.255.255.255") != 0) return false;
        auto* sin = static_cast<struct sockaddr_in*>(buf);
        std::memset(sin, 0, sizeof *sin);
        sin->sin_family = AF_INET;
        sin->sin_port = (A().htons)(a->get_port());
        sin->sin_addr.s_addr = ip;
        return true;
    }
    bool from_socket_address(const struct sockaddr* sa, IPmcNetworkAddress* a) override {
        if (!sa || !a || sa->sa_family != AF_INET) return false;
        const auto* sin = reinterpret_cast<const struct sockaddr_in*>(sa);
        const char* t = A().inet_ntoa(sin->sin_addr);
        if (!t || a->set(t, 0, 0) != 0) return false;
        a->set_port((A().ntohs)(sin->sin_port));
        a->set_kind(PMC_ADDR_IPV4);
        return true;
    }
};

class IpxSocket final : public SocketBase {
public:
    IpxSocket() : SocketBase(PMC_ADDR_IPX) {}
    long open_socket() override {
        handle_ = A().socket(AF_IPX, SOCK_DGRAM, 1000);
        return handle_ == -1 ? PMC_E_SOCKET : 0;
    }
    bool to_socket_address(void* buf, const IPmcNetworkAddress* a) override {
        if (!buf || !a || !a->get_text()) return false;
        unsigned f[10];
        if (std::sscanf(a->get_text(), "%2x%2x%2x%2x:%2x%2x%2x%2x%2x%2x", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6],
                        &f[7], &f[8], &f[9]) != 10)
            return false;
        auto* s = static_cast<SockAddrIpx*>(buf);
        std::memset(s, 0, sizeof *s);
        s->sipx_family = AF_IPX;
        unsigned char net[4] = {static_cast<unsigned char>(f[0]), static_cast<unsigned char>(f[1]),
                                static_cast<unsigned char>(f[2]), static_cast<unsigned char>(f[3])};
        std::memcpy(&s->sipx_network, net, 4);
        for (int i = 0; i < 6; ++i) s->sipx_node[i] = static_cast<unsigned char>(f[4 + i]);
        s->sipx_port = (A().htons)(a->get_port());
        return true;
    }
    bool from_socket_address(const struct sockaddr* sa, IPmcNetworkAddress* a) override {
        if (!sa || !a || sa->sa_family != AF_IPX) return false;
        const auto* s = reinterpret_cast<const SockAddrIpx*>(sa);
        unsigned char net[4];
        std::memcpy(net, &s->sipx_network, 4);
        char t[32];
        std::snprintf(t, sizeof t, "%02x%02x%02x%02x:%02x%02x%02x%02x%02x%02x", net[0], net[1], net[2], net[3],
                      s->sipx_node[0], s->sipx_node[1], s->sipx_node[2], s->sipx_node[3], s->sipx_node[4], s->sipx_node[5]);
        if (a->set(t, 0, 0) != 0) return false;
        a->set_port((A().ntohs)(s->sipx_port));
        a->set_kind(PMC_ADDR_IPX);
        return true;
    }
};

class Ipv6Socket final : public SocketBase {
public:
    Ipv6Socket() : SocketBase(PMC_ADDR_IPV6) {}
    long open_socket() override {
        handle_ = A().socket(AF_INET6, SOCK_DGRAM, 0);
        return handle_ == -1 ? PMC_E_SOCKET : 0;
    }
    bool to_socket_address(void* buf, const IPmcNetworkAddress* a) override {
        if (!buf || !a || !a->get_text() || !A().getaddrinfo) return false;
        char port[8];
        std::snprintf(port, sizeof port, "%u", a->get_port());
        struct addrinfo hints {};
        hints.ai_flags = AI_PASSIVE;
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_family = AF_INET6;
        struct addrinfo* res = nullptr;
        if (A().getaddrinfo(a->get_text(), port, &hints, &res) != 0 || !res) return false;
        std::memcpy(buf, res->ai_addr, res->ai_addrlen <= sizeof(sockaddr_storage) ? res->ai_addrlen : sizeof(sockaddr_storage));
        A().freeaddrinfo(res);
        return true;
    }
    bool from_socket_address(const struct sockaddr* sa, IPmcNetworkAddress* a) override {
        if (!sa || !a || !A().getnameinfo) return false;
        socklen_t len = sa->sa_family == AF_INET ? sizeof(sockaddr_in) : sa->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : 128;
        char host[NI_MAXHOST], serv[NI_MAXSERV];
        if (A().getnameinfo(sa, len, host, sizeof host, serv, sizeof serv, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
            return false;
        if (a->set(host, 0, 0) != 0) return false;
        a->set_port(static_cast<unsigned short>(std::atoi(serv)));
        a->set_kind(pmc_family_to_kind(sa->sa_family));
        return true;
    }
};

}  // namespace

std::string pmc_ipv6_expand(const char* text) {
    if (!text) return std::string();
    std::string t(text);
    size_t at = t.find("::");
    if (at == std::string::npos) return t.substr(0, 43);
    int colons = 0;
    for (char c : t)
        if (c == ':' && colons < 8) ++colons;
    static const char* const inner[] = {":0:0:0:0:0:0:", ":0:0:0:0:0:", ":0:0:0:0:", ":0:0:0:", ":0:0:", ":0:", ":"};
    static const char* const lead[] = {"0:0:0:0:0:0:0:", "0:0:0:0:0:0:", "0:0:0:0:0:", "0:0:0:0:", "0:0:0:", "0:0:", "0:"};
    if (colons < 2 || colons > 8) return std::string();
    const char* fill = at == 0 ? lead[colons - 2] : inner[colons - 2];
    return t.substr(0, at) + fill + t.substr(at + 2);
}

long pmc_create_datagram_socket(long kind, unsigned short local_port, DataGramSocket** out) {
    if (!out) return PMC_E_INVALID;
    *out = nullptr;
    SocketBase* s = nullptr;
    switch (kind) {
    case PMC_ADDR_IPV4: s = new (std::nothrow) Ipv4Socket(); break;
    case PMC_ADDR_IPX: s = new (std::nothrow) IpxSocket(); break;
    case PMC_ADDR_IPV6: s = new (std::nothrow) Ipv6Socket(); break;
    default: return PMC_E_INVALID;
    }
    if (!s) return PMC_E_NOMEM;
    s->port_ = local_port;
    long r = s->open();
    if (r) {
        s->release();
        return r;
    }
    *out = s;
    return 0;
}

}  // namespace devlink
