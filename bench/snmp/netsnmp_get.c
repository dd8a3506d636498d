/* The peer of the GET benchmark: sequential SNMPv1 GETs of one OID through Net-SNMP's
 * synchronous API, one session for the whole run. Prints the GETs per second.
 * Usage: netsnmp_get HOST:PORT COUNT OID */
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv)
{
    netsnmp_session spec, *session;
    oid name[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    int count, i, ok = 0;
    double start;
    if (argc != 4) {
        fprintf(stderr, "usage: netsnmp_get HOST:PORT COUNT OID\n");
        return 2;
    }
    count = atoi(argv[2]);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    init_snmp("netsnmp_get");
    snmp_sess_init(&spec);
    spec.peername = argv[1];
    spec.version = SNMP_VERSION_1;
    spec.community = (u_char*)"public";
    spec.community_len = 6;
    spec.timeout = 1000000;
    spec.retries = 1;
    session = snmp_open(&spec);
    if (!session || !read_objid(argv[3], name, &length)) {
        fprintf(stderr, "netsnmp_get: cannot open the session or read the OID\n");
        return 1;
    }
    start = now();
    for (i = 0; i < count; ++i) {
        netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GET);
        netsnmp_pdu* answer = NULL;
        snmp_add_null_var(request, name, length);
        if (snmp_synch_response(session, request, &answer) == STAT_SUCCESS && answer->errstat == SNMP_ERR_NOERROR) ++ok;
        if (answer) snmp_free_pdu(answer);
    }
    printf("%.1f %d\n", count / (now() - start), ok);
    snmp_close(session);
    return ok == count ? 0 : 1;
}
