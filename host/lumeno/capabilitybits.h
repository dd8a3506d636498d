// What each bit of the model's capability mask means to the plug-ins.
#pragma once

#include <cstdint>

namespace lumeno {

struct CapabilityBit {
    uint32_t bit;
    const char* meaning;
};

// Bits the plug-ins test, in bit order.
extern const CapabilityBit kCapabilityBits[];
extern const int kCapabilityBitCount;

}  // namespace lumeno
