#include "session/netsnmp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/select.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "devlink.h"
#include "log/log.h"
#include "session/datagramtrace.h"

namespace devlink {

namespace {

std::mutex g_library_lock;
std::once_flag g_initialised;

// The library reads no configuration or persistent files of the user's and writes none:
// everything comes from the caller, and nothing survives the process.
void initialise() {
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_set_mib_directory("");  // numeric OIDs only: no MIB files are read
    // Its messages reach our log through the error logger instead; without a handler of its
    // own the library would print them on standard error.
    snmp_disable_log();
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
    init_snmp("devlink");
}

bool in(int e, int low, int high) { return e <= high && e >= low; }

// The transports' own send and receive, by transport, while observed.
struct ObservedTransport {
    netsnmp_transport* transport;
    int (*send)(netsnmp_transport*, const void*, int, void**, int*);
    int (*recv)(netsnmp_transport*, void*, int, void**, int*);
};
constexpr int kObservedMax = 64;
ObservedTransport g_observed[kObservedMax];  // guarded by the library lock

ObservedTransport* observed(netsnmp_transport* t) {
    for (auto& o : g_observed)
        if (o.transport == t) return &o;
    return nullptr;
}

std::string peer_of(netsnmp_transport* t, void* opaque, int length) {
    std::string text;
    if (t->f_fmtaddr) {
        if (char* s = t->f_fmtaddr(t, opaque, length)) {
            text = s;
            std::free(s);
        }
    }
    return text;
}

int observed_send(netsnmp_transport* t, const void* data, int size, void** opaque, int* length) {
    ObservedTransport* o = observed(t);
    if (!o) return -1;
    int n = o->send(t, data, size, opaque, length);
    if (n > 0) pms_observe_datagram(true, data, static_cast<size_t>(n), peer_of(t, opaque ? *opaque : nullptr, length ? *length : 0).c_str());
    return n;
}

int observed_recv(netsnmp_transport* t, void* buffer, int size, void** opaque, int* length) {
    ObservedTransport* o = observed(t);
    if (!o) return -1;
    int n = o->recv(t, buffer, size, opaque, length);
    if (n > 0) pms_observe_datagram(false, buffer, static_cast<size_t>(n), peer_of(t, opaque ? *opaque : nullptr, length ? *length : 0).c_str());
    return n;
}

}  // namespace

NetSnmpLock::NetSnmpLock() : lock_(g_library_lock) { std::call_once(g_initialised, initialise); }

long pms_netsnmp_wait(void* session, NetSnmpLock& held, const bool* waiting) {
    while (*waiting) {
        int fds = 0;
        int block = 1;
        fd_set readable;
        FD_ZERO(&readable);
        struct timeval timeout {};
        snmp_sess_select_info(session, &fds, &readable, &timeout, &block);
        if (fds == 0 && block) return PMC_E_RECEIVE;  // nothing outstanding: no answer can come
        held.lock().unlock();
        int ready = select(fds, &readable, nullptr, nullptr, block ? nullptr : &timeout);
        int error = errno;
        held.lock().lock();
        if (ready > 0) snmp_sess_read(session, &readable);
        else if (ready == 0) snmp_sess_timeout(session);
        else if (error != EINTR) return PMC_E_RECEIVE;
    }
    return 0;
}

long pms_netsnmp_map_error(int e) {
    if (e == 0) return 0;
    if (e == SNMPERR_MALLOC) return PMC_E_NOMEM;
    if (e == SNMPERR_TIMEOUT) return PMC_E_TIMEOUT;
    if (e == SNMPERR_BAD_SENDTO) return PMC_E_SEND;
    if (e == SNMPERR_UNKNOWN_ENG_ID || e == SNMPERR_BAD_RECVFROM) return PMC_E_RECEIVE;
    switch (e) {
    case SNMPERR_BAD_ASN1_BUILD: case SNMPERR_BAD_PARSE: case SNMPERR_ASN_PARSE_ERR: case SNMPERR_INVALID_MSG:
    case SNMPERR_SC_GENERAL_FAILURE: case SNMPERR_UNKNOWN_REPORT: case SNMPERR_USM_PARSEERROR:
    case SNMPERR_USM_UNKNOWNENGINEID: case SNMPERR_USM_NOTINTIMEWINDOW: case SNMPERR_USM_DECRYPTIONERROR:
    case SNMPERR_PROTOCOL:
        return PMC_E_DECODE;
    case SNMPERR_BAD_ADDRESS: case SNMPERR_BAD_SESSION: case SNMPERR_TOO_LONG: case SNMPERR_BAD_VERSION:
    case SNMPERR_BAD_CONTEXT: case SNMPERR_NOAUTH_DESPRIV: case SNMPERR_UNKNOWN_PDU: case SNMPERR_BAD_SEC_NAME:
    case SNMPERR_BAD_SEC_LEVEL: case SNMPERR_USM_ENCRYPTIONERROR:
        return PMC_E_INVALID;
    case SNMPERR_UNKNOWN_SEC_MODEL: case SNMPERR_USM_AUTHENTICATIONFAILURE:
        return PMC_E_SECURITY;
    default:
        break;
    }
    if (in(e, SNMPERR_VAR_TYPE, SNMPERR_BAD_NAME)) return PMC_E_INVALID;
    if (in(e, SNMPERR_DECRYPTION_ERR, SNMPERR_UNKNOWN_USER_NAME)) return PMC_E_SECURITY;
    if (in(e, SNMPERR_USM_UNSUPPORTEDSECURITYLEVEL, SNMPERR_USM_GENERICERROR)) return PMC_E_SECURITY;
    return PMC_E_SNMPLIB;
}

void pms_netsnmp_log_error(const char* function, int sys_errno, int snmp_errno, const char* text) {
    if (text && *text)
        PMC_LOG(pmc_log_snmp(), PMC_LOG_ERROR, "%s(): ErrNo = %d, SnmpErrNo = %d, %s", function, sys_errno, snmp_errno, text);
    else
        PMC_LOG(pmc_log_snmp(), PMC_LOG_ERROR, "%s(): unknown", function);
}

void pms_netsnmp_log_session_error(const char* function, void* session) {
    int sys_errno = 0, snmp_errno = 0;
    char* text = nullptr;
    snmp_sess_error(session, &sys_errno, &snmp_errno, &text);
    pms_netsnmp_log_error(function, sys_errno, snmp_errno, text);
    std::free(text);
}

bool pms_netsnmp_sender(const netsnmp_pdu* pdu, std::string* text, unsigned short* port) {
    if (!pdu || !pdu->transport_data || pdu->transport_data_length < static_cast<int>(sizeof(struct sockaddr_in)))
        return false;
    const auto* pair = static_cast<const netsnmp_indexed_addr_pair*>(pdu->transport_data);
    const struct sockaddr* sa = &pair->remote_addr.sa;
    char host[NI_MAXHOST], service[NI_MAXSERV];
    socklen_t length = sa->sa_family == AF_INET6 ? sizeof(struct sockaddr_in6) : sizeof(struct sockaddr_in);
    if (getnameinfo(sa, length, host, sizeof host, service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return false;
    *text = host;
    *port = static_cast<unsigned short>(std::atoi(service));
    return true;
}

void pms_netsnmp_observe_transport(void* session) {
    netsnmp_transport* t = snmp_sess_transport(session);
    if (!t || !pms_datagram_observed() || observed(t)) return;
    ObservedTransport* slot = observed(nullptr);
    if (!slot) return;  // more sessions at once than slots: this one goes unobserved
    *slot = {t, t->f_send, t->f_recv};
    t->f_send = observed_send;
    t->f_recv = observed_recv;
}

void pms_netsnmp_forget_transport(void* session) {
    netsnmp_transport* t = snmp_sess_transport(session);
    if (ObservedTransport* o = t ? observed(t) : nullptr) {
        t->f_send = o->send;
        t->f_recv = o->recv;
        *o = {};
    }
}

}  // namespace devlink
