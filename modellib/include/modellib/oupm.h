// The model library's one entry point, its function numbers and the records it answers with.
#pragma once

#include "platform/types.h"

constexpr WORD KTPS_MODEL_LUMENO_4100N = 8783;
constexpr WORD KTPS_MODEL_LUMENO_4100DN = 8784;

enum OupmFunctionId : DWORD {
    OUPF_FUNCID_ISSUPPORTED = 0,
    KTPS_PRNFUNC_GETPRINTERTYPE = 1,
    OUPF_FUNCID_GETSTRINGPAIR1 = 2,
    OUPF_FUNCID_COMPARESTRINGPAIR1 = 3,
    OUPF_FUNCID_GETFORMTRAYCODE = 4,
    OUPF_FUNCID_GETFORMTRAYCODE2 = 7,
    OUPF_FUNCID_GETSUPPORTTYPE_JCL = 102,
    OUPF_FUNCID_GETSUPPORTTYPE_BRANTEL = 103,
    OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT = 105,
    OUPF_FUNCID_LISTED108 = 108,
    OUPF_FUNCID_GETWORD109 = 109,
    OUPF_FUNCID_GETHARDDISKKEYWORD = 400,
    OUPF_FUNCID_GETHARDDISKINSTALLED = 450,
    OUPF_FUNCID_GETSTRINGPAIR2 = 600,
    OUPF_FUNCID_COMPARESTRINGPAIR2 = 601,
    OPMP_FUNCID_GETDEVICEOPTIONNUM = 605,
    OUPF_FUNCID_GETCAPABILITY = 1001,
    OPMP_FUNCID_GETDEVICEQUERYINFO = 1002,
    OPMP_FUNCID_GETDEVICEOPTIONS = 1003,
    OUPF_FUNCID_GETTEXTLIMITS = 1004,
    OUPF_FUNCID_GETJOBOWNERLIMITS = 1005,
    OUPF_FUNCID_GETPICTUREKEYWORDS = 1006,
    OUPF_FUNCID_GETPICTUREID = 1007,
};

// Functions 2, 600 and 400 write an ANSI string into the caller's buffer, which must hold
// at least this many bytes.
constexpr size_t OUPM_STRING_BUFFER_SIZE = 256;

// In of function 7.
struct OUPM_KEYWORD_PAIR {
    const char* pszFirst;
    const char* pszSecond;
};

// Out of function 1002; written only when dwSize announces this record's own size.
struct OUPM_DEVICEQUERYINFO {
    DWORD dwSize;
    const char* pszDeviceComponent;
    const char* pszPrivateMib;
    const char* pszThird;
};

// One record of the text-limit tables (functions 1004 and 1005), ended by identifier 0.
struct OUPM_FIELDLIMIT {
    DWORD dwId;
    WORD w1;
    WORD w2;
    DWORD d3;
    WORD w4;
    WORD w5;
};
static_assert(sizeof(OUPM_FIELDLIMIT) == 16, "text-limit records are 16 bytes");

// The two picture identifiers of function 1007 (bitmaps of this library).
constexpr DWORD IDB_DEVICE_NO_TRAY = 11002;
constexpr DWORD IDB_DEVICE_TRAY_MODULE = 11003;

// String resource of the library: the user-interface language identifier.
constexpr UINT IDS_LANGUAGE_ID = 24000;

extern "C" DWORD OupmFunction(DWORD function, DWORD model, void* in, void* out);

// Function 1003, installable-option detection.
struct OUPM_OPTIONQUERY {
    DWORD dwSize;                  // sizeof(OUPM_OPTIONQUERY), else nothing is done
    const char* pszLibraryPath;    // the device-query library, at most 259 characters
    HANDLE hDevice;                // opened through the device-query library; null when none
    DWORD dwReserved;
};

struct OUPM_OPTIONPAIR {
    const char* pszKeyword;  // constants of the model library
    const char* pszOption;
};

constexpr size_t OUPM_NETWORK_ADDRESS_SIZE = 42;
constexpr size_t OUPM_COMMUNITY_SIZE = 34;

struct OUPM_OPTIONRESULT {
    DWORD dwPairCount;                       // pairs written; 0 means nothing was detected
    OUPM_OPTIONPAIR* pPairs;                 // room for as many pairs as function 605 answers
    char szNetworkAddress[OUPM_NETWORK_ADDRESS_SIZE];
    char szCommunity[OUPM_COMMUNITY_SIZE];
    DWORD dwSnmpVersion;
    HANDLE hPrinter;                         // not null: the printer's own data is the source
};
