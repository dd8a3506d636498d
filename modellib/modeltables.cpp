#include "modeltables.h"

#include "optiondetect.h"

namespace {

constexpr DWORD kCapabilityMask = 0x08A92E7C;

constexpr HardDiskEntry kHardDisk[] = {
    {1, "QNHardDisk", 0},
    {0, nullptr, 0},
};

// Job-type, configuration and favorites fields: control id, flag word halves, reserved,
// minimum and maximum length.
constexpr OUPM_FIELDLIMIT kTextLimits[] = {
    {10206, 19, 12, 0, 1, 32}, {10208, 3, 0, 0, 4, 12}, {11104, 19, 12, 0, 1, 8},
    {11106, 1, 0, 0, 0, 12},   {11110, 19, 0, 0, 0, 12}, {12603, 19, 12, 0, 1, 32},
    {0, 0, 0, 0, 0, 0},
};

// Job-owner fields, by field number.
constexpr OUPM_FIELDLIMIT kJobOwnerLimits[] = {
    {8, 19, 0, 0, 0, 12}, {7, 19, 2, 0, 0, 32}, {1, 0, 12, 0, 1, 32}, {2, 0, 0, 0, 1, 32},
    {0, 0, 0, 0, 0, 0},
};

constexpr ModelRecord kModels[] = {
    {"Lumeno 4100N", KTPS_MODEL_LUMENO_4100N, 3, 0, 3, 0, kCapabilityMask, nullptr, nullptr, nullptr, kHardDisk,
     kTextLimits, kJobOwnerLimits},
    {"Lumeno 4100DN", KTPS_MODEL_LUMENO_4100DN, 3, 0, 3, 0, kCapabilityMask, nullptr, nullptr, nullptr, kHardDisk,
     kTextLimits, kJobOwnerLimits},
    {nullptr, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

// Function 108 is listed though nothing answers it; function 109 answers but is not listed.
constexpr long kSupportedFunctions[] = {0, 1, 102, 103, 105, 108, 400, 450, 1003, 605, 1002, 1001, 1004, 1005, 1006,
                                        1007, -1};

constexpr const char* kPrivateMib = "1.3.6.1.4.1.47301.8.62.1.19.4.33";

constexpr DeviceQueryRecord kDeviceQuery[] = {
    {KTPS_MODEL_LUMENO_4100N, 4, "devmodel.dll", kPrivateMib, "", DetectDeviceOptions},
    {KTPS_MODEL_LUMENO_4100DN, 4, "devmodel.dll", kPrivateMib, "", DetectDeviceOptions},
};

}  // namespace

const char kPictureKeywords[] = "KTPaperTrayConfiguration\0";

const PictureEntry kPictureTable[] = {
    {"None\0", IDB_DEVICE_NO_TRAY},
    {"1TrayModule\0", IDB_DEVICE_TRAY_MODULE},
    {nullptr, 0},
};

const ModelRecord* ModelRecords() { return kModels; }

const ModelRecord& FindModelRecord(WORD wModel)
{
    const ModelRecord* p = kModels;
    while (p->wModel != 0 && p->wModel != wModel) ++p;
    return *p;
}

const DeviceQueryRecord* FindDeviceQueryRecord(WORD wModel)
{
    for (const DeviceQueryRecord& record : kDeviceQuery)
        if (record.wModel == wModel) return &record;
    return nullptr;
}

bool IsListedFunction(DWORD dwFunction)
{
    for (const long* p = kSupportedFunctions; *p != -1; ++p)
        if (static_cast<DWORD>(*p) == dwFunction) return true;
    return false;
}
