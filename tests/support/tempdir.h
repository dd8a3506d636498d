// A fresh directory per test, removed afterwards; and a test fixture that gives each test its
// own store ($LUMENO_ROOT) and temporary directory ($TMPDIR).
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Reads a whole file; empty when it does not exist.
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

// Points LUMENO_ROOT and TMPDIR at directories of its own for the test's lifetime.
class IsolatedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string StoreRoot() const { return dir_.File("state"); }
    std::string TempPath() const { return dir_.File("tmp"); }

private:
    TempDir dir_;
    std::string savedRoot_, savedTemp_;
    bool hadRoot_ = false, hadTemp_ = false;
};

// The build's driver directory (with a trailing separator), the source tree, the programs.
std::string DriverDir();
std::string SourceDir();
std::string BinDir();

}  // namespace testsupport
