#include "addr/address.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "socket/socketapi.h"

namespace devlink {

#ifndef AF_IPX
#define AF_IPX 4
#endif

int pmc_kind_to_family(long kind) {
    switch (kind) {
    case PMC_ADDR_IPV4: return AF_INET;
    case PMC_ADDR_IPX: return AF_IPX;
    case PMC_ADDR_IPV6: return AF_INET6;
    default: return 0;
    }
}

long pmc_family_to_kind(int family) {
    if (family == AF_INET) return PMC_ADDR_IPV4;
    if (family == AF_IPX) return PMC_ADDR_IPX;
    if (family == AF_INET6) return PMC_ADDR_IPV6;
    return PMC_ADDR_UNKNOWN;
}

namespace {

bool is_ipx_text(const char* t) {
    if (std::strlen(t) != 21) return false;
    unsigned f[10];
    return std::sscanf(t, "%2x%2x%2x%2x:%2x%2x%2x%2x%2x%2x", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7],
                       &f[8], &f[9]) == 10;
}

// IPv4 test of the older service: exactly four "%u" fields, each below 256, nothing after.
bool old_ipv4(const char* t, unsigned f[4]) {
    char c;
    if (std::sscanf(t, "%u.%u.%u.%u%c", &f[0], &f[1], &f[2], &f[3], &c) != 4) return false;
    for (int i = 0; i < 4; ++i)
        if (f[i] > 255) return false;
    return true;
}

// Resolves a numeric address text with the newer functions and hands the first result to use;
// PMC_E_NOVALUE when the text is no numeric address.
template <class Use>
long with_numeric_address(const char* text, Use use) {
    long r = pmc_socket_startup_2_2();
    if (r) return r;
    const auto& a = NPmcSocketAPI::api();
    struct addrinfo hints {};
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
    hints.ai_socktype = SOCK_DGRAM;
    struct addrinfo* res = nullptr;
    r = PMC_E_NOVALUE;
    if (a.getaddrinfo(text, nullptr, &hints, &res) == 0 && res) {
        r = use(res);
        a.freeaddrinfo(res);
    }
    pmc_socket_cleanup();
    return r;
}

class NewerService final : public IPmcAddressService {
public:
    bool is_newer() const override { return true; }
    void release() override { delete this; }
    long normalize(const char* text, IPmcBytes** out) override {
        if (!text || !out) return PMC_E_INVALID;
        *out = nullptr;
        if (is_ipx_text(text)) {  // the resolver knows no IPX: the text is its own normal form
            long r = 0;
            *out = pmc_create_bytes_from(text, static_cast<long>(std::strlen(text)), &r);
            return r;
        }
        return with_numeric_address(text, [&](const struct addrinfo* res) {
            char host[NI_MAXHOST];
            long r = PMC_E_NOVALUE;
            if (NPmcSocketAPI::api().getnameinfo(res->ai_addr, res->ai_addrlen, host, sizeof host, nullptr, 0,
                                                 NI_NUMERICHOST) == 0)
                *out = pmc_create_bytes_from(host, static_cast<long>(std::strlen(host)), &r);
            return r;
        });
    }
    long get_kind(const char* text, long* kind) override {
        if (!text || !kind) return PMC_E_INVALID;
        *kind = 0;
        if (is_ipx_text(text)) {
            *kind = PMC_ADDR_IPX;
            return 0;
        }
        return with_numeric_address(text, [&](const struct addrinfo* res) {
            *kind = pmc_family_to_kind(res->ai_family);
            return *kind ? 0L : static_cast<long>(PMC_E_NOVALUE);
        });
    }
};

class OlderService final : public IPmcAddressService {
public:
    bool is_newer() const override { return false; }
    void release() override { delete this; }
    long normalize(const char* text, IPmcBytes** out) override {
        if (!text || !out) return PMC_E_INVALID;
        *out = nullptr;
        long r = pmc_socket_startup_1_1();
        if (r) return r;
        unsigned f[4];
        if (old_ipv4(text, f)) {
            char buf[20];
            int n = std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", f[0], f[1], f[2], f[3]);
            *out = pmc_create_bytes_from(buf, n, &r);
        } else if (is_ipx_text(text)) {
            *out = pmc_create_bytes_from(text, static_cast<long>(std::strlen(text)), &r);
        } else {
            r = PMC_E_NOELEMENT;
        }
        pmc_socket_cleanup();
        return r;
    }
    long get_kind(const char* text, long* kind) override {
        if (!text || !kind) return PMC_E_INVALID;
        *kind = 0;
        long r = pmc_socket_startup_1_1();
        if (r) return r;
        unsigned f[4];
        if (old_ipv4(text, f)) *kind = PMC_ADDR_IPV4;
        else if (is_ipx_text(text)) *kind = PMC_ADDR_IPX;
        else r = PMC_E_NOELEMENT;
        pmc_socket_cleanup();
        return r;
    }
};

std::mutex g_service_lock;
IPmcAddressService* g_service = nullptr;
int g_mode = 0;

struct ServiceKiller {
    ~ServiceKiller() {
        if (g_service) g_service->release();
        g_service = nullptr;
    }
} g_service_killer;

void fold(char* p) {
    for (; *p; ++p)
        if (*p >= 'A' && *p <= 'F') *p = static_cast<char>(*p - 'A' + 'a');
}

IPmcBytes* folded(const char* text, long* r) {
    IPmcBytes* b = pmc_create_bytes_from(text, static_cast<long>(std::strlen(text)), r);
    if (b && b->get_data()) fold(const_cast<char*>(b->get_data()));
    return b;
}

class CAddress final : public IPmcNetworkAddress {
public:
    ~CAddress() override {
        if (text_) text_->release();
    }
    void release() override { delete this; }
    long set_text(const char* text) override {
        if (!text) return PMC_E_INVALID;
        long r = 0;
        IPmcBytes* b = folded(text, &r);
        if (!b) return r;
        IPmcAddressService* s = pmc_address_service(&r);
        long kind = 0;
        if (s) r = s->get_kind(b->get_data() ? b->get_data() : "", &kind);
        if (r == 0 && kind == 0) r = PMC_E_NOELEMENT;
        if (r == 0 && kind_ != 0 && kind != kind_) r = PMC_E_INVALID;
        if (r) {
            b->release();
            return r;
        }
        replace(b);
        kind_ = kind;
        return 0;
    }
    long set(const char* text, long kind, unsigned short port) override {
        if (!text) return PMC_E_INVALID;
        long r = 0;
        IPmcBytes* b = folded(text, &r);
        if (!b) return r;
        replace(b);
        if (kind) kind_ = kind;
        if (port) port_ = port;
        return 0;
    }
    IPmcBytes* get_text_bytes() const override { return text_; }
    long get(IPmcBytes** text, long* kind, unsigned short* port) const override {
        if (!text) return PMC_E_INVALID;
        long r = 0;
        *text = text_ ? text_->clone(&r) : pmc_create_bytes(&r);
        if (!*text) return r;
        if (kind) *kind = kind_;
        if (port) *port = port_;
        return 0;
    }
    void set_kind(long kind) override { kind_ = kind; }
    void set_port(unsigned short port) override { port_ = port; }
    long get_kind() const override { return kind_; }
    unsigned short get_port() const override { return port_; }
    bool equals(const IPmcNetworkAddress* other) const override {
        if (!other || other->get_kind() != kind_) return false;
        if (other->get_port() != 0 && other->get_port() != port_) return false;
        IPmcAddressService* s = pmc_address_service(nullptr);
        if (!s) return false;
        IPmcBytes *a = nullptr, *b = nullptr;
        bool eq = false;
        if (s->normalize(get_text() ? get_text() : "", &a) == 0 &&
            s->normalize(other->get_text() ? other->get_text() : "", &b) == 0)
            eq = a->equals_bytes(b);
        if (a) a->release();
        if (b) b->release();
        return eq;
    }
    long clone(IPmcNetworkAddress** out) const override {
        if (!out) return PMC_E_INVALID;
        *out = nullptr;
        auto* c = new (std::nothrow) CAddress();
        if (!c) return PMC_E_NOMEM;
        if (text_) {
            long r = 0;
            c->text_ = text_->clone(&r);
            if (!c->text_) {
                delete c;
                return r;
            }
        }
        c->kind_ = kind_;
        c->port_ = port_;
        *out = c;
        return 0;
    }
    bool is_valid() const override {
        IPmcAddressService* s = pmc_address_service(nullptr);
        long kind = 0;
        return s && get_text() && s->get_kind(get_text(), &kind) == 0 && kind != 0;
    }
    long normalize() override {
        long r = 0;
        IPmcAddressService* s = pmc_address_service(&r);
        if (!s) return r;
        IPmcBytes* b = nullptr;
        r = s->normalize(get_text() ? get_text() : "", &b);
        if (r) return r;
        if (b->get_data()) fold(const_cast<char*>(b->get_data()));
        replace(b);
        return 0;
    }
    const char* get_text() const override { return text_ ? text_->get_data() : nullptr; }

private:
    void replace(IPmcBytes* b) {
        if (text_) text_->release();
        text_ = b;
    }
    IPmcBytes* text_ = nullptr;
    long kind_ = 0;
    unsigned short port_ = 0;
};

}  // namespace

