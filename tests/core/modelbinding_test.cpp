#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/modelbinding.h"
#include "corefixture.h"

namespace coretest {
namespace {

// The binding finds modellib.fpl in the module directory; the tests point that directory at
// a folder of their own and put a library there.
class ModelBindingTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        SetDriverDword(u"DebugLevel", 1);
        StartCore();
        libDir_ = TempPath() + "/driver/";
        std::filesystem::create_directories(libDir_);
        lstrcpynW(g_Core.szModuleDir, platform::Widen(libDir_).c_str(), MAX_PATH + 1);
    }
    // A new file, never written over a loaded image.
    void Install(const std::string& source)
    {
        std::filesystem::remove(LibraryPath());
        std::filesystem::copy_file(source, LibraryPath());
    }
    std::string LibraryPath() const { return libDir_ + "modellib.fpl"; }

private:
    std::string libDir_;
};

int CallsSoFar()
{
    auto calls = GetProcAddressAs<int (*)()>(GetModelLibraryHandle(), "CountingLibCalls");
    return calls ? calls() : -1;
}

TEST_F(ModelBindingTest, AsksFirstThenCalls)
{
    Install(COUNTINGLIB_PATH);
    DWORD out = 0xAAAA;
    EXPECT_EQ(CallModelFunction(1002, 8784, nullptr, &out), 0);
    EXPECT_EQ(out, 0xAAAAu) << "an unsupported function leaves out untouched";
    EXPECT_EQ(CallsSoFar(), 1) << "only the support query reached the library";

    EXPECT_EQ(CallModelFunction(1001, 8784, nullptr, &out), 1);
    EXPECT_EQ(out, 0x1234u);
    EXPECT_EQ(CallsSoFar(), 3);
}

TEST_F(ModelBindingTest, MissingLibraryIsRetriedAndLoggedEachTime)
{
    DWORD out = 0;
    EXPECT_EQ(CallModelFunction(1001, 8784, nullptr, &out), 0);
    EXPECT_EQ(GetModelLibraryHandle(), nullptr);
    const std::vector<std::string> lines = LogMessages();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("KTPS[ERROR]: "), std::string::npos);
    EXPECT_NE(lines[0].find("Cannot load the Printer DLL [name = " + LibraryPath() + ", err = 126]."),
              std::string::npos)
        << lines[0];

    Install(COUNTINGLIB_PATH);
    EXPECT_EQ(CallModelFunction(1001, 8784, nullptr, &out), 1) << "a later call loads it";
    EXPECT_EQ(out, 0x1234u);
}

TEST_F(ModelBindingTest, LibraryWithoutTheEntryIsNotUsed)
{
    Install(TESTMODULE_PATH);
    EXPECT_FALSE(LoadModelLibrary());
    EXPECT_EQ(g_Core.pfnOupmFunction, nullptr);
    EXPECT_NE(g_Core.hModelLib, nullptr) << "it stays loaded until the next attempt";
    EXPECT_FALSE(LoadModelLibrary());
    // The next attempt releases the half-loaded library before it loads the file again.
    Install(COUNTINGLIB_PATH);
    DWORD out = 0;
    EXPECT_EQ(CallModelFunction(1001, 8784, nullptr, &out), 1);
    EXPECT_EQ(out, 0x1234u);
}

TEST_F(ModelBindingTest, TheRealModelLibrary)
{
    Install(MODELLIB_PATH);
    WORD model = 0;
    EXPECT_EQ(CallModelFunction(KTPS_PRNFUNC_GETPRINTERTYPE, 0, const_cast<char*>("Lumeno 4100DN"), &model), 1)
        << "function 1 needs no model";
    EXPECT_EQ(model, KTPS_MODEL_LUMENO_4100DN);
    WORD type = 0;
    EXPECT_EQ(CallModelFunction(OUPF_FUNCID_GETWORD109, model, nullptr, &type), 0) << "109 is not listed";
    EXPECT_EQ(CallModelFunction(OUPF_FUNCID_GETSUPPORTTYPE_JCL, model, nullptr, &type), 1);
    EXPECT_EQ(type, 3);
    EXPECT_EQ(CallModelFunction(OUPF_FUNCID_GETSUPPORTTYPE_JCL, 1234, nullptr, &type), 0) << "unknown model";

    CoreTerminate();  // releases the library
    EXPECT_EQ(g_Core.hModelLib, nullptr);
    EXPECT_EQ(g_Core.pfnOupmFunction, nullptr);
}

}  // namespace
}  // namespace coretest
