// The outside device-query library: seven ANSI exports that read values from the printer.
// The library is loaded for each call and freed after it; a module accepts the first library
// path it is given and, later, only that path.
#pragma once

#include "platform/win32.h"

// Export names and their signatures, as the device-query library offers them.
using KTZADC_OpenDeviceProc = HANDLE (*)(const char* pszPortComponent, const char* pszModelComponent, DWORD dwZero);
using KTZADC_SetAttributeProc = DWORD (*)(HANDLE hDevice, const char* pszName, const void* pValue);
using KTZADC_SelectDeviceProc = DWORD (*)(HANDLE hDevice, HWND hOwner, const char* pszPort, const char* pszProduct,
                                          const char* pszPrivateMib);
using KTZADC_GetValueStringProc = DWORD (*)(HANDLE hDevice, const char* pszName, DWORD dwZero, char* pszBuffer);
using KTZADC_GetValueIntegerProc = DWORD (*)(HANDLE hDevice, const char* pszName, DWORD dwZero, int32_t* pValue);
using KTZADC_GetValueBooleanProc = DWORD (*)(HANDLE hDevice, const char* pszName, DWORD dwZero, uint16_t* pValue);
using KTZADC_CloseDeviceProc = DWORD (*)(HANDLE hDevice);

// Buffers the callers give for the two string attributes (no size travels with the call).
constexpr size_t DQ_NETWORK_ADDRESS_SIZE = 42;
constexpr size_t DQ_COMMUNITY_NAME_SIZE = 34;
constexpr size_t DQ_LIBRARY_PATH_LIMIT = 259;

// Remembers the first path (up to 259 characters); true when the path is the remembered one.
// A null or empty path, or one too long, is refused.
bool DqAcceptLibraryPath(const char* pszPath);
// Forgets the remembered path (the module's unload does the same).
void DqForgetLibraryPath();

// Each call loads the remembered library, calls the export and frees the library. A missing
// library or export counts as a failed call.
HANDLE DqOpenDevice(const char* pszPortComponent, const char* pszModelComponent);
bool DqSetAttribute(HANDLE hDevice, const char* pszName, const void* pValue);
bool DqSelectDevice(HANDLE hDevice, HWND hOwner, const char* pszPort, const char* pszProduct, const char* pszPrivateMib);
bool DqGetValueString(HANDLE hDevice, const char* pszName, char* pszBuffer);
bool DqGetValueInteger(HANDLE hDevice, const char* pszName, int32_t* pValue);
bool DqGetValueBoolean(HANDLE hDevice, const char* pszName, uint16_t* pValue);
bool DqCloseDevice(HANDLE hDevice);

// A further attribute set while the device is opened, before it is selected (the SNMP
// version and SNMPv3 parameters of the device-query library, for example).
struct DQ_ATTRIBUTE {
    const char* pszName;
    const void* pValue;
};

// What opening a device for a query needs.
struct DQ_OPEN_PARAMS {
    const char* pszLibraryPath;
    const char* pszPortComponent;   // "devport.dll"
    const char* pszModelComponent;  // "devmodel.dll", from the model library
    WORD wLangId;                   // 0: not set
    WORD wMode;                     // 1
    const char* pszTryAddress;      // used in mode 2 only
    const char* pszCommunity;       // at most 32 characters are passed
    HWND hOwner;
    const char* pszPort;            // the printer's port name
    const char* pszProduct;
    const char* pszPrivateMib;
    const DQ_ATTRIBUTE* pExtra;     // may be null
    size_t cExtra;
};

// Opens and selects the device; any failing step closes it again and gives null.
HANDLE DqOpenForQuery(const DQ_OPEN_PARAMS& params);
