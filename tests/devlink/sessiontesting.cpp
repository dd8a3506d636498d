#include "sessiontesting.h"

using namespace devlink;

namespace devlinktest {

IPmsPdu* MakePdu(long type, const std::vector<std::string>& oids)
{
    IPmsPdu* pdu = pms_create_pdu(nullptr);
    pdu->set_type(type);
    for (const std::string& o : oids) pdu->add(pms_create_oid(o.c_str(), nullptr), nullptr);
    return pdu;
}

IPmsSnmpTarget* MakeCommunityTarget(const std::string& address, unsigned short port, long timeout_ms, long retries,
                                    unsigned long max_size, long version, const char* community)
{
    IPmsSnmpTarget* t = pms_create_target(PMS_TARGET_COMMUNITY, nullptr);
    t->set_version(version);
    t->set_timeout(timeout_ms);
    t->set_retries(retries);
    t->set_max_size(max_size);
    t->as_community()->set_community(community);
    IPmcNetworkAddress* a = pmc_create_network_address(nullptr);
    a->set_text(address.c_str());
    a->set_port(port);
    t->set_address(a);
    a->release();
    return t;
}

std::string ValueText(const IPmsPdu* pdu, long i)
{
    const IPmsVarBind* b = pdu->get_varbinds() ? pdu->get_varbinds()->get(i) : nullptr;
    if (!b || !b->get_value()) return "<none>";
    IPmcBytes* text = b->get_value()->to_text(nullptr);
    std::string s = text && text->get_data() ? text->get_data() : "";
    if (text) text->release();
    return s;
}

std::string OidText(const IPmsPdu* pdu, long i)
{
    const IPmsVarBind* b = pdu->get_varbinds() ? pdu->get_varbinds()->get(i) : nullptr;
    return b && b->get_oid() ? b->get_oid()->get_text() : "<none>";
}

long BindingCount(const IPmsPdu* pdu) { return pdu->get_varbinds() ? pdu->get_varbinds()->get_count() : 0; }

}  // namespace devlinktest
