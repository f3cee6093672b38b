#include "ZELCommon/ZELString.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

// Takes ownership of a malloc buffer returned by the static utilities.
std::string Bytes(char* buffer, int length)
{
    std::string out = buffer ? std::string(buffer, size_t(length)) : std::string();
    free(buffer);
    return out;
}

template <typename Unit> std::string Encode(const Unit* data, int length)
{
    char* text = CZELString::Base64Encode(data, length);
    return Bytes(text, length);
}

template <typename Unit> std::string Decode(const Unit* text, int length)
{
    char* bytes = CZELString::Base64Decode(text, length);
    if (bytes) {
        EXPECT_EQ(bytes[length], 0);
    }
    return Bytes(bytes, length);
}

}  // namespace

TEST(ZELString, EmptyFormsAreTheNullRecord)
{
    const struct {
        const char* name;
        CZELString value;
    } cases[] = {
        {"default", CZELString()},
        {"empty wide text", CZELString(L"", -1)},
        {"null wide text with a length", CZELString(static_cast<const wchar_t*>(nullptr), 5)},
        {"zero units", CZELString(L"abc", 0)},
        {"empty UTF-8 text", CZELString("", -1, 65001)},
        {"null narrow text", CZELString(static_cast<const char*>(nullptr), -1, 1251)},
        {"narrow text of length 0", CZELString("abc", 0, 1251)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.GetBuffer(), nullptr);
        EXPECT_EQ(c.value.GetLength(), 0);
        EXPECT_TRUE(c.value == CZELString());
        EXPECT_TRUE(c.value == static_cast<const wchar_t*>(nullptr));
    }
}

TEST(ZELString, CopiesShareOneRecordAndChangesInstallNewOnes)
{
    CZELString a(L"hello");
    CZELString b(a);
    EXPECT_EQ(a.GetBuffer(), b.GetBuffer());
    b += L" world";
    EXPECT_EQ(Text(a), L"hello");
    EXPECT_EQ(Text(b), L"hello world");
    CZELString c = a;
    c.ToLower();
    c = L"HELLO";
    c.ToLower();
    EXPECT_EQ(Text(c), L"hello");
    EXPECT_EQ(Text(a), L"hello");
    a = a;  // self-assignment keeps the text
    EXPECT_EQ(Text(a), L"hello");
}

TEST(ZELString, AssignmentFromItsOwnBuffer)
{
    CZELString s(L"abcdef");
    s = s.GetBuffer() + 2;
    EXPECT_EQ(Text(s), L"cdef");
    s = static_cast<const wchar_t*>(nullptr);
    EXPECT_EQ(s.GetBuffer(), nullptr);
}

TEST(ZELString, ComparisonIgnoresCaseAndNeverChangesEitherSide)
{
    CZELString left(L"Abc"), right(L"aBC");
    const wchar_t* leftBuffer = left.GetBuffer();
    EXPECT_TRUE(left == right);
    EXPECT_EQ(left.Compare(right), 0);
    EXPECT_TRUE(left <= right && left >= right);
    EXPECT_EQ(Text(left), L"Abc");
    EXPECT_EQ(Text(right), L"aBC");
    EXPECT_EQ(left.GetBuffer(), leftBuffer);
}

TEST(ZELString, CyrillicFoldsToo)
{
    // "Привет" against "пРИВЕТ", as a contact name typed in another case.
    CZELString upper(L"\x041F\x0440\x0438\x0432\x0435\x0442"), lower(L"\x043F\x0420\x0418\x0412\x0415\x0422");
    EXPECT_TRUE(upper == lower);
    upper.ToLower();
    EXPECT_EQ(Text(upper), L"\x043F\x0440\x0438\x0432\x0435\x0442");
}

