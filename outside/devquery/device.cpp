#include "device.h"

#include <cstdlib>

namespace devquery {

Device* FromHandle(void* handle)
{
    auto* device = static_cast<Device*>(handle);
    return device && device->magic == Device::kMagic ? device : nullptr;
}

namespace {

bool ParsePort(const std::string& text, unsigned short* port)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || value < 1 || value > 65535) return false;
    *port = static_cast<unsigned short>(value);
    return true;
}

}  // namespace

bool ParsePortName(const std::string& portName, std::string* address, unsigned short* port)
{
    std::string name = portName.rfind("IP_", 0) == 0 ? portName.substr(3) : portName;
    *port = 161;
    if (!name.empty() && name.front() == '[') {  // [IPv6]:port
        const size_t close = name.find(']');
        if (close == std::string::npos) return false;
        const std::string rest = name.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || !ParsePort(rest.substr(1), port))) return false;
        *address = name.substr(1, close - 1);
        return !address->empty();
    }
    // One colon separates a port; more than one is a bare IPv6 address.
    const size_t colon = name.find(':');
    if (colon != std::string::npos && name.find(':', colon + 1) == std::string::npos) {
        if (!ParsePort(name.substr(colon + 1), port)) return false;
        name.resize(colon);
    }
    *address = name;
    return !address->empty();
}

}  // namespace devquery
