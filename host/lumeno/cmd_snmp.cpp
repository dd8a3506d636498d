// lumeno snmp: SNMP requests to a printer with the option conventions of the common SNMP tools.
// Walks and writes go through the get-data facade, as the driver's own callers use it; reads,
// GetNext and discovery through the session dispatcher, which hands back every binding.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "facade/getdata.h"
#include "session/datagramtrace.h"
#include "session/session.h"

using namespace devlink;

namespace lumeno {

namespace {

constexpr const char* kSnmpUsage =
    "snmp get|getnext|walk|set|discover [-v 1|3] [-c COMMUNITY] [-u USER] [-l noAuthNoPriv|authNoPriv|authPriv]\n"
    "       [-a MD5|SHA] [-A PASS] [-x DES|AES] [-X PASS] [-n CONTEXT] [-t SECONDS] [-r RETRIES] [-d]\n"
    "       AGENT[:PORT] [OID ... | OID i VALUE]";

struct Options {
    std::string command;
    long version = 0;  // ours: 0 SNMPv1, 2 SNMPv3
    std::string community = "public";
    std::string user, authPass, privPass, context;
    long level = 0, authProtocol = 1, privProtocol = 1;
    long timeoutMs = 1000;
    long retries = 5;
    bool dump = false;
    std::string host;
    unsigned short port = 161;
    std::vector<std::string> rest;
};

[[noreturn]] void Usage(const std::string& why) { throw UsageError(why + "\nusage: lumeno " + kSnmpUsage); }

long Choice(const std::string& value, const std::vector<std::string>& words, const char* option)
{
    for (size_t i = 0; i < words.size(); ++i)
        if (value == words[i]) return static_cast<long>(i);
    Usage(std::string("bad value \"") + value + "\" for " + option);
}

long Number(const std::string& text, const char* option)
{
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || v < 0 || v > 3600) Usage(std::string("bad number \"") + text + "\" for " + option);
    return static_cast<long>(v * 1000 + 0.5);
}

void SplitAgent(const std::string& agent, Options* o)
{
    std::string host = agent, port;
    if (!host.empty() && host[0] == '[') {  // [IPv6]:PORT
        size_t close = host.find(']');
        if (close == std::string::npos) Usage("bad agent \"" + agent + "\"");
        port = close + 1 < host.size() && host[close + 1] == ':' ? host.substr(close + 2) : "";
        host = host.substr(1, close - 1);
    } else if (std::count(host.begin(), host.end(), ':') == 1) {
        port = host.substr(host.find(':') + 1);
        host = host.substr(0, host.find(':'));
    }
    if (!port.empty()) {
        char* end = nullptr;
        unsigned long p = std::strtoul(port.c_str(), &end, 10);
        if (*end || p == 0 || p > 65535) Usage("bad port in \"" + agent + "\"");
        o->port = static_cast<unsigned short>(p);
    }
    o->host = host;
}

Options Parse(const Args& args)
{
    if (args.empty()) Usage("missing sub-command");
    Options o;
    o.command = args[0];
    const std::vector<std::string> commands = {"get", "getnext", "walk", "set", "discover"};
    Choice(o.command, commands, "the sub-command");
    std::vector<std::string> positional;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-d") {
            o.dump = true;
            continue;
        }
        if (a.size() != 2 || a[0] != '-' || std::strchr("vculaAxXntr", a[1]) == nullptr) {
            positional.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) Usage("option " + a + " needs a value");
        const std::string& v = args[++i];
        switch (a[1]) {
        case 'v': o.version = Choice(v, {"1", "", "3"}, "-v"); break;
        case 'c': o.community = v; break;
        case 'u': o.user = v; break;
        case 'l': o.level = Choice(v, {"noAuthNoPriv", "authNoPriv", "authPriv"}, "-l"); break;
        case 'a': o.authProtocol = Choice(v, {"", "MD5", "SHA"}, "-a"); break;
        case 'A': o.authPass = v; break;
        case 'x': o.privProtocol = Choice(v, {"", "DES", "AES"}, "-x"); break;
        case 'X': o.privPass = v; break;
        case 'n': o.context = v; break;
        case 't': o.timeoutMs = Number(v, "-t"); break;
        case 'r': o.retries = Number(v, "-r") / 1000; break;
        }
    }
    if (o.version == 1) Usage("bad value \"\" for -v");
    if (positional.empty()) Usage("missing agent");
    SplitAgent(positional[0], &o);
    o.rest.assign(positional.begin() + 1, positional.end());
    if (o.command != "discover" && o.rest.empty()) Usage("missing OID");
    if (o.command == "set" && (o.rest.size() != 3 || o.rest[1] != "i")) Usage("set takes OID i VALUE");
    if (o.command == "walk" && o.rest.size() != 1) Usage("walk takes one OID");
    return o;
}

void Dump(bool sent, const unsigned char* data, size_t length, const char* peer)
{
    std::printf("%s %zu bytes %s %s\n", sent ? "Sending" : "Received", length, sent ? "to" : "from", peer);
    for (size_t i = 0; i < length; ++i) std::printf("%02X%s", data[i], (i % 16 == 15 || i + 1 == length) ? "\n" : " ");
}

