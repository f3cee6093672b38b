// The plug-in's frame: the three exports, the kinds they choose, the texts, and the tables every
// account shares (the skin images, the status tables, the language), in this process and through
// Jabber.dll as the protocols manager loads it.
#include "Jabber/tests/JabberTestHost.h"

#include "Jabber/account/BuiltinTexts.h"
#include "Jabber/account/JabberAccount.h"
#include "Jabber/account/PluginAccounts.h"
#include "Jabber/account/PluginShared.h"
#include "Zel/core/accounts/PluginExports.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using JabberTest::Host;
using PluginTree::Wide;

std::wstring Text(int number)
{
    CZELString text;
    EXPECT_TRUE(GetBuiltinText(number, text)) << number;
    return Wide(text);
}

TEST(PluginExports, ProtocolChoosesTheKind)
{
    const ZEL_GUID zero = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    struct Case {
        const char* name;
        const ZEL_GUID* protocol;
        int kind;
        const wchar_t* listener;
        int firstImage;
    } cases[] = {
        {"own server", &GUID_XMPP_ZEL_PROTOCOL, KindOwnServer, L"ZEL", 19},
        {"plain XMPP", &GUID_XMPP_PROTOCOL, KindPlainXmpp, L"Jabber", 0},
        {"Yandex Online", &GUID_XMPP_YANDEX_PROTOCOL, KindYandex, L"Yandex Online", 24},
        {"Google Talk", &GUID_XMPP_GTALK_PROTOCOL, KindGoogleTalk, L"Google Talk", 29},
        {"Live Journal", &GUID_XMPP_LJ_PROTOCOL, KindLiveJournal, L"Live Journal", 34},
        {"all zero", &zero, KindPlainXmpp, L"Jabber", 0},
        {"another network's", &GUID_WEX_PROTOCOL, KindPlainXmpp, L"Jabber", 0},
    };
    Services::CServicesManager bus;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unsigned handle = CreateAccountFunc(*c.protocol, &bus, 0x10000001, 0);
        ASSERT_NE(handle, 0u);
        bool found = PluginAccounts().With(handle, [&](JabberAccount* account) {
            EXPECT_EQ(account->Kind(), c.kind);
            EXPECT_EQ(Wide(account->GetListenerName()), c.listener);
            EXPECT_EQ(account->FirstStatusImage(), c.firstImage);
            // The kind's own GUID is the class of its notices, whatever it was created with.
            EXPECT_TRUE(account->ProtocolGuid() == *KindOf(c.kind).protocol);
        });
        EXPECT_TRUE(found);
        DestroyAccountFunc(handle);
    }
    EXPECT_EQ(JabberAccount::LiveAccounts(), 0);
}

TEST(PluginExports, ProtocolInfoAppendsTheFiveKinds)
{
    CZELArray<Protocols::ProtocolInfo> protocols;
    Protocols::ProtocolInfo earlier;
    earlier.guid = GUID_WEX_PROTOCOL;
    protocols.Add(earlier);
    GetProtocolInfoFunc(nullptr, protocols);
    GetProtocolInfoFunc(nullptr, protocols);
    struct Expected {
        const ZEL_GUID* guid;
        const wchar_t* icon;
        const wchar_t* display;
    } expected[] = {
        {&GUID_XMPP_PROTOCOL, L"goxxmpp_stconnect.png", L"XMPP(Jabber)"},
        {&GUID_XMPP_ZEL_PROTOCOL, L"goxzel_stconnect.png", L"ZEL"},
        {&GUID_XMPP_YANDEX_PROTOCOL, L"goxyandex_stonline.png", L"Yandex Online"},
        {&GUID_XMPP_GTALK_PROTOCOL, L"goxgoogle_stonline.png", L"Google Talk"},
        {&GUID_XMPP_LJ_PROTOCOL, L"goxlj_stonline.png", L"Live Journal"},
    };
    ASSERT_EQ(protocols.GetCount(), 11);
    EXPECT_TRUE(protocols[0].guid == GUID_WEX_PROTOCOL);
    for (int i = 1; i < 11; ++i) {
        SCOPED_TRACE(i);
        const Expected& e = expected[(i - 1) % 5];
        EXPECT_TRUE(protocols[i].guid == *e.guid);
        EXPECT_EQ(Wide(protocols[i].iconFile), e.icon);
        EXPECT_EQ(Wide(protocols[i].name), L"Jabber");
        EXPECT_EQ(Wide(protocols[i].displayName), e.display);
        EXPECT_TRUE(protocols[i].reserved.IsEmpty());
        EXPECT_EQ(Wide(protocols[i].credits), Wide(protocols[1].credits));
        EXPECT_FALSE(protocols[i].credits.IsEmpty());
    }
}

