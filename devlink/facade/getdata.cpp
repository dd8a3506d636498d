#include "facade/getdata.h"

#include <cstring>
#include <new>
#include <string>

#include "addr/address.h"
#include "session/session.h"

namespace devlink {

namespace {

constexpr long kVersionV3 = 2;

// The largest message for the address kind: what one IPv4/IPv6 datagram carries safely
// on Ethernet, and the IPX datagram limit.
unsigned long max_size_for(long kind, unsigned long asked) {
    const unsigned long limit = (kind == PMC_ADDR_IPV4 || kind == PMC_ADDR_IPV6) ? 1400 : 546;
    return asked == 0 || asked > limit ? limit : asked;
}

class CGetData final : public IPmcGetData {
public:
    CGetData() { std::strcpy(community_, "public"); }
    ~CGetData() override { clear(); }
    void release() override { delete this; }

    long set_community(const char* text) override {
        if (!text) return PMC_E_INVALID;
        const size_t length = std::strlen(text);
        if (length > static_cast<size_t>(PMC_COMMUNITY_MAX)) return PMC_E_INVALID;
        std::memcpy(community_, text, length + 1);
        return static_cast<long>(length + 1);
    }

    long open(const char* address, long kind, unsigned short port, long version, const char* user, long level,
              long auth_protocol, long priv_protocol, const char* auth_pass, const char* priv_pass, const char* context,
              long timeout_ms, long retries, unsigned long max_size) override;

    long add_get_oid(const char* text, bool append_zero) override {
        if (!pdu_ || !text) return PMC_E_INVALID;
        long r = 0;
        IPmsOid* oid = pms_create_oid(text, &r);
        if (!oid) return r;
        if (append_zero) r = oid->append_subid(0);
        if (r == 0) r = pdu_->add(oid, nullptr);
        if (r) oid->release();
        return r;
    }

    long add_set_integer(const char* text, const char* instance, long number) override {
        if (!pdu_ || !text) return PMC_E_INVALID;
        long r = 0;
        IPmsOid* oid = pms_create_oid(text, &r);
        if (!oid) return r;
        if (instance && *instance) {
            r = oid->append_text(instance);
            if (r == 0 && !oid->is_valid()) r = PMC_E_INVALID;
        }
        IPmsValue* value = r ? nullptr : pms_create_value_from_number(number, PMS_INTEGER, &r);
        if (value) r = pdu_->add(oid, value);
        if (r) {
            oid->release();
            if (value) value->release();
        }
        return r;
    }

    long set() override {
        long r = send(PMS_PDU_SET);
        if (r) return r;
        const long status = pdu_->get_error_status();
        return status == 2 || status == 6 ? PMC_E_NOELEMENT : 0;  // noSuchName, noAccess
    }

    long walk(IPmcPtrList<IPmsPdu>* list, const char* base) override;

    long get_string(char* text, long size) override {
        if (!text || size <= 0) return PMC_E_INVALID;
        *text = 0;
        const IPmsValue* value = nullptr;
        long r = get_first_value(&value);
        if (r) return r;
        long format = 0;
        IPmcBytes* bytes = value->to_text(&format);
        if (!bytes) return format;
        if (format == 0) {
            if (bytes->get_length() < size) std::memcpy(text, bytes->get_data() ? bytes->get_data() : "", static_cast<size_t>(bytes->get_length()) + 1);
            else r = PMC_E_INVALID;
        }
        bytes->release();
        return r;
    }

    long get_integers(int32_t* values, long count) override {
        if (!values || count <= 0) return PMC_E_INVALID;
        long r = send(PMS_PDU_GET);
        if (r) return r;
        const IPmsVarBindList* list = pdu_->get_varbinds();
        for (long i = 0; i < count; ++i) {
            const IPmsVarBind* binding = list ? list->get(i) : nullptr;
            if (!binding || !binding->get_value()) return PMC_E_NOELEMENT;
            values[i] = integer_of(binding->get_value());
        }
        return 0;
    }

    long get_integer(int32_t* value) override { return get_integers(value, 1); }

    long get_address_kind(const char* text, long* kind) override {
        if (!text || !kind) return PMC_E_INVALID;
        long r = 0;
        IPmcAddressService* service = pmc_address_service(&r);
        return service ? service->get_kind(text, kind) : r;
    }

private:
    // Only INTEGER values give their number; any other type reads as -1.
    static int32_t integer_of(const IPmsValue* value) {
        if (value->get_type() != PMS_INTEGER) return -1;
        return static_cast<int32_t>(value->get_int32(nullptr));
    }

    long get_first_value(const IPmsValue** first) {
        long r = send(PMS_PDU_GET);
        if (r) return r;
        const IPmsVarBindList* list = pdu_->get_varbinds();
        const IPmsVarBind* binding = list ? list->get(0) : nullptr;
        if (!binding || !binding->get_value()) return PMC_E_NOELEMENT;
        *first = binding->get_value();
        return 0;
    }

    IPmsSnmpTarget* target() const { return version_ == kVersionV3 ? usm_ : community_target_; }

    long send(long type) {
        if (!pdu_ || !target()) return PMC_E_INVALID;
        pdu_->set_type(type);
        long r = 0;
        SessionDispatcher* dispatcher = pms_create_session_dispatcher(&r);
        if (!dispatcher) return r;
        r = dispatcher->send_sync(pdu_, target());
        dispatcher->release();
        return r;
    }

