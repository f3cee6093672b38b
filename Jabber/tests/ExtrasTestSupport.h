// What the tests of vCards, mail notices and received files share: the plug-in's hook that does
// what the details dialogs do, a listed contact made as the roster would make it, the id of a
// request the client sent, the Base64 and file helpers, vCard values kept in memory and the second
// party run against the test server.
#pragma once

#include "Jabber/tests/JabberTestHost.h"
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/account/VCardFields.h"
#include "Jabber/sasl/Base64.h"
#include "ZELCommon/tests/UnixHost.h"
#include "ZELCommon/tests/WaitUntil.h"
#include "ZELCommon/tests/TempFolder.h"

#include <map>
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

// vCard values in memory, texts and numbers apart.
class VCardMemory : public VCardValues {
public:
    bool GetString(const wchar_t* key, CZELString& out) override
    {
        auto it = texts.find(key);
        if (it == texts.end()) return false;
        out = CZELString(it->second.c_str());
        return true;
    }
    void SetString(const wchar_t* key, const CZELString& value) override { texts[key] = PluginTree::Wide(value); }
    bool GetNumber(const wchar_t* key, int, int& out) override
    {
        auto it = numbers.find(key);
        if (it == numbers.end()) return false;
        out = it->second;
        return true;
    }
    void SetNumber(const wchar_t* key, int, int value) override { numbers[key] = value; }

    std::map<std::wstring, std::wstring> texts;
    std::map<std::wstring, int> numbers;
};

// Runs the second party as bob against the server on port with arguments until it ends: its
// output, or why it did not run.
inline std::string RunParty(int port, const std::vector<std::string>& arguments)
{
    static int runs = 0;
    const std::string out = PeerTest::PeersRunDir() + "/party-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(++runs) + ".out";
    std::vector<std::string> line = {out, "--jid", "bob@localhost/party", "--password", "bobpw", "--port",
                                     std::to_string(port)};
    line.insert(line.end(), arguments.begin(), arguments.end());
    std::string failure;
    if (!TestSupport::StartUnixScript(JABBER_TEST_PEERS_DIR "/xmpp-party.sh", line, failure)) return failure;
    if (!TestSupport::WaitUntil([&] { return PeerTest::FileExists(out); }, 130000)) return "(the party did not end)";
    std::string output = PeerTest::ReadTextFile(out);
    DeleteFileW(PeerTest::DosPath(out).c_str());
    return output;
}

}  // namespace JabberTest
