// One heap allocation that holds several objects which are still released one by one: the
// decoder puts the bindings of a message with their OIDs and values in one block. Each release
// ends its own object (and poisons its slot for AddressSanitizer, so a use after release is still
// caught); the last release frees the block. Whatever hands a block object out of its structure
// calls share() first.
#pragma once

#include <atomic>
#include <cstddef>
#include <sanitizer/asan_interface.h>

namespace devlink {

class CSharedBlock {
public:
    static constexpr size_t kAlign = __STDCPP_DEFAULT_NEW_ALIGNMENT__;  // what operator new gives

    // A block of slots of slot_size bytes (a multiple of kAlign), held by its creator until
    // release(); null when out of memory.
    static CSharedBlock* create(size_t slot_size, size_t slots);
    size_t slots() const { return slots_; }
    size_t slot_size() const { return slot_size_; }
    void* slot(size_t index) const;
    // Each object placed in a slot holds the block until its release.
    void add_objects(long count) { change_live(count); }
    // Called after an object's destructor ran: poisons its slot and drops its hold.
    void object_ended(void* object) {
        ASAN_POISON_MEMORY_REGION(object, slot_size_);
        drop();
    }
    // Drops the creator's hold.
    void release() { drop(); }
    // Called before an object of the block leaves the structure it was placed in (detached or
    // taken): from then on the block's objects may be released on different threads at once.
    // Until then one owner releases them all, and the count needs no atomic read-modify-write,
    // the larger part of what releasing a decoded message costs.
    void share() { shared_.store(true, std::memory_order_relaxed); }

private:
    CSharedBlock(size_t slot_size, size_t slots) : slot_size_(slot_size), slots_(slots) {}
    // The count after the change.
    long change_live(long delta) {
        if (shared_.load(std::memory_order_relaxed)) return live_.fetch_add(delta, std::memory_order_acq_rel) + delta;
        const long live = live_.load(std::memory_order_relaxed) + delta;
        live_.store(live, std::memory_order_relaxed);
        return live;
    }
    void drop() {
        if (change_live(-1) == 0) free_block();
    }
    void free_block();
    size_t slot_size_;
    size_t slots_;
    std::atomic<long> live_{1};
    std::atomic<bool> shared_{false};
};

// The block an object lives in, null for an object of its own. A copy of an object is never
// embedded, so copying or assigning leaves this alone.
struct EmbeddedIn {
    CSharedBlock* block = nullptr;
    EmbeddedIn() = default;
    EmbeddedIn(const EmbeddedIn&) {}
    EmbeddedIn& operator=(const EmbeddedIn&) { return *this; }
};

// Ends an object made by new or placed in a block slot.
template <class T>
void release_object(T* object, const EmbeddedIn& where) {
    CSharedBlock* block = where.block;
    if (!block) {
        delete object;
        return;
    }
    object->~T();
    block->object_ended(object);
}

// The size of T rounded up to the block alignment.
template <class T>
constexpr size_t slot_size_of() {
    return (sizeof(T) + CSharedBlock::kAlign - 1) / CSharedBlock::kAlign * CSharedBlock::kAlign;
}

// The slots follow the block's own fields, aligned.
inline constexpr size_t kSharedBlockHeader = slot_size_of<CSharedBlock>();

inline void* CSharedBlock::slot(size_t index) const {
    return const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(this)) + kSharedBlockHeader + index * slot_size_;
}

}  // namespace devlink
