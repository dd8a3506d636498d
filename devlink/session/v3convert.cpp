#include "session/v3convert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "addr/address.h"
#include "log/log.h"

namespace devlink {

namespace {

constexpr size_t kOidMax = 128;  // sub-identifiers of one name

long security_level_of(long level) {
    switch (level) {
    case 0: return SNMP_SEC_LEVEL_NOAUTH;
    case 1: return SNMP_SEC_LEVEL_AUTHNOPRIV;
    case 2: return SNMP_SEC_LEVEL_AUTHPRIV;
    default: return -1;
    }
}

long command_of(long type) {
    switch (type) {
    case PMS_PDU_GET: return SNMP_MSG_GET;
    case PMS_PDU_GETNEXT: return SNMP_MSG_GETNEXT;
    case PMS_PDU_SET: return SNMP_MSG_SET;
    case PMS_PDU_TRAP: return SNMP_MSG_TRAP2;
    default: return -1;
    }
}

long type_of_command(int command) {
    switch (command) {
    case SNMP_MSG_GET: return PMS_PDU_GET;
    case SNMP_MSG_GETNEXT: return PMS_PDU_GETNEXT;
    case SNMP_MSG_RESPONSE: return PMS_PDU_RESPONSE;
    case SNMP_MSG_SET: return PMS_PDU_SET;
    case SNMP_MSG_GETBULK: return PMS_PDU_GETBULK;
    case SNMP_MSG_INFORM: return PMS_PDU_INFORM;
    case SNMP_MSG_TRAP2: return PMS_PDU_TRAP;
    case SNMP_MSG_REPORT: return PMS_PDU_REPORT;
    default: return PMS_PDU_NONE;
    }
}

// Our value type for an answer variable's ASN.1 type; 0 for a type we do not know.
long value_type_of(u_char asn) {
    switch (asn) {
    case ASN_INTEGER: return PMS_INTEGER;
    case ASN_OCTET_STR: case 0xC4: return PMS_OCTET_STRING;
    case ASN_NULL: return PMS_NULL;
    case ASN_OBJECT_ID: return PMS_OID;
    case ASN_IPADDRESS: return PMS_IPADDRESS;
    case ASN_COUNTER: return PMS_COUNTER32;
    case ASN_GAUGE: case ASN_UINTEGER: return PMS_GAUGE32;
    case ASN_TIMETICKS: return PMS_TIMETICKS;
    case ASN_OPAQUE: return PMS_OPAQUE;
    case ASN_COUNTER64: return PMS_COUNTER64;
    case SNMP_NOSUCHOBJECT: return PMS_NO_SUCH_OBJECT;
    case SNMP_NOSUCHINSTANCE: return PMS_NO_SUCH_INSTANCE;
    case SNMP_ENDOFMIBVIEW: return PMS_END_OF_MIB_VIEW;
    default: return 0;
    }
}

std::string oid_text(const oid* name, size_t length) {
    std::string text;
    char part[24];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(part, sizeof part, i ? ".%lu" : "%lu", static_cast<unsigned long>(name[i]));
        text += part;
    }
    return text;
}

// Adds one binding with the value's content as Net-SNMP takes it.
long add_binding(netsnmp_pdu* request, const oid* name, size_t length, const IPmsValue* value) {
    const long type = value ? value->get_type() : PMS_NULL;
    netsnmp_variable_list* added = nullptr;
    switch (type) {
    case PMS_NULL:
        added = snmp_add_null_var(request, name, length);
        break;
    case PMS_INTEGER: {
        long number = value->get_int32(nullptr);
        added = snmp_pdu_add_variable(request, name, length, ASN_INTEGER, &number, sizeof number);
        break;
    }
    case PMS_COUNTER32: case PMS_GAUGE32: case PMS_TIMETICKS: {
        u_long number = value->get_uint32(nullptr);
        const u_char asn = type == PMS_COUNTER32 ? ASN_COUNTER : type == PMS_GAUGE32 ? ASN_GAUGE : ASN_TIMETICKS;
        added = snmp_pdu_add_variable(request, name, length, asn, &number, sizeof number);
        break;
    }
    case PMS_OCTET_STRING: case PMS_OPAQUE: case PMS_IPADDRESS: {
        long size = 0;
        const unsigned char* bytes = value->get_octets(&size, nullptr);
        const u_char asn = type == PMS_OCTET_STRING ? ASN_OCTET_STR : type == PMS_OPAQUE ? ASN_OPAQUE : ASN_IPADDRESS;
        added = snmp_pdu_add_variable(request, name, length, asn, bytes ? bytes : reinterpret_cast<const unsigned char*>(""),
                                      static_cast<size_t>(size));
        break;
    }
    case PMS_OID: {
        oid sub[kOidMax];
        size_t count = kOidMax;
        const IPmsOid* o = const_cast<IPmsValue*>(value)->as_oid();
        if (!o || !pms_v3_parse_oid(o->get_text(), sub, &count)) return PMC_E_INVALID;
        added = snmp_pdu_add_variable(request, name, length, ASN_OBJECT_ID, sub, count * sizeof(oid));
        break;
    }
    case PMS_COUNTER64: {
        struct counter64 number {value->get_high32(nullptr), value->get_low32(nullptr)};
        added = snmp_pdu_add_variable(request, name, length, ASN_COUNTER64, &number, sizeof number);
        break;
    }
    default:
        return PMC_E_UNSUPPORTED;
    }
    if (!added) {
        pms_netsnmp_log_error("snmp_add_var", 0, SNMPERR_MALLOC, nullptr);
        return PMC_E_NOMEM;
    }
    return 0;
}

long set_content(IPmsValue* value, const netsnmp_variable_list* v) {
    switch (value->get_type()) {
    case PMS_INTEGER: return value->set_int32(v->val.integer ? *v->val.integer : 0);
    case PMS_COUNTER32: case PMS_GAUGE32: case PMS_TIMETICKS:
        return value->set_uint32(v->val.integer ? static_cast<unsigned long>(*v->val.integer) & 0xFFFFFFFFul : 0);
    case PMS_OCTET_STRING: case PMS_OPAQUE: case PMS_IPADDRESS:
        return value->set_octets(v->val.string, static_cast<long>(v->val_len));
    case PMS_OID: {
        const size_t count = v->val.objid ? v->val_len / sizeof(oid) : 0;
        return value->set_text(oid_text(v->val.objid, count).c_str());
    }
    case PMS_COUNTER64:
        if (!v->val.counter64) return PMC_E_DECODE;
        value->set_high32(v->val.counter64->high & 0xFFFFFFFFul);
        return value->set_low32(v->val.counter64->low & 0xFFFFFFFFul);
    default:
        return 0;  // NULL and the exception types carry nothing
    }
}

long read_binding(IPmsVarBind* binding, const netsnmp_variable_list* v) {
    const long type = value_type_of(v->type);
    if (!type) return PMC_E_NOLIBRARY;
    long r = 0;
    const std::string name = oid_text(v->name, v->name_length);
    if (IPmsOid* o = binding->get_oid()) {
        r = o->set_oid_text(name.c_str(), static_cast<long>(name.size()));
    } else {
        IPmsOid* created = pms_create_oid(name.c_str(), &r);
        if (created) binding->set_oid(created);
    }
    if (r) return r;
    IPmsValue* value = binding->get_value();
    if (!value || value->get_type() != type) {
        value = pms_create_value(type, &r);
        if (!value) return r;
        binding->set_value(value);
    }
    return set_content(value, v);
}

long read_bindings(const netsnmp_pdu* answer, IPmsPdu* pdu) {
    long r = 0;
    IPmsVarBindList* list = pdu->get_varbinds();
    if (!list) {
        list = pms_create_varbind_list(&r);
        if (!list) return r;
        pdu->set_varbinds(list);
    }
    long count = 0;
    for (const netsnmp_variable_list* v = answer->variables; v; v = v->next_variable, ++count) {
        IPmsVarBind* binding = list->get(count);
        if (!binding) {
            binding = pms_create_varbind(&r);
            if (!binding) return r;
            if ((r = list->append(binding)) != 0) {
                binding->release();
                return r;
            }
        }
        if ((r = read_binding(binding, v)) != 0) return r;
    }
    list->truncate(count);
    if (pdu->get_error_status() != 0) list->mark_error(pdu->get_error_status(), pdu->get_error_index());
    else list->clear_errors(0);
    return 0;
}

long read_target(const netsnmp_pdu* answer, IPmsSnmpTarget* target) {
    IPmsUsm* usm = target->as_usm();
    if (!usm || answer->version != SNMP_VERSION_3) return PMC_E_INVALID;
    const long level = answer->securityLevel - 1;
    if (level < 0 || level > 2) return PMC_E_INVALID;
    target->set_version(2);
    std::string name(answer->securityName ? answer->securityName : "", answer->securityNameLen);
    usm->set_user_name(name.c_str());
    usm->set_security_level(level);
    std::string context(answer->contextName ? answer->contextName : "", answer->contextNameLen);
    usm->set_context_name(context.c_str());
    usm->set_engine_id(answer->securityEngineID, static_cast<long>(answer->securityEngineIDLen));
    std::string text;
    unsigned short port = 0;
    if (!pms_netsnmp_sender(answer, &text, &port)) return 0;
    long r = 0;
    IPmcNetworkAddress* from = pmc_create_network_address(&r);
    if (!from) return r;
    r = from->set_text(text.c_str());
    from->set_port(port);
    if (r == 0) r = target->set_address(from);
    from->release();
    return r;
}

}  // namespace

