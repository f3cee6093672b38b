// The manager's interface is called by plug-ins built on their own, by slot: each operation must sit
// in its fixed place.
#include "Zel/core/accounts/IProtocolsManager.h"

#include "ZELCommon/tests/SlotOf.h"

#include <gtest/gtest.h>

using TestSupport::SlotOf;

TEST(ProtocolsManagerInterface, EveryOperationSitsInItsSlot)
{
    struct Case {
        const char* name;
        int slot;
        int expected;
    } cases[] = {
        {"ScanProtocolPlugins", SlotOf(&IProtocolsManager::ScanProtocolPlugins), 0},
        {"GetProtocolCount", SlotOf(&IProtocolsManager::GetProtocolCount), 1},
        {"FindProtocol", SlotOf(&IProtocolsManager::FindProtocol), 2},
        {"GetProtocol", SlotOf(&IProtocolsManager::GetProtocol), 3},
        {"CreateAccount", SlotOf(&IProtocolsManager::CreateAccount), 4},
        {"RemoveAccount", SlotOf(&IProtocolsManager::RemoveAccount), 5},
        {"GetAccountCount", SlotOf(&IProtocolsManager::GetAccountCount), 6},
        {"MoveAccount", SlotOf(&IProtocolsManager::MoveAccount), 7},
        {"GetAccountId", SlotOf(&IProtocolsManager::GetAccountId), 8},
        {"GetAccountName", SlotOf(&IProtocolsManager::GetAccountName), 9},
        {"GetAccountProtocol", SlotOf(&IProtocolsManager::GetAccountProtocol), 10},
        {"GetAccountValueSize", SlotOf(&IProtocolsManager::GetAccountValueSize), 11},
        {"GetAccountBlob", SlotOf(&IProtocolsManager::GetAccountBlob), 12},
        {"GetAccountString", SlotOf(&IProtocolsManager::GetAccountString), 13},
        {"GetAccountInt", SlotOf(&IProtocolsManager::GetAccountInt), 14},
        {"GetAccountShort", SlotOf(&IProtocolsManager::GetAccountShort), 15},
        {"GetAccountByte", SlotOf(&IProtocolsManager::GetAccountByte), 16},
        {"GetAccountBool", SlotOf(&IProtocolsManager::GetAccountBool), 17},
        {"SetAccountBlob", SlotOf(&IProtocolsManager::SetAccountBlob), 18},
        {"SetAccountString", SlotOf(&IProtocolsManager::SetAccountString), 19},
        {"SetAccountInt", SlotOf(&IProtocolsManager::SetAccountInt), 20},
        {"SetAccountShort", SlotOf(&IProtocolsManager::SetAccountShort), 21},
        {"SetAccountByte", SlotOf(&IProtocolsManager::SetAccountByte), 22},
        {"SetAccountBool", SlotOf(&IProtocolsManager::SetAccountBool), 23},
        {"Reserved57", SlotOf(&IProtocolsManager::Reserved57), 24},
        {"GetContactIcons", SlotOf(&IProtocolsManager::GetContactIcons), 25},
        {"FillAccountMenu", SlotOf(&IProtocolsManager::FillAccountMenu), 26},
        {"FillGroupMenu", SlotOf(&IProtocolsManager::FillGroupMenu), 27},
        {"FillContactMenu", SlotOf(&IProtocolsManager::FillContactMenu), 28},
        {"FillChatMenu", SlotOf(&IProtocolsManager::FillChatMenu), 29},
        {"FillMainMenu", SlotOf(&IProtocolsManager::FillMainMenu), 30},
        {"AddGroup", SlotOf(&IProtocolsManager::AddGroup), 31},
        {"RenameGroup", SlotOf(&IProtocolsManager::RenameGroup), 32},
        {"DeleteGroup", SlotOf(&IProtocolsManager::DeleteGroup), 33},
        {"RenameContact", SlotOf(&IProtocolsManager::RenameContact), 34},
        {"MoveContact", SlotOf(&IProtocolsManager::MoveContact), 35},
        {"DeleteContact", SlotOf(&IProtocolsManager::DeleteContact), 36},
        {"ContactAdded", SlotOf(&IProtocolsManager::ContactAdded), 37},
        {"RequestAuthorization", SlotOf(&IProtocolsManager::RequestAuthorization), 38},
        {"SendInstantMessage", SlotOf(&IProtocolsManager::SendInstantMessage), 39},
        {"SetTyping", SlotOf(&IProtocolsManager::SetTyping), 40},
        {"GetOwnDetailsPages", SlotOf(&IProtocolsManager::GetOwnDetailsPages), 41},
        {"GetContactDetailsPages", SlotOf(&IProtocolsManager::GetContactDetailsPages), 42},
        {"StartSearch", SlotOf(&IProtocolsManager::StartSearch), 43},
        {"GetSearchPages", SlotOf(&IProtocolsManager::GetSearchPages), 44},
        {"FillSearchResultMenu", SlotOf(&IProtocolsManager::FillSearchResultMenu), 45},
        {"SetStatus", SlotOf(&IProtocolsManager::SetStatus), 46},
        {"GetStatus", SlotOf(&IProtocolsManager::GetStatus), 47},
        {"GetStatusInfo", SlotOf(&IProtocolsManager::GetStatusInfo), 48},
        {"GetLogonDate", SlotOf(&IProtocolsManager::GetLogonDate), 49},
        {"GetStatusMenu", SlotOf(&IProtocolsManager::GetStatusMenu), 50},
        {"GetSettingsPages", SlotOf(&IProtocolsManager::GetSettingsPages), 51},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.slot, c.expected);
    }
}