std::string Where(const Options& o) { return o.host + ":" + std::to_string(o.port); }

[[noreturn]] void Fail(const Options& o, long code)
{
    switch (code) {
    case PMC_E_TIMEOUT: throw Failure("Timeout: no answer from " + Where(o));
    case PMC_E_SECURITY: throw Failure("Authentication failure (user " + o.user + ")");
    case PMC_E_NOSPLIT: throw Failure("A value from " + Where(o) + " does not fit in one message");
    case PMC_E_INVALID: throw Failure("Request refused before sending (invalid agent, OID or security settings)");
    default: throw Failure("SNMP request to " + Where(o) + " failed (code " + std::to_string(code) + ")");
    }
}

long AddressKind(const Options& o)
{
    long kind = 0;
    IPmcAddressService* service = pmc_address_service(nullptr);
    if (!service || service->get_kind(o.host.c_str(), &kind) != 0 || kind == 0)
        throw UsageError("unknown agent address \"" + o.host + "\"");
    return kind;
}

IPmsSnmpTarget* MakeTarget(const Options& o)
{
    const long kind = AddressKind(o);
    IPmsSnmpTarget* t = o.version == 2 ? pms_create_usm_target(nullptr) : pms_create_target(PMS_TARGET_COMMUNITY, nullptr);
    IPmcNetworkAddress* a = pmc_create_network_address(nullptr);
    if (!t || !a) throw Failure("out of memory");
    a->set(o.host.c_str(), kind, o.port);
    t->set_address(a);
    a->release();
    t->set_version(o.version);
    t->set_timeout(o.timeoutMs);
    t->set_retries(o.retries);
    t->set_max_size(1400);
    if (IPmsUsm* u = t->as_usm()) {
        if (u->set_user_name(o.user.c_str()) != 0) {
            t->release();
            throw UsageError("user name longer than 32 characters");
        }
        u->set_security_level(o.level);
        u->set_auth_protocol(o.authProtocol);
        u->set_priv_protocol(o.privProtocol);
        u->set_auth_pass(o.authPass.c_str());
        u->set_priv_pass(o.privPass.c_str());
        u->set_context_name(o.context.c_str());
    } else {
        t->as_community()->set_community(o.community.c_str());
    }
    return t;
}

const char* TypeName(long type)
{
    switch (type) {
    case PMS_INTEGER: return "INTEGER";
    case PMS_OCTET_STRING: return "STRING";
    case PMS_NULL: return "NULL";
    case PMS_OID: return "OID";
    case PMS_IPADDRESS: return "IpAddress";
    case PMS_COUNTER32: return "Counter32";
    case PMS_GAUGE32: return "Gauge32";
    case PMS_TIMETICKS: return "Timeticks";
    case PMS_OPAQUE: return "Opaque";
    case PMS_COUNTER64: return "Counter64";
    default: return "";
    }
}

std::string ValueText(const IPmsValue* v)
{
    switch (v->get_type()) {
    case PMS_NO_SUCH_OBJECT: return "No Such Object available on this agent at this OID";
    case PMS_NO_SUCH_INSTANCE: return "No Such Instance currently exists at this OID";
    case PMS_END_OF_MIB_VIEW: return "No more variables left in this MIB View";
    case PMS_COUNTER64: {
        unsigned long long n = (static_cast<unsigned long long>(v->get_high32(nullptr)) << 32) | v->get_low32(nullptr);
        return std::to_string(n);
    }
    default: break;
    }
    IPmcBytes* b = v->to_text(nullptr);
    std::string text = b && b->get_data() ? std::string(b->get_data(), static_cast<size_t>(b->get_length())) : "";
    if (b) b->release();
    if (v->get_type() == PMS_OCTET_STRING) return "\"" + text + "\"";
    return text;
}

void PrintBindings(const IPmsPdu* pdu)
{
    const IPmsVarBindList* list = pdu->get_varbinds();
    for (long i = 0; list && i < list->get_count(); ++i) {
        const IPmsVarBind* b = list->get(i);
        const IPmsValue* v = b->get_value();
        const char* type = v ? TypeName(v->get_type()) : "";
        std::printf("%s = %s%s%s\n", b->get_oid() ? b->get_oid()->get_text() : "", type, *type ? ": " : "",
                    v ? ValueText(v).c_str() : "");
    }
}

const char* ErrorName(long status)
{
    static const char* const names[] = {"noError", "tooBig", "noSuchName", "badValue", "readOnly", "genErr",
                                        "noAccess", "wrongType", "wrongLength", "wrongEncoding", "wrongValue",
                                        "noCreation", "inconsistentValue", "resourceUnavailable", "commitFailed",
                                        "undoFailed", "authorizationError", "notWritable", "inconsistentName"};
    return status >= 0 && status <= 18 ? names[status] : "unknown error";
}

