#include "common/printerdata.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    JobAccountRecord record;
    ParseJobAccountInfo(data, static_cast<DWORD>(size), &record);
    return 0;
}
