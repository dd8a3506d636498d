#include <vector>

#include "common/settingsreader.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    // An exact-size copy, so that reading past the data is caught.
    std::vector<char> copy(data, data + size);
    char name[65];
    DWORD cb = sizeof name;
    ScanProductName(copy.data(), copy.size(), name, &cb);
    return 0;
}
