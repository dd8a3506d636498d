#include "common/printerdata.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    char option[64];
    DWORD cch = 0;
    FindFeatureKeywordOption(data, static_cast<DWORD>(size), "QNHardDisk", option, sizeof option, &cch);
    WalkFeatureKeywords(data, static_cast<DWORD>(size), [](LPCSTR, LPCSTR, void*) { return true; }, nullptr);
    return 0;
}