TEST(PluginExports, UnknownHandlesAndAccountsWithoutAQueue)
{
    Services::CServicesManager bus;
    unsigned handle = CreateAccountFunc(GUID_XMPP_PROTOCOL, &bus, 0x10000001, 0);
    ASSERT_NE(handle, 0u);
    DestroyAccountFunc(handle + 1000);
    EXPECT_EQ(JabberAccount::LiveAccounts(), 1);
    DestroyAccountFunc(handle);
    DestroyAccountFunc(handle);
    EXPECT_EQ(JabberAccount::LiveAccounts(), 0);
    // No bus, no queue: refused, and nothing of the account is left behind.
    EXPECT_EQ(CreateAccountFunc(GUID_XMPP_PROTOCOL, nullptr, 0x10000002, 0), 0u);
    EXPECT_EQ(JabberAccount::LiveAccounts(), 0);
    EXPECT_EQ(PluginAccounts().Count(), 0);
}

TEST(BuiltinTexts, EveryNumberHasItsText)
{
    struct Case {
        int number;
        const wchar_t* text;
    } cases[] = {
        {0, L"@ Home"},      {3, L"Connection"},  {13, L"Offline"},        {14, L"Online"},
        {15, L"Account"},    {20, L"Server"},     {25, L"Server"},         {21, L"Port"},
        {26, L"Port"},       {30, L"Hide email button"},                   {34, L"Authorization request: "},
        {39, L"Add contact"}, {41, L"Add contact"}, {42, L"Account name"}, {52, L"Account name"},
        {51, L"About"},      {77, L"About"},      {72, L"Female"},         {78, L"Note on user"},
        {79, L"Acc.: "},     {80, L"E-mail received\r\nFrom: "},           {81, L"Subject: "},
        {83, L"Open Inbox"}, {84, L"Invalid account name or password"},    {85, L"OK"},
        {86, L"Cancel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(Text(c.number), c.text);
    }
    for (int number = 0; number < BuiltinTextCount; ++number) EXPECT_FALSE(Text(number).empty()) << number;
    for (int outside : {-1, 87, 1000}) {
        CZELString text(L"kept");
        EXPECT_FALSE(GetBuiltinText(outside, text));
        EXPECT_EQ(Wide(text), L"kept");
    }
}

// Accounts made in this process, loaded and unloaded on their own queues as the manager does.
class SharedTablesTest : public ::testing::Test {
protected:
    SharedTablesTest() : skinImages(bus, imageSet) { skinImages.SetLanguageName(L"English"); }
    ~SharedTablesTest() override
    {
        for (unsigned handle : handles) {
            Command(handle, PM_UNLOAD);
            DestroyAccountFunc(handle);
        }
    }

    unsigned Add(const ZEL_GUID& protocol)
    {
        unsigned handle = CreateAccountFunc(protocol, &bus, 0x10000001 + unsigned(handles.size()), 0);
        EXPECT_NE(handle, 0u);
        handles.push_back(handle);
        return handle;
    }
    int Command(unsigned handle, int code, CRefObject* p1 = nullptr, CRefObject* p2 = nullptr)
    {
        return bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, code, p1, p2, true);
    }
    void Load(unsigned handle)
    {
        Command(handle, PM_LOAD);
        Command(handle, PM_LANGUAGE_CHANGED, NewStringPayload(L"English"));
    }
    StatusEntry Entry(unsigned handle, int status)
    {
        StatusEntry entry;
        Command(handle, PM_GET_STATUS_INFO, NewValue(status), NewValue(intptr_t(&entry)));
        return entry;
    }
    int UseCount(const wchar_t* name)
    {
        for (int index = 0;; ++index) {
            CZELString found = imageSet.GetName(index);
            if (found.IsEmpty() && index >= CSkinImageSet::BuiltInCount) return -1;
            if (found == CZELString(name)) return imageSet.GetUseCount(index);
        }
    }

    Services::CServicesManager bus;
    CSkinImageSet imageSet;
    CSkinImages skinImages;
    std::vector<unsigned> handles;
};

