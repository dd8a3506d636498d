// The job-information block arrives from another process: import must refuse what runs past
// its size or its items, and never write past an item. Round trip what it takes.
#include <cstdint>
#include <cstring>

#include "common/coremain.h"
#include "renderer/documentinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool started = CoreInitialize(nullptr);
    (void)started;
    if (size > 200000) return 0;
    DocumentInfo info;
    if (!info.IsValid()) return 0;
    if (info.Import(data, static_cast<DWORD>(size)) == JII_OK) {
        DWORD cb = 0;
        BYTE* block = info.Export(&cb);
        if (block) {
            DocumentInfo again;
            if (again.Import(block, cb) != JII_OK) __builtin_trap();
            MemFree(block);
        }
        for (DWORD i = 0; i < DI_ITEM_COUNT; ++i) {
            if (LPCSTR t = info.GetText(i)) {
                if (strnlen(t, DocumentInfo::ItemMax(i)) >= DocumentInfo::ItemMax(i)) __builtin_trap();
            }
        }
    }
    return 0;
}
