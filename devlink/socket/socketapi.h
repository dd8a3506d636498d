// Socket-library binding. The library binds the socket functions it needs by name at
// run time into a process-wide table. On Linux the "socket library" is the C library: it is
// loaded with dlopen ("libc.so.6", then "libc.so" as the older fallback) and every function of the
// required and the optional set is resolved by name with dlsym. The four Winsock-only functions
// (WSAStartup, WSACleanup, WSAGetLastError, closesocket) resolve to the library's own shims
// (a start-up counter, errno and close). A test may replace the resolver to observe the fallback
// to the older address-text service when the optional set (getaddrinfo, getnameinfo,
// freeaddrinfo) is missing.
#pragma once

#include <netdb.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/types.h>

#include "devlink.h"

namespace devlink {
namespace NPmcSocketAPI {

struct Table {
    int (*WSAStartup)(unsigned short version, void* data);
    int (*WSACleanup)();
    int (*WSAGetLastError)();
    int (*socket)(int, int, int);
    int (*bind)(int, const struct sockaddr*, socklen_t);
    unsigned short (*htons)(unsigned short);
    unsigned short (*ntohs)(unsigned short);
    int (*getsockname)(int, struct sockaddr*, socklen_t*);
    int (*gethostname)(char*, size_t);
    struct hostent* (*gethostbyname)(const char*);
    int (*getsockopt)(int, int, int, void*, socklen_t*);
    int (*setsockopt)(int, int, int, const void*, socklen_t);
    unsigned int (*inet_addr)(const char*);
    char* (*inet_ntoa)(struct in_addr);
    ssize_t (*sendto)(int, const void*, size_t, int, const struct sockaddr*, socklen_t);
    ssize_t (*recvfrom)(int, void*, size_t, int, struct sockaddr*, socklen_t*);
    int (*select)(int, fd_set*, fd_set*, fd_set*, struct timeval*);
    int (*closesocket)(int);
    struct hostent* (*gethostbyaddr)(const void*, socklen_t, int);
    struct servent* (*getservbyname)(const char*, const char*);
    // optional
    int (*getaddrinfo)(const char*, const char*, const struct addrinfo*, struct addrinfo**);
    int (*getnameinfo)(const struct sockaddr*, socklen_t, char*, socklen_t, char*, socklen_t, int);
    void (*freeaddrinfo)(struct addrinfo*);
};

// Names of the required and of the optional functions, in binding order.
extern const char* const kRequired[20];
extern const char* const kOptional[3];

// The bound table (valid after a successful pmc_socket_api_load).
const Table& api();

// Resolves a function by name: returns null with *error set (126 module, 127 procedure) when
// missing. The default resolver uses the loaded module and the shims.
using Resolver = void* (*)(void* module, const char* name, int* error);
void* default_resolve(void* module, const char* name, int* error);
// Test hooks: replace the resolver (null restores the default) and unload the binding so that the
// next use loads again; also drops the address-text service.
void set_resolver(Resolver resolver);
void unload_for_test();
// Module names tried in order (test hook: nulls restore the defaults).
void set_module_names(const char* first, const char* second);
long set_api(void* module);

}  // namespace NPmcSocketAPI

long pmc_socket_api_load();
bool pmc_socket_api_has_newer();
long pmc_socket_startup_1_1();
long pmc_socket_startup_2_2();
void pmc_socket_cleanup();

}  // namespace devlink
