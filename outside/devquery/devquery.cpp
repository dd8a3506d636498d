// The device-query library: reads installable options of a Lumeno printer over SNMP. Its
// caller loads it for each call, so a device handle is plain data and the library stays
// resident once loaded (it is linked with -z nodelete).
//
// Where each attribute comes from:
//   _KTZADC_NetworkAddress  the agent address the port name gives
//   NumberOfInputTray       rows of the Printer MIB's input table (prtInputIndex)
//   MemorySizeInMByte       Host Resources hrMemorySize (KB) / 1024
//   HardDisk, RamDisk       an hrStorageTable row of type hrStorageFixedDisk / hrStorageRamDisk
//   DuplexModule            the first instance below the model's private subtree, non-zero
//   _KTZADC_CommunityName, _KTZADC_SNMPVersion   the settings in use
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "device.h"
#include "facade/getdata.h"
#include "snmpquery.h"

#define DEVQUERY_EXPORT extern "C" __attribute__((visibility("default")))

namespace devquery {
namespace {

constexpr uint32_t kOk = 0;
constexpr uint32_t kFailed = 1;

// The callers' buffers for the two string attributes; no size travels with the call.
constexpr size_t kAddressBuffer = 42;
constexpr size_t kCommunityBuffer = 34;

constexpr const char* kInputIndexColumn = "1.3.6.1.2.1.43.8.2.1.1";
constexpr const char* kMemorySize = "1.3.6.1.2.1.25.2.2.0";
constexpr const char* kStorageTypeColumn = "1.3.6.1.2.1.25.2.3.1.2";
constexpr const char* kStorageFixedDisk = "1.3.6.1.2.1.25.2.1.4";
constexpr const char* kStorageRamDisk = "1.3.6.1.2.1.25.2.1.8";

uint32_t CopyText(const std::string& text, char* buffer, size_t size)
{
    if (!buffer || text.size() >= size) return kFailed;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return kOk;
}

bool SetText(const char* name, const char* value, Device* d)
{
    const std::string n = name;
    if (n == "_KTZADC_CommunityName") d->snmp.community = value;
    else if (n == "_KTZADC_EWSTryAddress") d->tryAddress = value;
    else if (n == "_KTZADC_SNMPv3User") d->snmp.user = value;
    else if (n == "_KTZADC_SNMPv3Level") d->snmp.level = value;
    else if (n == "_KTZADC_SNMPv3AuthProtocol") d->snmp.authProtocol = value;
    else if (n == "_KTZADC_SNMPv3AuthPass") d->snmp.authPass = value;
    else if (n == "_KTZADC_SNMPv3PrivProtocol") d->snmp.privProtocol = value;
    else if (n == "_KTZADC_SNMPv3PrivPass") d->snmp.privPass = value;
    else return false;
    return true;
}

bool HasStorageOfType(const Device& d, const char* type, bool* found)
{
    std::vector<std::string> types;
    if (!WalkColumn(d, kStorageTypeColumn, &types)) return false;
    *found = false;
    for (const std::string& t : types) *found = *found || t == type;
    return true;
}

bool DuplexUnit(const Device& d, bool* installed)
{
    std::vector<std::string> values;
    if (!WalkColumn(d, d.privateMib, &values) || values.empty()) return false;
    *installed = std::atoi(values.front().c_str()) != 0;
    return true;
}

}  // namespace
}  // namespace devquery

using devquery::Device;

DEVQUERY_EXPORT void* KTZADC_OpenDevice(const char* portComponent, const char* modelComponent, uint32_t)
{
    auto* device = new (std::nothrow) Device;
    if (!device) return nullptr;
    device->portComponent = portComponent ? portComponent : "";
    device->modelComponent = modelComponent ? modelComponent : "";
    return device;
}

