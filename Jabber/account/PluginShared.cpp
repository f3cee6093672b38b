#include "Jabber/account/PluginShared.h"

#include "Jabber/account/BuiltinTexts.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/ISkinImages.h"
#include "ZELCommon/ZELPath.h"

#include <new>

const wchar_t* const PluginImageNames[PluginImageCount] = {
    L"goxxmpp_stoffline.png",   L"goxxmpp_stconnect.png",    L"goxxmpp_stonline.png",   L"goxxmpp_stifa.png",
    L"goxxmpp_stnotinlist.png", L"zel_stinvis.png",          L"zel_stfreeforchat.png",  L"zel_stevil.png",
    L"zel_stdepression.png",    L"zel_stathome.png",         L"zel_statwork.png",       L"zel_stlunch.png",
    L"zel_staway.png",          L"zel_stna.png",             L"zel_stoccupied.png",     L"zel_stdnd.png",
    L"zel_cmn_connect.png",     L"proto_optadvanced.png",    L"proto_mailboxfull.png",  L"goxzel_stoffline.png",
    L"goxzel_stconnect.png",    L"goxzel_stonline.png",      L"goxzel_stifa.png",       L"goxzel_stnotinlist.png",
    L"goxyandex_stoffline.png", L"goxyandex_stconnect.png",  L"goxyandex_stonline.png", L"goxyandex_stifa.png",
    L"goxyandex_stnotinlist.png", L"goxgoogle_stoffline.png", L"goxgoogle_stconnect.png", L"goxgoogle_stonline.png",
    L"goxgoogle_stifa.png",     L"goxgoogle_stnotinlist.png", L"goxlj_stoffline.png",   L"goxlj_stconnect.png",
    L"goxlj_stonline.png",      L"goxlj_stifa.png",          L"goxlj_stnotinlist.png",  L"proto_authrequired.png",
    L"proto_authrequest.png",   L"proto_authaccept.png",     L"proto_authdecline.png",  L"proto_addcontact.png",
};

namespace {

// A kind's status rows: the text of the name, the base icon as an offset from the kind's first
// status image, and the overlay (an index of PluginImages; -1 none).
struct StatusRow {
    int textNumber;
    int baseOffset;
    int overlay;
};

const StatusRow StatusRows[AccountStatus::Count] = {
    {13, 0, -1},  // Offline
    {3, 1, -1},   // Connecting
    {14, 2, -1},  // Online
    {9, 2, 5},    // Invisible
    {8, 3, 5},    // Invisible for all
    {7, 2, 6},    // Free for chat
    {6, 2, 7},    // Evil
    {4, 2, 8},    // Depression
    {0, 2, 9},    // @ Home
    {1, 2, 10},   // @ Work
    {10, 2, 11},  // Lunch
    {2, 2, 12},   // Away
    {11, 2, 13},  // Not available
    {12, 2, 14},  // Occupied
    {5, 2, 15},   // Do not disturb
};

ISkinImages* SkinService(Services::CServicesManager* bus)
{
    return bus ? static_cast<ISkinImages*>(bus->GetService(GUID_SKIN_IMAGES)) : nullptr;
}

}  // namespace

PluginShared& PluginShared::Instance()
{
    static PluginShared shared;
    return shared;
}

void PluginShared::Load(Services::CServicesManager* bus, int kind)
{
    CZELLock hold(lock);
    ++loaded;
    if (!language) {
        language = new (std::nothrow) MUI::CZELWMMUI_Controller(CZELPath::GetProtoDir(L"Jabber"), CZELString(L"Gox_"),
                                                                CZELString(L"English"), GetBuiltinText);
    }
    if (images.GetCount() == 0) {
        if (ISkinImages* skin = SkinService(bus)) {
            for (const wchar_t* name : PluginImageNames) images.Add(skin->AcquireImage(CZELString(name)));
        }
    }
    if (kind >= 0 && kind < KindCount && statusTables[kind].GetCount() == 0) FillStatusTable(kind);
}

void PluginShared::Unload(Services::CServicesManager* bus)
{
    CZELLock hold(lock);
    if (loaded > 0) --loaded;
    if (loaded > 0) return;
    ISkinImages* skin = SkinService(bus);
    for (int i = images.GetCount() - 1; i >= 0; --i) {
        if (skin) skin->ReleaseImage(images[i]);
    }
    images = CZELArray<int>();
    for (CZELArray<StatusEntry>& table : statusTables) table = CZELArray<StatusEntry>();
    delete language;
    language = nullptr;
}

void PluginShared::ChangeLanguage(int kind, const CZELString& name)
{
    CZELLock hold(lock);
    if (language) language->ChangeLang(name);
    if (kind >= 0 && kind < KindCount) FillStatusTable(kind);
}

void PluginShared::FillStatusTable(int kind)
{
    CZELArray<StatusEntry>& table = statusTables[kind];
    table = CZELArray<StatusEntry>();
    const int first = KindOf(kind).firstStatusImage;
    for (int status = 0; status < AccountStatus::Count; ++status) {
        const StatusRow& row = StatusRows[status];
        StatusEntry entry;
        entry.status = status;
        entry.name = TextLocked(row.textNumber);
        entry.images.Add(ImageLocked(first + row.baseOffset));
        if (row.overlay >= 0) entry.images.Add(ImageLocked(row.overlay));
        table.Add(entry);
    }
}

CZELString PluginShared::TextLocked(int number) const
{
    CZELString text;
    if (language)
        language->GetString(number, text);
    else
        GetBuiltinText(number, text);
    return text;
}

int PluginShared::ImageLocked(int index) const
{
    const int count = images.GetCount();
    if (count == 0 || index < 0) return -1;
    return images[index < count ? index : count - 1];
}

CZELString PluginShared::Text(int number)
{
    CZELLock hold(lock);
    return TextLocked(number);
}

int PluginShared::Image(int index)
{
    CZELLock hold(lock);
    return ImageLocked(index);
}

int PluginShared::ImageCount()
{
    CZELLock hold(lock);
    return images.GetCount();
}

bool PluginShared::StatusEntryOf(int kind, int status, StatusEntry& out)
{
    CZELLock hold(lock);
    out = StatusEntry();
    out.status = status;
    if (kind < 0 || kind >= KindCount) kind = KindPlainXmpp;
    const CZELArray<StatusEntry>& table = statusTables[kind];
    for (int i = 0; i < table.GetCount(); ++i) {
        if (table[i].status != status) continue;
        out = table[i];
        return true;
    }
    return false;
}

CZELArray<StatusEntry> PluginShared::StatusTable(int kind)
{
    CZELLock hold(lock);
    return kind >= 0 && kind < KindCount ? statusTables[kind] : CZELArray<StatusEntry>();
}

int PluginShared::LoadedAccounts()
{
    CZELLock hold(lock);
    return loaded;
}
