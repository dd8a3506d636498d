// The module's private heap. Every block carries a 16-byte header in front of the caller's
// bytes, so that a pointer that did not come from here is recognised and left alone.
#pragma once

#include <new>

#include "platform/win32.h"

constexpr DWORD MEMBLOCK_SIGNATURE = 0x4B547044;

// 16 bytes on every build: the heap is kept as the module's 32-bit heap number and the data
// field as the low 32 bits of the address of the caller's bytes.
struct MemBlock {
    DWORD dwSignature;
    DWORD dwHeap;
    DWORD dwSize;
    DWORD dwData;
};
static_assert(sizeof(MemBlock) == 16, "MemBlock header must stay 16 bytes");

bool isValidMemBlock(const MemBlock* pBlock);

BOOL MemAlloc(HANDLE hHeap, void** ppOut, DWORD dwSize);
BOOL MemAllocZero(void** ppOut, DWORD dwSize);
BOOL MemFree(void* pData);
BOOL MemReAlloc(void** ppInOut, DWORD dwNewSize, BOOL bMayMove);

// Base of the module's objects: they live on the private heap.
struct HeapObject {
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* p) noexcept;
};