TEST_F(SharedTablesTest, StatusTableOfEachKind)
{
    const unsigned own = Add(GUID_XMPP_ZEL_PROTOCOL), plain = Add(GUID_XMPP_PROTOCOL), lj = Add(GUID_XMPP_LJ_PROTOCOL);
    for (unsigned handle : handles) Load(handle);
    ASSERT_EQ(PluginShared::Instance().ImageCount(), PluginImageCount);
    auto image = [](int index) { return PluginShared::Instance().Image(index); };
    struct Case {
        unsigned handle;
        int first;
        int status;
        const wchar_t* name;
        std::vector<int> images;  // indices of PluginImages
    } cases[] = {
        {plain, 0, 0, L"Offline", {0}},
        {plain, 0, 1, L"Connection", {1}},
        {plain, 0, 2, L"Online", {2}},
        {plain, 0, 3, L"Invisible", {2, 5}},
        {plain, 0, 4, L"Invisible for all", {3, 5}},
        {plain, 0, 10, L"Lunch", {2, 11}},
        {plain, 0, 14, L"Do not disturb", {2, 15}},
        {own, 19, 0, L"Offline", {19}},
        {own, 19, 4, L"Invisible for all", {22, 5}},
        {own, 19, 8, L"@ Home", {21, 9}},
        {lj, 34, 1, L"Connection", {35}},
        {lj, 34, 13, L"Occupied", {36, 14}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " " + std::to_string(c.status));
        StatusEntry entry = Entry(c.handle, c.status);
        EXPECT_EQ(entry.status, c.status);
        EXPECT_EQ(Wide(entry.name), c.name);
        ASSERT_EQ(entry.images.GetCount(), int(c.images.size()));
        for (size_t i = 0; i < c.images.size(); ++i) EXPECT_EQ(entry.images[int(i)], image(c.images[i]));
    }
    // Every kind's table holds the fifteen statuses in order.
    for (int kind : {KindOwnServer, KindPlainXmpp, KindLiveJournal}) {
        CZELArray<StatusEntry> table = PluginShared::Instance().StatusTable(kind);
        ASSERT_EQ(table.GetCount(), 15);
        for (int status = 0; status < 15; ++status) EXPECT_EQ(table[status].status, status);
    }
    // The images are the skin's indices for the names, in table order.
    for (int i = 0; i < PluginImageCount; ++i) EXPECT_EQ(Wide(imageSet.GetName(image(i))), PluginImageNames[i]);
    EXPECT_EQ(image(PluginImageCount + 5), image(PluginImageCount - 1));
}

TEST_F(SharedTablesTest, TwoAccountsShareOneSetAndTheLastReleasesIt)
{
    const unsigned first = Add(GUID_XMPP_PROTOCOL), second = Add(GUID_XMPP_PROTOCOL);
    Load(first);
    Load(second);
    EXPECT_EQ(PluginShared::Instance().LoadedAccounts(), 2);
    EXPECT_EQ(UseCount(L"goxxmpp_stoffline.png"), 1);
    EXPECT_EQ(UseCount(L"proto_addcontact.png"), 1);

    Command(first, PM_UNLOAD);
    EXPECT_EQ(PluginShared::Instance().ImageCount(), PluginImageCount);
    EXPECT_EQ(UseCount(L"goxxmpp_stoffline.png"), 1);
    EXPECT_EQ(Wide(Entry(second, 2).name), L"Online");

    Command(second, PM_UNLOAD);
    EXPECT_EQ(PluginShared::Instance().LoadedAccounts(), 0);
    EXPECT_EQ(PluginShared::Instance().ImageCount(), 0);
    EXPECT_EQ(UseCount(L"goxxmpp_stoffline.png"), 0);
    EXPECT_EQ(PluginShared::Instance().StatusTable(KindPlainXmpp).GetCount(), 0);
    // Unloading twice counts once.
    Command(second, PM_UNLOAD);
    EXPECT_EQ(PluginShared::Instance().LoadedAccounts(), 0);

    const unsigned third = Add(GUID_XMPP_PROTOCOL);
    Load(third);
    EXPECT_EQ(UseCount(L"goxxmpp_stoffline.png"), 1);
    Command(third, PM_UNLOAD);
}