// A request PDU with NULL bindings for the OIDs.
IPmsPdu* MakePdu(long type, const std::vector<std::string>& oids)
{
    IPmsPdu* pdu = pms_create_pdu(nullptr);
    if (!pdu) throw Failure("out of memory");
    pdu->set_type(type);
    for (const std::string& text : oids) {
        IPmsOid* oid = pms_create_oid(text.c_str(), nullptr);
        if (!oid) {
            pdu->release();
            throw UsageError("bad OID \"" + text + "\"");
        }
        pdu->add(oid, nullptr);
    }
    return pdu;
}

int Request(const Options& o, long type)
{
    IPmsSnmpTarget* target = MakeTarget(o);
    IPmsPdu* pdu = nullptr;
    try {
        pdu = MakePdu(type, o.rest);
    } catch (...) {
        target->release();
        throw;
    }
    SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
    long r = d->send_sync(pdu, target);
    d->release();
    target->release();
    if (r) {
        pdu->release();
        Fail(o, r);
    }
    const long status = pdu->get_error_status();
    if (status != 0) {
        const long index = pdu->get_error_index();
        pdu->release();
        throw Failure(std::string("Error in packet: ") + ErrorName(status) + " (binding " + std::to_string(index) + ")");
    }
    PrintBindings(pdu);
    pdu->release();
    return 0;
}

IPmcGetData* OpenFacade(const Options& o)
{
    const long kind = AddressKind(o);
    long r = 0;
    IPmcGetData* data = pmc_create_get_data(&r);
    if (!data) throw Failure("out of memory");
    if (data->set_community(o.community.c_str()) < 0) {
        data->release();
        throw UsageError("community longer than 255 characters");
    }
    r = data->open(o.host.c_str(), kind, o.port, o.version, o.user.c_str(), o.level, o.authProtocol,
                   o.privProtocol, o.authPass.c_str(), o.privPass.c_str(), o.context.c_str(), o.timeoutMs, o.retries, 0);
    if (r) {
        data->release();
        Fail(o, r);
    }
    return data;
}

int Walk(const Options& o)
{
    IPmcGetData* data = OpenFacade(o);
    IPmcPtrList<IPmsPdu>* list = pms_create_pdu_list(nullptr);
    long r = data->add_get_oid(o.rest[0].c_str(), false);
    if (r == 0) r = data->walk(list, o.rest[0].c_str());
    data->release();
    auto* it = list->create_iterator(nullptr);
    for (IPmsPdu* pdu; it && (pdu = list->get(it)) != nullptr; list->next(it)) PrintBindings(pdu);
    if (it) list->release_iterator(it);
    list->release();
    if (r == PMC_E_INVALID) throw UsageError("bad OID \"" + o.rest[0] + "\"");
    if (r && r != PMC_E_NOELEMENT) Fail(o, r);
    return 0;
}

int Set(const Options& o)
{
    char* end = nullptr;
    const long value = std::strtol(o.rest[2].c_str(), &end, 10);
    if (o.rest[2].empty() || *end) throw UsageError("bad INTEGER value \"" + o.rest[2] + "\"");
    IPmcGetData* data = OpenFacade(o);
    long r = data->add_set_integer(o.rest[0].c_str(), "", value);
    if (r == 0) r = data->set();
    data->release();
    if (r == PMC_E_INVALID) throw UsageError("bad OID \"" + o.rest[0] + "\"");
    if (r == PMC_E_NOELEMENT) throw Failure("Set refused: " + o.rest[0] + " cannot be written (noSuchName or noAccess)");
    if (r) Fail(o, r);
    std::printf("%s = INTEGER: %ld\n", o.rest[0].c_str(), value);
    return 0;
}

int Discover(const Options& o)
{
    IPmsSnmpTarget* target = MakeTarget(o);
    IPmsPdu* pdu = nullptr;
    try {
        pdu = MakePdu(PMS_PDU_GET, o.rest.empty() ? std::vector<std::string>{"1.3.6.1.2.1.1.1.0"} : o.rest);
    } catch (...) {
        target->release();
        throw;
    }
    SessionDispatcher* d = pms_create_session_dispatcher(nullptr);
    IPmsSnmpPacketList* found = nullptr;
    long r = d->send_broad_cast_sync(pdu, target, &found);
    d->release();
    target->release();
    pdu->release();
    if (r) Fail(o, r);
    auto* it = found->create_iterator(nullptr);
    for (IPmsSnmpPacket* p; it && (p = found->get(it)) != nullptr; found->next(it)) {
        const IPmcNetworkAddress* a = p->get_target()->get_address();
        std::printf("%s:%u\n", a && a->get_text() ? a->get_text() : "?", a ? a->get_port() : 0);
        PrintBindings(p->get_pdu());
    }
    if (it) found->release_iterator(it);
    if (found->size() == 0) std::printf("No agent answered at %s\n", Where(o).c_str());
    found->release();
    return 0;
}

}  // namespace

int SnmpCommand(const Args& args)
{
    const Options o = Parse(args);
    if (o.dump) pms_set_datagram_observer(Dump);
    if (o.command == "get") return Request(o, PMS_PDU_GET);
    if (o.command == "getnext") return Request(o, PMS_PDU_GETNEXT);
    if (o.command == "walk") return Walk(o);
    if (o.command == "set") return Set(o);
    return Discover(o);
}

}  // namespace lumeno
