#include "ZELCommon/MD5.h"
#include "ZELCommon/SHA1.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Hex(const unsigned char* digest, int size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < size; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 0xF];
    }
    return text;
}

std::string Md5(const void* data, unsigned length)
{
    unsigned char digest[CMD5::DigestSize + 1];
    digest[CMD5::DigestSize] = 0xCD;
    CMD5::Hash(data, length, digest);
    EXPECT_EQ(0xCD, digest[CMD5::DigestSize]) << "wrote past the digest";
    return Hex(digest, CMD5::DigestSize);
}

std::string Sha1(const void* data, unsigned length)
{
    unsigned char digest[CSHA1::DigestSize + 1];
    digest[CSHA1::DigestSize] = 0xCD;
    CSHA1::Hash(data, length, digest);
    EXPECT_EQ(0xCD, digest[CSHA1::DigestSize]) << "wrote past the digest";
    return Hex(digest, CSHA1::DigestSize);
}

// Bytes (i * 37 + 11) mod 256: every byte value, high bits included.
std::vector<unsigned char> Pattern(size_t n)
{
    std::vector<unsigned char> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = (unsigned char)(i * 37 + 11);
    return bytes;
}

struct TextCase {
    std::string text;
    const char* digest;
};

struct LengthCase {
    size_t length;
    const char* md5;
    const char* sha1;
};

// Pattern inputs around the padding edges (55/56 bytes: one or two final blocks; 64: a whole
// block), with digests from an independent implementation.
const LengthCase kPatternCases[] = {
    {0, "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {1, "13c8ffd977013703a701cf8e11deac65", "067d5096f219c64b53bb1c7d5e3754285b565a47"},
    {55, "d872aa0473a24da995ce4ac518ade767", "c4622048cfef59b72875839ee7ae1cbcf55e7658"},
    {56, "e23567645846677c205de80f9779081b", "ddc12942656468475970fa4fa49161f52ed138e4"},
    {57, "1fe5e4a27e12484d7203d0b60c21c51f", "c3299df7d6a56509d38a55d09ccf403d4a56d044"},
    {63, "4775b66278a8fc132ff80923378216cd", "7f8c3fa49f1297bd8b9feb964b6b419987f9f0d1"},
    {64, "71e123b70c7aa64826fcfe472694cd1c", "a334b47180c61fd522f99905ec02c36f9e848211"},
    {65, "5949948f26e35203661075214faa3966", "dd27d9eb923d39687e10872c3e8133ba2f0a68a1"},
    {119, "87f72c7241c5fe218bb4df8c0aba3232", "bea949473b1ec34747ce121c3293624b5d9d8f84"},
    {120, "bf240b8b7407fba3805adeec63a03b77", "bf05266acd3ec21592b4d42aaea97fa6f3e51926"},
    {127, "520bdc2dbab7c25d64263ffb242d9e98", "b2b4bfd7b2112a167b77a600cca227593523c406"},
    {128, "3e93b378458b77da96b2357c3bda8cc2", "3b1953091899492377f686c266b81d84b5d40f70"},
    {129, "d1ae06bbf9128955a34bedb6231eee62", "4fd6558b2a93925fb7129447e1d1fac8cff56287"},
    {1000, "c3cb8ae118768782aa1896d7fb2827ef", "2c4169b2993df842a68ce33d5a1120339ab1057f"},
};

}  // namespace

TEST(DigestTest, Md5MatchesRfc1321Suite)
{
    const TextCase cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.digest, Md5(c.text.data(), unsigned(c.text.size())));
    }
}

TEST(DigestTest, Sha1MatchesFipsVectors)
{
    const TextCase cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.digest, Sha1(c.text.data(), unsigned(c.text.size())));
    }
}

TEST(DigestTest, OneMillionA)
{
    std::string million(1000000, 'a');
    EXPECT_EQ("7707d6ae4e027c70eea2a935c2296f21", Md5(million.data(), unsigned(million.size())));
    EXPECT_EQ("34aa973cd4c4daa4f61eeb2bdbad27316534016f", Sha1(million.data(), unsigned(million.size())));
}

TEST(DigestTest, PaddingEdges)
{
    for (const LengthCase& c : kPatternCases) {
        SCOPED_TRACE(c.length);
        std::vector<unsigned char> bytes = Pattern(c.length);
        EXPECT_EQ(c.md5, Md5(bytes.data(), unsigned(bytes.size())));
        EXPECT_EQ(c.sha1, Sha1(bytes.data(), unsigned(bytes.size())));
    }
}

TEST(DigestTest, UnalignedInputGivesSameDigest)
{
    for (const LengthCase& c : kPatternCases) {
        SCOPED_TRACE(c.length);
        std::vector<unsigned char> pattern = Pattern(c.length);
        for (size_t offset = 1; offset < 8; ++offset) {
            std::vector<unsigned char> shifted(offset + c.length + 8, 0xEE);
            if (c.length) std::memcpy(shifted.data() + offset, pattern.data(), c.length);
            EXPECT_EQ(c.md5, Md5(shifted.data() + offset, unsigned(c.length)));
            EXPECT_EQ(c.sha1, Sha1(shifted.data() + offset, unsigned(c.length)));
        }
    }
}

TEST(DigestTest, ReadsOnlyTheGivenLength)
{
    // Bytes past the length must not leak into the digest.
    std::string text = "abcXYZ";
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Md5(text.data(), 3));
    EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", Sha1(text.data(), 3));
}

TEST(DigestTest, NullInputHashesAsEmpty)
{
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Md5(nullptr, 0));
    EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", Sha1(nullptr, 0));
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Md5(nullptr, 10));
    EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", Sha1(nullptr, 10));
    // No output buffer: nothing is written and nothing breaks.
    CMD5::Hash("abc", 3, nullptr);
    CSHA1::Hash("abc", 3, nullptr);
}
