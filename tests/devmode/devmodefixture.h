// The common core started for the test program (private heap, debug log at level 1), with its
// own store and temporary directory; helpers to build records and read the log.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "common/coremain.h"
#include "common/devmode.h"
#include "tempdir.h"

namespace devmodetest {

class CoreFixture : public testsupport::IsolatedTest {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string Log() const;
};

// A record of another version: header (size, "DFBF" unless told, version text) and a zeroed
// body of size - 12 bytes.
std::vector<BYTE> MakeRecord(DWORD size, const char* version, DWORD signature = OEM_DEVMODE_SIGNATURE);
void Put16(std::vector<BYTE>& rec, DWORD bodyOffset, WORD value);
void Put32(std::vector<BYTE>& rec, DWORD bodyOffset, DWORD value);
void PutWide(std::vector<BYTE>& rec, DWORD bodyOffset, const std::u16string& text);

std::u16string WideAt(const void* p, size_t cchMax);
OEMPrivateDevmode Defaults();

}  // namespace devmodetest
