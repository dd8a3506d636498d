// Importing a job-information block from the UI plug-in: a block that is not sound in every
// record is refused as a whole, and nothing is ever written past an item.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "renderer/documentinfo.h"

namespace {

void Put32(std::string& s, DWORD v)
{
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

struct Record {
    DWORD item, kind;
    std::string data;
    DWORD statedLength = 0xFFFFFFFF;  // default: the data's own length
};

// A block; statedCount / statedSize default to the true values when given as ~0.
std::string Block(const std::vector<Record>& records, DWORD statedCount = ~0u, DWORD statedSize = ~0u,
                  DWORD signature = JOBINFO_SIGNATURE, DWORD version = JOBINFO_VERSION)
{
    std::string body;
    for (const Record& r : records) {
        Put32(body, r.item);
        Put32(body, r.kind);
        Put32(body, r.statedLength == 0xFFFFFFFF ? static_cast<DWORD>(r.data.size()) : r.statedLength);
        body += r.data;
    }
    std::string block;
    Put32(block, signature);
    Put32(block, version);
    Put32(block, statedCount == ~0u ? static_cast<DWORD>(records.size()) : statedCount);
    Put32(block, statedSize == ~0u ? static_cast<DWORD>(body.size()) : statedSize);
    return block + body;
}

DWORD Import(DocumentInfo& info, const std::string& block)
{
    return info.Import(reinterpret_cast<const BYTE*>(block.data()), static_cast<DWORD>(block.size()));
}

const Record kAlice{DII_SECUREUSER, DIK_TEXT, std::string("alice\0", 6)};

TEST(JobInfoImport, RefusesUnsoundBlocksWhole)
{
    const std::string word2("\x01\x00", 2);
    struct Case {
        const char* what;
        std::string block;
        DWORD expect;
    } cases[] = {
        {"shorter than its header", std::string(12, '\0'), JII_TOO_SHORT},
        {"stated size past the block", Block({kAlice}, ~0u, 1000), JII_TOO_SHORT},
        {"wrong signature", Block({kAlice}, ~0u, ~0u, 0x12345678), JII_SIGNATURE},
        {"wrong version", Block({kAlice}, ~0u, ~0u, JOBINFO_SIGNATURE, 2), JII_VERSION},
        {"record length past the stated size", Block({{DII_SECUREUSER, DIK_TEXT, "abc", 100}}), JII_RECORD_OVERRUN},
        {"record header cut by the stated size", Block({kAlice, kAlice}, ~0u, 12 + 6 + 8), JII_RECORD_OVERRUN},
        {"fewer records than the count", Block({kAlice}, 2), JII_RECORD_OVERRUN},
        {"item index 32", Block({kAlice, {32, DIK_TEXT, "x"}}), JII_BAD_INDEX},
        {"item index far out", Block({{0xFFFFFFFF, DIK_TEXT, "x"}}), JII_BAD_INDEX},
        {"kind not the item's", Block({{DII_SECUREUSER, DIK_DWORD, "abcd"}}), JII_BAD_KIND},
        {"text over the item's maximum", Block({{DII_SECUREUSER, DIK_TEXT, std::string(65, 'p')}}), JII_TOO_LONG},
        {"word item of four bytes", Block({{DII_NUP, DIK_WORD, "abcd"}}), JII_TOO_LONG},
        {"dword item of two bytes", Block({{DII_JOBID, DIK_DWORD, word2}}), JII_TOO_LONG},
        {"wide item past three bytes a character", Block({{DII_MACHINENAME, DIK_TEXT, std::string(100, 'm')}}), JII_TOO_LONG},
        {"wide item not UTF-8", Block({{DII_MACHINENAME, DIK_TEXT, "\xC3\x28"}}), JII_BAD_TEXT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DocumentInfo info;
        ASSERT_TRUE(info.IsValid());
        ASSERT_TRUE(info.SetText(DII_SECUREUSER, "keep"));
        EXPECT_EQ(Import(info, c.block), c.expect);
        // Nothing of a refused block is taken, not even its sound records.
        ASSERT_NE(info.GetText(DII_SECUREUSER), nullptr);
        EXPECT_STREQ(info.GetText(DII_SECUREUSER), "keep");
    }
}

TEST(JobInfoImport, TakesSoundBlocksWithinTheItems)
{
    DocumentInfo info;
    ASSERT_TRUE(info.IsValid());
    // Text filling the whole item without a terminator is cut to stay terminated inside it.
    const std::string full(DocumentInfo::ItemMax(DII_SECUREPIN), '7');
    const std::string wide = "h\xC3\xA9te";  // wide items travel as UTF-8
    const std::string nup("\x02\x00", 2);
    ASSERT_EQ(Import(info, Block({kAlice, {DII_SECUREPIN, DIK_TEXT, full}, {DII_MACHINENAME, DIK_TEXT, wide},
                                  {DII_NUP, DIK_WORD, nup}})),
              static_cast<DWORD>(JII_OK));
    EXPECT_STREQ(info.GetText(DII_SECUREUSER), "alice");
    EXPECT_EQ(std::string(info.GetText(DII_SECUREPIN)), full.substr(0, full.size() - 1));
    const LPCWSTR machine = info.GetTextW(DII_MACHINENAME);
    ASSERT_NE(machine, nullptr);
    EXPECT_EQ(std::u16string(machine), u"h\u00E9te");
    WORD w = 0;
    EXPECT_TRUE(info.GetWord(DII_NUP, &w));
    EXPECT_EQ(w, 2);

    // What Export writes, Import takes back unchanged.
    DWORD cb = 0;
    BYTE* exported = info.Export(&cb);
    ASSERT_NE(exported, nullptr);
    DocumentInfo copy;
    EXPECT_EQ(copy.Import(exported, cb), static_cast<DWORD>(JII_OK));
    MemFree(exported);
    EXPECT_STREQ(copy.GetText(DII_SECUREUSER), "alice");
    EXPECT_EQ(std::u16string(copy.GetTextW(DII_MACHINENAME)), u"h\u00E9te");
}

}  // namespace
