// Small builders the session, facade and SNMPv3 tests share.
#pragma once

#include <string>
#include <vector>

#include "addr/address.h"
#include "snmp/pdu.h"

namespace devlinktest {

// A PDU of the type with NULL bindings for the OIDs.
devlink::IPmsPdu* MakePdu(long type, const std::vector<std::string>& oids);
// A community target: version, community, address text and port, time-out, retries, max size.
devlink::IPmsSnmpTarget* MakeCommunityTarget(const std::string& address, unsigned short port, long timeout_ms = 1000,
                                             long retries = 0, unsigned long max_size = 1400, long version = 0,
                                             const char* community = "public");
// The text form of the value of binding i.
std::string ValueText(const devlink::IPmsPdu* pdu, long i);
std::string OidText(const devlink::IPmsPdu* pdu, long i);
long BindingCount(const devlink::IPmsPdu* pdu);

}  // namespace devlinktest
