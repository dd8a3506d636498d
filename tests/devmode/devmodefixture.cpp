#include "devmodefixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace devmodetest {

namespace {
constexpr const char16_t* kDriverKey = u"Software\\Tavoro\\Lumeno 4100\\PostScript Printer Driver\\";

// IsolatedTest points TMPDIR at the test's own directory and leaves it so; the next test's
// directory must again be made under the original one (when the whole binary runs at once).
const std::string g_originalTmpDir = [] {
    const char* value = std::getenv("TMPDIR");
    return std::string(value ? value : "");
}();
}

void CoreFixture::SetUp()
{
    testsupport::IsolatedTest::SetUp();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD level = 1;
    ASSERT_EQ(RegSetValueExW(key, u"DebugLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), 4),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_TRUE(CoreInitialize(nullptr));
}

void CoreFixture::TearDown()
{
    CoreTerminate();
    testsupport::IsolatedTest::TearDown();
    if (g_originalTmpDir.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", g_originalTmpDir.c_str(), 1);
}

std::string CoreFixture::Log() const
{
    return testsupport::ReadFile(TempPath() + "/" + platform::Narrow(g_Core.szModuleFile) + ".log");
}

std::vector<BYTE> MakeRecord(DWORD size, const char* version, DWORD signature)
{
    std::vector<BYTE> rec(size, 0);
    std::memcpy(rec.data(), &size, 4);
    std::memcpy(rec.data() + 4, &signature, 4);
    std::memcpy(rec.data() + 8, version, 4);
    return rec;
}

void Put16(std::vector<BYTE>& rec, DWORD bodyOffset, WORD value) { std::memcpy(rec.data() + 12 + bodyOffset, &value, 2); }
void Put32(std::vector<BYTE>& rec, DWORD bodyOffset, DWORD value) { std::memcpy(rec.data() + 12 + bodyOffset, &value, 4); }
void PutWide(std::vector<BYTE>& rec, DWORD bodyOffset, const std::u16string& text)
{
    std::memcpy(rec.data() + 12 + bodyOffset, text.c_str(), (text.size() + 1) * 2);
}

std::u16string WideAt(const void* p, size_t cchMax)
{
    std::u16string out;
    const BYTE* b = static_cast<const BYTE*>(p);
    for (size_t i = 0; i < cchMax; ++i) {
        char16_t c;
        std::memcpy(&c, b + 2 * i, 2);
        if (!c) break;
        out.push_back(c);
    }
    return out;
}

OEMPrivateDevmode Defaults()
{
    OEMPrivateDevmode dm;
    InitPrivateDevmode(&dm);
    return dm;
}

}  // namespace devmodetest
