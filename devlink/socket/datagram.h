// DataGramSocket: one UDP (or IPX datagram) socket bound to a local port.
#pragma once

#include <string>

#include "addr/address.h"
#include "devlink.h"

struct sockaddr;

namespace devlink {

class DataGramSocket {
public:
    virtual void release() = 0;
    virtual long send(const void* data, long length, const IPmcNetworkAddress* destination) = 0;
    virtual long receive(void* buffer, long size, long timeout_ms, long* length, IPmcNetworkAddress** source) = 0;
    virtual IPmcNetworkAddress* get_local_address() const = 0;
    virtual long set_broadcast(bool flag) = 0;
    virtual long join_multicast(const char* group) = 0;
    virtual ~DataGramSocket() = default;  // destroy
    virtual long start_up() = 0;
    virtual long set_any_address(IPmcNetworkAddress* address) = 0;
    virtual bool from_socket_address(const struct sockaddr* sa, IPmcNetworkAddress* address) = 0;
    virtual bool to_socket_address(void* buffer, const IPmcNetworkAddress* address) = 0;
    virtual long open_socket() = 0;
    virtual int get_handle() const = 0;
};

// kind 1, 2 or 4; local port 0 lets the system choose. On success the socket is open and bound.
long pmc_create_datagram_socket(long kind, unsigned short local_port, DataGramSocket** out);

// The zero-compression expansion used by join_multicast (empty when the colon count is wrong).
std::string pmc_ipv6_expand(const char* text);

}  // namespace devlink
