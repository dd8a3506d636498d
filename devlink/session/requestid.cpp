#include "session/requestid.h"

#include <atomic>
#include <cstdint>

namespace devlink {

namespace {
std::atomic<uint32_t> g_next_request_id{0};
}

long pms_next_request_id() {
    // The wire carries a signed 32-bit INTEGER; wrapping is harmless.
    return static_cast<int32_t>(g_next_request_id.fetch_add(1, std::memory_order_relaxed));
}

}  // namespace devlink
