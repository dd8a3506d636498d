// IPmcGetData: the facade the outside world gets through the library's export. One printer at
// a time: open it, name the OIDs, then get, set or walk.
#pragma once

#include <cstdint>

#include "devlink.h"
#include "snmp/pdu.h"

namespace devlink {

inline constexpr long PMC_COMMUNITY_MAX = 255;  // characters, without the terminating zero

class IPmcGetData {
public:
    virtual void release() = 0;
    // Copies the community (used by the next open); answers the bytes copied with the zero,
    // or -2 for a null text or one longer than 255 characters (the old community stays).
    virtual long set_community(const char* text) = 0;
    // version 2 is SNMPv3 with the USM fields; any other version SNMPv1 with the community.
    virtual long open(const char* address, long kind, unsigned short port, long version, const char* user,
                      long security_level, long auth_protocol, long priv_protocol, const char* auth_pass,
                      const char* priv_pass, const char* context, long timeout_ms, long retries,
                      unsigned long max_size) = 0;
    virtual long add_get_oid(const char* oid, bool append_zero) = 0;
    virtual long add_set_integer(const char* oid, const char* instance, long value) = 0;
    virtual long set() = 0;
    // GetNext walk below base: one PDU per answer goes to the caller's list.
    virtual long walk(IPmcPtrList<IPmsPdu>* list, const char* base) = 0;
    // The text form of the first answer value into a caller's buffer of size bytes (with the
    // terminating zero); -2 when it does not fit (the buffer then holds the empty text).
    virtual long get_string(char* text, long size) = 0;
    virtual long get_integers(int32_t* values, long count) = 0;
    virtual long get_integer(int32_t* value) = 0;
    virtual long get_address_kind(const char* text, long* kind) = 0;
    virtual ~IPmcGetData() = default;  // destroy
};

}  // namespace devlink

// Exported: a new facade; result 0, or -3 (and null) when memory runs out.
DEVLINK_EXPORT devlink::IPmcGetData* pmc_create_get_data(long* result);
