#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/win32.h"
#include "tempdir.h"

namespace {

using testsupport::ReadFile;

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TESTMODULE_LOG", log_.File("entry.log").c_str(), 1);
        unsetenv("TESTMODULE_FAIL");
    }
    void TearDown() override
    {
        unsetenv("TESTMODULE_LOG");
        unsetenv("TESTMODULE_FAIL");
    }
    std::string EntryLog() const { return ReadFile(log_.File("entry.log")); }
    static std::u16string Path() { return platform::Widen(TESTMODULE_PATH); }

private:
    testsupport::TempDir log_;
};

TEST_F(ModuleTest, EntryPointSeesOneAttachAndOneDetach)
{
    HMODULE first = LoadLibraryW(Path().c_str());
    ASSERT_NE(first, nullptr);
    HMODULE second = LoadLibraryW(Path().c_str());
    EXPECT_EQ(second, first);
    EXPECT_EQ(EntryLog(), "attach\n");

    auto answer = GetProcAddressAs<int (*)()>(first, "TestModuleAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(first, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(EntryLog(), "attach\n");
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(EntryLog(), "attach\ndetach\n");
    EXPECT_FALSE(FreeLibrary(first)) << "a freed handle is no longer valid";
}

TEST_F(ModuleTest, RefusedAttachFailsTheLoad)
{
    setenv("TESTMODULE_FAIL", "1", 1);
    EXPECT_EQ(LoadLibraryW(Path().c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_DLL_INIT_FAILED);
    unsetenv("TESTMODULE_FAIL");
    HMODULE module = LoadLibraryW(Path().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(EntryLog(), "attach\nattach\n") << "the refused load left nothing behind";
    FreeLibrary(module);
}

TEST_F(ModuleTest, MissingOrBrokenFiles)
{
    EXPECT_EQ(LoadLibraryW(u"/nonexistent/nothing.so"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("junk.so"), "not a module");
    EXPECT_EQ(LoadLibraryW(platform::Widen(dir.File("junk.so")).c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
}

TEST_F(ModuleTest, OwnPathAndAddressLookup)
{
    HMODULE module = LoadLibraryW(Path().c_str());
    ASSERT_NE(module, nullptr);
    WCHAR path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH + 1);
    char resolved[PATH_MAX];
    ASSERT_NE(realpath(TESTMODULE_PATH, resolved), nullptr);
    EXPECT_EQ(platform::Narrow(path), std::string(resolved));
    EXPECT_EQ(n, static_cast<DWORD>(lstrlenW(path)));

    WCHAR small[5];
    EXPECT_EQ(GetModuleFileNameW(module, small, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(lstrlenW(small), 4);

    auto answer = GetProcAddress(module, "TestModuleAnswer");
    EXPECT_EQ(GetModuleHandleFromAddress(reinterpret_cast<const void*>(answer)), module);
    FreeLibrary(module);
}

TEST_F(ModuleTest, StringResourcesThroughTheModuleHandle)
{
    HMODULE module = LoadLibraryW(Path().c_str());
    ASSERT_NE(module, nullptr);
    WCHAR buffer[64];
    EXPECT_EQ(LoadStringW(module, 7, buffer, 64), 19);
    EXPECT_EQ(std::u16string(buffer), u"Gr\u00FC\u00DFe, \"quoted\"\ttab");
    EXPECT_EQ(LoadStringW(module, 300, buffer, 64), 2);
    EXPECT_EQ(std::u16string(buffer), u"\u65E5\u672C");

    EXPECT_EQ(LoadStringW(module, 7, buffer, 4), 3) << "cut to the buffer, terminated";
    EXPECT_EQ(std::u16string(buffer), u"Gr\u00FC");

    const WCHAR* direct = nullptr;
    EXPECT_EQ(LoadStringW(module, 1, reinterpret_cast<LPWSTR>(&direct), 0), 5);
    EXPECT_EQ(std::u16string(direct, 5), u"first");

    EXPECT_EQ(LoadStringW(module, 2, buffer, 64), 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 64), 0) << "the test program has no resources";

    VS_FIXEDFILEINFO info{};
    ASSERT_TRUE(GetModuleFixedVersion(module, &info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00020005u);
    EXPECT_EQ(info.dwFileVersionLS, 0x00000011u);
    ASSERT_TRUE(GetModuleVersionString(module, "FileDescription", buffer, 64));
    EXPECT_EQ(std::u16string(buffer), u"loader test module");
    EXPECT_FALSE(GetModuleVersionString(module, "Comments", buffer, 64));
    FreeLibrary(module);

    EXPECT_EQ(LoadStringW(module, 1, buffer, 64), 0) << "an unloaded module's resources are gone";
}

}  // namespace