IPmcNetworkAddress* pmc_create_network_address(long* result) {
    auto* a = new (std::nothrow) CAddress();
    set_result(result, a ? PMC_OK : PMC_E_NOMEM);
    return a;
}

IPmcAddressService* pmc_address_service(long* result) {
    std::lock_guard<std::mutex> lock(g_service_lock);
    if (!g_service) {
        long r = pmc_socket_api_load();
        if (r) {
            set_result(result, r);
            return nullptr;
        }
        bool newer = g_mode == 1 || (g_mode == 0 && pmc_socket_api_has_newer());
        if (g_mode == 1 && !pmc_socket_api_has_newer()) newer = false;  // cannot force what is missing
        if (newer) g_service = new (std::nothrow) NewerService();
        else g_service = new (std::nothrow) OlderService();
        if (!g_service) {
            set_result(result, PMC_E_NOMEM);
            return nullptr;
        }
    }
    set_result(result, 0);
    return g_service;
}

void pmc_address_service_drop() {
    std::lock_guard<std::mutex> lock(g_service_lock);
    if (g_service) g_service->release();
    g_service = nullptr;
}

void pmc_address_service_select(int mode) {
    pmc_address_service_drop();
    std::lock_guard<std::mutex> lock(g_service_lock);
    g_mode = mode;
}

}  // namespace devlink
