// An account's settings as the protocols manager stores them for an XMPP account of each kind: the
// kind's defaults while nothing is stored, what is stored (an empty text too) once it is, the
// password scrambled, and defaults alone without the manager.
#include "Jabber/tests/JabberTestHost.h"

#include "Jabber/account/AccountSettings.h"

#include <gtest/gtest.h>

namespace {

using JabberTest::Host;
using PluginTree::Wide;

struct Defaults {
    const char* name;
    const ZEL_GUID* protocol;
    int kind;
    int port;
    bool ssl;
    bool manual;
};

const Defaults kKinds[] = {
    {"own server", &GUID_XMPP_ZEL_PROTOCOL, KindOwnServer, 5222, false, true},
    {"plain XMPP", &GUID_XMPP_PROTOCOL, KindPlainXmpp, 5222, false, false},
    {"Yandex Online", &GUID_XMPP_YANDEX_PROTOCOL, KindYandex, 5222, false, true},
    {"Google Talk", &GUID_XMPP_GTALK_PROTOCOL, KindGoogleTalk, 5223, true, true},
    {"Live Journal", &GUID_XMPP_LJ_PROTOCOL, KindLiveJournal, 5222, false, false},
};

void ExpectDefaults(const AccountSettings& settings, const Defaults& d)
{
    EXPECT_EQ(settings.GetPort(), d.port);
    EXPECT_EQ(settings.GetManualPort(), d.port);
    EXPECT_EQ(settings.GetUseSsl(), d.ssl);
    EXPECT_EQ(settings.GetManualConnection(), d.manual);
    // The preset services' domains and hosts are not filled in.
    EXPECT_TRUE(settings.GetServer().IsEmpty());
    EXPECT_TRUE(settings.GetManualServer().IsEmpty());
    EXPECT_TRUE(settings.GetAccountName().IsEmpty());
    EXPECT_TRUE(settings.GetPassword().IsEmpty());
    EXPECT_EQ(Wide(settings.GetResource()), L"ZEL PDA");
    EXPECT_EQ(settings.GetPriority(), 0);
    EXPECT_FALSE(settings.GetCompression());
    EXPECT_TRUE(settings.GetKeepAlive());
    EXPECT_TRUE(settings.GetEmailNotify());
    EXPECT_FALSE(settings.GetHideEmailButton());
}

TEST(AccountSettings, EachKindHasItsDefaults)
{
    Services::CServicesManager bus;
    Host host(bus);
    for (const Defaults& d : kKinds) {
        SCOPED_TRACE(d.name);
        unsigned id = host.CreateAccount(*d.protocol);
        ASSERT_NE(id, 0u);
        ExpectDefaults(AccountSettings(&bus, id, d.kind), d);
    }
}

TEST(AccountSettings, StoredValuesWinEvenWhenEmpty)
{
    Services::CServicesManager bus;
    Host host(bus);
    unsigned id = host.CreateAccount(GUID_XMPP_GTALK_PROTOCOL);
    ASSERT_NE(id, 0u);
    AccountSettings settings(&bus, id, KindGoogleTalk);
    settings.SetResource(CZELString());
    settings.SetUseSsl(false);
    settings.SetManualPort(15222);
    settings.SetPort(5300);
    settings.SetManualServer(L"127.0.0.1");
    settings.SetServer(L"example.net");
    settings.SetAccountName(L"\x0430\x043b\x0438\x0441\x0430");
    settings.SetCompression(true);
    settings.SetManualConnection(false);
    settings.SetEmailNotify(false);
    EXPECT_TRUE(settings.GetResource().IsEmpty());
    EXPECT_FALSE(settings.GetUseSsl());
    EXPECT_EQ(settings.GetManualPort(), 15222);
    EXPECT_EQ(settings.GetPort(), 5300);
    EXPECT_EQ(Wide(settings.GetManualServer()), L"127.0.0.1");
    EXPECT_TRUE(settings.GetCompression());
    EXPECT_FALSE(settings.GetManualConnection());
    EXPECT_FALSE(settings.GetEmailNotify());
    EXPECT_EQ(Wide(settings.OwnJid()), L"\x0430\x043b\x0438\x0441\x0430@example.net");
    // One-byte values are read unsigned; a priority above 127 stays as it is stored.
    host.SetByte(id, L"Account priority", 200);
    EXPECT_EQ(settings.GetPriority(), 200);
    // Another account of the same kind keeps its defaults.
    unsigned other = host.CreateAccount(GUID_XMPP_GTALK_PROTOCOL);
    ExpectDefaults(AccountSettings(&bus, other, KindGoogleTalk), kKinds[3]);
}

TEST(AccountSettings, ThePasswordIsStoredScrambled)
{
    Services::CServicesManager bus;
    Host host(bus);
    unsigned id = host.CreateAccount(GUID_XMPP_PROTOCOL);
    AccountSettings settings(&bus, id, KindPlainXmpp);
    settings.SetPassword(L"s3cret \x00e9");
    EXPECT_EQ(Wide(settings.GetPassword()), L"s3cret \x00e9");
    // The stored bytes are not the text's UTF-8.
    char stored[64] = {};
    unsigned length = sizeof stored;
    ASSERT_TRUE(host.manager->GetAccountBlob(id, CZELString(L"Account password"), stored, &length));
    EXPECT_EQ(length, 9u);
    EXPECT_NE(std::string(stored, length), "s3cret \xc3\xa9");
}

// The group a user adds to an XMPP account: one group, named the same on the network and on screen.
TEST(AccountSettings, AddingAGroupNamesItTwice)
{
    Services::CServicesManager bus;
    Host host(bus);
    unsigned id = host.CreateAccount(GUID_XMPP_PROTOCOL);
    CZELArray<int> groups;
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return host.contactList->GetAccountGroups(id, groups); }, 5000));
    EXPECT_EQ(groups.GetCount(), 0);
    ASSERT_TRUE(host.manager->AddGroup(id, L"Friends & \x0434\x0440\x0443\x0437\x044c\x044f"));
    host.Settle(id);
    groups = CZELArray<int>();
    ASSERT_TRUE(host.contactList->GetAccountGroups(id, groups));
    ASSERT_EQ(groups.GetCount(), 1);
    CZELString name, alias;
    EXPECT_TRUE(host.contactList->GetPropertyString(groups[0], CZELString(L"Account name"), name));
    EXPECT_TRUE(host.contactList->GetPropertyString(groups[0], CZELString(L"CL Alias"), alias));
    EXPECT_EQ(Wide(name), L"Friends & \x0434\x0440\x0443\x0437\x044c\x044f");
    EXPECT_EQ(Wide(alias), Wide(name));
}

TEST(AccountSettings, WithoutTheManagerDefaultsAndNothingStored)
{
    Services::CServicesManager bus;
    for (const Defaults& d : kKinds) {
        SCOPED_TRACE(d.name);
        AccountSettings settings(&bus, 0x10000001, d.kind);
        settings.SetResource(L"changed");
        settings.SetUseSsl(!d.ssl);
        ExpectDefaults(settings, d);
    }
    ExpectDefaults(AccountSettings(nullptr, 0x10000001, KindPlainXmpp), kKinds[1]);
}

}  // namespace