bool pms_v3_parse_oid(const char* text, oid* out, size_t* length) {
    if (!text || !pms_oid_text_valid(text, static_cast<long>(std::strlen(text)))) return false;
    size_t count = 0;
    for (const char* p = text; *p;) {
        if (count == *length) return false;
        char* end = nullptr;
        unsigned long sub = std::strtoul(p, &end, 10);
        if (end == p || sub > 0xFFFFFFFFul) return false;
        out[count++] = sub;
        p = *end == '.' ? end + 1 : end;
    }
    *length = count;
    return count >= 2;
}

long V3SessionSpec::set_peer(const IPmsSnmpTarget* target) {
    const IPmcNetworkAddress* a = target->get_address();
    if (!a || !a->get_text()) return PMC_E_INVALID;
    const unsigned port = a->get_port() ? a->get_port() : target->get_port();
    const char* text = a->get_text();
    switch (a->get_kind()) {
    case PMC_ADDR_IPV4: peer_.assign(text); break;
    case PMC_ADDR_IPV6: peer_.assign("udp6:[").append(text).append("]"); break;
    case PMC_ADDR_IPX: peer_.assign("ipx:").append(text); break;
    default: return PMC_E_INVALID;
    }
    if (port) peer_.append(a->get_kind() == PMC_ADDR_IPX ? "/" : ":").append(std::to_string(port));
    session_.peername = peer_.data();
    return 0;
}

