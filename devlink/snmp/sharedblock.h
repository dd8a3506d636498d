// One heap allocation that holds several objects which are still released one by one: the
// decoder puts the bindings of a message with their OIDs and values in one block. Each release
// ends its own object (and poisons its slot for AddressSanitizer, so a use after release is still
// caught); the last release frees the block.
#pragma once

#include <atomic>
#include <cstddef>

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
    // Each object placed in a slot holds the block until its release; count of them at once
    // saves atomic operations.
    void add_objects(long count) { live_.fetch_add(count, std::memory_order_relaxed); }
    // Called after an object's destructor ran: poisons its slot and drops its hold.
    void object_ended(void* object);
    // Drops the creator's hold.
    void release() { drop(); }

private:
    CSharedBlock(size_t slot_size, size_t slots) : slot_size_(slot_size), slots_(slots) {}
    void drop();
    size_t slot_size_;
    size_t slots_;
    std::atomic<long> live_{1};
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

}  // namespace devlink
