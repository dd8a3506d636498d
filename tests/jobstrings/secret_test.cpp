// Encoded secrets: XOR with "kdmb", then base64.
#include <gtest/gtest.h>

#include <string>

#include "common/secret.h"

TEST(Secret, FourDigitPinRoundTrip)
{
    char enc[16] = {}, dec[64] = {};
    ASSERT_TRUE(EncodeSecret("1234", enc, sizeof enc));
    // '1'^'k' = 0x5A, '2'^'d' = 0x56, '3'^'m' = 0x5E, '4'^'b' = 0x56 -> base64 of 5A 56 5E 56.
    EXPECT_STREQ(enc, "WlZeVg==");
    ASSERT_TRUE(DecodeSecret(enc, dec));
    EXPECT_STREQ(dec, "1234");
}

TEST(Secret, EmptyTextGivesEmptyText)
{
    char dec[64] = "x";
    EXPECT_TRUE(DecodeSecret("", dec));
    EXPECT_STREQ(dec, "");
    char enc[4] = "x";
    EXPECT_TRUE(EncodeSecret("", enc, 1));
    EXPECT_STREQ(enc, "");
}

TEST(Secret, KeyRepeatsFromTheStart)
{
    const std::string plain = "0123456789abcdef";
    char enc[32] = {}, dec[64] = {};
    ASSERT_TRUE(EncodeSecret(plain.c_str(), enc, sizeof enc));
    ASSERT_TRUE(DecodeSecret(enc, dec));
    EXPECT_EQ(plain, dec);
}

TEST(Secret, BufferSizes)
{
    char enc[9] = {};
    EXPECT_TRUE(EncodeSecret("12345", enc, 9));  // 8 characters + terminator
    EXPECT_FALSE(EncodeSecret("12345", enc, 8));
    // 63 characters fit the 64-byte output; 64 do not.
    char big[200] = {}, dec[64] = {};
    ASSERT_TRUE(EncodeSecret(std::string(63, 'x').c_str(), big, sizeof big));
    EXPECT_TRUE(DecodeSecret(big, dec));
    ASSERT_TRUE(EncodeSecret(std::string(64, 'x').c_str(), big, sizeof big));
    EXPECT_FALSE(DecodeSecret(big, dec));
    EXPECT_STREQ(dec, "");
    // More than 89 decoded bytes fail even with room.
    char huge[256] = {};
    ASSERT_TRUE(EncodeSecret(std::string(90, 'x').c_str(), huge, sizeof huge));
    char roomy[200];
    EXPECT_FALSE(DecodeSecret(huge, roomy, sizeof roomy));
    ASSERT_TRUE(EncodeSecret(std::string(89, 'x').c_str(), huge, sizeof huge));
    EXPECT_TRUE(DecodeSecret(huge, roomy, sizeof roomy));
    EXPECT_EQ(std::string(roomy), std::string(89, 'x'));
}

TEST(Secret, MalformedBase64Fails)
{
    char dec[64];
    EXPECT_FALSE(DecodeSecret("WlZeV", dec));     // length
    EXPECT_FALSE(DecodeSecret("Wl*eVg==", dec));  // alphabet
    EXPECT_FALSE(DecodeSecret("Wl=eVg==", dec));  // padding inside
    EXPECT_FALSE(DecodeSecret("WlZeVg==WlZe", dec));
}

TEST(Secret, StoredSecretPlainOrEncoded)
{
    char out[64];
    EXPECT_TRUE(GetStoredSecret(u"WlZeVg==", true, out));
    EXPECT_STREQ(out, "1234");
    EXPECT_TRUE(GetStoredSecret(u"1234", false, out));
    EXPECT_STREQ(out, "1234");
    EXPECT_FALSE(GetStoredSecret(u"123", true, out));  // not base64 (length)
}
