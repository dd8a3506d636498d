// The SNMPv3 session: USM requests through Net-SNMP's single-session API, with engine-ID
// discovery of our own (also over broadcast).
#include <sys/socket.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "addr/address.h"
#include "log/log.h"
#include "session/netsnmp.h"
#include "session/requestid.h"
#include "session/sessionbase.h"
#include "session/v3convert.h"

namespace devlink {

namespace {

IPmcLogChannel* L() { return pmc_log_snmp(); }

// An agent that answered the engine-ID probe.
struct Engine {
    std::string address;
    unsigned short port = 0;
    std::string id;
};

struct ProbeState {
    bool waiting = true;
    bool first_only = false;
    int snmp_errno = 0;
    std::vector<Engine>* engines = nullptr;
};

// Every answer to the probe names an engine; the probe stays outstanding (answer 0) so that
// all agents behind a broadcast are heard until the time-out.
int probe_callback(int op, netsnmp_session*, int, netsnmp_pdu* pdu, void* magic) {
    auto* state = static_cast<ProbeState*>(magic);
    if (op == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE) {
        Engine e;
        if (!pdu || pdu->securityEngineIDLen == 0 || !pms_netsnmp_sender(pdu, &e.address, &e.port)) return 0;
        e.id.assign(reinterpret_cast<const char*>(pdu->securityEngineID), pdu->securityEngineIDLen);
        bool known = false;
        for (const Engine& seen : *state->engines) known = known || seen.address == e.address;
        if (!known) state->engines->push_back(e);
        if (!state->first_only) return 0;
        state->waiting = false;
        return 1;
    }
    if (op == NETSNMP_CALLBACK_OP_TIMED_OUT) {
        state->snmp_errno = state->engines->empty() ? SNMPERR_TIMEOUT : 0;
    } else if (op == NETSNMP_CALLBACK_OP_DISCONNECT || op == NETSNMP_CALLBACK_OP_SEND_FAILED) {
        state->snmp_errno = SNMPERR_ABORT;
    } else {
        return 0;
    }
    state->waiting = false;
    return 1;
}

struct RequestState {
    bool waiting = true;
    int snmp_errno = 0;
    netsnmp_pdu* answer = nullptr;
};

// The library matched the answer to the request by its message id already: a Report about an
// undecryptable request cannot carry the request-id.
int request_callback(int op, netsnmp_session*, int, netsnmp_pdu* pdu, void* magic) {
    auto* state = static_cast<RequestState*>(magic);
    if (op == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE) {
        if (!pdu) return 0;
        if (pdu->command == SNMP_MSG_REPORT) {
            state->snmp_errno = snmpv3_get_report_type(pdu);
            // The first authenticated request learns the agent's clock this way and is re-sent.
            if (state->snmp_errno == SNMPERR_NOT_IN_TIME_WINDOW) return 1;
        } else {
            state->snmp_errno = 0;
            state->answer = snmp_clone_pdu(pdu);
            if (!state->answer) state->snmp_errno = SNMPERR_MALLOC;
        }
    } else if (op == NETSNMP_CALLBACK_OP_TIMED_OUT) {
        state->snmp_errno = SNMPERR_TIMEOUT;
    } else if (op == NETSNMP_CALLBACK_OP_DISCONNECT || op == NETSNMP_CALLBACK_OP_SEND_FAILED) {
        state->snmp_errno = SNMPERR_ABORT;
    } else {
        return 0;
    }
    state->waiting = false;
    return 1;
}

// An open Net-SNMP session, closed on every way out.
class OpenSession {
public:
    long open(netsnmp_session* spec) {
        handle_ = snmp_sess_open(spec);
        if (!handle_) {
            int sys_errno = 0, snmp_errno = 0;
            char* text = nullptr;
            snmp_error(spec, &sys_errno, &snmp_errno, &text);
            pms_netsnmp_log_error("snmp_open", sys_errno, snmp_errno, text);
            std::free(text);
            return PMC_E_INVALID;
        }
        // The library clears this flag on open and would then probe for the engine itself
        // inside the send, waiting under our lock; we probe ourselves.
        snmp_sess_session(handle_)->flags |= SNMP_FLAGS_DONT_PROBE;
        pms_netsnmp_observe_transport(handle_);
        return 0;
    }
    ~OpenSession() {
        if (!handle_) return;
        pms_netsnmp_forget_transport(handle_);
        snmp_sess_close(handle_);
    }
    void* handle() const { return handle_; }
private:
    void* handle_ = nullptr;
};

// The USM user Net-SNMP made for the session goes with it: nothing of one request's
// credentials survives into the next.
void forget_user(const std::string& engine_id, const char* name) {
    if (engine_id.empty() || !name) return;
    struct usmUser* user =
        usm_get_user(reinterpret_cast<const u_char*>(engine_id.data()), engine_id.size(), name);
    if (!user) return;
    usm_remove_user(user);  // answers the list's head, not the user
    usm_free_user(user);
}

netsnmp_pdu* make_probe(long* result) {
    netsnmp_pdu* probe = snmp_pdu_create(SNMP_MSG_GET);
    if (!probe) {
        pms_netsnmp_log_error("snmpv3_build_probe_pdu", 0, SNMPERR_MALLOC, nullptr);
        set_result(result, PMC_E_NOMEM);
        return nullptr;
    }
    probe->version = SNMP_VERSION_3;
    probe->securityName = static_cast<char*>(calloc(1, 1));
    probe->securityNameLen = 0;
    probe->securityModel = SNMP_SEC_MODEL_USM;
    probe->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
    probe->reqid = pms_next_request_id();
    set_result(result, 0);
    return probe;
}

// Sends the engine-ID probe to the target's address (a broadcast address included) and
// collects the engines that answer. -203 when none did.
long probe_engines(const IPmsSnmpTarget* target, bool broadcast, NetSnmpLock& held, std::vector<Engine>* engines) {
    PmcTrace trace(L(), "v3RequestSession::get_engine_id_broad_cast");
    V3SessionSpec spec;
    long r = spec.for_probe(target);
    OpenSession session;
    if (r == 0) r = session.open(spec.session());
    if (r) return r;
    if (broadcast) {
        int on = 1;
        netsnmp_transport* t = snmp_sess_transport(session.handle());
        if (!t || setsockopt(t->sock, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return PMC_E_NOVALUE;
    }
    netsnmp_pdu* probe = make_probe(&r);
    if (!probe) return r;
    ProbeState state;
    state.first_only = !broadcast;
    state.engines = engines;
    if (snmp_sess_async_send(session.handle(), probe, probe_callback, &state) == 0) {
        pms_netsnmp_log_session_error("snmp_sess_synch_response_cb", session.handle());
        snmp_free_pdu(probe);
        r = pms_netsnmp_map_error(snmp_sess_session(session.handle())->s_snmp_errno);
        return r && r != PMC_E_SNMPLIB ? r : PMC_E_SEND;
    }
    r = pms_netsnmp_wait(session.handle(), held, &state.waiting);
    if (r) return r;
    if (state.snmp_errno) {
        pms_netsnmp_log_error("snmp_sess_synch_response_cb", 0, state.snmp_errno, snmp_api_errstring(state.snmp_errno));
        return pms_netsnmp_map_error(state.snmp_errno);
    }
    return 0;
}

// One request to one agent, whose engine ID the target carries or a probe finds.
long exchange(IPmsPdu* pdu, IPmsSnmpTarget* target, NetSnmpLock& held) {
    PmcTrace trace(L(), "v3RequestSession::send_sync_internal(IPmsPdu*, IPmsSnmpTarget*)");
    if (!pdu || !target || !target->as_usm()) return PMC_E_INVALID;
    pdu->set_request_id(pms_next_request_id());
    V3SessionSpec spec;
    long r = spec.from_target(target);
    if (r) return r;
    std::string engine_id(reinterpret_cast<const char*>(spec.session()->securityEngineID), spec.session()->securityEngineIDLen);
    if (engine_id.empty()) {
        std::vector<Engine> engines;
        if ((r = probe_engines(target, false, held, &engines)) != 0) return r;
        engine_id = engines.front().id;
        spec.session()->securityEngineID = reinterpret_cast<u_char*>(engine_id.data());
        spec.session()->securityEngineIDLen = engine_id.size();
    }
    netsnmp_pdu* request = pms_v3_build_pdu(pdu, &r);
    if (!request) return r;
    RequestState state;
    {
        OpenSession session;
        r = session.open(spec.session());
        if (r == 0 && snmp_sess_async_send(session.handle(), request, request_callback, &state) == 0) {
            pms_netsnmp_log_session_error("snmp_synch_response", session.handle());
            r = pms_netsnmp_map_error(snmp_sess_session(session.handle())->s_snmp_errno);
            if (r == 0) r = PMC_E_SEND;
        } else if (r == 0) {
            request = nullptr;  // the library owns it now
            r = pms_netsnmp_wait(session.handle(), held, &state.waiting);
        }
        if (request) snmp_free_pdu(request);
    }
    forget_user(engine_id, spec.session()->securityName);
    if (r == 0 && state.snmp_errno) {
        pms_netsnmp_log_error("snmp_synch_response", 0, state.snmp_errno, snmp_api_errstring(state.snmp_errno));
        r = pms_netsnmp_map_error(state.snmp_errno);
    }
    if (r == 0 && !state.answer) r = PMC_E_RECEIVE;
    if (state.answer) {
        long converted = pms_v3_read_answer(state.answer, pdu, target);
        if (r == 0) r = converted;
        snmp_free_pdu(state.answer);
    }
    return r;
}

// The target for one discovered agent: the caller's credentials, its address and engine.
IPmsSnmpTarget* target_for(const IPmsSnmpTarget* target, const Engine& engine, long* result) {
    IPmsSnmpTarget* t = target->clone(result);
    if (!t) return nullptr;
    IPmcNetworkAddress* a = pmc_create_network_address(result);
    long r = a ? a->set_text(engine.address.c_str()) : *result;
    if (a) a->set_port(engine.port);
    if (r == 0) r = t->set_address(a);
    if (r == 0) r = t->as_usm()->set_engine_id(engine.id.data(), static_cast<long>(engine.id.size()));
    if (a) a->release();
    if (r) {
        t->release();
        t = nullptr;
    }
    set_result(result, r);
    return t;
}

bool skips_agent(long r) {
    return r == PMC_E_DECODE || r == PMC_E_SECURITY || r == PMC_E_RECEIVE || r == PMC_E_TIMEOUT;
}

// Asks one discovered agent; its answer goes to the list.
long ask_engine(const IPmsPdu* pdu, const IPmsSnmpTarget* target, const Engine& engine, NetSnmpLock& held,
                IPmsSnmpPacketList* list) {
    long r = 0;
    IPmsSnmpTarget* t = target_for(target, engine, &r);
    IPmsPdu* p = t ? pdu->clone(&r) : nullptr;
    IPmsSnmpPacket* packet = p ? pms_create_packet(&r) : nullptr;
    if (!packet) {
        if (p) p->release();
        if (t) t->release();
        return r;
    }
    packet->set_pdu(p);
    packet->set_target(t);
    r = exchange(p, t, held);
    if (r == 0) r = list->push_back(packet);
    if (r) packet->release();
    return r;
}

class CV3RequestSession final : public CSessionBase {
public:
    using CSessionBase::send_broad_cast_sync;
    using CSessionBase::send_sync;

    long send_sync(IPmsPdu* pdu, IPmsSnmpTarget* target) override {
        PmcTrace trace(L(), "v3RequestSession::send_sync(IPmsSnmpPacket*)");
        NetSnmpLock held;
        return exchange(pdu, target, held);
    }

    long send_broad_cast_sync(IPmsPdu* pdu, IPmsSnmpTarget* target, IPmsSnmpPacketList** out) override {
        PmcTrace trace(L(), "v3RequestSession::send_broad_cast_sync(IPmsPdu*, IPmsSnmpTarget*, IPmsSnmpPacketList**)");
        if (!pdu || !target || !out || !target->as_usm()) return PMC_E_INVALID;
        *out = nullptr;
        NetSnmpLock held;
        std::vector<Engine> engines;
        long r = probe_engines(target, true, held, &engines);
        if (r && r != PMC_E_TIMEOUT) return r;
        IPmsSnmpPacketList* list = pms_create_packet_list(&r);
        if (!list) return r;
        r = 0;
        for (const Engine& engine : engines) {
            long asked = ask_engine(pdu, target, engine, held, list);
            if (asked && !skips_agent(asked)) {
                r = asked;
                break;
            }
        }
        if (r) {
            list->release();
            return r;
        }
        *out = list;
        return 0;
    }
};

}  // namespace

IPmsSession* pms_create_v3_session(long* result) {
    auto* s = new (std::nothrow) CV3RequestSession();
    set_result(result, s ? PMC_OK : PMC_E_NOMEM);
    return s;
}

}  // namespace devlink