TEST(ZELString, Ordering)
{
    const struct {
        const wchar_t* left;
        const wchar_t* right;
        int expected;
    } cases[] = {
        {L"ab", L"abc", -1}, {L"abc", L"ab", 1}, {L"", L"x", -1}, {L"x", L"", 1}, {L"", L"", 0},
        {L"abd", L"ABC", 1}, {L"ABC", L"abd", -1}, {L"a", L"B", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.left) + L" vs " + c.right);
        CZELString left(c.left), right(c.right);
        EXPECT_EQ(left.Compare(right), c.expected);
        EXPECT_EQ(left < right, c.expected < 0);
        EXPECT_EQ(left <= right, c.expected <= 0);
        EXPECT_EQ(left > right, c.expected > 0);
        EXPECT_EQ(left >= right, c.expected >= 0);
        EXPECT_EQ(left == right, c.expected == 0);
        EXPECT_EQ(left != right, c.expected != 0);
    }
}

TEST(ZELString, EqualityWithRawText)
{
    CZELString s(L"Name");
    EXPECT_TRUE(s == L"nAME");
    EXPECT_TRUE(s != L"Names");
    EXPECT_TRUE(s != L"Nam");
    EXPECT_TRUE(CZELString() == L"");
}

TEST(ZELString, FindSubstringRemove)
{
    CZELString s(L"abcb");
    EXPECT_EQ(s.Find(0, L"b"), 1);
    EXPECT_EQ(s.Find(2, L"b"), 3);
    EXPECT_EQ(s.Find(0, L"B"), -1);  // search is case-sensitive
    EXPECT_EQ(s.Find(0, CZELString()), -1);
    EXPECT_EQ(CZELString().Find(0, L"a"), -1);
    EXPECT_EQ(s.Find(4, L"b"), -1);
    EXPECT_EQ(s.Find(99, L"b"), -1);

    EXPECT_EQ(Text(s.Substring(1, 2)), L"bc");
    EXPECT_EQ(s.Substring(1, 0).GetBuffer(), nullptr);
    // Out-of-range requests are clipped rather than read past the text.
    EXPECT_EQ(Text(s.Substring(2, 99)), L"cb");
    EXPECT_EQ(s.Substring(4, 1).GetBuffer(), nullptr);
    EXPECT_EQ(s.Substring(-1, 2).GetBuffer(), nullptr);

    CZELString r(L"abab");
    r.Remove(L"ab");
    EXPECT_EQ(r.GetLength(), 0);
    EXPECT_TRUE(r == CZELString());
    CZELString t(L"aaa");
    t.Remove(L"aa");  // left to right, without overlap
    EXPECT_EQ(Text(t), L"a");
    CZELString u(L"xAbx");
    u.Remove(L"ab");
    EXPECT_EQ(Text(u), L"xAbx");
}

TEST(ZELString, Concatenation)
{
    CZELString a(L"ab"), b(L"cd");
    EXPECT_EQ(Text(a + b), L"abcd");
    EXPECT_EQ(Text(a + L"x"), L"abx");
    EXPECT_EQ(Text(L"x" + a), L"xab");
    EXPECT_EQ((CZELString() + CZELString()).GetBuffer(), nullptr);
    EXPECT_EQ(Text(CZELString() + b), L"cd");
    a += a;
    EXPECT_EQ(Text(a), L"abab");
}

TEST(ZELString, ConstructJoinsCountedPieces)
{
    EXPECT_EQ(Text(CZELString::Construct(L"ab", 2, L"cd", 2, static_cast<const wchar_t*>(nullptr))), L"abcd");
    EXPECT_EQ(Text(CZELString::Construct(L"abc", 1, L"xyz", 2, static_cast<const wchar_t*>(nullptr))), L"axy");
    EXPECT_EQ(CZELString::Construct(static_cast<const wchar_t*>(nullptr), 2, L"cd", 2,
                                    static_cast<const wchar_t*>(nullptr)).GetBuffer(),
              nullptr);
    EXPECT_EQ(CZELString::Construct(L"ab", 0, static_cast<const wchar_t*>(nullptr)).GetBuffer(), nullptr);

    EXPECT_EQ(Bytes(CZELString::Construct("ab", 2, "cd", 2, static_cast<const char*>(nullptr)), 4), "abcd");
    EXPECT_EQ(CZELString::Construct(static_cast<const char*>(nullptr), 2, "cd", 2, static_cast<const char*>(nullptr)),
              nullptr);
    EXPECT_EQ(CZELString::Construct("ab", 0, static_cast<const char*>(nullptr)), nullptr);
}

