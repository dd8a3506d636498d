// Each heap keeps its blocks in a table, so that a foreign pointer is refused instead of
// freed, destroying the heap releases what is left, and the maximum is a real bound.
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/errors.h"
#include "platform/heap.h"

namespace {

struct Heap {
    DWORD options;
    SIZE_T maximum;  // 0: growable
    SIZE_T inUse = 0;
    std::mutex lock;
    std::unordered_map<void*, SIZE_T> blocks;  // address -> caller's size

    bool Fits(SIZE_T extra) const { return maximum == 0 || (extra <= maximum && inUse <= maximum - extra); }
};

Heap* AsHeap(HANDLE h) { return static_cast<Heap*>(h); }

// The serialisation a heap was created with, or none for HEAP_NO_SERIALIZE.
class HeapLock {
public:
    HeapLock(Heap* heap, DWORD flags) : heap_(heap), locked_(!((heap->options | flags) & HEAP_NO_SERIALIZE))
    {
        if (locked_) heap_->lock.lock();
    }
    ~HeapLock()
    {
        if (locked_) heap_->lock.unlock();
    }
    HeapLock(const HeapLock&) = delete;
    HeapLock& operator=(const HeapLock&) = delete;

private:
    Heap* heap_;
    bool locked_;
};

void* AllocateLocked(Heap* heap, DWORD flags, SIZE_T bytes)
{
    if (!heap->Fits(bytes)) return nullptr;
    void* p = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
    if (!p) return nullptr;
    heap->blocks.emplace(p, bytes);
    heap->inUse += bytes;
    return p;
}

}  // namespace

HANDLE HeapCreate(DWORD options, SIZE_T initialSize, SIZE_T maximumSize)
{
    // A maximum below the initial size is raised to it, as the system heap does.
    if (maximumSize != 0 && maximumSize < initialSize) maximumSize = initialSize;
    return new Heap{options, maximumSize};
}

BOOL HeapDestroy(HANDLE h)
{
    Heap* heap = AsHeap(h);
    if (!heap || heap == GetProcessHeap()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    for (auto& [p, size] : heap->blocks) std::free(p);
    delete heap;
    return TRUE;
}

LPVOID HeapAlloc(HANDLE h, DWORD flags, SIZE_T bytes)
{
    Heap* heap = AsHeap(h);
    if (!heap) return nullptr;
    HeapLock guard(heap, flags);
    void* p = AllocateLocked(heap, flags, bytes);
    if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return p;
}

LPVOID HeapReAlloc(HANDLE h, DWORD flags, LPVOID block, SIZE_T bytes)
{
    Heap* heap = AsHeap(h);
    if (!heap || !block) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HeapLock guard(heap, flags);
    auto it = heap->blocks.find(block);
    if (it == heap->blocks.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const SIZE_T old = it->second;
    if (bytes > old && !heap->Fits(bytes - old)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // In place: only when the block's own capacity already holds the new size.
    if (bytes <= malloc_usable_size(block) && bytes != 0) {
        if ((flags & HEAP_ZERO_MEMORY) && bytes > old) std::memset(static_cast<BYTE*>(block) + old, 0, bytes - old);
        heap->inUse = heap->inUse - old + bytes;
        it->second = bytes;
        return block;
    }
    if (flags & HEAP_REALLOC_IN_PLACE_ONLY) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* moved = std::malloc(bytes ? bytes : 1);
    if (!moved) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::memcpy(moved, block, old < bytes ? old : bytes);
    if ((flags & HEAP_ZERO_MEMORY) && bytes > old) std::memset(static_cast<BYTE*>(moved) + old, 0, bytes - old);
    std::free(block);
    heap->blocks.erase(it);
    heap->blocks.emplace(moved, bytes);
    heap->inUse = heap->inUse - old + bytes;
    return moved;
}

BOOL HeapFree(HANDLE h, DWORD flags, LPVOID block)
{
    Heap* heap = AsHeap(h);
    if (!heap) return FALSE;
    if (!block) return TRUE;
    HeapLock guard(heap, flags);
    auto it = heap->blocks.find(block);
    if (it == heap->blocks.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    heap->inUse -= it->second;
    heap->blocks.erase(it);
    std::free(block);
    return TRUE;
}

SIZE_T HeapSize(HANDLE h, DWORD flags, LPCVOID block)
{
    Heap* heap = AsHeap(h);
    if (!heap) return static_cast<SIZE_T>(-1);
    HeapLock guard(heap, flags);
    auto it = heap->blocks.find(const_cast<void*>(block));
    return it == heap->blocks.end() ? static_cast<SIZE_T>(-1) : it->second;
}

HANDLE GetProcessHeap()
{
    static Heap* processHeap = new Heap{0, 0};
    return processHeap;
}