long V3SessionSpec::set_keys(const IPmsUsm* usm) {
    const long level = security_level_of(usm->get_security_level());
    if (level < 0) return PMC_E_INVALID;
    session_.securityLevel = static_cast<int>(level);
    if (level == SNMP_SEC_LEVEL_NOAUTH) return 0;
    oid* auth = usm->get_auth_protocol() == 1 ? usmHMACMD5AuthProtocol
              : usm->get_auth_protocol() == 2 ? usmHMACSHA1AuthProtocol : nullptr;
    if (!auth) return PMC_E_INVALID;
    session_.securityAuthProto = auth;
    session_.securityAuthProtoLen = USM_AUTH_PROTO_MD5_LEN;
    const char* pass = usm->get_auth_pass();
    session_.securityAuthKeyLen = 0;
    if (pass && *pass) {
        session_.securityAuthKeyLen = sizeof session_.securityAuthKey;
        int e = generate_Ku(auth, USM_AUTH_PROTO_MD5_LEN, reinterpret_cast<const u_char*>(pass), std::strlen(pass),
                            session_.securityAuthKey, &session_.securityAuthKeyLen);
        if (e != SNMPERR_SUCCESS) {
            pms_netsnmp_log_error("generate_Ku", 0, e, nullptr);
            return pms_netsnmp_map_error(e);
        }
    }
    if (level != SNMP_SEC_LEVEL_AUTHPRIV) return 0;
    oid* priv = usm->get_priv_protocol() == 1 ? usmDESPrivProtocol
              : usm->get_priv_protocol() == 2 ? usmAESPrivProtocol : nullptr;
    if (!priv) return PMC_E_INVALID;
    session_.securityPrivProto = priv;
    session_.securityPrivProtoLen = USM_PRIV_PROTO_DES_LEN;
    const char* priv_pass = usm->get_priv_pass();
    session_.securityPrivKeyLen = 0;
    if (priv_pass && *priv_pass) {
        // The privacy key is made with the authentication protocol's hash.
        session_.securityPrivKeyLen = sizeof session_.securityPrivKey;
        int e = generate_Ku(auth, USM_AUTH_PROTO_MD5_LEN, reinterpret_cast<const u_char*>(priv_pass),
                            std::strlen(priv_pass), session_.securityPrivKey, &session_.securityPrivKeyLen);
        if (e != SNMPERR_SUCCESS) {
            pms_netsnmp_log_error("generate_Ku", 0, e, nullptr);
            return pms_netsnmp_map_error(e);
        }
    }
    return 0;
}

