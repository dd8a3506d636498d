// One allocation shared by objects that are released one by one.
#include "snmp/sharedblock.h"

#include <cstdint>
#include <new>

namespace devlink {

namespace {
constexpr size_t kHeader = slot_size_of<CSharedBlock>();
}

CSharedBlock* CSharedBlock::create(size_t slot_size, size_t slots) {
    if (slot_size % kAlign != 0 || (slot_size && slots > (SIZE_MAX - kHeader) / slot_size)) return nullptr;
    void* memory = ::operator new(kHeader + slot_size * slots, std::nothrow);
    if (!memory) return nullptr;
    return new (memory) CSharedBlock(slot_size, slots);
}

void* CSharedBlock::slot(size_t index) const {
    return const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(this)) + kHeader + index * slot_size_;
}

void CSharedBlock::free_block() {
    size_t size = kHeader + slot_size_ * slots_;
    this->~CSharedBlock();
    ASAN_UNPOISON_MEMORY_REGION(this, size);
    ::operator delete(this);
}

}  // namespace devlink