TEST(ZELString, CodePageRoundTrips)
{
    const struct {
        const char* name;
        unsigned codePage;
        const char* narrow;
        const wchar_t* wide;
    } cases[] = {
        {"UTF-8 Cyrillic", 65001, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", L"\x041F\x0440\x0438\x0432\x0435\x0442"},
        {"UTF-8 outside the BMP", 65001, "\xF0\x9F\x98\x80!", L"\xD83D\xDE00!"},
        {"1251 Cyrillic", 1251, "\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8", L"\x041F\x0440\x0438\x0432\x0435\x0442 \x0401\x0451"},
        {"ASCII", 65001, "plain text", L"plain text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CZELString wide(c.narrow, -1, c.codePage);
        EXPECT_EQ(Text(wide), c.wide);
        EXPECT_EQ(Text(CZELString(c.narrow, int(strlen(c.narrow)), c.codePage)), c.wide);
        char* back = CZELString::Convert(wide, c.codePage);
        ASSERT_NE(back, nullptr);
        EXPECT_STREQ(back, c.narrow);
        free(back);
    }
    EXPECT_EQ(CZELString::Convert(CZELString(), 65001), nullptr);
    EXPECT_EQ(CZELString::Convert(L"abc", 0, 65001), nullptr);
    char* part = CZELString::Convert(L"abcdef", 3, 65001);
    EXPECT_STREQ(part, "abc");
    free(part);
}

TEST(ZELString, Numbers)
{
    const struct {
        unsigned value;
        bool hex;
        int width;
        const wchar_t* text;
    } formats[] = {
        {255, true, 0, L"ff"}, {255, true, 6, L"0000ff"}, {0x1F, true, 4, L"001f"}, {0, false, 0, L"0"},
        {4294967295u, false, 0, L"4294967295"}, {42, false, 1, L"42"}, {7, false, 3, L"007"},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.text);
        wchar_t wide[40];
        char narrow[40];
        int length = -1;
        CZELString::Tow(wide, length, f.value, f.hex, f.width);
        EXPECT_EQ(std::wstring(wide), f.text);
        EXPECT_EQ(length, int(wcslen(f.text)));
        CZELString::Toa(narrow, length, f.value, f.hex, f.width);
        EXPECT_EQ(length, int(wcslen(f.text)));
        EXPECT_EQ(Text(CZELString(f.value, f.hex, (unsigned char)f.width)), f.text);
    }

    const struct {
        const char* text;
        bool hex;
        unsigned value;
    } parses[] = {
        {"1F", true, 31}, {"1f", true, 31}, {"-5", false, 0xFFFFFFFBu}, {"123abc", false, 123},
        {"  42", false, 42}, {"+7", false, 7}, {"zz", true, 0}, {"", false, 0}, {"123456789", true, 0x12345678},
        {"0x10", true, 16},
    };
    for (const auto& p : parses) {
        SCOPED_TRACE(p.text);
        EXPECT_EQ(CZELString::Toi(p.text, -1, p.hex), p.value);
        CZELString wide(p.text, -1, 65001);
        EXPECT_EQ(wide.Uint(p.hex), p.value);
    }
    EXPECT_EQ(CZELString::Toi(static_cast<const wchar_t*>(nullptr), -1, false), 0u);
    // A given length bounds the parse of a counted buffer.
    EXPECT_EQ(CZELString::Toi("12345", 3, false), 123u);
    EXPECT_TRUE(CZELString::IsDigit('7'));
    EXPECT_FALSE(CZELString::IsDigit(L'a'));
}

// A decimal number beyond the int range gives the nearest end of the range, never a wrapped value.
TEST(ZELString, DecimalParseSaturatesAtTheIntRange)
{
    const unsigned intMax = 0x7FFFFFFFu, intMin = 0x80000000u;
    const struct {
        const char* text;
        unsigned value;
    } cases[] = {
        {"2147483647", intMax},
        {"2147483648", intMax},
        {"4000000000", intMax},
        {"4294967295", intMax},
        {"4294967296", intMax},
        {"4294967301", intMax},
        {"99999999999999999999999999", intMax},
        {"+2147483648", intMax},
        {"000000000000000000002147483647", intMax},
        {"-2147483647", 0x80000001u},
        {"-2147483648", intMin},
        {"-2147483649", intMin},
        {"-4294967295", intMin},
        {"-4294967301", intMin},
        {"-99999999999999999999999999", intMin},
        {"-0", 0},
        {"-1", 0xFFFFFFFFu},
        {"  -2147483649xyz", intMin},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CZELString::Toi(c.text, -1, false), c.value);
        CZELString wide(c.text, -1, 65001);
        EXPECT_EQ(CZELString::Toi(wide.GetBuffer(), -1, false), c.value);
        EXPECT_EQ(wide.Uint(false), c.value);
    }
    // A counted buffer is parsed only as far as its length.
    EXPECT_EQ(CZELString::Toi("21474836470", 10, false), intMax);
    EXPECT_EQ(CZELString::Toi("-21474836490", 11, false), intMin);
    EXPECT_EQ(CZELString::Toi("-21474836490", 10, false), 0u - 214748364u);
}

