#include "Zel/core/settings/SettingsStore.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "ZELCommon/ZELPath.h"

#include "ZELCommon/tests/SlotOf.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using TestSupport::SlotOf;

namespace {

typedef std::vector<unsigned char> Bytes;

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

CZELString Str(const std::wstring& s)
{
    return CZELString(s.c_str(), int(s.size()));
}

Bytes Ascii(const char* text)
{
    return Bytes(text, text + std::char_traits<char>::length(text));
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes LE32(unsigned n)
{
    return {(unsigned char)n, (unsigned char)(n >> 8), (unsigned char)(n >> 16), (unsigned char)(n >> 24)};
}

// One record in the file's byte form: [name length][name][32-bit little-endian length][data].
Bytes Form(const Bytes& name, const Bytes& data)
{
    return Concat({{(unsigned char)name.size()}, name, LE32(unsigned(data.size())), data});
}

const char kGuiText[] = "{5CA0CBC1-999A-4EA2-8B44-F8F67D7F8EBE}";
const char kContactsText[] = "{D42F2173-F868-469C-9F2F-B283F799F1CE}";
const char kNullText[] = "{00000000-0000-0000-0000-000000000000}";

using TestSupport::FileExists;

bool IsDirectory(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteAll(const std::wstring& path, const Bytes& bytes, size_t count)
{
    ASSERT_TRUE(TestSupport::WriteWholeFile(path, Bytes(bytes.begin(), bytes.begin() + count)));
}

void WriteAll(const std::wstring& path, const Bytes& bytes)
{
    WriteAll(path, bytes, bytes.size());
}

// The most memory the process has ever had in use (touched pages).
unsigned long long PeakMemory()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

// Every test gets a folder of its own under the temporary folder, removed afterwards.
class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStoreTest() : folder(L"zel-settings-"), path(folder.path + L"settings.zel"), temp_(Text(CSettingsStore::TempPath(Str(path)))) {}

    std::unique_ptr<CSettingsStore> Open() { return std::unique_ptr<CSettingsStore>(new CSettingsStore(nullptr, Str(path))); }

    Bytes FileBytes()
    {
        Bytes out;
        EXPECT_TRUE(TestSupport::ReadWholeFile(path, out)) << "no settings file";
        return out;
    }

    TestSupport::TempFolder folder;
    std::wstring path, temp_;
};

// The golden store: three sections set out of order, keys out of order, every kind of value.
void FillGolden(CSettingsStore& store)
{
    const unsigned char blob[] = {0x00, 0x01, 0x02};
    int blobLength = 3;
    store.SetBlob(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), blob, &blobLength);
    store.SetString(GUID_CONTACT_LIST_DATA, CZELString(L"AntispamQuestion"), CZELString(L"2+2?"));
    int zeta = 0x01020304;
    store.SetInt(GUID_GUI, CZELString(L"Zeta"), &zeta);
    char alpha = 7;
    store.SetByte(GUID_GUI, CZELString(L"alpha"), &alpha);
    short hist = 0x0102;
    store.SetShort(GUID_GUI, CZELString(L"MWShowHist"), &hist);
    store.SetString(ZEL_GUID_NULL, CZELString(L"Version"), CZELString(L"\u0416"));  // D0 96 in UTF-8
}

// Sections in ascending order of their GUID text, keys in ascending case-insensitive order.
Bytes GoldenFile()
{
    return Concat({
        Form(Ascii(kNullText), Form(Ascii("Version"), {0xD0, 0x96})),
        Form(Ascii(kGuiText), Concat({Form(Ascii("alpha"), {0x07}), Form(Ascii("MWShowHist"), {0x02, 0x01}),
                                      Form(Ascii("Zeta"), {0x04, 0x03, 0x02, 0x01})})),
        Form(Ascii(kContactsText),
             Concat({Form(Ascii("AntispamQuestion"), Ascii("2+2?")), Form(Ascii("CL data"), {0x00, 0x01, 0x02})})),
    });
}

// The ends of the section records of a file.
std::vector<size_t> SectionEnds(const Bytes& file)
{
    std::vector<size_t> ends;
    size_t at = 0;
    while (at < file.size()) {
        size_t nameLength = file[at];
        const unsigned char* p = &file[at + 1 + nameLength];
        at += 1 + nameLength + 4 + (p[0] | p[1] << 8 | p[2] << 16 | size_t(p[3]) << 24);
        ends.push_back(at);
    }
    return ends;
}

}  // namespace

