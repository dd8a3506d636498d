// An observer of every datagram the sessions send and receive (the command line's hex dump).
#pragma once

#include <cstddef>

namespace devlink {

// sent: true for a datagram sent, false for one received; peer: the other side's address text.
using PmsDatagramObserver = void (*)(bool sent, const unsigned char* data, size_t length, const char* peer);

// Process-wide; null turns the observation off. Set it before the first request.
void pms_set_datagram_observer(PmsDatagramObserver observer);
void pms_observe_datagram(bool sent, const void* data, size_t length, const char* peer);
bool pms_datagram_observed();

}  // namespace devlink
