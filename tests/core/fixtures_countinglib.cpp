// A stand-in model library that counts its calls, for the binding tests: it supports
// function 1001 (answering 0x1234) and nothing else.
#include "platform/win32.h"

namespace {
int g_calls = 0;
}

LUMENO_EXPORT DWORD OupmFunction(DWORD function, DWORD, void* in, void* out)
{
    ++g_calls;
    if (function == 0) {
        *static_cast<DWORD*>(out) = reinterpret_cast<uintptr_t>(in) == 1001 ? 1 : 0;
    } else if (function == 1001) {
        *static_cast<DWORD*>(out) = 0x1234;
    }
    return 0;
}

LUMENO_EXPORT int CountingLibCalls() { return g_calls; }