    IPmsSnmpTarget* make_target(long version, const IPmcNetworkAddress* address, long timeout_ms, long retries,
                                const char* user, long level, long auth_protocol, long priv_protocol,
                                const char* auth_pass, const char* priv_pass, const char* context, long* result);

    void clear() {
        if (pdu_) pdu_->release();
        if (address_) address_->release();
        if (community_target_) community_target_->release();
        if (usm_) usm_->release();
        pdu_ = nullptr;
        address_ = nullptr;
        community_target_ = nullptr;
        usm_ = nullptr;
    }

    IPmsPdu* pdu_ = nullptr;
    IPmsSnmpTarget* community_target_ = nullptr;
    IPmsSnmpTarget* usm_ = nullptr;
    IPmcNetworkAddress* address_ = nullptr;
    char community_[PMC_COMMUNITY_MAX + 1];
    long version_ = 0;
};

IPmsSnmpTarget* CGetData::make_target(long version, const IPmcNetworkAddress* address, long timeout_ms, long retries,
                                      const char* user, long level, long auth_protocol, long priv_protocol,
                                      const char* auth_pass, const char* priv_pass, const char* context, long* result) {
    IPmsSnmpTarget* t = version == kVersionV3 ? pms_create_usm_target(result) : pms_create_target(PMS_TARGET_COMMUNITY, result);
    if (!t) return nullptr;
    t->set_timeout(timeout_ms);
    t->set_retries(retries);
    long r = 0;
    if (version == kVersionV3) {
        t->set_version(2);
        r = t->set_address(address);
        IPmsUsm* usm = t->as_usm();
        // A name above 32 characters leaves the name empty; the agent then refuses the request.
        if (usm->set_user_name(user) != 0) usm->set_user_name("");
        usm->set_security_level(level);
        usm->set_auth_protocol(auth_protocol);
        usm->set_priv_protocol(priv_protocol);
        usm->set_auth_pass(auth_pass);
        usm->set_priv_pass(priv_pass);
        usm->set_context_name(context);
    } else {
        t->set_version(0);  // the facade always speaks SNMPv1 to community targets
        r = t->as_community()->set_community(community_);
        if (r == 0) r = t->set_address(address);
    }
    if (r) {
        t->release();
        t = nullptr;
    }
    set_result(result, r);
    return t;
}

long CGetData::open(const char* text, long kind, unsigned short port, long version, const char* user, long level,
                    long auth_protocol, long priv_protocol, const char* auth_pass, const char* priv_pass,
                    const char* context, long timeout_ms, long retries, unsigned long max_size) {
    long r = 0;
    IPmcNetworkAddress* address = pmc_create_network_address(&r);
    if (!address) return r;
    r = address->set(text, kind, port);
    IPmsSnmpTarget* t = r ? nullptr
                          : make_target(version, address, timeout_ms, retries, user, level, auth_protocol, priv_protocol,
                                        auth_pass, priv_pass, context, &r);
    IPmsPdu* pdu = t ? pms_create_pdu(&r) : nullptr;
    if (!pdu) {
        if (t) t->release();
        address->release();
        return r;
    }
    t->set_max_size(max_size_for(kind, max_size));
    clear();
    address_ = address;
    version_ = version;
    (version == kVersionV3 ? usm_ : community_target_) = t;
    pdu_ = pdu;
    return 0;
}

long CGetData::walk(IPmcPtrList<IPmsPdu>* list, const char* base_text) {
    if (!list || !base_text || !pdu_) return PMC_E_INVALID;
    long r = 0;
    IPmsOid* base = pms_create_oid(base_text, &r);
    if (!base) return r;
    IPmsOid* asked = nullptr;  // the name the last GetNext started from
    for (;;) {
        r = send(PMS_PDU_GETNEXT);
        if (r) break;
        IPmsPdu* answer = pdu_->clone(&r);
        if (!answer) break;
        const IPmsVarBind* first = answer->get_varbinds() ? answer->get_varbinds()->get(0) : nullptr;
        if (!first || !first->get_oid()) {
            answer->release();
            r = PMC_E_NOELEMENT;
            break;
        }
        const long relation = base->compare(first->get_oid(), nullptr);
        const long repeat = asked ? asked->compare(first->get_oid(), nullptr) : -1;
        // Stay while the answer lies below the base. An error answer (the end of the MIB under
        // SNMPv1 carries the asked names back) and an agent that answers the asked name again
        // end the walk instead of asking the same forever.
        if ((relation != PMS_OID_GIVEN_BELOW && relation != PMS_OID_THIS_BELOW) || answer->get_error_status() != 0 ||
            repeat == PMS_OID_EQUAL) {
            answer->release();
            r = 0;
            break;
        }
        if (asked) asked->release();
        asked = first->get_oid()->clone(&r);
        r = asked ? list->push_back(answer) : r;
        if (r) {
            answer->release();
            break;
        }
    }
    if (asked) asked->release();
    base->release();
    return r;
}

}  // namespace

}  // namespace devlink

devlink::IPmcGetData* pmc_create_get_data(long* result) {
    auto* g = new (std::nothrow) devlink::CGetData();
    devlink::set_result(result, g ? devlink::PMC_OK : devlink::PMC_E_NOMEM);
    return g;
}
