#include "Zel/core/history/HistoryFile.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/history/HistoryFileStream.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/history/SafeFileName.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "ZELCommon/ZELPath.h"

#include <windows.h>

#include <vector>

namespace {

// The program's answers: the contact-list data and the protocols manager found on the bus at each
// call, so it does not matter whether they exist yet.
class CBusHistoryContacts : public IHistoryContacts {
public:
    explicit CBusHistoryContacts(Services::CServicesManager& bus) : bus(bus) {}

    bool Describe(int contact, HistoryContactInfo& out) override
    {
        // Both register themselves as their interface, which is their first base.
        IContactListData* list = static_cast<IContactListData*>(bus.GetService(GUID_CONTACT_LIST_DATA));
        IProtocolsManager* manager = static_cast<IProtocolsManager*>(bus.GetService(GUID_PROTOCOLS_MANAGER));
        if (!list || !manager) return false;
        unsigned account = list->GetItemAccount(contact);
        if (!account) return false;
        out.protocolName = manager->GetAccountProtocol(account).name;
        manager->GetAccountName(out.accountName, account, false);
        out.contactName = CZELString();
        list->GetPropertyString(contact, CZELString(L"Account name"), out.contactName);
        out.alias = CZELString();
        list->GetPropertyString(contact, CZELString(L"CL Alias"), out.alias);
        out.inGroup = list->GetContactGroup(contact) != 0;
        return true;
    }

private:
    Services::CServicesManager& bus;
};

const wchar_t kExtension[] = L".zhf";
const wchar_t kPartSeparator[] = L"_";

}  // namespace

CHistoryFile::CHistoryFile(const HistoryPlace& place) : place(place) {}

Services::CServicesManager& CHistoryFile::Bus() const
{
    return place.bus ? *place.bus : TheBus();
}

IHistoryContacts* CHistoryFile::Contacts()
{
    if (place.contacts) return place.contacts;
    if (!busContacts) busContacts.reset(new CBusHistoryContacts(Bus()));
    return busContacts.get();
}

CSettingsStore* CHistoryFile::Settings() const
{
    if (place.settings) return place.settings;
    return static_cast<CSettingsStore*>(Bus().GetService(GUID_SETTINGS_STORE));
}

bool CHistoryFile::SettingOn(const wchar_t* key) const
{
    char value = 1;
    if (CSettingsStore* settings = Settings()) settings->GetByte(GUID_GUI, CZELString(key), &value);
    return value != 0;
}

CZELString CHistoryFile::PathFor(const HistoryContactInfo& info)
{
    CZELString folder = place.folder.IsEmpty() ? CZELPath::GetHistDir() : place.folder;
    if (folder.IsEmpty()) return CZELString();
    CreateDirectoryW(folder.GetBuffer(), nullptr);
    // Every part may come from the network: each becomes a bare file name that stays in the folder.
    CZELString shared = folder + MakeSafeFileName(info.protocolName) + kPartSeparator +
                        MakeSafeFileName(info.accountName) + kPartSeparator + MakeSafeFileName(info.contactName) +
                        kExtension;
    // Names may hold the "_" that joins the parts, so two contacts can be given that one name (account
    // "a_b" with contact "c", account "a" with contact "b_c"). The first keeps it; the other has a
    // file whose parts write "_" as "%5F", a name no other contact's file can have.
    CZELString own = folder + MakeSafeFilePart(info.protocolName) + kPartSeparator +
                     MakeSafeFilePart(info.accountName) + kPartSeparator + MakeSafeFilePart(info.contactName) +
                     kExtension;
    if (own == shared || GetFileAttributesW(own.GetBuffer()) != INVALID_FILE_ATTRIBUTES) return own;
    CHistoryFileStream file;
    if (!file.Open(shared, CHistoryFileStream::OpenExisting)) return shared;
    return HistoryStore::NamesAnotherContact(file, HistoryStore::ContactStrings{info.contactName, info.alias}) ? own
                                                                                                               : shared;
}

CZELString CHistoryFile::GetPath(int contact)
{
    HistoryContactInfo info;
    return Contacts()->Describe(contact, info) ? PathFor(info) : CZELString();
}

int CHistoryFile::Append(int contact, unsigned char flag2, unsigned char direction, unsigned char flag1,
                         unsigned unixTime, const CZELString& text)
{
    if (!SettingOn(L"HistSaveHist")) return HistoryOk;
    HistoryContactInfo info;
    if (!Contacts()->Describe(contact, info)) return HistoryCannotOpen;
    if (!info.inGroup && !SettingOn(L"HistSaveNotInList")) return HistoryOk;

    CHistoryFileStream file;
    if (!file.Open(PathFor(info), CHistoryFileStream::OpenOrCreate)) return HistoryCannotOpen;
    HistoryRecord record;
    record.time = unixTime;
    record.direction = direction;
    record.flag1 = flag1;
    record.flag2 = flag2;
    record.text = text;
    return HistoryStore::Append(file, HistoryStore::ContactStrings{info.contactName, info.alias}, record);
}

int CHistoryFile::Load(int contact, unsigned n, CZELArray<ChatLogEntry>& out)
{
    HistoryContactInfo info;
    if (!Contacts()->Describe(contact, info)) return HistoryCannotOpen;
    CHistoryFileStream file;
    if (!file.Open(PathFor(info), CHistoryFileStream::OpenExisting)) return HistoryCannotOpen;
    std::vector<HistoryRecord> records;
    int result = HistoryStore::Load(file, HistoryStore::ContactStrings{info.contactName, info.alias}, n, records);
    file.Close();

    CZELString ownName(L"I");
    if (CSettingsStore* settings = Settings()) settings->GetString(GUID_GUI, CZELString(L"MWYourName"), ownName);
    for (const HistoryRecord& record : records) out.Add(HistoryFormat::MakeEntry(record, info.alias, ownName));
    return result;
}

int CHistoryFile::LoadAll(int contact, CZELArray<ChatLogEntry>& out)
{
    return Load(contact, HistoryStore::AllRecords, out);
}

int CHistoryFile::LoadLast(int contact, unsigned n, CZELArray<ChatLogEntry>& out)
{
    return Load(contact, n, out);
}

bool CHistoryFile::Delete(int contact)
{
    HistoryContactInfo info;
    if (!Contacts()->Describe(contact, info)) return false;
    CZELString path = PathFor(info);
    {
        CHistoryFileStream file;
        if (!file.Open(path, CHistoryFileStream::OpenExisting)) return false;
        if (!HistoryStore::MayDelete(file, HistoryStore::ContactStrings{info.contactName, info.alias})) return false;
    }
    if (!DeleteFileW(path.GetBuffer())) return false;
    // What a repair set aside belongs to the same history.
    DeleteFileW(CHistoryFileStream::AsidePath(path).GetBuffer());
    return true;
}