// ---- values in memory ------------------------------------------------------------------------

TEST_F(SettingsStoreTest, EachKindReadsBackAndShortValuesReadAsZero)
{
    struct Case {
        const char* name;
        std::function<void(CSettingsStore&, const CZELString&)> set;
        int size;
        int intValue;
        short shortValue;
        char byteValue;
        std::wstring text;
    } cases[] = {
        {"byte", [](CSettingsStore& s, const CZELString& k) { char v = 0x7F; s.SetByte(GUID_GUI, k, &v); },
         1, 0, 0, 0x7F, L"\x7F"},
        {"short", [](CSettingsStore& s, const CZELString& k) { short v = -2; s.SetShort(GUID_GUI, k, &v); },
         2, 0, -2, char(0xFE), L""},
        {"int", [](CSettingsStore& s, const CZELString& k) { int v = 0x11223344; s.SetInt(GUID_GUI, k, &v); },
         4, 0x11223344, 0x3344, 0x44, L"D3\"\x11"},
        {"string", [](CSettingsStore& s, const CZELString& k) { s.SetString(GUID_GUI, k, CZELString(L"Hi")); },
         2, 0, short('H' | 'i' << 8), 'H', L"Hi"},
        {"empty string", [](CSettingsStore& s, const CZELString& k) { s.SetString(GUID_GUI, k, CZELString()); },
         0, 0, 0, 0, L""},
        {"blob", [](CSettingsStore& s, const CZELString& k) { int n = 5; s.SetBlob(GUID_GUI, k, "\x01\x02\x03\x04\x05", &n); },
         5, 0x04030201, 0x0201, 0x01, L"\x01\x02\x03\x04\x05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto store = Open();
        CZELString key(L"Value");
        c.set(*store, key);
        int size = -1;
        EXPECT_EQ(store->GetValueSize(GUID_GUI, key, &size), 1);
        EXPECT_EQ(size, c.size);
        int i = 99;
        EXPECT_EQ(store->GetInt(GUID_GUI, key, &i), 1);  // 1 even when too short, with 0
        EXPECT_EQ(i, c.intValue);
        short s = 99;
        EXPECT_EQ(store->GetShort(GUID_GUI, key, &s), 1);
        EXPECT_EQ(s, c.shortValue);
        char b = 99;
        EXPECT_EQ(store->GetByte(GUID_GUI, key, &b), 1);
        EXPECT_EQ(b, c.byteValue);
        if (c.name != std::string("short")) {
            CZELString text(L"default");
            EXPECT_EQ(store->GetString(GUID_GUI, key, text), 1);
            EXPECT_EQ(Text(text), c.text);
        }
    }
}

TEST_F(SettingsStoreTest, AbsentKeysLeaveOutputsAlone)
{
    auto store = Open();
    int one = 1;
    store->SetInt(GUID_GUI, CZELString(L"present"), &one);
    struct Where {
        const char* name;
        ZEL_GUID section;
        const wchar_t* key;
    } places[] = {{"absent section", GUID_CONTACT_LIST_DATA, L"present"}, {"absent key", GUID_GUI, L"absent"}};
    for (const Where& w : places) {
        SCOPED_TRACE(w.name);
        CZELString key(w.key);
        int size = 42, i = 42;
        short s = 42;
        char b = 42;
        unsigned char buffer[4] = {9, 9, 9, 9};
        unsigned length = sizeof buffer;
        CZELString text(L"default");
        EXPECT_EQ(store->GetValueSize(w.section, key, &size), 0);
        EXPECT_EQ(store->GetBlob(w.section, key, buffer, &length), 0);
        EXPECT_EQ(store->GetString(w.section, key, text), 0);
        EXPECT_EQ(store->GetInt(w.section, key, &i), 0);
        EXPECT_EQ(store->GetShort(w.section, key, &s), 0);
        EXPECT_EQ(store->GetByte(w.section, key, &b), 0);
        EXPECT_EQ(size, 42);
        EXPECT_EQ(length, sizeof buffer);
        EXPECT_EQ(buffer[0], 9);
        EXPECT_EQ(Text(text), L"default");
        EXPECT_EQ(i, 42);
        EXPECT_EQ(s, 42);
        EXPECT_EQ(b, 42);
    }
}

TEST_F(SettingsStoreTest, GetBlobNeedsRoomForTheWholeValue)
{
    auto store = Open();
    const unsigned char value[] = {1, 2, 3, 4, 5, 6};
    int length = sizeof value;
    store->SetBlob(GUID_GUI, CZELString(L"blob"), value, &length);

    unsigned char buffer[10] = {};
    unsigned capacity = 5;  // one short
    EXPECT_EQ(store->GetBlob(GUID_GUI, CZELString(L"blob"), buffer, &capacity), 0);
    EXPECT_EQ(capacity, 5u);
    EXPECT_EQ(buffer[0], 0);

    capacity = 6;
    EXPECT_EQ(store->GetBlob(GUID_GUI, CZELString(L"blob"), buffer, &capacity), 1);
    EXPECT_EQ(capacity, 6u);
    EXPECT_EQ(Bytes(buffer, buffer + 6), Bytes(value, value + 6));

    capacity = 10;
    EXPECT_EQ(store->GetBlob(GUID_GUI, CZELString(L"blob"), buffer, &capacity), 1);
    EXPECT_EQ(capacity, 6u);

    EXPECT_EQ(store->GetBlob(GUID_GUI, CZELString(L"blob"), buffer, nullptr), 0);
    capacity = 10;
    EXPECT_EQ(store->GetBlob(GUID_GUI, CZELString(L"blob"), nullptr, &capacity), 0);

    int empty = 0;
    store->SetBlob(GUID_GUI, CZELString(L"empty"), nullptr, &empty);
    capacity = 0;
    EXPECT_EQ(store->GetBlob(GUID_GUI, CZELString(L"empty"), nullptr, &capacity), 1);
    EXPECT_EQ(capacity, 0u);
}

TEST_F(SettingsStoreTest, KeysDifferingInLetterCaseAreOneKey)
{
    auto store = Open();
    int first = 1, second = 2;
    store->SetInt(GUID_GUI, CZELString(L"GlobAutoConnect"), &first);
    store->SetInt(GUID_GUI, CZELString(L"GLOBAUTOCONNECT"), &second);
    int out = 0;
    EXPECT_EQ(store->GetInt(GUID_GUI, CZELString(L"globautoconnect"), &out), 1);
    EXPECT_EQ(out, 2);
    store.reset();
    // One record, under the spelling it was first set with.
    EXPECT_EQ(FileBytes(), Form(Ascii(kGuiText), Form(Ascii("GlobAutoConnect"), LE32(2))));
}

TEST_F(SettingsStoreTest, ASetterReplacesAnyEarlierKindAndLength)
{
    auto store = Open();
    CZELString key(L"k");
    int length = 10;
    store->SetBlob(GUID_GUI, key, "0123456789", &length);
    char b = 'x';
    store->SetByte(GUID_GUI, key, &b);
    int size = 0;
    EXPECT_EQ(store->GetValueSize(GUID_GUI, key, &size), 1);
    EXPECT_EQ(size, 1);
    int i = 5;
    EXPECT_EQ(store->GetInt(GUID_GUI, key, &i), 1);
    EXPECT_EQ(i, 0);
    store->SetString(GUID_GUI, key, CZELString(L"longer text"));
    EXPECT_EQ(store->GetValueSize(GUID_GUI, key, &size), 1);
    EXPECT_EQ(size, 11);
}

TEST_F(SettingsStoreTest, InvalidSetterArgumentsStoreNothing)
{
    auto store = Open();
    int negative = -1, three = 3;
    store->SetBlob(GUID_GUI, CZELString(L"a"), "abc", &negative);
    store->SetBlob(GUID_GUI, CZELString(L"b"), nullptr, &three);
    store->SetBlob(GUID_GUI, CZELString(L"c"), "abc", nullptr);
    store->SetInt(GUID_GUI, CZELString(L"d"), nullptr);
    store->SetShort(GUID_GUI, CZELString(L"e"), nullptr);
    store->SetByte(GUID_GUI, CZELString(L"f"), nullptr);
    for (const char* key : {"a", "b", "c", "d", "e", "f"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(store->GetValueSize(GUID_GUI, CZELString(key, 1, CP_UTF8), nullptr), 0);
    }
    store.reset();
    EXPECT_FALSE(FileExists(path));
}

TEST_F(SettingsStoreTest, KeysLongerThan255Utf8BytesAreRefused)
{
    const std::wstring tooLong[] = {std::wstring(256, L'k'), std::wstring(85, L'\u20AC') + L"k"};
    {
        auto store = Open();
        for (const std::wstring& k : tooLong) {
            CZELString key = Str(k);
            int i = 1;
            short s = 1;
            char b = 1;
            store->SetInt(GUID_GUI, key, &i);
            store->SetShort(GUID_GUI, key, &s);
            store->SetByte(GUID_GUI, key, &b);
            store->SetString(GUID_GUI, key, CZELString(L"x"));
            store->SetBlob(GUID_GUI, key, "x", &i);
            EXPECT_EQ(store->GetValueSize(GUID_GUI, key, nullptr), 0);
        }
    }
    EXPECT_FALSE(FileExists(path));  // nothing was stored, so nothing is written

    // 255 bytes exactly (85 three-byte characters) is stored and survives the file.
    CZELString longest = Str(std::wstring(85, L'\u20AC'));
    {
        auto store = Open();
        int i = 77;
        store->SetInt(GUID_GUI, longest, &i);
    }
    Bytes file = FileBytes();
    ASSERT_GT(file.size(), 39u + 4 + 1);
    EXPECT_EQ(file[39 + 4], 0xFF);  // the key's length byte
    auto store = Open();
    int out = 0;
    EXPECT_EQ(store->GetInt(GUID_GUI, longest, &out), 1);
    EXPECT_EQ(out, 77);
}

// Another module calls the store by slot number, so each operation must sit in its slot.
TEST(SettingsStoreSlotsTest, OperationsSitInTheirSlotsInOrder)
{
    EXPECT_EQ(SlotOf(&CSettingsStore::GetValueSize), 0);
    EXPECT_EQ(SlotOf(&CSettingsStore::GetBlob), 1);
    EXPECT_EQ(SlotOf(&CSettingsStore::GetString), 2);
    EXPECT_EQ(SlotOf(&CSettingsStore::GetInt), 3);
    EXPECT_EQ(SlotOf(&CSettingsStore::GetShort), 4);
    EXPECT_EQ(SlotOf(&CSettingsStore::GetByte), 5);
    EXPECT_EQ(SlotOf(&CSettingsStore::SetBlob), 6);
    EXPECT_EQ(SlotOf(&CSettingsStore::SetString), 7);
    EXPECT_EQ(SlotOf(&CSettingsStore::SetInt), 8);
    EXPECT_EQ(SlotOf(&CSettingsStore::SetShort), 9);
    EXPECT_EQ(SlotOf(&CSettingsStore::SetByte), 10);
}

TEST_F(SettingsStoreTest, ThreadsShareTheStoreSafely)
{
    auto store = Open();
    const int kThreads = 4, kRounds = 300;
    std::atomic<int> mismatches(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&store, &mismatches, t] {
            CZELString own = CZELString(L"thread") + Str(std::to_wstring(t));
            for (int round = 0; round < kRounds; ++round) {
                int value = t * 100000 + round;
                store->SetInt(GUID_GUI, own, &value);
                store->SetString(GUID_CONTACT_LIST_DATA, CZELString(L"shared"), Str(std::to_wstring(value)));
                CZELString key = CZELString(L"k") + Str(std::to_wstring(t * kRounds + round));
                store->SetInt(GUID_PROTOCOLS_MANAGER, key, &value);
                int out = -1;
                if (store->GetInt(GUID_GUI, own, &out) != 1 || out != value) ++mismatches;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
    for (int k = 0; k < kThreads * kRounds; ++k) {
        int out = -1;
        ASSERT_EQ(store->GetInt(GUID_PROTOCOLS_MANAGER, CZELString(L"k") + Str(std::to_wstring(k)), &out), 1);
        EXPECT_EQ(out, (k / kRounds) * 100000 + k % kRounds);
    }
}

TEST(SettingsStoreBusTest, RegistersWhileItLives)
{
    Services::CServicesManager bus;
    TestSupport::TempFolder folder(L"zel-settings-bus-");
    std::wstring file = folder.path + L"settings.zel";
    {
        CSettingsStore store(&bus, Str(file));
        EXPECT_EQ(bus.GetService(GUID_SETTINGS_STORE), static_cast<void*>(&store));
    }
    EXPECT_FALSE(bus.HasService(GUID_SETTINGS_STORE));
    EXPECT_FALSE(FileExists(file));
}

// ---- the file --------------------------------------------------------------------------------

TEST_F(SettingsStoreTest, WritesASmallFileToGoldenBytes)
{
    {
        auto store = Open();
        char five = 5;
        store->SetByte(GUID_GUI, CZELString(L"a"), &five);
    }
    const Bytes expected = {
        0x26, '{', '5', 'C', 'A', '0', 'C', 'B', 'C', '1', '-', '9', '9', '9', 'A', '-', '4', 'E', 'A', '2',
        '-',  '8', 'B', '4', '4', '-', 'F', '8', 'F', '6', '7', 'D', '7', 'F', '8', 'E', 'B', 'E', '}',
        0x07, 0x00, 0x00, 0x00,                   // the section's data: one value record
        0x01, 'a', 0x01, 0x00, 0x00, 0x00, 0x05,  // "a" = 05
    };
    EXPECT_EQ(FileBytes(), expected);
    EXPECT_FALSE(FileExists(temp_));
}

TEST_F(SettingsStoreTest, WritesSectionsAndKeysInOrderToGoldenBytes)
{
    {
        auto store = Open();
        FillGolden(*store);
    }
    EXPECT_EQ(FileBytes(), GoldenFile());
}

TEST_F(SettingsStoreTest, ValuesSurviveADestroyAndRecreate)
{
    {
        auto store = Open();
        FillGolden(*store);
        const unsigned char withZeros[] = {0, 0, 0xFF, 0};
        int n = sizeof withZeros;
        store->SetBlob(GUID_CONNECTION_MANAGER, CZELString(L"Proxy"), withZeros, &n);
        store->SetString(GUID_CONNECTION_MANAGER, CZELString(L"\u0418\u043C\u044F"), CZELString(L"\u0417\u043D\u0430\u0447"));
    }
    {
        auto store = Open();
        CZELString text;
        EXPECT_EQ(store->GetString(ZEL_GUID_NULL, CZELString(L"version"), text), 1);
        EXPECT_EQ(Text(text), L"\u0416");
        EXPECT_EQ(store->GetString(GUID_CONNECTION_MANAGER, CZELString(L"\u0438\u043C\u044F"), text), 1);
        EXPECT_EQ(Text(text), L"\u0417\u043D\u0430\u0447");
        int i = 0;
        EXPECT_EQ(store->GetInt(GUID_GUI, CZELString(L"Zeta"), &i), 1);
        EXPECT_EQ(i, 0x01020304);
        short s = 0;
        EXPECT_EQ(store->GetShort(GUID_GUI, CZELString(L"MWShowHist"), &s), 1);
        EXPECT_EQ(s, 0x0102);
        char b = 0;
        EXPECT_EQ(store->GetByte(GUID_GUI, CZELString(L"alpha"), &b), 1);
        EXPECT_EQ(b, 7);
        unsigned char blob[4];
        unsigned length = sizeof blob;
        EXPECT_EQ(store->GetBlob(GUID_CONNECTION_MANAGER, CZELString(L"Proxy"), blob, &length), 1);
        EXPECT_EQ(Bytes(blob, blob + length), (Bytes{0, 0, 0xFF, 0}));

        int changed = -5;
        store->SetInt(GUID_GUI, CZELString(L"Zeta"), &changed);
    }
    auto store = Open();
    int i = 0;
    EXPECT_EQ(store->GetInt(GUID_GUI, CZELString(L"Zeta"), &i), 1);
    EXPECT_EQ(i, -5);
}

TEST_F(SettingsStoreTest, AStoreWithNothingSetAndNoFileWritesNoFile)
{
    Open().reset();
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(temp_));

    // An empty file holds no section either: it is left as it is.
    WriteAll(path, {});
    Open().reset();
    EXPECT_EQ(FileBytes(), Bytes());
}

TEST_F(SettingsStoreTest, ALoadedFileIsWrittenBackUnchanged)
{
    WriteAll(path, GoldenFile());
    Open().reset();
    EXPECT_EQ(FileBytes(), GoldenFile());
}

TEST_F(SettingsStoreTest, AFileCutAtEveryOffsetLoadsExactlyTheWholeSections)
{
    const Bytes sample = GoldenFile();
    const std::vector<size_t> ends = SectionEnds(sample);
    ASSERT_EQ(ends.size(), 3u);
    ASSERT_EQ(ends.back(), sample.size());
    // One value of each section, in file order.
    struct Probe {
        ZEL_GUID section;
        const wchar_t* key;
    } probes[] = {{ZEL_GUID_NULL, L"Version"}, {GUID_GUI, L"alpha"}, {GUID_CONTACT_LIST_DATA, L"CL data"}};
    const wchar_t* guiKeys[] = {L"alpha", L"MWShowHist", L"Zeta"};

    for (size_t cut = 0; cut <= sample.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        WriteAll(path, sample, cut);
        size_t whole = 0;
        while (whole < ends.size() && ends[whole] <= cut) ++whole;
        {
            auto store = Open();
            for (size_t i = 0; i < ends.size(); ++i) {
                EXPECT_EQ(store->GetValueSize(probes[i].section, CZELString(probes[i].key), nullptr), i < whole ? 1 : 0)
                    << "section " << i;
            }
            for (const wchar_t* key : guiKeys)
                EXPECT_EQ(store->GetValueSize(GUID_GUI, CZELString(key), nullptr), whole >= 2 ? 1 : 0);
        }
        // The save writes back exactly the whole sections; with none, the file is left alone.
        Bytes expected = whole ? Bytes(sample.begin(), sample.begin() + ends[whole - 1]) : Bytes(sample.begin(), sample.begin() + cut);
        EXPECT_EQ(FileBytes(), expected);
        if (HasFailure()) break;
    }
}

TEST_F(SettingsStoreTest, HostileSectionLengthsNeitherAllocateNorCrash)
{
    const Bytes first = Form(Ascii(kGuiText), Form(Ascii("a"), {1}));
    const unsigned lengths[] = {0xFFFFFFFFu, 0xFFFFFFD6u, 0x80000000u, 11u /* one more than the file holds */};
    for (unsigned length : lengths) {
        SCOPED_TRACE("data length " + std::to_string(length));
        Bytes file = Concat({first, {0x26}, Ascii(kContactsText), LE32(length), Bytes(10, 0x01)});
        WriteAll(path, file);
        unsigned long long peak = PeakMemory();
        {
            auto store = Open();
            EXPECT_EQ(store->GetValueSize(GUID_GUI, CZELString(L"a"), nullptr), 1);
        }
        // The file is about a hundred bytes: loading it must not ask for more than a little.
        EXPECT_LT(PeakMemory() - peak, 16ull << 20);
        EXPECT_EQ(FileBytes(), first);
    }
}

TEST_F(SettingsStoreTest, AMalformedValueClearsOnlyItsSection)
{
    const Bytes nullSection = Form(Ascii(kNullText), Form(Ascii("n"), {1}));
    const Bytes contactsSection = Form(Ascii(kContactsText), Form(Ascii("c"), {3}));
    const Bytes damaged[] = {
        // A good value, then one whose length runs one byte past the section's data.
        Concat({Form(Ascii("good"), {2}), {0x01, 'x', 0x02, 0x00, 0x00, 0x00, 0x09}}),
        // A hostile length inside the section.
        Concat({{0x01, 'x', 0xFF, 0xFF, 0xFF, 0xFF}, Bytes(8, 0)}),
    };
    for (const Bytes& values : damaged) {
        SCOPED_TRACE(values.size());
        WriteAll(path, Concat({nullSection, Form(Ascii(kGuiText), values), contactsSection}));
        {
            auto store = Open();
            EXPECT_EQ(store->GetValueSize(ZEL_GUID_NULL, CZELString(L"n"), nullptr), 1);
            EXPECT_EQ(store->GetValueSize(GUID_GUI, CZELString(L"good"), nullptr), 0);
            EXPECT_EQ(store->GetValueSize(GUID_CONTACT_LIST_DATA, CZELString(L"c"), nullptr), 1);
        }
        // The section stays, empty.
        EXPECT_EQ(FileBytes(), Concat({nullSection, Form(Ascii(kGuiText), {}), contactsSection}));
    }
}

TEST_F(SettingsStoreTest, ARepeatedSectionKeepsFirstValuesAndAddsNewOnes)
{
    WriteAll(path, Concat({Form(Ascii(kGuiText), Form(Ascii("a"), {1})),
                           Form(Ascii("{5ca0cbc1-999a-4ea2-8b44-f8f67d7f8ebe}"),
                                Concat({Form(Ascii("A"), {2}), Form(Ascii("b"), {3})}))}));
    {
        auto store = Open();
        char out = 0;
        EXPECT_EQ(store->GetByte(GUID_GUI, CZELString(L"a"), &out), 1);
        EXPECT_EQ(out, 1);
        EXPECT_EQ(store->GetByte(GUID_GUI, CZELString(L"b"), &out), 1);
        EXPECT_EQ(out, 3);
    }
    EXPECT_EQ(FileBytes(), Form(Ascii(kGuiText), Concat({Form(Ascii("a"), {1}), Form(Ascii("b"), {3})})));
}

TEST_F(SettingsStoreTest, SectionsNamedByNoGuidAreKeptAndWrittenBack)
{
    const Bytes junk = Form(Ascii("Junk"), Form(Ascii("k"), {9}));
    WriteAll(path, junk);
    {
        auto store = Open();
        char one = 1;
        store->SetByte(GUID_GUI, CZELString(L"a"), &one);
    }
    // Folded to lower case, 'j' sorts before '{'.
    EXPECT_EQ(FileBytes(), Concat({junk, Form(Ascii(kGuiText), Form(Ascii("a"), {1}))}));
}

// ---- failed saves ----------------------------------------------------------------------------

TEST_F(SettingsStoreTest, AnUncreatableTemporaryFileLeavesTheOldFileAlone)
{
    WriteAll(path, GoldenFile());
    ASSERT_TRUE(CreateDirectoryW(temp_.c_str(), nullptr));
    {
        auto store = Open();
        int changed = 99;
        store->SetInt(GUID_GUI, CZELString(L"Zeta"), &changed);
    }
    EXPECT_EQ(FileBytes(), GoldenFile());
    EXPECT_TRUE(IsDirectory(temp_));
}

TEST_F(SettingsStoreTest, ADirectoryInPlaceOfTheFileFailsTheSaveAndLeavesNoTemporaryFile)
{
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    {
        auto store = Open();
        EXPECT_NE(0u, store->FileError());
        char one = 1;
        store->SetByte(GUID_GUI, CZELString(L"a"), &one);
    }
    EXPECT_TRUE(IsDirectory(path));
    EXPECT_FALSE(FileExists(temp_));
}

// ---- a file that cannot be read, or must not change ---------------------------------------------

// Holds a file open without sharing, as another program might, until it lets go.
class FileHolder {
public:
    explicit FileHolder(const std::wstring& path)
        : handle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~FileHolder()
    {
        if (letter.joinable()) letter.join();
        LetGo();
    }

    bool Holds() const { return handle != INVALID_HANDLE_VALUE; }
    void LetGo()
    {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    void LetGoAfter(DWORD milliseconds)
    {
        letter = std::thread([this, milliseconds] {
            Sleep(milliseconds);
            LetGo();
        });
    }

private:
    HANDLE handle;
    std::thread letter;
};

TEST_F(SettingsStoreTest, AFileHeldBrieflyIsReadOnceItIsLetGo)
{
    WriteAll(path, GoldenFile());
    {
        FileHolder holder(path);
        ASSERT_TRUE(holder.Holds());
        holder.LetGoAfter(300);
        auto store = Open();
        EXPECT_EQ(0u, store->FileError());
        int zeta = 0;
        EXPECT_EQ(store->GetInt(GUID_GUI, CZELString(L"Zeta"), &zeta), 1);
        EXPECT_EQ(zeta, 0x01020304);
        int changed = 7;
        store->SetInt(GUID_GUI, CZELString(L"Zeta"), &changed);
    }
    // It was saved as usual.
    auto store = Open();
    int zeta = 0;
    EXPECT_EQ(store->GetInt(GUID_GUI, CZELString(L"Zeta"), &zeta), 1);
    EXPECT_EQ(zeta, 7);
}

TEST_F(SettingsStoreTest, AFileThatCouldNotBeReadIsNeverReplaced)
{
    // Held through the start; let go before the end (then it could be written), or held to the end.
    for (bool heldToTheEnd : {false, true}) {
        SCOPED_TRACE(heldToTheEnd ? "held to the end" : "let go before the end");
        WriteAll(path, GoldenFile());
        {
            FileHolder holder(path);
            ASSERT_TRUE(holder.Holds());
            auto store = Open();
            EXPECT_EQ(unsigned(ERROR_SHARING_VIOLATION), store->FileError());
            EXPECT_EQ(store->GetValueSize(GUID_GUI, CZELString(L"Zeta"), nullptr), 0);  // nothing was read
            char one = 1;
            store->SetByte(GUID_GUI, CZELString(L"a"), &one);
            if (!heldToTheEnd) holder.LetGo();
        }
        EXPECT_EQ(FileBytes(), GoldenFile());
        EXPECT_FALSE(FileExists(temp_));
    }
}

TEST_F(SettingsStoreTest, AReadOnlyFileIsReadButNeverChanged)
{
    struct Case {
        const char* name;
        bool readOnlyAtStart;  // else made so while the store runs
    } cases[] = {{"read-only from the start", true}, {"made read-only while running", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(path, GoldenFile());
        if (c.readOnlyAtStart) {
            ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        {
            auto store = Open();
            EXPECT_EQ(c.readOnlyAtStart ? unsigned(ERROR_FILE_READ_ONLY) : 0u, store->FileError());
            int zeta = 0;
            EXPECT_EQ(store->GetInt(GUID_GUI, CZELString(L"Zeta"), &zeta), 1);
            EXPECT_EQ(zeta, 0x01020304);
            int changed = 99;
            store->SetInt(GUID_GUI, CZELString(L"Zeta"), &changed);
            if (!c.readOnlyAtStart) {
                ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
            }
        }
        DWORD attributes = GetFileAttributesW(path.c_str());
        EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
        EXPECT_EQ(FileBytes(), GoldenFile());
        EXPECT_FALSE(FileExists(temp_));
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    }
}

TEST_F(SettingsStoreTest, AStaleTemporaryFileIsReplacedAndRemoved)
{
    WriteAll(temp_, Bytes(100, 0xEE));
    {
        auto store = Open();
        FillGolden(*store);
    }
    EXPECT_EQ(FileBytes(), GoldenFile());
    EXPECT_FALSE(FileExists(temp_));
}

TEST(SettingsStoreDefaultPathTest, UsesSettingsZelInTheApplicationFolder)
{
    std::wstring file = Text(CZELPath::AppDir()) + L"settings.zel";
    if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "a settings file is already there";
    {
        CSettingsStore store(nullptr);
        char one = 1;
        store.SetByte(GUID_GUI, CZELString(L"a"), &one);
    }
    Bytes bytes;
    EXPECT_TRUE(TestSupport::ReadWholeFile(file, bytes));
    EXPECT_EQ(bytes, Form(Ascii(kGuiText), Form(Ascii("a"), {1})));
    DeleteFileW(file.c_str());
}
