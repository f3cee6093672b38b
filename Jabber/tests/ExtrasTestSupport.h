// What the tests of vCards, mail notices and received files share: the plug-in's hook that does
// what the details dialogs do, a listed contact made as the roster would make it, the id of a
// request the client sent, and the Base64 and file helpers.
#pragma once

#include "Jabber/tests/JabberTestHost.h"

#include "Jabber/sasl/Base64.h"
#include "ZELCommon/tests/TempFolder.h"

#include <string>
#include <vector>

namespace JabberTest {

// Jabber.dll's JabberTestDetails: asks for a vCard (publish false) or publishes the own one.
class DetailsHook {
public:
    DetailsHook()
    {
        module = LoadLibraryW((PluginTree::Wide(ProtosFolder()) + L"Jabber\\Jabber.dll").c_str());
        call = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, "JabberTestDetails")))
                      : nullptr;
    }
    ~DetailsHook()
    {
        if (module) FreeLibrary(module);
    }
    DetailsHook(const DetailsHook&) = delete;
    DetailsHook& operator=(const DetailsHook&) = delete;

    bool Loaded() const { return call != nullptr; }
    bool Request(unsigned account, const wchar_t* jid) { return call && call(account, 0, jid); }
    bool Publish(unsigned account) { return call && call(account, 1, nullptr); }

private:
    typedef bool (*Function)(unsigned, int, const wchar_t*);
    HMODULE module = nullptr;
    Function call = nullptr;
};

// A contact of account in a group of its own, named jid, as the roster puts it in the list; its id.
inline int AddListedContact(Host& host, unsigned account, const wchar_t* jid)
{
    const int group = host.contactList->AddGroup(account);
    const int contact = group ? host.contactList->AddContact(account, group) : 0;
    if (contact) {
        host.contactList->SetPropertyString(contact, CZELString(L"Account name"), CZELString(jid));
        host.contactList->SetPropertyString(contact, CZELString(L"CL Alias"), CZELString(jid));
    }
    return contact;
}

// The contact the roster put in account's list under jid, waited for; 0 when it never came.
inline int WaitForListedContact(Host& host, unsigned account, const wchar_t* jid)
{
    int found = 0;
    TestSupport::WaitUntil([&] {
        CZELArray<ContactListItemPair> items;
        if (!host.contactList->GetAccountItems(account, items)) return false;
        for (int i = 0; i < items.GetCount() && !found; ++i) {
            CZELString name;
            if (items[i].contactId && host.contactList->GetPropertyString(items[i].contactId, CZELString(L"Account name"), name) &&
                name == jid)
                found = items[i].contactId;
        }
        return found != 0;
    }, 20000);
    return found;
}

// The id of the last stanza in sent that contains part; empty when none.
inline std::string IdOfLast(const std::vector<std::string>& sent, const std::string& part)
{
    for (size_t i = sent.size(); i-- > 0;) {
        if (sent[i].find(part) == std::string::npos) continue;
        const size_t at = sent[i].find(" id='");
        if (at == std::string::npos) return std::string();
        const size_t end = sent[i].find('\'', at + 5);
        return sent[i].substr(at + 5, end - at - 5);
    }
    return std::string();
}

// Bytes that differ from place to place, so a block out of place shows.
inline std::string Pattern(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    return bytes;
}

inline std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    return TestSupport::ReadWholeFile(path, bytes) ? bytes : std::string("(unreadable)");
}

}  // namespace JabberTest
