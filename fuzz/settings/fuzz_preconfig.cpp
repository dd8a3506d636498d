#include "common/preconfig.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    PreConfigList list;
    list.LoadText(reinterpret_cast<const char*>(data), size, "Lumeno 4100DN PS",
                  [](const char*, const char*, void*) {}, nullptr);
    for (DWORD i = 0; i < list.Count(); ++i) list.Find(list.Keyword(i));
    return 0;
}
