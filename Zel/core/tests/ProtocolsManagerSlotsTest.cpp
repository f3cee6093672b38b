// The manager's interface is called by plug-ins built on their own, by slot: each operation must sit
// in its fixed place.
#include "Zel/core/accounts/IProtocolsManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

// The virtual-table slot a pointer to a virtual member designates (the platform's C++ ABI stores
// one plus the byte offset into the table).
template <typename Member> int Slot(Member member)
{
    struct {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    } raw;
    static_assert(sizeof(member) == sizeof(raw), "a pointer to member is a pointer and an adjustment");
    memcpy(&raw, &member, sizeof raw);
    if ((raw.pointer & 1) == 0) return -1;  // not a virtual slot
    return int((raw.pointer - 1) / sizeof(void*));
}

}  // namespace

TEST(ProtocolsManagerInterface, EveryOperationSitsInItsSlot)
{
    struct Case {
        const char* name;
        int slot;
        int expected;
    } cases[] = {
        {"ScanProtocolPlugins", Slot(&IProtocolsManager::ScanProtocolPlugins), 0},
        {"GetProtocolCount", Slot(&IProtocolsManager::GetProtocolCount), 1},
        {"FindProtocol", Slot(&IProtocolsManager::FindProtocol), 2},
        {"GetProtocol", Slot(&IProtocolsManager::GetProtocol), 3},
        {"CreateAccount", Slot(&IProtocolsManager::CreateAccount), 4},
        {"RemoveAccount", Slot(&IProtocolsManager::RemoveAccount), 5},
        {"GetAccountCount", Slot(&IProtocolsManager::GetAccountCount), 6},
        {"MoveAccount", Slot(&IProtocolsManager::MoveAccount), 7},
        {"GetAccountId", Slot(&IProtocolsManager::GetAccountId), 8},
        {"GetAccountName", Slot(&IProtocolsManager::GetAccountName), 9},
        {"GetAccountProtocol", Slot(&IProtocolsManager::GetAccountProtocol), 10},
        {"GetAccountValueSize", Slot(&IProtocolsManager::GetAccountValueSize), 11},
        {"GetAccountBlob", Slot(&IProtocolsManager::GetAccountBlob), 12},
        {"GetAccountString", Slot(&IProtocolsManager::GetAccountString), 13},
        {"GetAccountInt", Slot(&IProtocolsManager::GetAccountInt), 14},
        {"GetAccountShort", Slot(&IProtocolsManager::GetAccountShort), 15},
        {"GetAccountByte", Slot(&IProtocolsManager::GetAccountByte), 16},
        {"GetAccountBool", Slot(&IProtocolsManager::GetAccountBool), 17},
        {"SetAccountBlob", Slot(&IProtocolsManager::SetAccountBlob), 18},
        {"SetAccountString", Slot(&IProtocolsManager::SetAccountString), 19},
        {"SetAccountInt", Slot(&IProtocolsManager::SetAccountInt), 20},
        {"SetAccountShort", Slot(&IProtocolsManager::SetAccountShort), 21},
        {"SetAccountByte", Slot(&IProtocolsManager::SetAccountByte), 22},
        {"SetAccountBool", Slot(&IProtocolsManager::SetAccountBool), 23},
        {"Reserved57", Slot(&IProtocolsManager::Reserved57), 24},
        {"GetContactIcons", Slot(&IProtocolsManager::GetContactIcons), 25},
        {"FillAccountMenu", Slot(&IProtocolsManager::FillAccountMenu), 26},
        {"FillGroupMenu", Slot(&IProtocolsManager::FillGroupMenu), 27},
        {"FillContactMenu", Slot(&IProtocolsManager::FillContactMenu), 28},
        {"FillChatMenu", Slot(&IProtocolsManager::FillChatMenu), 29},
        {"FillMainMenu", Slot(&IProtocolsManager::FillMainMenu), 30},
        {"AddGroup", Slot(&IProtocolsManager::AddGroup), 31},
        {"RenameGroup", Slot(&IProtocolsManager::RenameGroup), 32},
        {"DeleteGroup", Slot(&IProtocolsManager::DeleteGroup), 33},
        {"RenameContact", Slot(&IProtocolsManager::RenameContact), 34},
        {"MoveContact", Slot(&IProtocolsManager::MoveContact), 35},
        {"DeleteContact", Slot(&IProtocolsManager::DeleteContact), 36},
        {"ContactAdded", Slot(&IProtocolsManager::ContactAdded), 37},
        {"RequestAuthorization", Slot(&IProtocolsManager::RequestAuthorization), 38},
        {"SendInstantMessage", Slot(&IProtocolsManager::SendInstantMessage), 39},
        {"SetTyping", Slot(&IProtocolsManager::SetTyping), 40},
        {"GetOwnDetailsPages", Slot(&IProtocolsManager::GetOwnDetailsPages), 41},
        {"GetContactDetailsPages", Slot(&IProtocolsManager::GetContactDetailsPages), 42},
        {"StartSearch", Slot(&IProtocolsManager::StartSearch), 43},
        {"GetSearchPages", Slot(&IProtocolsManager::GetSearchPages), 44},
        {"FillSearchResultMenu", Slot(&IProtocolsManager::FillSearchResultMenu), 45},
        {"SetStatus", Slot(&IProtocolsManager::SetStatus), 46},
        {"GetStatus", Slot(&IProtocolsManager::GetStatus), 47},
        {"GetStatusInfo", Slot(&IProtocolsManager::GetStatusInfo), 48},
        {"GetLogonDate", Slot(&IProtocolsManager::GetLogonDate), 49},
        {"GetStatusMenu", Slot(&IProtocolsManager::GetStatusMenu), 50},
        {"GetSettingsPages", Slot(&IProtocolsManager::GetSettingsPages), 51},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.slot, c.expected);
    }
}
