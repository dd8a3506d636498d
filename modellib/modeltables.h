// The constant tables the model functions answer from.
#pragma once

#include "modellib/oupm.h"

struct StringPairEntry {
    DWORD dwKey;
    const char* pszFirst;
    const char* pszSecond;
};

struct FormTrayEntry {
    const char* pszName;  // null ends the table; the end entry's value answers a miss
    WORD wValue;
};

struct HardDiskEntry {
    DWORD dwKey;  // 0 ends the table
    const char* pszKeyword;
    DWORD dwValue;
};

struct ModelRecord {
    const char* pszProductName;
    WORD wModel;
    WORD wJclType;
    WORD wBrantelType;
    WORD wSecurePrintType;
    WORD wFunction109;
    DWORD dwCapability;
    const FormTrayEntry* pFormTray;
    const FormTrayEntry* pFormTray2;
    const StringPairEntry* pStringPairs;
    const HardDiskEntry* pHardDisk;
    const OUPM_FIELDLIMIT* pTextLimits;
    const OUPM_FIELDLIMIT* pJobOwnerLimits;
};

// Fills the option-query result of function 1003 from the request.
using OptionDetectProc = void (*)(void* pRequest, void* pResult);

struct DeviceQueryRecord {
    WORD wModel;
    WORD wOptionCount;
    const char* pszDeviceComponent;
    const char* pszPrivateMib;
    const char* pszThird;
    OptionDetectProc pfnDetect;
};

struct PictureEntry {
    const char* pszOptions;  // double-NUL-terminated; null ends the table
    DWORD dwPicture;
};

// The record of a model; an unknown model gets the end record, all zeros and nulls.
const ModelRecord& FindModelRecord(WORD wModel);
// The device-query record of a model, or null.
const DeviceQueryRecord* FindDeviceQueryRecord(WORD wModel);
const ModelRecord* ModelRecords();
bool IsListedFunction(DWORD dwFunction);

extern const char kPictureKeywords[];  // double-NUL-terminated
extern const PictureEntry kPictureTable[];
