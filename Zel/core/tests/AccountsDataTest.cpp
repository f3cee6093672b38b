#include "Zel/core/accounts/AccountsData.h"
#include "Zel/core/CoreGuids.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes Record(const std::string& name, const Bytes& data)
{
    Bytes out;
    out.push_back(static_cast<unsigned char>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    unsigned n = unsigned(data.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(n >> (8 * i)));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

const std::string kWex = "{BB11FAAD-81A3-4CD4-913B-39DDA89CF340}";
const std::string kOther = "{00000001-0000-0000-0000-0000000000A1}";
const ZEL_GUID kOtherGuid = {0x00000001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0xA1}};

// One value "Port" = 5190 as an int.
const Bytes kPortValue = Record("Port", {0x46, 0x14, 0, 0});

}  // namespace

// The stored form, byte for byte: 38-byte GUID names, little-endian lengths, the values inside.
TEST(AccountsData, BuildWritesTheStoredForm)
{
    ValueRecordList values;
    ValueRecord port(CZELString(L"Port"));
    port.WriteInt(5190);
    values.Add(port);
    ValueRecordList empty;

    Bytes blob;
    ASSERT_TRUE(AccountsData::Build({{GUID_WEX_PROTOCOL, &values}, {GUID_WEX_PROTOCOL, &empty}}, {}, {}, blob));
    EXPECT_EQ(blob, Join({Record(kWex, kPortValue), Record(kWex, {})}));
    EXPECT_EQ(blob[0], 38);
    EXPECT_EQ(blob.size(), size_t(43 + kPortValue.size() + 43));
}

TEST(AccountsData, ParseKeepsEveryWholeRecordAndTheDamagedEnd)
{
    Bytes good = Record(kWex, kPortValue);
    Bytes unknown = Record("not a guid", {1, 2, 3});
    Bytes second = Record(kOther, {});
    Bytes tail = {38, 'x', 'y'};  // a name that runs past the end
    struct Case {
        const char* name;
        Bytes blob;
        size_t records;
        Bytes tail;
    } cases[] = {
        {"empty", {}, 0, {}},
        {"whole records", Join({good, unknown, second}), 3, {}},
        {"a damaged end", Join({good, unknown, tail}), 2, tail},
        {"damage first", Join({tail, good}), 0, Join({tail, good})},
        {"a data length one past the end", Join({good, Bytes(good.begin(), good.end() - 1)}), 1,
         Bytes(good.begin(), good.end() - 1)},
        {"a header cut short", Join({good, Bytes{38, 0}}), 1, Bytes{38, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AccountsData::Parsed parsed = AccountsData::Parse(c.blob.data(), unsigned(c.blob.size()));
        EXPECT_EQ(parsed.records.size(), c.records);
        EXPECT_EQ(parsed.tail, c.tail);
        // Nothing is lost: records and tail give back the input.
        Bytes again;
        for (const AccountsData::StoredRecord& record : parsed.records)
            again.insert(again.end(), record.raw.begin(), record.raw.end());
        again.insert(again.end(), parsed.tail.begin(), parsed.tail.end());
        EXPECT_EQ(again, c.blob);
    }

    // Every truncation of a good blob parses without reading past its end.
    Bytes blob = Join({good, unknown, second});
    for (size_t cut = 0; cut <= blob.size(); ++cut) {
        AccountsData::Parsed parsed = AccountsData::Parse(blob.data(), unsigned(cut));
        size_t total = parsed.tail.size();
        for (const AccountsData::StoredRecord& record : parsed.records) total += record.raw.size();
        ASSERT_EQ(total, cut);
    }
}

TEST(AccountsData, RecordNamesAndValues)
{
    Bytes blob = Join({Record(kWex, kPortValue), Record("garbage", {}), Record(kOther, {1, 2, 3}), Record(kOther, {})});
    AccountsData::Parsed parsed = AccountsData::Parse(blob.data(), unsigned(blob.size()));
    ASSERT_EQ(parsed.records.size(), 4u);
    EXPECT_EQ(parsed.records[0].protocol, GUID_WEX_PROTOCOL);
    EXPECT_EQ(parsed.records[1].protocol, ZEL_GUID_NULL);
    EXPECT_EQ(parsed.records[2].protocol, kOtherGuid);

    ValueRecordList values;
    EXPECT_TRUE(AccountsData::ReadValues(parsed.records[0], values));
    ASSERT_EQ(values.GetCount(), 1);
    EXPECT_EQ(values.Find(CZELString(L"port"))->ReadInt(), 5190);

    // Values that do not read back whole are refused, not cut.
    EXPECT_FALSE(AccountsData::ReadValues(parsed.records[2], values));
    EXPECT_EQ(values.GetCount(), 0);

    EXPECT_TRUE(AccountsData::ReadValues(parsed.records[3], values));
    EXPECT_EQ(values.GetCount(), 0);
}

// Records that were not accounts in this run go back to their places, and the damaged end last.
TEST(AccountsData, CarriedRecordsGoBackToTheirPlaces)
{
    ValueRecordList none;
    Bytes a = Record(kWex, {});
    Bytes carriedOne = Record(kOther, {9});
    Bytes carriedTwo = Record("junk name", {8, 8});
    Bytes tail = {200, 1};
    struct Case {
        const char* name;
        int live;
        std::vector<unsigned> positions;
        Bytes expected;
    } cases[] = {
        {"between two accounts", 2, {1}, Join({a, carriedOne, a})},
        {"first", 2, {0}, Join({carriedOne, a, a})},
        {"past the accounts left", 1, {3}, Join({a, carriedOne})},
        {"two, given out of order", 2, {3, 0}, Join({carriedTwo, a, a, carriedOne})},
        {"no accounts", 0, {1, 0}, Join({carriedTwo, carriedOne})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<AccountsData::LiveAccount> live(size_t(c.live),
                                                    AccountsData::LiveAccount{GUID_WEX_PROTOCOL, &none});
        std::vector<AccountsData::CarriedRecord> carried;
        const Bytes* raws[] = {&carriedOne, &carriedTwo};
        for (size_t i = 0; i < c.positions.size(); ++i) carried.push_back({c.positions[i], *raws[i]});
        Bytes blob;
        ASSERT_TRUE(AccountsData::Build(live, carried, {}, blob));
        EXPECT_EQ(blob, c.expected);
        ASSERT_TRUE(AccountsData::Build(live, carried, tail, blob));
        EXPECT_EQ(blob, Join({c.expected, tail}));
    }
}
