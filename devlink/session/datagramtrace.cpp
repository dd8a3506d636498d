#include "session/datagramtrace.h"

#include <atomic>

namespace devlink {

namespace {
std::atomic<PmsDatagramObserver> g_observer{nullptr};
}

void pms_set_datagram_observer(PmsDatagramObserver observer) { g_observer.store(observer); }

bool pms_datagram_observed() { return g_observer.load() != nullptr; }

void pms_observe_datagram(bool sent, const void* data, size_t length, const char* peer) {
    if (PmsDatagramObserver o = g_observer.load()) o(sent, static_cast<const unsigned char*>(data), length, peer ? peer : "");
}

}  // namespace devlink
