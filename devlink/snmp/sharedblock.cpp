// One allocation shared by objects that are released one by one.
#include "snmp/sharedblock.h"

#include <cstdint>
#include <new>

#include "snmp/recycler.h"

namespace devlink {

CSharedBlock* CSharedBlock::create(size_t slot_size, size_t slots) {
    if (slot_size % kAlign != 0 || (slot_size && slots > (SIZE_MAX - kSharedBlockHeader) / slot_size)) return nullptr;
    void* memory = recycler_take(kSharedBlockHeader + slot_size * slots);
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
