#include <gtest/gtest.h>

#include <string>

#include "platform/format.h"

namespace {

using platform::Format;

TEST(Format, WideStringsAndTheUsualConversions)
{
    const char16_t* wide = u"caf\u00E9";
    EXPECT_EQ(Format("[name = %S, err = %d].", wide, 126), "[name = caf\xE9, err = 126].");
    EXPECT_EQ(Format("%ls|%-6S|%.2S", wide, u"ab", u"xyz"), "caf\xE9|ab    |xy");
    EXPECT_EQ(Format("%08x %X %u %5.1f %c %%", 0xBEEFu, 255u, 7u, 2.25, 'z'), "0000beef FF 7   2.2 z %");
    EXPECT_EQ(Format("%*d|%-*d|", 4, 7, 3, 1), "   7|1  |");
    EXPECT_EQ(Format("%lld %zu %ld", -5LL, size_t{9}, 123456789L), "-5 9 123456789");
    EXPECT_EQ(Format("%s %S", static_cast<const char*>(nullptr), static_cast<const char16_t*>(nullptr)),
              "(null) (null)");
}

TEST(Format, LongResultsAreWhole)
{
    const std::string big(5000, 'x');
    EXPECT_EQ(Format("<%s>", big.c_str()), "<" + big + ">");
    const std::u16string wideBig(3000, u'y');
    EXPECT_EQ(Format("%S", wideBig.c_str()).size(), 3000u);
}

TEST(Format, UnknownConversionStaysAsText) { EXPECT_EQ(Format("100%y done"), "100%y done"); }

}  // namespace
