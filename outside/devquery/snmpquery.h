// The questions the device-query library asks the printer, through devlink's facade.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device.h"

namespace devquery {

// Whether the agent answers at all (a GetRequest for sysObjectID).
bool Reachable(const Device& device);
// An integer value of one instance; false when the agent gives none.
bool GetInteger(const Device& device, const std::string& oid, int32_t* value);
// The text form of every value in a column (a GetNext walk below it); false when the walk fails.
bool WalkColumn(const Device& device, const std::string& column, std::vector<std::string>* values);

}  // namespace devquery