DEVQUERY_EXPORT uint32_t KTZADC_SetAttribute(void* handle, const char* name, const void* value)
{
    Device* d = devquery::FromHandle(handle);
    if (!d || !name || !value) return devquery::kFailed;
    const std::string n = name;
    if (n == "_KTZADC_LangId") d->langId = *static_cast<const uint16_t*>(value);
    else if (n == "_KTZADC_Mode") d->mode = *static_cast<const uint16_t*>(value);
    else if (n == "_KTZADC_SNMPVersion") d->snmp.version = *static_cast<const int32_t*>(value);
    else if (!devquery::SetText(name, static_cast<const char*>(value), d)) return devquery::kFailed;
    return d->snmp.version == 1 || d->snmp.version == 3 ? devquery::kOk : devquery::kFailed;
}

// Selecting finds the agent the port name gives and makes sure it answers.
DEVQUERY_EXPORT uint32_t KTZADC_SelectDevice(void* handle, void*, const char* port, const char*,
                                             const char* privateMib)
{
    Device* d = devquery::FromHandle(handle);
    if (!d || !port || !privateMib || !devquery::ParsePortName(port, &d->address, &d->port)) return devquery::kFailed;
    d->privateMib = privateMib;
    devlink::IPmcGetData* facade = pmc_create_get_data(nullptr);
    if (!facade) return devquery::kFailed;
    const bool known = facade->get_address_kind(d->address.c_str(), &d->addressKind) == 0 && d->addressKind != 0;
    facade->release();
    d->selected = known && devquery::Reachable(*d);
    return d->selected ? devquery::kOk : devquery::kFailed;
}

DEVQUERY_EXPORT uint32_t KTZADC_GetValueString(void* handle, const char* name, uint32_t, char* buffer)
{
    const Device* d = devquery::FromHandle(handle);
    if (!d || !name) return devquery::kFailed;
    const std::string n = name;
    if (n == "_KTZADC_NetworkAddress" && d->selected) return devquery::CopyText(d->address, buffer, devquery::kAddressBuffer);
    if (n == "_KTZADC_CommunityName") return devquery::CopyText(d->snmp.community, buffer, devquery::kCommunityBuffer);
    return devquery::kFailed;
}

DEVQUERY_EXPORT uint32_t KTZADC_GetValueInteger(void* handle, const char* name, uint32_t, int32_t* value)
{
    const Device* d = devquery::FromHandle(handle);
    if (!d || !name || !value) return devquery::kFailed;
    const std::string n = name;
    if (n == "_KTZADC_SNMPVersion") {
        *value = d->snmp.version;
        return devquery::kOk;
    }
    if (!d->selected) return devquery::kFailed;
    if (n == "NumberOfInputTray") {
        std::vector<std::string> rows;
        if (!devquery::WalkColumn(*d, devquery::kInputIndexColumn, &rows)) return devquery::kFailed;
        *value = static_cast<int32_t>(rows.size());
        return devquery::kOk;
    }
    if (n == "MemorySizeInMByte") {
        int32_t kilobytes = 0;
        if (!devquery::GetInteger(*d, devquery::kMemorySize, &kilobytes)) return devquery::kFailed;
        *value = kilobytes / 1024;
        return devquery::kOk;
    }
    return devquery::kFailed;
}

DEVQUERY_EXPORT uint32_t KTZADC_GetValueBoolean(void* handle, const char* name, uint32_t, uint16_t* value)
{
    const Device* d = devquery::FromHandle(handle);
    if (!d || !d->selected || !name || !value) return devquery::kFailed;
    const std::string n = name;
    bool answer = false;
    bool ok = false;
    if (n == "DuplexModule") ok = devquery::DuplexUnit(*d, &answer);
    else if (n == "HardDisk") ok = devquery::HasStorageOfType(*d, devquery::kStorageFixedDisk, &answer);
    else if (n == "RamDisk") ok = devquery::HasStorageOfType(*d, devquery::kStorageRamDisk, &answer);
    if (!ok) return devquery::kFailed;
    *value = answer ? 1 : 0;
    return devquery::kOk;
}

DEVQUERY_EXPORT uint32_t KTZADC_CloseDevice(void* handle)
{
    Device* d = devquery::FromHandle(handle);
    if (!d) return devquery::kFailed;
    d->magic = 0;
    delete d;
    return devquery::kOk;
}