TEST_F(SharedTablesTest, WithoutTheSkinServiceImagesReadMinusOne)
{
    Services::CServicesManager bare;
    unsigned handle = CreateAccountFunc(GUID_XMPP_GTALK_PROTOCOL, &bare, 0x10000009, 0);
    ASSERT_NE(handle, 0u);
    bare.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_LOAD, nullptr, nullptr, true);
    EXPECT_EQ(PluginShared::Instance().ImageCount(), 0);
    EXPECT_EQ(PluginShared::Instance().Image(0), -1);
    EXPECT_EQ(PluginShared::Instance().Image(43), -1);
    StatusEntry entry;
    bare.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_GET_STATUS_INFO, NewValue(3), NewValue(intptr_t(&entry)),
                     true);
    EXPECT_EQ(Wide(entry.name), L"Invisible");
    ASSERT_EQ(entry.images.GetCount(), 2);
    EXPECT_EQ(entry.images[0], -1);
    EXPECT_EQ(entry.images[1], -1);
    bare.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_UNLOAD, nullptr, nullptr, true);
    DestroyAccountFunc(handle);
}

// A language change reaches every account at once, each on its own thread, while others read their
// status rows: the shared tables are rebuilt under one lock, so no reader sees half a table.
TEST_F(SharedTablesTest, LanguageChangesOnEveryAccountAtOnceNeverTearATable)
{
    for (int i = 0; i < 6; ++i) Load(Add(GUID_XMPP_PROTOCOL));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, reads{0};
    std::vector<std::thread> readers;
    for (unsigned handle : handles) {
        readers.emplace_back([&, handle] {
            while (!stop) {
                for (int status = 0; status < 15; ++status) {
                    StatusEntry entry = Entry(handle, status);
                    const int expectedImages = status <= 2 ? 1 : 2;
                    if (entry.status != status || entry.name.IsEmpty() || entry.images.GetCount() != expectedImages)
                        ++torn;
                    ++reads;
                }
            }
        });
    }
    for (int round = 0; round < 200; ++round)
        for (unsigned handle : handles)
            bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_LANGUAGE_CHANGED, NewStringPayload(L"English"),
                            nullptr, false);
    for (unsigned handle : handles) Command(handle, PM_GET_STATUS);
    stop = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0);
    for (unsigned handle : handles) Command(handle, PM_UNLOAD);
}

// Through Jabber.dll as the protocols manager finds, loads and drives it.
TEST(JabberPlugin, TheManagerLoadsItAndCreatesEveryKind)
{
    Services::CServicesManager bus;
    Host host(bus);
    // The program folder holds the other plug-ins too: the five kinds are this one's.
    std::vector<std::wstring> kinds;
    for (int i = 0; i < host.manager->GetProtocolCount(); ++i) {
        ProtocolDescription protocol = host.manager->GetProtocol(i);
        for (const ZEL_GUID* own : {&GUID_XMPP_ZEL_PROTOCOL, &GUID_XMPP_PROTOCOL, &GUID_XMPP_YANDEX_PROTOCOL,
                                    &GUID_XMPP_GTALK_PROTOCOL, &GUID_XMPP_LJ_PROTOCOL})
            if (protocol.guid == *own) kinds.push_back(Wide(protocol.displayName));
    }
    ASSERT_EQ(kinds.size(), 5u);
    // The own server's kind comes first of them in the manager's order.
    EXPECT_EQ(kinds[0], L"ZEL");
    for (const ZEL_GUID* protocol : {&GUID_XMPP_ZEL_PROTOCOL, &GUID_XMPP_PROTOCOL, &GUID_XMPP_YANDEX_PROTOCOL,
                                     &GUID_XMPP_GTALK_PROTOCOL, &GUID_XMPP_LJ_PROTOCOL}) {
        unsigned id = host.CreateAccount(*protocol);
        ASSERT_NE(id, 0u) << PluginTree::GuidText(*protocol);
        host.SetString(id, L"Account name", L"alice");
        host.SetString(id, L"Account server", L"example.net");
        CZELString name;
        EXPECT_EQ(Wide(host.manager->GetAccountName(name, id, false)), L"alice@example.net");
        StatusEntry entry;
        host.manager->GetStatusInfo(id, 13, &entry);
        EXPECT_EQ(Wide(entry.name), L"Occupied");
        EXPECT_EQ(host.AskStatus(id), 0);
    }
    EXPECT_TRUE(PluginTree::IsLoaded(L"Jabber.dll"));
}

}  // namespace
