// Property lines: the written form, the detection rule and the parser's refusals.
#include <gtest/gtest.h>

#include <string>

#include "common/memory.h"
#include "renderer/propertyline.h"

namespace {

std::string Format(const std::string& owner, const std::string& name, DWORD type, const std::string& data,
                   HRESULT* phr)
{
    DWORD cb = 0;
    LPSTR line = FormatPropertyLine(owner.c_str(), name.c_str(), type, static_cast<DWORD>(data.size()), data.data(),
                                    &cb, phr);
    if (!line) return {};
    std::string s(line, cb);
    MemFree(line);
    return s;
}

const char kHeader[] = "%%KTPS PROPERTY owner=__Serialize__ name=JclHandler type=BINARY size=3 data=";

TEST(PropertyLine, WritesHeaderHexAndLineEnd)
{
    HRESULT hr = E_FAIL;
    EXPECT_EQ(Format("__Serialize__", "JclHandler", PROPERTY_TYPE_BINARY, std::string("\x01\x00\x0A", 3), &hr),
              std::string(kHeader) + "01000A\r\n");
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(Format("o", "n", PROPERTY_TYPE_BINARY, "\xFF\xAB", &hr),
              "%%KTPS PROPERTY owner=o name=n type=BINARY size=2 data=FFAB\r\n");
    EXPECT_EQ(Format("o", "n", 2, "x", &hr), "");
    EXPECT_EQ(hr, E_NOTIMPL);
}

TEST(PropertyLine, DetectionNeedsOnePercentSign)
{
    const std::string line = std::string(kHeader) + "01000A\r\n";
    EXPECT_FALSE(IsPropertyLine(line.c_str(), line.size()));  // a written line, from its start
    EXPECT_TRUE(IsPropertyLine(line.c_str() + 1, line.size() - 1));
    EXPECT_FALSE(IsPropertyLine("%KTPS PROPERTY", 14));
    EXPECT_FALSE(IsPropertyLine("%KTPS PROPERTIES", 16));
    EXPECT_FALSE(IsPropertyLine(nullptr, 0));
}

TEST(PropertyLine, ParsesWrittenLinesBack)
{
    const std::string data("\x00\x7F\x80\xFF", 4);
    HRESULT hr = E_FAIL;
    const std::string line = Format("__Serialize__", "__JobInfo__", PROPERTY_TYPE_BINARY, data, &hr) + "next";
    ParsedProperty p{};
    ASSERT_TRUE(ParsePropertyLine(line.data(), line.size(), &p));
    EXPECT_STREQ(p.szOwner, "__Serialize__");
    EXPECT_STREQ(p.szName, "__JobInfo__");
    EXPECT_STREQ(p.szType, "BINARY");
    EXPECT_EQ(p.dwType, PROPERTY_TYPE_BINARY);
    EXPECT_EQ(p.data, data);
    EXPECT_EQ(line.substr(p.cbConsumed), "next");
}

TEST(PropertyLine, RefusesMalformedLines)
{
    const std::string owner81(81, 'o');
    struct Case {
        const char* what;
        std::string line;
        bool parses;
    } cases[] = {
        {"empty data", "%%KTPS PROPERTY owner=a name=b type=BINARY size=0 data=\r\n", true},
        {"no size field", "%%KTPS PROPERTY owner=a name=b type=BINARY data=01\r\n", false},
        {"lower-case digits", "%%KTPS PROPERTY owner=a name=b type=BINARY size=1 data=0a\r\n", false},
        {"data shorter than the size", "%%KTPS PROPERTY owner=a name=b type=BINARY size=3 data=0102\r\n", false},
        {"not a digit", "%%KTPS PROPERTY owner=a name=b type=BINARY size=1 data=0G\r\n", false},
        {"negative size", "%%KTPS PROPERTY owner=a name=b type=BINARY size=-1 data=\r\n", false},
        {"owner over 80 characters", "%%KTPS PROPERTY owner=" + owner81 + " name=b type=BINARY size=0 data=\r\n", false},
        {"one per-cent sign", "%KTPS PROPERTY owner=a name=b type=BINARY size=0 data=\r\n", false},
        {"data cut by a NUL", std::string("%%KTPS PROPERTY owner=a name=b type=BINARY size=2 data=01") + '\0' + "02\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ParsedProperty p{};
        EXPECT_EQ(ParsePropertyLine(c.line.data(), c.line.size(), &p), c.parses);
    }
}

}  // namespace
