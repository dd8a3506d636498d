// Per-thread caches of freed memory, by power-of-two size class.
#include "snmp/recycler.h"

#include <algorithm>
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
size_t class_size(size_t c) { return kSmallest << c; }
size_t kept_limit(size_t c) { return std::clamp<size_t>(kKeptBytes / class_size(c), 1, kKeptChunks); }

struct FreeChunk {
    FreeChunk* next;
};

struct ThreadCache {
    FreeChunk* heads[kClasses] = {};
    size_t counts[kClasses] = {};
    ~ThreadCache();
};

// The thread's cache; null before first use and after the thread's end began.
thread_local ThreadCache* t_cache = nullptr;
thread_local bool t_ended = false;

struct CacheOwner {
    ThreadCache cache;
    ~CacheOwner() {
        t_cache = nullptr;
        t_ended = true;
    }
};

ThreadCache* cache() {
    if (t_cache || t_ended) return t_cache;
    thread_local CacheOwner owner;
    t_cache = &owner.cache;
    return t_cache;
}

ThreadCache::~ThreadCache() {
    for (size_t c = 0; c < kClasses; ++c) {
        while (FreeChunk* f = heads[c]) {
            ASAN_UNPOISON_MEMORY_REGION(f, class_size(c));
            heads[c] = f->next;
            ::operator delete(f);
        }
    }
}

}  // namespace

void* recycler_take(size_t size) noexcept {
    const size_t c = class_of(size);
    if (c >= kClasses) return ::operator new(size, std::nothrow);
    ThreadCache* t = cache();
    if (t && t->heads[c]) {
        FreeChunk* f = t->heads[c];
        ASAN_UNPOISON_MEMORY_REGION(f, class_size(c));
        t->heads[c] = f->next;
        --t->counts[c];
        return f;
    }
    return ::operator new(class_size(c), std::nothrow);
}

void recycler_give(void* memory, size_t size) noexcept {
    if (!memory) return;
    const size_t c = class_of(size);
    ThreadCache* t = c < kClasses ? cache() : nullptr;
    if (!t || t->counts[c] >= kept_limit(c)) {
        ::operator delete(memory);
        return;
    }
    auto* f = static_cast<FreeChunk*>(memory);
    f->next = t->heads[c];
    t->heads[c] = f;
    ++t->counts[c];
    // A use of the object after its release still shows under AddressSanitizer.
    ASAN_POISON_MEMORY_REGION(f, class_size(c));
}

}  // namespace devlink
