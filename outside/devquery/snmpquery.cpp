#include "snmpquery.h"

#include "facade/getdata.h"
#include "snmp/pdu.h"

namespace devquery {

namespace {

constexpr long kTimeoutMs = 1000;
constexpr long kRetries = 1;

long Level(const std::string& level) { return level == "authPriv" ? 2 : level == "authNoPriv" ? 1 : 0; }
long AuthProtocol(const std::string& p) { return p == "SHA" ? 2 : 1; }
long PrivProtocol(const std::string& p) { return p == "AES" ? 2 : 1; }

// A facade opened on the device, released with the object.
class Facade {
public:
    explicit Facade(const Device& device) : facade_(pmc_create_get_data(nullptr))
    {
        if (!facade_) return;
        const SnmpSettings& s = device.snmp;
        facade_->set_community(s.community.c_str());
        // The facade numbers SNMPv3 as version 2; anything else is SNMPv1 with the community.
        const long version = s.version == 3 ? 2 : 0;
        ok_ = facade_->open(device.address.c_str(), device.addressKind, device.port, version, s.user.c_str(),
                            Level(s.level), AuthProtocol(s.authProtocol), PrivProtocol(s.privProtocol),
                            s.authPass.c_str(), s.privPass.c_str(), "", kTimeoutMs, kRetries, 0) == 0;
    }
    ~Facade()
    {
        if (facade_) facade_->release();
    }
    Facade(const Facade&) = delete;
    Facade& operator=(const Facade&) = delete;
    devlink::IPmcGetData* operator->() const { return facade_; }
    bool ok() const { return facade_ && ok_; }

private:
    devlink::IPmcGetData* facade_;
    bool ok_ = false;
};

std::string TextOf(const devlink::IPmsValue* value)
{
    long result = 0;
    devlink::IPmcBytes* text = value ? value->to_text(&result) : nullptr;
    if (!text) return "";
    std::string out = text->get_data() ? text->get_data() : "";
    text->release();
    // OID texts compare without a leading point.
    if (!out.empty() && out.front() == '.') out.erase(out.begin());
    return out;
}

// Every value of the answer PDUs, in order.
void CollectValues(devlink::IPmcPtrList<devlink::IPmsPdu>* list, const std::string& column,
                   std::vector<std::string>* values)
{
    long result = 0;
    auto* it = list->create_iterator(&result);
    for (devlink::IPmsPdu* pdu; it && (pdu = list->get(it)) != nullptr; list->next(it)) {
        devlink::IPmsVarBindList* bindings = pdu->get_varbinds();
        for (long i = 0; bindings && i < bindings->get_count(); ++i) {
            devlink::IPmsVarBind* binding = bindings->get(i);
            // The walk's last answer may already lie beyond the column.
            if (TextOf(binding->get_oid()).rfind(column + ".", 0) == 0) values->push_back(TextOf(binding->get_value()));
        }
    }
    if (it) list->release_iterator(it);
}

}  // namespace

bool Reachable(const Device& device)
{
    Facade facade(device);
    char text[256];
    return facade.ok() && facade->add_get_oid("1.3.6.1.2.1.1.2", true) == 0 &&
           facade->get_string(text, sizeof text) == 0;
}

bool GetInteger(const Device& device, const std::string& oid, int32_t* value)
{
    Facade facade(device);
    if (!facade.ok() || facade->add_get_oid(oid.c_str(), false) != 0) return false;
    int32_t answer = -1;
    // Only an INTEGER gives its number; any other answer (noSuchName among them) reads -1.
    if (facade->get_integer(&answer) != 0 || answer == -1) return false;
    *value = answer;
    return true;
}

bool WalkColumn(const Device& device, const std::string& column, std::vector<std::string>* values)
{
    Facade facade(device);
    devlink::IPmcPtrList<devlink::IPmsPdu>* list = pms_create_pdu_list(nullptr);
    bool ok = facade.ok() && list && facade->add_get_oid(column.c_str(), false) == 0 &&
              facade->walk(list, column.c_str()) == 0;
    if (ok) CollectValues(list, column, values);
    if (list) list->release();
    return ok;
}

}  // namespace devquery
