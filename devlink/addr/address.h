// Network addresses and the two address-text services (the resolver-based one and the older one).
#pragma once

#include "devlink.h"
#include "snmp/bytes.h"

namespace devlink {

inline constexpr long PMC_ADDR_UNKNOWN = 0;
inline constexpr long PMC_ADDR_IPV4 = 1;
inline constexpr long PMC_ADDR_IPX = 2;
inline constexpr long PMC_ADDR_IPV6 = 4;

// Kind to the system's socket-address family and back (AF_INET, AF_IPX, AF_INET6 of Linux).
int pmc_kind_to_family(long kind);
long pmc_family_to_kind(int family);

class IPmcNetworkAddress {
public:
    virtual void release() = 0;
    virtual long set_text(const char* text) = 0;
    virtual long set(const char* text, long kind, unsigned short port) = 0;
    virtual IPmcBytes* get_text_bytes() const = 0;
    virtual long get(IPmcBytes** text, long* kind, unsigned short* port) const = 0;
    virtual void set_kind(long kind) = 0;
    virtual void set_port(unsigned short port) = 0;
    virtual long get_kind() const = 0;
    virtual unsigned short get_port() const = 0;
    virtual bool equals(const IPmcNetworkAddress* other) const = 0;
    virtual long clone(IPmcNetworkAddress** out) const = 0;
    virtual bool is_valid() const = 0;
    virtual long normalize() = 0;
    virtual const char* get_text() const = 0;
protected:
    virtual ~IPmcNetworkAddress() = default;
};
using CPmcNetworkAddress = IPmcNetworkAddress;

class IPmcAddressService {
public:
    virtual long normalize(const char* text, IPmcBytes** out) = 0;
    virtual long get_kind(const char* text, long* kind) = 0;
    virtual bool is_newer() const = 0;
    virtual void release() = 0;
protected:
    virtual ~IPmcAddressService() = default;
};

IPmcNetworkAddress* pmc_create_network_address(long* result);

// The process-wide service, created on first use (newer when the socket binding has the newer
// functions, else older); null when it cannot be created (result: -10 library missing, -3).
IPmcAddressService* pmc_address_service(long* result);
// Test hook: 0 chooses by the socket binding, 1 forces the newer and 2 the older service. Drops
// the current service.
void pmc_address_service_select(int mode);

}  // namespace devlink
