// One allocation shared by objects that are released one by one.
#include "snmp/sharedblock.h"

#include <new>

#include "snmp/recycler.h"

namespace devlink {

CSharedBlock* CSharedBlock::create(size_t slot_size, size_t slots) {
    size_t bytes = 0;  // checked without a division, which would cost more than the rest
    if (slot_size % kAlign != 0 || __builtin_mul_overflow(slot_size, slots, &bytes) ||
        __builtin_add_overflow(bytes, kSharedBlockHeader, &bytes))
        return nullptr;
    void* memory = recycler_take(bytes);
    if (!memory) return nullptr;
    return new (memory) CSharedBlock(slot_size, slots);
}

void CSharedBlock::free_block() {
    size_t size = kSharedBlockHeader + slot_size_ * slots_;
    this->~CSharedBlock();
    ASAN_UNPOISON_MEMORY_REGION(this, size);
    recycler_give(this, size);
}

}  // namespace devlink
