// Every request body against bytes written by hand from the field tables.
#include "Dax/proto/MrimRequests.h"
#include "Dax/proto/MrimStatus.h"
#include "Dax/proto/WakeUpRtf.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace MrimTest;

namespace {

const std::string ClientIdAgent = "client=\"ZEL PDA WM\" version=\"2.0\" build=\"2140\"";
const std::string ClientIdDescription = "ZEL PDA Symbian (build 2140);";

Bytes ClientId()
{
    return Wire().U32(0x3FF).Lps(ClientIdAgent).Lps("ru").Lps(ClientIdDescription);
}

std::string Base64(const Bytes& bytes)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = bytes[i] << 16;
        if (i + 1 < bytes.size()) v |= bytes[i + 1] << 8;
        if (i + 2 < bytes.size()) v |= bytes[i + 2];
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[v & 63] : '=';
    }
    return out;
}

} // namespace

TEST(MrimRequests, BodiesMatchTheirFieldTables)
{
    const CZELString bob(L"bob@example.org");
    Mrim::SearchFields onlyAge;
    onlyAge.ageFrom = 18;
    Mrim::NormaliseAges(onlyAge);
    Mrim::SearchFields everything;
    everything.nickname = L"Nick";
    everything.firstName = L"Ann";
    everything.lastName = L"Lee";
    everything.gender = 2;
    everything.ageFrom = 20;
    everything.ageTo = 30;
    everything.countryId = 24;
    everything.regionId = 25;
    everything.onlineOnly = 1;

    struct Case {
        const char* name;
        std::function<Bytes()> build;
        Bytes expected;
    } cases[] = {
        {"login, away", [] { return Mrim::LoginBody(L"me@example.org", L"secret", 11, Mrim::BuildClientId(2140, L"WM")); },
         Wire().Lps("me@example.org").Lps("secret").U32(2).Lps("STATUS_AWAY").U32(0).U32(0).Raw(ClientId())},
        {"login, invisible", [] { return Mrim::LoginBody(L"me@example.org", L"", 3, Mrim::BuildClientId(2140, L"WM")); },
         Wire().Lps("me@example.org").Lps("").U32(0x80000001).Lps("STATUS_INVISIBLE").U32(0).U32(0).Raw(ClientId())},
        {"status change, do not disturb", [] { return Mrim::StatusChangeBody(14); },
         Wire().U32(4).Lps("status_dnd").U32(0).U32(0).U32(0x3FF)},
        {"status change, connecting", [] { return Mrim::StatusChangeBody(1); },
         Wire().U32(1).Lps("").U32(0).U32(0).U32(0x3FF)},
        {"text message", [&] { return Mrim::TextMessageBody(bob, L"Hi \u044F"); },
         Wire().U32(0x00100000).Lps("bob@example.org").Lps(Hex("48 00 69 00 20 00 4F 04")).U32(0)},
        {"typing", [&] { return Mrim::TypingNoticeBody(bob); },
         Wire().U32(0x00200400).Lps("bob@example.org").Lps(" ").U32(0)},
        {"wake-up", [&] { return Mrim::WakeUpBody(bob); },
         Wire().U32(0x00004080).Lps("bob@example.org").Lps(" ").Lps(Bytes(Mrim::WakeUpRtf, Mrim::WakeUpRtf + 449))},
        {"authorisation request", [&] { return Mrim::AuthRequestBody(bob, L"Me"); },
         Wire().U32(0x0C).Lps("bob@example.org")
             .Lps(Base64(Wire().U32(2).Lps16(L"bob@example.org").Lps16(L"Me")))},
        {"message received", [&] { return Mrim::MessageReceivedBody(bob, 0x1234); },
         Wire().Lps("bob@example.org").U32(0x1234)},
        {"grant authorisation", [&] { return Mrim::AuthorizeBody(bob); }, Wire().Lps("bob@example.org")},
        {"add group, three groups", [] { return Mrim::AddGroupBody(3, L"Work"); },
         Hex("02 00 00 03  00 00 00 00  00 00 00 00  08 00 00 00  57 00 6F 00 72 00 6B 00"
             "00 00 00 00  00 00 00 00  00 00 00 00")},
        {"add contact", [&] { return Mrim::AddContactBody(1, bob, L"Bob", L"Please authorize my request."); },
         Wire().U32(0).U32(1).Lps("bob@example.org").Lps16(L"Bob").U32(0)
             .Lps(Base64(Wire().U32(2).U32(0).Lps16(L"Please authorize my request."))).U32(0)},
        {"rename group", [] { return Mrim::ModifyGroupBody(2, 0x01000002, L"New"); },
         Hex("02 00 00 00  02 00 00 01  00 00 00 00  00 00 00 00  06 00 00 00  4E 00 65 00 77 00  00 00 00 00")},
        {"modify contact", [&] { return Mrim::ModifyContactBody(21, 0x09, 1, bob, L"Bob", L"+7"); },
         Wire().U32(21).U32(9).U32(1).Lps("bob@example.org").Lps16(L"Bob").Lps("+7")},
        // A removed group: its current name, its flags with the removed bit.
        {"group removed", [] { return Mrim::ModifyGroupBody(1, 0x01000202 | 0x01, L"Old"); },
         Hex("01 00 00 00  03 02 00 01  00 00 00 00  00 00 00 00  06 00 00 00  4F 00 6C 00 64 00  00 00 00 00")},
        // Contacts as they are after the change: removed, moved to group 2, and each list flag.
        {"contact removed", [&] { return Mrim::ModifyContactBody(21, 0x208 | 0x01, 0, bob, L"Bob", L""); },
         Hex("15 00 00 00  09 02 00 00  00 00 00 00  0F 00 00 00"
             "62 6F 62 40 65 78 61 6D 70 6C 65 2E 6F 72 67  06 00 00 00  42 00 6F 00 62 00  00 00 00 00")},
        {"contact moved", [&] { return Mrim::ModifyContactBody(21, 0x200, 2, bob, L"Bob", L""); },
         Hex("15 00 00 00  00 02 00 00  02 00 00 00  0F 00 00 00"
             "62 6F 62 40 65 78 61 6D 70 6C 65 2E 6F 72 67  06 00 00 00  42 00 6F 00 62 00  00 00 00 00")},
        {"contact on the visible list", [&] { return Mrim::ModifyContactBody(21, 0x200 | 0x08, 0, bob, L"Bob", L""); },
         Hex("15 00 00 00  08 02 00 00  00 00 00 00  0F 00 00 00"
             "62 6F 62 40 65 78 61 6D 70 6C 65 2E 6F 72 67  06 00 00 00  42 00 6F 00 62 00  00 00 00 00")},
        {"contact on the invisible list", [&] { return Mrim::ModifyContactBody(21, 0x200 | 0x04, 0, bob, L"Bob", L""); },
         Hex("15 00 00 00  04 02 00 00  00 00 00 00  0F 00 00 00"
             "62 6F 62 40 65 78 61 6D 70 6C 65 2E 6F 72 67  06 00 00 00  42 00 6F 00 62 00  00 00 00 00")},
        {"contact on the ignore list, with a phone", [&] { return Mrim::ModifyContactBody(21, 0x200 | 0x10, 0, bob, L"Bob", L"+7"); },
         Hex("15 00 00 00  10 02 00 00  00 00 00 00  0F 00 00 00"
             "62 6F 62 40 65 78 61 6D 70 6C 65 2E 6F 72 67  06 00 00 00  42 00 6F 00 62 00  02 00 00 00  2B 37")},
        {"search by address", [&] { return Mrim::AddressSearchBody(bob); },
         Wire().U32(0).Lps("bob").U32(1).Lps("example.org")},
        {"search by address starting with @", [] { return Mrim::AddressSearchBody(L"@example.org"); }, Bytes()},
        {"search by age from only", [&] { return Mrim::FieldSearchBody(onlyAge); },
         Wire().U32(7).Lps("18").U32(8).Lps("120")},
        {"search by every field", [&] { return Mrim::FieldSearchBody(everything); },
         Wire().U32(2).Lps16(L"Nick").U32(3).Lps16(L"Ann").U32(4).Lps16(L"Lee").U32(5).Lps16(L"2")
             .U32(7).Lps("20").U32(8).Lps("30").U32(15).Lps("24").U32(11).Lps("25").U32(9).Lps16(L"1")},
        {"search by nothing", [] { return Mrim::FieldSearchBody(Mrim::SearchFields()); }, Bytes()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToHex(c.expected), ToHex(c.build()));
    }
    EXPECT_EQ(120, onlyAge.ageTo);
}

TEST(MrimRequests, AgeToAloneGetsAgeFromOne)
{
    Mrim::SearchFields fields;
    fields.ageTo = 40;
    Mrim::NormaliseAges(fields);
    EXPECT_EQ(1, fields.ageFrom);
    EXPECT_EQ(40, fields.ageTo);
}

TEST(MrimRequests, WakeUpPartIsBase64OfAZlibStreamAndItsZero)
{
    EXPECT_EQ(0, Mrim::WakeUpRtf[448]);
    Bytes decoded = Mrim::FromBase64(Mrim::WakeUpRtf, 448);
    ASSERT_EQ(336u, decoded.size());
    EXPECT_EQ(0x78, decoded[0]);                                  // zlib, deflate
    EXPECT_EQ(0, (decoded[0] * 256 + decoded[1]) % 31);           // header check
    std::string rtf(decoded.begin() + 7, decoded.begin() + 7 + 325);  // one stored block
    EXPECT_EQ(0u, rtf.find("{\\rtf1"));
    EXPECT_NE(std::string::npos, rtf.find("Wake up!"));
}
