// A search result's menu, as the search dialog asks for it: by the row's contact id. A contact not
// yet in the list gets "Add to contact list" while online; one in a group, or any offline, nothing.
#include "Dax/tests/DaxHost.h"

#include "Dax/proto/MrimCommands.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/plugin/PopupMenu.h"

using namespace MrimTest;

TEST_F(DaxHostTest, SearchResultMenuOffersToAddOnlyWhatIsNotInTheList)
{
    unsigned id = CreateAccount();
    server->afterLogin = {Packet(Mrim::CmdContactList, 0,
                                 ContactListBody({L"Work"}, {{"bob@example.org", L"Bob", 0, 1, 0x08, 1}}))};
    ASSERT_TRUE(GoOnline(id));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return Items(id).size() == 2; }));
    const int bob = ContactByEmail(id, L"bob@example.org");
    server->SendPacket(Mrim::CmdAnketaInfo, 0x70000005,
                       Wire().U32(1).U32(3).U32(5).U32(0).Lps("Username").Lps("Domain").Lps("Nickname")
                           .Lps("eve").Lps("example.org").Lps16(L"Eve"));
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return recorder->Events(PMEV_SEARCH_RESULT).size() >= 2;
    }));
    const int eve = contactList->FindOrAddContact(id, CZELString(L"eve@example.org"));
    ASSERT_EQ(1, contactList->IsTempContact(eve));

    auto fill = [&](int contact) {
        CPopupMenu menu;
        manager->FillSearchResultMenu(id, reinterpret_cast<void*>(intptr_t(contact)), &menu);
        return menu;
    };
    CPopupMenu offered = fill(eve);
    ASSERT_EQ(1, offered.GetCount());
    EXPECT_EQ(L"Add to contact list", Text(offered.items[0].text));
    EXPECT_NE(nullptr, offered.items[0].callback);
    EXPECT_EQ(eve, int(uint64_t(offered.items[0].argument) >> 32));
    EXPECT_EQ(0, fill(bob).GetCount());
    EXPECT_EQ(0, fill(0).GetCount());

    manager->SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    EXPECT_EQ(0, fill(eve).GetCount());
}
