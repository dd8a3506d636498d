#include "socket/socketapi.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "log/log.h"

namespace devlink {

void pmc_address_service_drop();  // addr/address.cpp

namespace NPmcSocketAPI {

const char* const kRequired[20] = {"WSAStartup", "WSACleanup", "WSAGetLastError", "socket", "bind",
                                   "htons", "ntohs", "getsockname", "gethostname", "gethostbyname",
                                   "getsockopt", "setsockopt", "inet_addr", "inet_ntoa", "sendto",
                                   "recvfrom", "select", "closesocket", "gethostbyaddr", "getservbyname"};
const char* const kOptional[3] = {"getaddrinfo", "getnameinfo", "freeaddrinfo"};

namespace {

std::atomic<int> g_startups{0};
int shim_startup(unsigned short, void*) { ++g_startups; return 0; }
int shim_cleanup() { --g_startups; return 0; }
int shim_last_error() { return errno; }
int shim_close(int fd) { return ::close(fd); }

void* default_resolver(void* module, const char* name, int* error) {
    if (std::strcmp(name, "WSAStartup") == 0) return reinterpret_cast<void*>(&shim_startup);
    if (std::strcmp(name, "WSACleanup") == 0) return reinterpret_cast<void*>(&shim_cleanup);
    if (std::strcmp(name, "WSAGetLastError") == 0) return reinterpret_cast<void*>(&shim_last_error);
    if (std::strcmp(name, "closesocket") == 0) return reinterpret_cast<void*>(&shim_close);
    if (!module) { *error = 126; return nullptr; }
    void* p = dlsym(module, name);
    if (!p) *error = 127;
    return p;
}

std::mutex g_lock;
void* g_module = nullptr;
bool g_bound = false;
bool g_newer = false;
Table g_table{};
Resolver g_resolver = nullptr;
const char* g_first = "libc.so.6";
const char* g_second = "libc.so";

struct Unloader {
    ~Unloader() {
        if (g_module) dlclose(g_module);
    }
} g_unloader;

}  // namespace

const Table& api() { return g_table; }
void* default_resolve(void* module, const char* name, int* error) { return default_resolver(module, name, error); }

void set_resolver(Resolver r) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_resolver = r;
}

void set_module_names(const char* first, const char* second) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_first = first ? first : "libc.so.6";
    g_second = second ? second : "libc.so";
}

void unload_for_test() {
    pmc_address_service_drop();
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_module) dlclose(g_module);
    g_module = nullptr;
    g_bound = false;
    g_newer = false;
    g_table = Table{};
}

long set_api(void* module) {
    PmcTrace trace(pmc_log_socket(), "NPmcSocketAPI::set_api");
    Resolver resolve = g_resolver ? g_resolver : default_resolver;
    void** slots = reinterpret_cast<void**>(&g_table);
    for (int i = 0; i < 20; ++i) {
        int err = 0;
        void* p = resolve(module, kRequired[i], &err);
        if (!p) {
            PMC_LOG(pmc_log_socket(), PMC_LOG_ERROR, "[NPmcSocketAPI::set_api] fail GetProcAddress \"%s\": GetLastError()=%d",
                    kRequired[i], err);
            return PMC_E_NOVALUE;
        }
        slots[i] = p;
    }
    g_newer = true;
    for (int i = 0; i < 3; ++i) {
        int err = 0;
        void* p = resolve(module, kOptional[i], &err);
        if (!p) {
            if (err == 126 || err == 127) {
                g_newer = false;
                slots[20] = slots[21] = slots[22] = nullptr;
                return 0;
            }
            PMC_LOG(pmc_log_socket(), PMC_LOG_ERROR, "[NPmcSocketAPI::set_api] fail GetProcAddress \"%s\": GetLastError()=%d",
                    kOptional[i], err);
            return PMC_E_NOVALUE;
        }
        slots[20 + i] = p;
    }
    return 0;
}

}  // namespace NPmcSocketAPI

using namespace NPmcSocketAPI;

long pmc_socket_api_load() {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_bound) return 0;
    if (!g_module) {
        g_module = dlopen(g_first, RTLD_NOW | RTLD_LOCAL);
        if (!g_module) g_module = dlopen(g_second, RTLD_NOW | RTLD_LOCAL);
        if (!g_module) return PMC_E_NOLIBRARY;
    }
    long r = set_api(g_module);
    if (r == 0) g_bound = true;
    return r;
}

bool pmc_socket_api_has_newer() {
    if (pmc_socket_api_load() != 0) return false;
    return g_newer;
}

static long startup(unsigned short version, const char* text) {
    long r = pmc_socket_api_load();
    if (r) return r;
    if (g_table.WSAStartup(version, nullptr) != 0) {
        PMC_LOG(pmc_log_socket(), PMC_LOG_ERROR, "fail WSAStartup(%s). WSAGetLastError()=%d", text, g_table.WSAGetLastError());
        return PMC_E_NOVALUE;
    }
    return 0;
}

long pmc_socket_startup_1_1() { return startup(0x0101, "1.1"); }
long pmc_socket_startup_2_2() { return startup(0x0202, "2.2"); }

void pmc_socket_cleanup() {
    if (g_bound && g_table.WSACleanup) g_table.WSACleanup();
}

}  // namespace devlink
