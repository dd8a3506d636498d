// Runs the common core's start-up for the test program, with its own store and temporary
// directory, and reads back the module's log.
#pragma once

#include <string>
#include <vector>

#include "common/coremain.h"
#include "tempdir.h"

namespace coretest {

constexpr const char16_t* kDriverKey = u"Software\\Tavoro\\Lumeno 4100\\PostScript Printer Driver\\";

class CoreTest : public testsupport::IsolatedTest {
protected:
    void TearDown() override
    {
        CoreTerminate();
        testsupport::IsolatedTest::TearDown();
    }
public:
    // Writes a driver-key value before the core starts.
    void SetDriverDword(const char16_t* name, DWORD value);
    void SetDriverString(const char16_t* name, const std::u16string& value);
    void StartCore();
    std::string LogPath() const;
    std::string Log() const { return testsupport::ReadFile(LogPath()); }
    // The log's lines without time stamps and line ends.
    std::vector<std::string> LogMessages() const;
};

}  // namespace coretest
