#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/store.h"
#include "platform/win32.h"
#include "tempdir.h"

namespace {

constexpr const char16_t* kDriverKey = u"Software\\Tavoro\\Lumeno 4100\\PostScript Printer Driver\\";

class RegistryTest : public testsupport::IsolatedTest {
protected:
    HKEY Create(HKEY root, const char16_t* path, DWORD* disposition = nullptr)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    static void SetDword(HKEY key, const char16_t* name, DWORD value)
    {
        ASSERT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
    }
    static void SetString(HKEY key, const char16_t* name, const std::u16string& text)
    {
        ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * 2)),
                  ERROR_SUCCESS);
    }
};

TEST_F(RegistryTest, ValuesKeepTheirTypeAndBytes)
{
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, kDriverKey, &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    SetDword(key, u"DebugLevel", 4);
    SetString(key, u"Name", u"Lumeno \u65E5");
    const BYTE blob[] = {0, 1, 2, 0xFF};
    ASSERT_EQ(RegSetValueExW(key, u"Blob", 0, REG_BINARY, blob, 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    RegCloseKey(key);

    platform::Store::Reset();  // a fresh connection reads what was committed
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software\\tavoro\\LUMENO 4100\\PostScript Printer Driver", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS)
        << "key names ignore case and the trailing backslash";
    DWORD type = 0, value = 0, size = 4;
    ASSERT_EQ(RegQueryValueExW(key, u"debuglevel", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 4u);

    size = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 18u);
    std::vector<BYTE> data(size);
    DWORD shortSize = 6;
    EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, &type, data.data(), &shortSize), ERROR_MORE_DATA);
    EXPECT_EQ(shortSize, 18u);
    ASSERT_EQ(RegQueryValueExW(key, u"Name", nullptr, &type, data.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(data.data())), u"Lumeno \u65E5");

    BYTE back[8];
    size = 8;
    ASSERT_EQ(RegQueryValueExW(key, u"Blob", nullptr, &type, back, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(back, blob, 4), 0);
    size = 8;
    ASSERT_EQ(RegQueryValueExW(key, u"Empty", nullptr, &type, back, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, back, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, AccessRightsAndMissingKeys)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Nobody", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, u"Software\\Somebody"));
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Somebody", 0, KEY_READ, &key), ERROR_SUCCESS);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExW(key, u"x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

TEST_F(RegistryTest, MachineAndUserHivesAreSeparate)
{
    HKEY machine = Create(HKEY_LOCAL_MACHINE, u"Software\\Shared");
    HKEY user = Create(HKEY_CURRENT_USER, u"Software\\Shared");
    SetDword(machine, u"v", 1);
    SetDword(user, u"v", 2);
    DWORD value = 0, size = 4;
    ASSERT_EQ(RegQueryValueExW(machine, u"v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
    ASSERT_EQ(RegQueryValueExW(user, u"v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);
    RegCloseKey(machine);
    RegCloseKey(user);
}

TEST_F(RegistryTest, EnumerationAndDeletion)
{
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Enum");
    SetDword(key, u"b", 1);
    SetDword(key, u"a", 2);
    SetDword(key, u"b", 3);  // rewriting keeps the value's place
    RegCloseKey(Create(key, u"Child2\\Grandchild"));
    RegCloseKey(Create(key, u"Child1"));

    std::vector<std::u16string> values, keys;
    for (DWORD i = 0;; ++i) {
        WCHAR name[64];
        DWORD n = 64;
        if (RegEnumValueW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        values.emplace_back(name);
    }
    for (DWORD i = 0;; ++i) {
        WCHAR name[64];
        DWORD n = 64;
        if (RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        keys.emplace_back(name);
    }
    EXPECT_EQ(values, (std::vector<std::u16string>{u"b", u"a"}));
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"Child1", u"Child2"}));

    EXPECT_EQ(RegDeleteValueW(key, u"a"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, u"a"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(key, u"Child2"), ERROR_ACCESS_DENIED) << "a key with sub-keys stays";
    EXPECT_EQ(RegDeleteTreeW(key, u"Child2"), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExW(key, u"Child2\\Grandchild", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(key, u"Child1"), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, u"Software\\Enum"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Enum", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, LikePatternCharactersInKeyNamesAreLiteral)
{
    RegCloseKey(Create(HKEY_CURRENT_USER, u"A_B\\x"));
    RegCloseKey(Create(HKEY_CURRENT_USER, u"AxB\\y"));
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, u"A_B"), ERROR_SUCCESS);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"AxB\\y", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistryTest, SeveralProcessesWriteAtOnce)
{
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, u"Software\\Busy"));
    constexpr int kWriters = 4, kValues = 50;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        if (pid == 0) {
            platform::Store::Reset();  // a process has its own connection
            HKEY key = nullptr;
            int failures = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Busy", 0, KEY_ALL_ACCESS, &key) ? 1 : 0;
            for (int i = 0; i < kValues && key; ++i) {
                const std::u16string name = platform::Widen("w" + std::to_string(w) + "_" + std::to_string(i));
                const DWORD v = static_cast<DWORD>(w * 1000 + i);
                failures += RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4) != 0;
            }
            _exit(failures ? 1 : 0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Busy", 0, KEY_READ, &key), ERROR_SUCCESS);
    int count = 0;
    for (DWORD i = 0;; ++i) {
        WCHAR name[64];
        DWORD n = 64;
        if (RegEnumValueW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ++count;
    }
    EXPECT_EQ(count, kWriters * kValues);
    RegCloseKey(key);
}

}  // namespace
