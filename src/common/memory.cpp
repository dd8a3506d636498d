#include "memory.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "coremain.h"
#include "debug.h"

namespace {

constexpr DWORD kHeaderSize = sizeof(MemBlock);

// Heaps get a small number, stable for the module's life, so the header can name them in
// 32 bits. Number 0 is never given out.
std::mutex g_heapNumbersLock;
std::vector<HANDLE> g_heapNumbers;

DWORD HeapNumber(HANDLE hHeap)
{
    std::lock_guard guard(g_heapNumbersLock);
    for (size_t i = 0; i < g_heapNumbers.size(); ++i)
        if (g_heapNumbers[i] == hHeap) return static_cast<DWORD>(i + 1);
    g_heapNumbers.push_back(hHeap);
    return static_cast<DWORD>(g_heapNumbers.size());
}

HANDLE HeapFromNumber(DWORD dwNumber)
{
    std::lock_guard guard(g_heapNumbersLock);
    return (dwNumber >= 1 && dwNumber <= g_heapNumbers.size()) ? g_heapNumbers[dwNumber - 1] : nullptr;
}

DWORD Low32(const void* p) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(p)); }
BYTE* DataOf(MemBlock* pBlock) { return reinterpret_cast<BYTE*>(pBlock) + kHeaderSize; }
MemBlock* HeaderOf(void* pData) { return reinterpret_cast<MemBlock*>(static_cast<BYTE*>(pData) - kHeaderSize); }

void FillHeader(MemBlock* pBlock, HANDLE hHeap, DWORD dwSize)
{
    pBlock->dwSignature = MEMBLOCK_SIGNATURE;
    pBlock->dwHeap = HeapNumber(hHeap);
    pBlock->dwSize = dwSize;
    pBlock->dwData = Low32(DataOf(pBlock));
}

MemBlock* allocMemBlock(HANDLE hHeap, DWORD dwSize, bool bZero)
{
    if (!hHeap) hHeap = g_Core.hHeap;
    if (!hHeap || dwSize > 0xFFFFFFFF - kHeaderSize) return nullptr;
    auto* pBlock = static_cast<MemBlock*>(HeapAlloc(hHeap, bZero ? HEAP_ZERO_MEMORY : 0, dwSize + kHeaderSize));
    if (pBlock) FillHeader(pBlock, hHeap, dwSize);
    return pBlock;
}

bool freeMemBlock(void* pData)
{
    MemBlock* pBlock = HeaderOf(pData);
    if (!isValidMemBlock(pBlock)) {
        KTPS_LOG(DBG_INFO, "Invalid MemBlock, addr = %08x.\n", Low32(pBlock));
        return false;
    }
    return HeapFree(HeapFromNumber(pBlock->dwHeap), 0, pBlock) != FALSE;
}

MemBlock* reallocMemBlock(MemBlock* pOld, DWORD dwNewSize, bool bMayMove)
{
    HANDLE hHeap = HeapFromNumber(pOld->dwHeap);
    if (!hHeap || dwNewSize > 0xFFFFFFFF - kHeaderSize) return nullptr;
    auto* pNew = static_cast<MemBlock*>(
        HeapReAlloc(hHeap, bMayMove ? 0 : HEAP_REALLOC_IN_PLACE_ONLY, pOld, dwNewSize + kHeaderSize));
    KTPS_LOG(DBG_INFO, "reallocMemBlock: pOld = 0x%08x pNew = 0x%08x dwSize = 0x%08x", Low32(pOld), Low32(pNew),
             dwNewSize);
    if (pNew) {
        pNew->dwData = Low32(DataOf(pNew));
        pNew->dwSize = dwNewSize;
        return pNew;
    }
    MemBlock* pFresh = allocMemBlock(hHeap, dwNewSize, false);
    if (!pFresh) return nullptr;
    std::memcpy(DataOf(pFresh), DataOf(pOld), pOld->dwSize < dwNewSize ? pOld->dwSize : dwNewSize);
    HeapFree(hHeap, 0, pOld);
    return pFresh;
}

}  // namespace

bool isValidMemBlock(const MemBlock* pBlock)
{
    return pBlock && pBlock->dwSignature == MEMBLOCK_SIGNATURE &&
           pBlock->dwData == Low32(reinterpret_cast<const BYTE*>(pBlock) + kHeaderSize);
}

BOOL MemAlloc(HANDLE hHeap, void** ppOut, DWORD dwSize)
{
    if (!ppOut || dwSize == 0) return FALSE;
    MemBlock* pBlock = allocMemBlock(hHeap, dwSize, false);
    if (!pBlock) {
        KTPS_LOG(DBG_NOTICE, "hHeap(%08x), dwSize(%d).\n", Low32(hHeap), static_cast<int>(dwSize));
        return FALSE;
    }
    *ppOut = DataOf(pBlock);
    return TRUE;
}

BOOL MemAllocZero(void** ppOut, DWORD dwSize)
{
    if (!ppOut || dwSize == 0) return FALSE;
    MemBlock* pBlock = allocMemBlock(nullptr, dwSize, true);
    if (!pBlock) {
        KTPS_LOG(DBG_NOTICE, "dwSize(%d).\n", static_cast<int>(dwSize));
        return FALSE;
    }
    *ppOut = DataOf(pBlock);
    return TRUE;
}

BOOL MemFree(void* pData)
{
    if (!pData) return FALSE;
    return freeMemBlock(pData) ? TRUE : FALSE;
}

BOOL MemReAlloc(void** ppInOut, DWORD dwNewSize, BOOL bMayMove)
{
    if (!ppInOut || !*ppInOut || dwNewSize == 0) return FALSE;
    MemBlock* pOld = HeaderOf(*ppInOut);
    MemBlock* pNew = isValidMemBlock(pOld) ? reallocMemBlock(pOld, dwNewSize, bMayMove != FALSE) : nullptr;
    if (!pNew) {
        if (!isValidMemBlock(pOld)) KTPS_LOG(DBG_INFO, "Invalid MemBlock, addr = %08x.\n", Low32(pOld));
        KTPS_LOG(DBG_NOTICE, "dwSize(%d).\n", static_cast<int>(dwNewSize));
        return FALSE;
    }
    *ppInOut = DataOf(pNew);
    return TRUE;
}

void* HeapObject::operator new(size_t size) noexcept
{
    void* p = nullptr;
    return (size <= 0xFFFFFFFF && MemAlloc(nullptr, &p, static_cast<DWORD>(size))) ? p : nullptr;
}

void HeapObject::operator delete(void* p) noexcept { MemFree(p); }
