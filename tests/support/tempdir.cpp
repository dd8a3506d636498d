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

namespace {

// Remembers an environment variable, so that a test can put it back as it found it.
void Save(const char* name, std::string* value, bool* had)
{
    const char* current = std::getenv(name);
    *had = current != nullptr;
    *value = current ? current : "";
}

void Restore(const char* name, const std::string& value, bool had)
{
    if (had)
        setenv(name, value.c_str(), 1);
    else
        unsetenv(name);
}

}  // namespace

void IsolatedTest::SetUp()
{
    Save("LUMENO_ROOT", &savedRoot_, &hadRoot_);
    Save("TMPDIR", &savedTemp_, &hadTemp_);
    std::filesystem::create_directories(TempPath());
    setenv("LUMENO_ROOT", StoreRoot().c_str(), 1);
    setenv("TMPDIR", TempPath().c_str(), 1);
    platform::Store::Reset();
}

void IsolatedTest::TearDown()
{
    platform::Store::Reset();
    Restore("LUMENO_ROOT", savedRoot_, hadRoot_);
    Restore("TMPDIR", savedTemp_, hadTemp_);
}

std::string DriverDir() { return LUMENO_TEST_DRIVER_DIR; }
std::string SourceDir() { return LUMENO_TEST_SOURCE_DIR; }
std::string BinDir() { return LUMENO_TEST_BIN_DIR; }

}  // namespace testsupport