long V3SessionSpec::from_target(const IPmsSnmpTarget* target) {
    long r = for_probe(target);
    const IPmsUsm* usm = target->as_usm();
    if (r) return r;
    user_ = usm->get_user_name() ? usm->get_user_name() : "";
    if (!user_.empty()) {
        session_.securityName = user_.data();
        session_.securityNameLen = user_.size();
    }
    if ((r = set_keys(usm)) != 0) return r;
    context_ = usm->get_context_name() ? usm->get_context_name() : "";
    if (!context_.empty()) {
        session_.contextName = context_.data();
        session_.contextNameLen = context_.size();
    }
    const IPmcBytes* engine = usm->get_engine_id();
    if (engine && engine->get_length() > 0) {
        engine_id_.assign(engine->get_data(), static_cast<size_t>(engine->get_length()));
        session_.securityEngineID = reinterpret_cast<u_char*>(engine_id_.data());
        session_.securityEngineIDLen = engine_id_.size();
    }
    return 0;
}

long V3SessionSpec::for_probe(const IPmsSnmpTarget* target) {
    if (!target || !target->as_usm()) return PMC_E_INVALID;
    snmp_sess_init(&session_);
    if (target->get_version() != 2) return PMC_E_INVALID;
    session_.version = SNMP_VERSION_3;
    session_.retries = static_cast<int>(target->get_retries());
    session_.timeout = target->get_timeout() * 1000L;  // Net-SNMP counts microseconds
    session_.securityLevel = SNMP_SEC_LEVEL_NOAUTH;
    // We find the engine ourselves, so that no wait happens inside snmp_sess_open.
    session_.flags |= SNMP_FLAGS_DONT_PROBE;
    return set_peer(target);
}

netsnmp_pdu* pms_v3_build_pdu(const IPmsPdu* pdu, long* result) {
    const long command = command_of(pdu->get_type());
    if (command < 0) {
        set_result(result, PMC_E_UNSUPPORTED);
        return nullptr;
    }
    netsnmp_pdu* request = snmp_pdu_create(static_cast<int>(command));
    if (!request) {
        pms_netsnmp_log_error("snmp_pdu_create", 0, SNMPERR_MALLOC, nullptr);
        set_result(result, PMC_E_NOMEM);
        return nullptr;
    }
    request->reqid = pdu->get_request_id();
    const IPmsVarBindList* list = pdu->get_varbinds();
    for (long i = 0; list && i < list->get_count(); ++i) {
        const IPmsVarBind* binding = list->get(i);
        oid name[kOidMax];
        size_t length = kOidMax;
        if (!binding->get_oid() || !pms_v3_parse_oid(binding->get_oid()->get_text(), name, &length)) {
            pms_netsnmp_log_error("snmp_parse_oid", 0, SNMPERR_BAD_NAME, nullptr);
            snmp_free_pdu(request);
            set_result(result, PMC_E_INVALID);
            return nullptr;
        }
        long r = add_binding(request, name, length, binding->get_value());
        if (r) {
            snmp_free_pdu(request);
            set_result(result, r);
            return nullptr;
        }
    }
    set_result(result, 0);
    return request;
}

long pms_v3_read_answer(const netsnmp_pdu* answer, IPmsPdu* pdu, IPmsSnmpTarget* target) {
    long r = read_target(answer, target);
    if (r) return r;
    pdu->set_type(type_of_command(answer->command));
    pdu->set_request_id(answer->reqid);
    pdu->set_error_status(answer->errstat >= 0 && answer->errstat <= 18 ? answer->errstat : PMS_ERROR_OTHER);
    pdu->set_error_index(answer->errindex);
    return read_bindings(answer, pdu);
}

}  // namespace devlink
