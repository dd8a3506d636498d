// ConvertPrivateDevmode and MergePrivateDevmode on arbitrary source bytes.
//
// Input: one control byte, then the source record's bytes. The source buffer is exactly as
// long as the input gives, but at least the 12-byte header and at least as long as the size
// the header claims (up to 800 bytes, all that the conversion ever reads), zero-padded; so
// any read beyond what a record of that size holds is an ASan report.
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/coremain.h"
#include "common/devmode.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CoreInitialize(nullptr);  // the private heap the conversion's work areas come from
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const uint8_t control = data[0];
    ++data;
    --size;

    DWORD claimed = 0;
    if (size >= 4) std::memcpy(&claimed, data, 4);
    size_t length = size < 12 ? 12 : size;
    const size_t needed = claimed > 800 ? 800 : claimed;
    if (length < needed) length = needed;
    std::vector<uint8_t> source(length, 0);
    std::memcpy(source.data(), data, size);

    // Target: the defaults, or (control bit 0) the source's first 328 bytes over the defaults,
    // so that a current-version source is copied and foreign targets are exercised too.
    OEMPrivateDevmode target;
    InitPrivateDevmode(&target);
    if (control & 1) std::memcpy(&target, source.data(), length < 328 ? length : 328);
    const DWORD copy = (control & 2) ? 328 : static_cast<DWORD>(control) + 64;  // at most 319 or 328
    ConvertPrivateDevmode(&target, source.data(), copy < 328 ? copy : 328);

    // The converted record and the raw source bytes (as a 328-byte record) merged both ways.
    std::vector<uint8_t> raw(328, 0);
    std::memcpy(raw.data(), source.data(), length < 328 ? length : 328);
    OEMPrivateDevmode merged;
    InitPrivateDevmode(&merged);
    MergePrivateDevmode(&merged, reinterpret_cast<const OEMPrivateDevmode*>(raw.data()), 328);
    MergePrivateDevmode(&merged, &target, (control & 4) ? 327 : 328);
    MergePrivateDevmode(reinterpret_cast<OEMPrivateDevmode*>(raw.data()), &target, 328);

    // Every keyword read from the results into buffers of every interesting size.
    char buffer[256];
    for (const DmKeywordEntry* e = GetDmKeywordTable(); e->pszKeyword; ++e) {
        DWORD type = 0;
        GetDmKeyword(&merged, e->pszKeyword, &type, buffer, control % 64);
        GetDmKeyword(reinterpret_cast<const OEMPrivateDevmode*>(raw.data()), e->pszKeyword, &type, buffer,
                     sizeof buffer);
    }
    return 0;
}
