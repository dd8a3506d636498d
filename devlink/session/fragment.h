// Splitting a request that is too big for one message into several, and merging their answers.
#pragma once

#include "snmp/pdu.h"

namespace devlink {

// How many fragments a request of `count` bindings needs when the encoder managed to write
// `written` of them before the message was full. Never below 2, so a split always shrinks.
long pms_fragment_count(long count, long written);

// Moves the request's bindings, in order, into n new PDUs with the request's header; the first
// (count mod n) fragments take one binding more. -212 when a fragment would be empty.
long pms_fragment_pdu(IPmsPdu* pdu, long n, IPmcPtrList<IPmsPdu>** out);

// The answers of the fragments become the request's answer: the first error found wins, with
// its error-index counted over the whole request; the bindings follow in request order.
void pms_merge_fragments(IPmsPdu* pdu, IPmcPtrList<IPmsPdu>* fragments);

}  // namespace devlink
