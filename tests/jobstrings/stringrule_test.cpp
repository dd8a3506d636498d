// The string rule: classes, tables, cut, code page 932.
#include <gtest/gtest.h>

#include <string>

#include "common/stringrule.h"

namespace {

DWORD ReasonA(std::string text, DWORD flags, DWORD min, DWORD max, bool* valid = nullptr)
{
    DWORD reason = 99;
    const bool ok = CheckStringRuleA(text.data(), flags, min, max, &reason);
    if (valid) *valid = ok;
    EXPECT_EQ(ok, reason == 0);
    return reason;
}

DWORD ReasonW(const std::u16string& text, DWORD flags, DWORD min, DWORD max, std::string* out = nullptr)
{
    DWORD reason = 99;
    char buf[128] = {};
    const bool ok = CheckStringRuleW(text.c_str(), flags, min, max, &reason, buf, sizeof buf);
    EXPECT_EQ(ok, reason == 0);
    if (out) *out = buf;
    return reason;
}

}  // namespace

TEST(StringRule, EmptyRequiredTextIsReason4)
{
    EXPECT_EQ(ReasonA("", 0x000E000F, 0, 24), SRR_EMPTY);
    EXPECT_EQ(ReasonW(u"", 0x000E000F, 0, 24), SRR_EMPTY);
    EXPECT_EQ(ReasonA("", 0x0000000F, 0, 24), SRR_NONE);  // not required
}

