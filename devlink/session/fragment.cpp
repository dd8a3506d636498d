#include "session/fragment.h"

#include "log/log.h"

namespace devlink {

namespace {

long binding_count(const IPmsPdu* pdu) {
    const IPmsVarBindList* list = pdu->get_varbinds();
    return list ? list->get_count() : 0;
}

// A new PDU with the request's header and the next `count` bindings of the request.
IPmsPdu* make_fragment(IPmsPdu* pdu, long count, long* result) {
    IPmsPdu* fragment = pms_create_pdu(result);
    if (!fragment) return nullptr;
    long r = fragment->copy_header(pdu);
    IPmsVarBindList* part = r ? nullptr : pdu->get_varbinds()->split_front(count, &r);
    if (!part) {
        fragment->release();
        set_result(result, r ? r : PMC_E_NOMEM);
        return nullptr;
    }
    fragment->set_varbinds(part);
    set_result(result, 0);
    return fragment;
}

}  // namespace

long pms_fragment_count(long count, long written) {
    if (written <= 0) return count < 2 ? 2 : count;  // not even one fitted: one binding each
    if (written >= count) return 2;                   // every binding fitted, the header did not
    long n = (count + written - 1) / written;
    return n < 2 ? 2 : n;
}

long pms_fragment_pdu(IPmsPdu* pdu, long n, IPmcPtrList<IPmsPdu>** out) {
    if (!pdu || !out || n <= 0) return PMC_E_INVALID;
    *out = nullptr;
    const long count = binding_count(pdu);
    const long per = count / n;
    const long extra = count % n;
    if (per == 0) {
        PMC_LOG(pmc_log_snmp(), PMC_LOG_ERROR, "[RequestSession::fragment_pdu] can't fragment the packet[%ld] any more.",
                pdu->get_request_id());
        return PMC_E_NOSPLIT;
    }
    long r = 0;
    IPmcPtrList<IPmsPdu>* list = pms_create_pdu_list(&r);
    if (!list) return r;
    for (long i = 0; i < n; ++i) {
        IPmsPdu* fragment = make_fragment(pdu, per + (i < extra ? 1 : 0), &r);
        if (!fragment || (r = list->push_back(fragment)) != 0) {
            if (fragment) fragment->release();
            list->release();
            return r ? r : PMC_E_NOMEM;
        }
    }
    if (binding_count(pdu) != 0) {
        PMC_LOG(pmc_log_snmp(), PMC_LOG_ERROR, "[RequestSession::fragment_pdu] vb size of a fragmented packet is zero.");
        list->release();
        return PMC_E_NOVALUE;
    }
    *out = list;
    return 0;
}

void pms_merge_fragments(IPmsPdu* pdu, IPmcPtrList<IPmsPdu>* fragments) {
    long r = 0;
    auto* it = fragments->create_iterator(&r);
    if (!it) return;
    bool first = true;
    long before = 0;  // bindings of the fragments already merged
    pdu->set_error_status(0);
    pdu->set_error_index(0);
    for (IPmsPdu* fragment; (fragment = fragments->get(it)) != nullptr; fragments->next(it)) {
        if (first) pdu->set_type(fragment->get_type());
        first = false;
        if (pdu->get_error_status() == 0 && fragment->get_error_status() != 0) {
            pdu->set_error_status(fragment->get_error_status());
            pdu->set_error_index(fragment->get_error_index() + before);
        }
        before += binding_count(fragment);
        while (IPmsVarBind* binding = fragment->take_front())
            if (pdu->append(binding) != 0) binding->release();
    }
    fragments->release_iterator(it);
    // The per-binding marks follow the merged error, as if one answer had come.
    IPmsVarBindList* list = pdu->get_varbinds();
    if (list && pdu->get_error_status() != 0) list->mark_error(pdu->get_error_status(), pdu->get_error_index());
}

}  // namespace devlink
