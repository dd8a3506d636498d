// Private heaps with a real size bound: a heap created with a maximum refuses any allocation
// that would take its total above it.
#pragma once

#include "platform/types.h"

constexpr DWORD HEAP_NO_SERIALIZE = 0x00000001;
constexpr DWORD HEAP_GENERATE_EXCEPTIONS = 0x00000004;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
constexpr DWORD HEAP_REALLOC_IN_PLACE_ONLY = 0x00000010;

// maximumSize 0 makes the heap growable without limit; a maximum below initialSize is raised to it.
HANDLE HeapCreate(DWORD options, SIZE_T initialSize, SIZE_T maximumSize);
BOOL HeapDestroy(HANDLE heap);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
// With HEAP_REALLOC_IN_PLACE_ONLY the block keeps its address or the call fails.
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
// The caller's size of a block, or (SIZE_T)-1 when it does not belong to the heap.
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);
HANDLE GetProcessHeap();