TEST(StringRule, LongNameIsCutBeforeTheCheck)
{
    std::string out;
    EXPECT_EQ(ReasonW(u"abcdefghijklmnopqrstuvwxyz0123", 0x000E000F, 0, 24, &out), SRR_NONE);
    EXPECT_EQ(out, "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(ReasonW(u"abcdefghijklmnopqrstuvwxyz0123", 0x000C000F, 0, 24), SRR_TOO_LONG);  // no FR_NORMALIZE
}

TEST(StringRule, LengthOnly)
{
    EXPECT_EQ(ReasonA("\x01\x02", FR_LENGTH_ONLY | 0x1, 0, 2), SRR_NONE);  // classes are not checked
    EXPECT_EQ(ReasonA("abc", FR_LENGTH_ONLY, 0, 2), SRR_TOO_LONG);
    EXPECT_EQ(ReasonA("abc", FR_LENGTH_ONLY, 0, 0), SRR_NONE);
}

TEST(StringRule, DigitsAndDecimalMarks)
{
    EXPECT_EQ(ReasonA("12a", 0x000C0001, 0, 0), SRR_BAD_CHARACTER);
    EXPECT_EQ(ReasonA("123", 0x000C0001, 0, 0), SRR_NONE);
    EXPECT_EQ(ReasonA("1.5", 0x00100001, 0, 0), SRR_NONE);
    EXPECT_EQ(ReasonA("1.5", 0x00000001, 0, 0), SRR_BAD_CHARACTER);
    EXPECT_EQ(ReasonA("1,5", 0x00200001, 0, 0), SRR_NONE);
    EXPECT_EQ(ReasonA("1,5", 0x00300001, 0, 0), SRR_BAD_CHARACTER);  // "." wins, "," stays ASCII
}

TEST(StringRule, MinimumLength)
{
    EXPECT_EQ(ReasonA("ab", 0x3, 4, 0), SRR_TOO_SHORT);
    EXPECT_EQ(ReasonA("abcd", 0x3, 4, 0), SRR_NONE);
    EXPECT_EQ(ReasonA("", 0x3, 4, 0), SRR_NONE);  // 0 < length < minimum only
}

TEST(StringRule, ControlCharactersAreNeverAllowed)
{
    EXPECT_EQ(ReasonA("a\tb", 0xFFFF, 0, 0), SRR_BAD_CHARACTER);
    EXPECT_EQ(ReasonA("a\x7F", 0x000F, 0, 0), SRR_BAD_CHARACTER);
}

TEST(StringRule, BlankOnlyTexts)
{
    // Two ASCII blanks and a double-byte blank.
    EXPECT_EQ(ReasonA("  \x81\x40", 0x000C000F, 0, 0), SRR_BAD_CHARACTER);
    EXPECT_EQ(ReasonA("  \x81\x40", 0x0008000F, 0, 0), SRR_NONE);
    EXPECT_EQ(ReasonW(u"  \u3000", 0x000C000F, 0, 0), SRR_BAD_CHARACTER);
    EXPECT_EQ(ReasonW(u"  \u3000", 0x0008000F, 0, 0), SRR_NONE);
    EXPECT_EQ(ReasonA(" a ", 0x000C000F, 0, 0), SRR_NONE);
    bool allBlank = true;
    ScanStringClasses("", 0xF, &allBlank);
    EXPECT_FALSE(allBlank);
}

TEST(StringRule, CutKeepsDoubleByteCharactersWhole)
{
    // 23 ASCII bytes, then a double-byte character whose lead byte is the 24th byte.
    std::string text = std::string(23, 'a') + "\x88\x9F" + "b";
    std::string cut = text;
    CutStringRule(cut.data(), 0x8, 24);
    EXPECT_EQ(std::strlen(cut.c_str()), 23u);
    cut = text;
    CutStringRule(cut.data(), 0x2, 24);
    EXPECT_EQ(std::strlen(cut.c_str()), 24u);
    // A whole pair before the limit stays.
    std::string pair = std::string(22, 'a') + "\x88\x9F" + "b";
    CutStringRule(pair.data(), 0x8, 24);
    EXPECT_EQ(std::strlen(pair.c_str()), 24u);
    // Under the rule: normalised, checked, 23 bytes left.
    EXPECT_EQ(ReasonA(text, 0x000E000F, 0, 24), SRR_NONE);
}

TEST(StringRule, LeadByteAtTheEndIsReason1)
{
    EXPECT_EQ(ReasonA("ab\x88", 0x0000000F, 0, 0), SRR_BAD_CHARACTER);
    EXPECT_EQ(ScanStringClasses("ab\x88", 0x0F, nullptr) & SR_CLASS_INVALID, SR_CLASS_INVALID);
    // A bad trail byte.
    EXPECT_EQ(ReasonA("\x88\x20", 0x0000000F, 0, 0), SRR_BAD_CHARACTER);
    EXPECT_EQ(ReasonA("\x88\x9F", 0x0000000F, 0, 0), SRR_NONE);
    EXPECT_EQ(ReasonA("\x88\x9F", 0x00000007, 0, 0), SRR_BAD_CHARACTER);  // double-byte not allowed
}

TEST(StringRule, TablesForTheHighHalf)
{
    EXPECT_EQ(StringRuleByteClass(0xB1, 0x0F), FR_CLASS_KATAKANA);  // double-byte table
    EXPECT_EQ(StringRuleByteClass(0x81, 0x0F), SR_CLASS_LEADBYTE);
    EXPECT_EQ(StringRuleByteClass(0x80, 0x0F), SR_CLASS_INVALID);
    EXPECT_EQ(StringRuleByteClass(0xE9, 0x13), FR_TABLE_10);
    EXPECT_EQ(StringRuleByteClass(0xD0, 0x13), SR_CLASS_INVALID);  // 0xD0 is not in table 0x10
    EXPECT_EQ(StringRuleByteClass(0xD0, 0x23), FR_TABLE_20);
    EXPECT_EQ(StringRuleByteClass(0xF7, 0x23), SR_CLASS_INVALID);
    EXPECT_EQ(StringRuleByteClass(0xA0, 0x83), FR_TABLE_80);
    EXPECT_EQ(StringRuleByteClass(0x81, 0x103), FR_TABLE_100);
    EXPECT_EQ(StringRuleByteClass(0xE9, 0x203), SR_CLASS_INVALID);  // ASCII-only table
    EXPECT_EQ(StringRuleByteClass(0xE9, 0x33), FR_TABLE_10);        // the first table bit wins
    EXPECT_EQ(StringRuleByteClass('5', 0x203), FR_CLASS_DIGIT);
    EXPECT_EQ(StringRuleByteClass(' ', 0x203), FR_CLASS_ASCII);
    EXPECT_EQ(ReasonA("caf\xE9", 0x13, 0, 0), SRR_NONE);
    EXPECT_EQ(ReasonA("caf\xE9", 0x03, 0, 0), SRR_BAD_CHARACTER);
}

TEST(StringRule, CodePage932)
{
    std::string out;
    // Katakana and kanji convert under 932 and are allowed by their classes.
    EXPECT_EQ(ReasonW(u"\uFF71\uFF72", 0x00000007, 0, 0, &out), SRR_NONE);  // half-width katakana
    EXPECT_EQ(out, "\xB1\xB2");
    EXPECT_EQ(ReasonW(u"\u65E5\u672C", 0x0000000F, 0, 0, &out), SRR_NONE);
    EXPECT_EQ(out, "\x93\xFA\x96\x7B");
    EXPECT_EQ(ReasonW(u"\u65E5\u672C", 0x00000007, 0, 0), SRR_BAD_CHARACTER);  // double-byte not allowed
    // A character outside code page 932.
    EXPECT_EQ(ReasonW(u"ab\u00E9", 0x0000000F, 0, 0), SRR_BAD_CHARACTER);
    EXPECT_EQ(ReasonW(u"\U0001F600", 0x0000000F, 0, 0), SRR_BAD_CHARACTER);
    // The length is that of the 932 form: two double-byte characters are 4 bytes.
    EXPECT_EQ(ReasonW(u"\u65E5\u672C", 0x0000000F, 0, 3), SRR_TOO_LONG);
    EXPECT_EQ(ReasonW(u"\u65E5\u672C", 0x0002000F, 0, 3, &out), SRR_NONE);  // cut to one character
    EXPECT_EQ(out, "\x93\xFA");
}

TEST(StringRule, AnsiCodePageWithoutThe932Flags)
{
    std::string out;
    // 1252 holds the e acute; the 0x10 table allows it.
    EXPECT_EQ(ReasonW(u"caf\u00E9", 0x00000013, 0, 0, &out), SRR_NONE);
    EXPECT_EQ(out, "caf\xE9");
    EXPECT_EQ(ReasonW(u"\u65E5", 0x00000013, 0, 0), SRR_BAD_CHARACTER);  // not in 1252
}
