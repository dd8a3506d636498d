#include "tempdir.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/store.h"

namespace testsupport {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "lumeno-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary);
    out << data;
}

void IsolatedTest::SetUp()
{
    std::filesystem::create_directories(TempPath());
    setenv("LUMENO_ROOT", StoreRoot().c_str(), 1);
    setenv("TMPDIR", TempPath().c_str(), 1);
    platform::Store::Reset();
}

void IsolatedTest::TearDown() { platform::Store::Reset(); }

std::string DriverDir() { return LUMENO_TEST_DRIVER_DIR; }
std::string SourceDir() { return LUMENO_TEST_SOURCE_DIR; }
std::string BinDir() { return LUMENO_TEST_BIN_DIR; }

}  // namespace testsupport
