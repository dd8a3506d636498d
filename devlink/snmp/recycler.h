// Memory for the library's small objects, kept per thread for the next object of about the same
// size. Decoding a message makes and drops the same few objects (PDU, target, list, the block of
// its bindings) over and over; taking their memory back from this thread's cache is several
// times cheaper than a round trip through the general allocator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace devlink {

// Memory of at least size bytes, aligned as operator new aligns; null when out of memory.
void* recycler_take(size_t size) noexcept;
// Gives back memory from recycler_take with the same size.
void recycler_give(void* memory, size_t size) noexcept;

// Base of the classes whose objects are made by new: their memory goes through the recycler.
struct Recycled {
    static void* operator new(size_t size, const std::nothrow_t&) noexcept { return recycler_take(size); }
    static void* operator new(size_t size) {
        void* p = recycler_take(size);
        if (!p) throw std::bad_alloc();
        return p;
    }
    static void* operator new(size_t, void* place) noexcept { return place; }
    static void operator delete(void* memory, size_t size) noexcept { recycler_give(memory, size); }
    static void operator delete(void* memory, size_t size, const std::nothrow_t&) noexcept { recycler_give(memory, size); }
};

// The recycler as a container's allocator.
template <class T>
struct RecyclerAllocator {
    using value_type = T;
    RecyclerAllocator() = default;
    template <class U>
    RecyclerAllocator(const RecyclerAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        void* p = recycler_take(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) noexcept { recycler_give(p, n * sizeof(T)); }
    friend bool operator==(const RecyclerAllocator&, const RecyclerAllocator&) { return true; }
};

}  // namespace devlink