TEST(ZELString, Base64Encode)
{
    const struct {
        std::string bytes;
        const char* text;
    } cases[] = {
        {"abc", "YWJj"}, {std::string("\xFF", 1), "/w=="}, {"ab", "YWI="}, {"a", "YQ=="},
        {std::string("\0\0\0", 3), "AAAA"}, {"Hello, world", "SGVsbG8sIHdvcmxk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Encode(c.bytes.data(), int(c.bytes.size())), c.text);
        std::wstring wide(c.bytes.begin(), c.bytes.end());
        for (auto& unit : wide) unit = wchar_t((unsigned char)unit | 0x4100);  // high bytes are ignored
        EXPECT_EQ(Encode(wide.data(), int(wide.size())), c.text);
    }
    int length = -1;
    EXPECT_EQ(CZELString::Base64Encode(static_cast<const char*>(nullptr), length), nullptr);
    EXPECT_EQ(length, 0);
    length = -1;
    EXPECT_EQ(CZELString::Base64Encode("", length), nullptr);
    EXPECT_EQ(length, 0);
}

TEST(ZELString, Base64DecodeTrimsPaddingAndSkipsLineBreaks)
{
    const struct {
        const char* name;
        std::string text;
        std::string bytes;
    } cases[] = {
        {"full group", "YWJj", "abc"},
        {"two pads", "YQ==", "a"},
        {"one pad", "YWI=", "ab"},
        {"incomplete group", "YWJ", ""},
        {"CR LF inside", "YW\r\nJj", "abc"},
        {"LF inside", "YW\nJj", "abc"},
        {"two groups", "YWJjZGVm", "abcdef"},
        {"bad characters decode as zero bits", "Y*Jj", std::string("\x60\x02\x63", 3)},
        {"trailing partial group dropped", "YWJjZA", "abc"},
        {"binary", "AP8A/w==", std::string("\x00\xFF\x00\xFF", 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decode(c.text.data(), int(c.text.size())), c.bytes);
        std::wstring wide(c.text.begin(), c.text.end());
        EXPECT_EQ(Decode(wide.c_str(), -1), c.bytes);
    }
    int length = 0;
    EXPECT_EQ(CZELString::Base64Decode("", length), nullptr);
    EXPECT_EQ(length, 0);
}

TEST(ZELString, Base64RoundTripsEveryLength)
{
    std::string data;
    for (int n = 0; n < 64; ++n) {
        std::string text = Encode(data.data(), n);
        EXPECT_EQ(Decode(text.data(), int(text.size())), data) << "length " << n;
        data.push_back(char(n * 37 + 11));
    }
}

TEST(ZELString, LongTextsAreClippedToTheRecordLimit)
{
    std::wstring longText(70000, L'x');
    CZELString s(longText.c_str(), int(longText.size()));
    EXPECT_EQ(s.GetLength(), CZELString::MaxLength);
    EXPECT_EQ(s.GetBuffer()[CZELString::MaxLength], 0);
    CZELString joined = s + L"y";
    EXPECT_EQ(joined.GetLength(), CZELString::MaxLength);
}

// A text clipped at the record limit loses a character cut in half rather than keep half of it,
// whichever way the text arrives.
TEST(ZELString, ClippingNeverSplitsASurrogatePair)
{
    const int max = CZELString::MaxLength;
    const std::wstring pair = L"\xD83D\xDE00";  // U+1F600
    auto xs = [](int n) { return std::wstring(size_t(n), L'x'); };
    auto utf8 = [](const std::wstring& wide) {
        int bytes = WideCharToMultiByte(65001, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
        std::string out(size_t(bytes), '\0');
        WideCharToMultiByte(65001, 0, wide.data(), int(wide.size()), &out[0], bytes, nullptr, nullptr);
        return out;
    };
    struct Case {
        const char* name;
        std::wstring text;
        std::wstring kept;
        bool wellFormed;  // converts to UTF-8 and back unchanged
    } cases[] = {
        {"pair across the limit", xs(max - 1) + pair + L"yz", xs(max - 1), true},
        {"pair across the limit, nothing after", xs(max - 1) + pair, xs(max - 1), true},
        {"pair ending at the limit", xs(max - 2) + pair + L"yz", xs(max - 2) + pair, true},
        {"pair just past the limit", xs(max) + pair, xs(max), true},
        {"second of two pairs across the limit", xs(max - 3) + pair + pair, xs(max - 3) + pair, true},
        {"pairs only", [&] { std::wstring t; while (t.size() < size_t(max) + 2) t += pair; return t; }(),
         [&] { std::wstring t; while (t.size() + 2 <= size_t(max)) t += pair; return t; }(), true},
        {"lone high half within the limit is kept as given", xs(max - 1) + L"\xD83D", xs(max - 1) + L"\xD83D", false},
    };
    // Texts this long are told by their length and their last units, not printed whole.
    auto same = [](const CZELString& actual, const std::wstring& expected) -> ::testing::AssertionResult {
        std::wstring text = Text(actual);
        if (text == expected) return ::testing::AssertionSuccess();
        auto describe = [](const std::wstring& t) {
            std::string out = std::to_string(t.size()) + " units, ending";
            for (size_t i = t.size() > 3 ? t.size() - 3 : 0; i < t.size(); ++i) out += " " + std::to_string(unsigned(t[i]));
            return out;
        };
        return ::testing::AssertionFailure() << describe(text) << "; expected " << describe(expected);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(same(CZELString(c.text.c_str(), int(c.text.size())), c.kept));
        CZELString assigned;
        assigned = c.text.c_str();
        EXPECT_TRUE(same(assigned, c.kept));
        size_t half = c.text.size() / 2;
        CZELString left(c.text.substr(0, half).c_str()), right(c.text.substr(half).c_str());
        EXPECT_TRUE(same(left + right, c.kept));
        if (c.wellFormed) {
            EXPECT_TRUE(same(CZELString(utf8(c.text).c_str(), -1, 65001), c.kept));
        }
    }
}

TEST(ZELString, HolderCountNeverOverflows)
{
    CZELString original(L"shared");
    std::vector<CZELString> copies(70000, original);
    for (const auto& copy : copies) ASSERT_EQ(Text(copy), L"shared");
    copies.clear();
    EXPECT_EQ(Text(original), L"shared");
}

TEST(ZELString, SharedRecordsAcrossThreads)
{
    CZELString shared(L"shared text");
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([shared] {
            for (int i = 0; i < 20000; ++i) {
                CZELString copy(shared);
                CZELString other = copy;
                if (!(other == L"SHARED TEXT")) abort();
                other += L"!";
            }
        });
    }
    for (auto& thread : threads) thread.join();
    CZELString after(shared);
    EXPECT_EQ(after.GetBuffer(), shared.GetBuffer());
    EXPECT_EQ(Text(shared), L"shared text");
}
