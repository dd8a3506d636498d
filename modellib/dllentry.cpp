#include "common/coremain.h"

LUMENO_EXPORT BOOL DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH: return CoreInitialize(hInstance);
    case DLL_PROCESS_DETACH: CoreTerminate(); return TRUE;
    default: return TRUE;
    }
}
