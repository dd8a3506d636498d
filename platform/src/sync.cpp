#include "platform/sync.h"

void InitializeCriticalSection(LPCRITICAL_SECTION cs)
{
    if (cs && !cs->lock) cs->lock = new std::recursive_mutex;
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs)
{
    if (!cs) return;
    delete cs->lock;
    cs->lock = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs)
{
    if (cs && cs->lock) cs->lock->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs)
{
    if (cs && cs->lock) cs->lock->unlock();
}

namespace {
std::atomic_ref<LONG> Ref(volatile LONG* value) { return std::atomic_ref<LONG>(*const_cast<LONG*>(value)); }
}  // namespace

LONG InterlockedIncrement(volatile LONG* value) { return Ref(value).fetch_add(1) + 1; }
LONG InterlockedDecrement(volatile LONG* value) { return Ref(value).fetch_sub(1) - 1; }
LONG InterlockedExchange(volatile LONG* target, LONG value) { return Ref(target).exchange(value); }

LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand)
{
    LONG expected = comparand;
    Ref(target).compare_exchange_strong(expected, exchange);
    return expected;
}
