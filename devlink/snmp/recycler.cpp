// Per-thread caches of freed memory, by power-of-two size class.
#include "snmp/recycler.h"

#include <algorithm>
#include <array>
#include <bit>
#include <sanitizer/asan_interface.h>

namespace devlink {
namespace {

constexpr size_t kSmallest = 64;
constexpr size_t kClasses = 10;  // 64 bytes to 32 KiB
// A thread keeps at most 16 chunks and 64 KiB of a class: under 400 KiB in all.
constexpr size_t kKeptChunks = 16;
constexpr size_t kKeptBytes = 64 * 1024;

size_t class_of(size_t size) { return size <= kSmallest ? 0 : std::bit_width(size - 1) - 6; }
constexpr size_t class_size(size_t c) { return kSmallest << c; }
constexpr size_t kept_limit(size_t c) { return std::clamp<size_t>(kKeptBytes / class_size(c), 1, kKeptChunks); }

constexpr auto kKeptLimits = [] {
    std::array<size_t, kClasses> limits{};
    for (size_t c = 0; c < kClasses; ++c) limits[c] = kept_limit(c);
    return limits;
}();

enum class CacheState : unsigned char { Unused, Armed, Ended };

// Plain data, so reaching it costs no initialisation check; the cleanup is armed with the first
// chunk kept. The chunks are listed here rather than linked through themselves, so they stay
// wholly poisoned while kept and the leak checker still sees them held.
struct ThreadCache {
    void* chunks[kClasses][kKeptChunks];
    size_t counts[kClasses];
    CacheState state;
};
thread_local ThreadCache t_cache;

// Frees the thread's chunks when the thread ends; later releases go straight to the allocator.
struct CacheCleanup {
    ~CacheCleanup() {
        t_cache.state = CacheState::Ended;
        for (size_t c = 0; c < kClasses; ++c) {
            while (t_cache.counts[c] > 0) {
                void* chunk = t_cache.chunks[c][--t_cache.counts[c]];
                ASAN_UNPOISON_MEMORY_REGION(chunk, class_size(c));
                ::operator delete(chunk);
            }
        }
    }
};

void arm_cleanup() {
    thread_local CacheCleanup cleanup;
    (void)cleanup;
    t_cache.state = CacheState::Armed;
}

}  // namespace

void* recycler_take(size_t size) noexcept {
    const size_t c = class_of(size);
    if (c >= kClasses) return ::operator new(size, std::nothrow);
    if (t_cache.counts[c] == 0) return ::operator new(class_size(c), std::nothrow);
    void* chunk = t_cache.chunks[c][--t_cache.counts[c]];
    ASAN_UNPOISON_MEMORY_REGION(chunk, class_size(c));
    return chunk;
}

void recycler_give(void* memory, size_t size) noexcept {
    if (!memory) return;
    const size_t c = class_of(size);
    if (t_cache.state == CacheState::Unused) arm_cleanup();
    if (c >= kClasses || t_cache.state == CacheState::Ended || t_cache.counts[c] >= kKeptLimits[c]) {
        ::operator delete(memory);
        return;
    }
    t_cache.chunks[c][t_cache.counts[c]++] = memory;
    // A use of the object after its release still shows under AddressSanitizer.
    ASAN_POISON_MEMORY_REGION(memory, class_size(c));
}

}  // namespace devlink
