#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/win32.h"

namespace {

std::string ToBytes(UINT cp, const std::u16string& text, BOOL* used = nullptr)
{
    const int n = WideCharToMultiByte(cp, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(cp, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, used);
    return out;
}

std::u16string ToWide(UINT cp, const std::string& bytes)
{
    const int n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

struct RoundTrip {
    UINT codePage;
    std::u16string wide;
    std::string bytes;
};

void PrintTo(const RoundTrip& c, std::ostream* os) { *os << "code page " << c.codePage << ", " << c.bytes.size() << " bytes"; }

class CodePageRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CodePageRoundTrip, BothDirections)
{
    const RoundTrip& c = GetParam();
    BOOL used = TRUE;
    EXPECT_EQ(ToBytes(c.codePage, c.wide, c.codePage == CP_UTF8 ? nullptr : &used), c.bytes);
    if (c.codePage != CP_UTF8) {
        EXPECT_FALSE(used);
    }
    EXPECT_EQ(ToWide(c.codePage, c.bytes), c.wide);
}

INSTANTIATE_TEST_SUITE_P(Pages, CodePageRoundTrip,
                         ::testing::Values(RoundTrip{1252, u"caf\u00E9 \u20AC5", "caf\xE9 \x80" "5"},
                                           RoundTrip{932, u"\u65E5\u672C ABC", "\x93\xFA\x96\x7B ABC"},
                                           RoundTrip{932, u"\uFF71\uFF72", "\xB1\xB2"},  // half-width katakana
                                           RoundTrip{CP_UTF8, u"\u65E5\U0001F600", "\xE6\x97\xA5\xF0\x9F\x98\x80"}));

TEST(CodePage, UnmappableCharactersUseTheDefaultAndSayIt)
{
    BOOL used = FALSE;
    EXPECT_EQ(ToBytes(1252, u"a\u65E5b", &used), "a?b");
    EXPECT_TRUE(used);

    char out[8] = {};
    used = FALSE;
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u00E9x", 2, out, 8, "*", &used), 2);
    EXPECT_EQ(std::string(out, 2), "*x");
    EXPECT_TRUE(used);

    // A surrogate pair is one character, replaced once.
    EXPECT_EQ(ToBytes(1252, u"\U0001F600", &used), "?");
}

TEST(CodePage, TerminatorCountingAndShortBuffers)
{
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 4);
    char small[3];
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"abc", -1, small, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    WCHAR wide[4];
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, wide, 4), 4);
    EXPECT_EQ(std::u16string(wide), u"abc");
}

TEST(CodePage, InvalidInput)
{
    // The five bytes 1252 leaves undefined read as C1 controls; a broken 932 lead byte as U+FFFD.
    EXPECT_EQ(ToWide(1252, "\x81"), u"\u0081");
    EXPECT_EQ(ToWide(932, "a\x81"), u"a\uFFFD");
    WCHAR wide[4];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xFF", 1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    BOOL used;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WideCharToMultiByte(437, 0, u"a", 1, nullptr, 0, nullptr, nullptr), 0);
}

TEST(CodePage, AnsiCodePageFollowsTheEnvironment)
{
    unsetenv("LUMENO_ACP");
    EXPECT_EQ(GetACP(), 1252u);
    setenv("LUMENO_ACP", "932", 1);
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_EQ(ToBytes(CP_ACP, u"\u65E5"), "\x93\xFA");
    setenv("LUMENO_ACP", "850", 1);
    EXPECT_EQ(GetACP(), 1252u) << "an unsupported page falls back to 1252";
    unsetenv("LUMENO_ACP");
}

}  // namespace
