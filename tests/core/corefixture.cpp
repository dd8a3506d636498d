#include "corefixture.h"

#include <gtest/gtest.h>

namespace coretest {

namespace {

void SetDriverValue(const char16_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

}  // namespace

void CoreTest::SetDriverDword(const char16_t* name, DWORD value) { SetDriverValue(name, REG_DWORD, &value, 4); }

void CoreTest::SetDriverString(const char16_t* name, const std::u16string& value)
{
    SetDriverValue(name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2));
}

void CoreTest::StartCore() { ASSERT_TRUE(CoreInitialize(nullptr)); }

std::string CoreTest::LogPath() const { return TempPath() + "/" + platform::Narrow(g_Core.szModuleFile) + ".log"; }

std::vector<std::string> CoreTest::LogMessages() const
{
    std::vector<std::string> lines;
    const std::string log = Log();
    for (size_t start = 0; start < log.size();) {
        size_t end = log.find("\r\n", start);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(start, end - start);
        lines.push_back(line.size() > 20 ? line.substr(20) : line);  // "YYYY/MM/DD hh:mm:ss "
        start = end + 2;
    }
    return lines;
}

}  // namespace coretest
