// What the plug-in's entry file gives the parts inside the module: the server counters they
// count their live objects in, and the common core started as DllMain starts it.
#include <gtest/gtest.h>

#include "common/coremain.h"
#include "renderer/renderingsystem.h"

volatile LONG g_cServerLocks = 0;
volatile LONG g_cLiveObjects = 0;

namespace {

class CoreEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(CoreInitialize(nullptr)); }
    void TearDown() override { CoreTerminate(); }
};

const auto* const g_core = ::testing::AddGlobalTestEnvironment(new CoreEnvironment);

}  // namespace
