#include "Zel/core/skin/SkinImageSet.h"

#include "ZELCommon/ZELPath.h"

#include <new>

namespace {

const wchar_t* const kBuiltInNames[CSkinImageSet::BuiltInCount] = {
    L"zel_stathome.png", L"zel_statwork.png", L"zel_staway.png", L"zel_stconnect.png",
    L"zel_stdepression.png", L"zel_stdnd.png", L"zel_stevil.png", L"zel_stfreeforchat.png",
    L"zel_stifa.png", L"zel_stinvis.png", L"zel_stlunch.png", L"zel_stna.png",
    L"zel_stoccupied.png", L"zel_stoffline.png", L"zel_stonline.png",
    L"zel_cl_close_all_groups.png", L"zel_cl_create_new_group.png", L"zel_cl_delete_contact.png",
    L"zel_cl_delete_group.png", L"zel_cl_group_closed.png", L"zel_cl_group_opened.png",
    L"zel_cl_group_up.png", L"zel_cl_group_down.png", L"zel_cl_move_to_group.png",
    L"zel_cl_msg_im.png", L"zel_cl_msg_im_out.png", L"zel_cl_msg_im_out_ack.png",
    L"zel_cl_msg_im_offline.png", L"zel_cl_msg_send.png", L"zel_cl_open_all_groups.png",
    L"zel_cl_rename_contact.png", L"zel_cl_rename_group.png", L"zel_cl_root_closed.png",
    L"zel_cl_root_opened.png", L"zel_cl_user_dets.png", L"zel_cl_history.png", L"zel_cl_copy.png",
    L"zel_cl_account_settings.png", L"zel_mw_background.png", L"zel_mw_quote.png",
    L"zel_mw_reply.png", L"zel_mw_cut.png", L"zel_mw_paste.png", L"zel_mw_smiles.png",
    L"zel_mw_clear.png", L"zel_mw_close_tab.png", L"zel_mw_close_msgwnd.png",
    L"zel_mw_right_arrow.png", L"zel_mw_left_arrow.png", L"zel_mw_contact_typing.png",
    L"zel_pref_contacts.png", L"zel_pref_events.png", L"zel_pref_antispam.png",
    L"zel_pref_sounds.png", L"zel_pref_interface.png", L"zel_pref_hardware.png",
    L"zel_pref_accounts.png", L"zel_cmn_connect.png", L"zel_misc_empty.png", L"zel_misc_info.png",
    L"zel_misc_email.png", L"zel_misc_update.png", L"zel_misc_save_as.png", L"zel_misc_delete.png",
    L"zel_misc_warning.png", L"zel_misc_open_folder.png", L"zel_misc_tick.png",
    L"zel_mmenu_quit.png", L"zel_mmenu_about.png", L"zel_mmenu_prefs.png",
    L"zel_mmenu_hide_groups.png", L"zel_mmenu_show_groups.png", L"zel_mmenu_show_all.png",
    L"zel_mmenu_show_online.png", L"zel_mmenu_soundon.png", L"zel_mmenu_soundoff.png",
    L"zel_mmenu_details.png", L"zel_mmenu_find.png",
};

// A picture's file name or the skin's folder name, joined into a path: one plain name, never a way
// out of the skin's folder.
bool IsPlainName(const CZELString& name)
{
    const wchar_t* text = name.GetBuffer();
    if (!text || name == L"." || name == L"..") return false;
    for (int i = 0; i < name.GetLength(); ++i)
        if (text[i] == L'\\' || text[i] == L'/' || text[i] == L':') return false;
    return true;
}

}  // namespace

CSkinImageSet::CSkinImageSet() : entries(BuiltInCount), loader(nullptr) {}

CSkinImageSet::~CSkinImageSet() {}

const wchar_t* CSkinImageSet::BuiltInName(int index)
{
    return index >= 0 && index < BuiltInCount ? kBuiltInNames[index] : nullptr;
}

int CSkinImageSet::Acquire(const CZELString& name)
{
    CZELLock locked(lock);
    for (int i = 0; i < int(entries.size()); ++i) {
        bool match = i < BuiltInCount ? name == kBuiltInNames[i] : name == entries[i].name;
        if (match) {
            ++entries[i].useCount;
            return i;
        }
    }
    Entry added;
    added.name = name;
    added.useCount = 1;
    entries.push_back(std::move(added));
    return int(entries.size()) - 1;
}

void CSkinImageSet::Release(int index)
{
    CZELLock locked(lock);
    if (!Valid(index) || entries[index].useCount <= 0) return;
    Entry& entry = entries[index];
    if (--entry.useCount == 0 && index >= BuiltInCount) entry.picture.reset();
}

void CSkinImageSet::SetSkin(const CZELString& folder, const CZELString& name)
{
    CZELLock locked(lock);
    skinsFolder = folder;
    skinName = name;
}

void CSkinImageSet::SetLoader(SkinPictureLoader pictureLoader)
{
    CZELLock locked(lock);
    loader = pictureLoader;
}

CZELString CSkinImageSet::PathOf(int index) const
{
    CZELString file = index < BuiltInCount ? CZELString(kBuiltInNames[index]) : entries[index].name;
    if (!IsPlainName(file) || !IsPlainName(skinName)) return CZELString();
    CZELString folder = skinsFolder.IsEmpty() ? CZELPath::AppDir() + CZELPath::SkinsDir() : skinsFolder;
    return folder + skinName + CZELPath::Sep() + file;
}

CSkinPicture* CSkinImageSet::Loaded(int index)
{
    if (!Valid(index)) return nullptr;
    Entry& entry = entries[index];
    if (!entry.picture) {
        entry.picture.reset(new (std::nothrow) CSkinPicture);
        if (!entry.picture) return nullptr;
        CZELString path = PathOf(index);
        if (loader && !path.IsEmpty()) loader(path.GetBuffer(), *entry.picture);
    }
    return entry.picture.get();
}

void CSkinImageSet::Draw(int index, HDC dc, const POINT& point, int alpha)
{
    CZELLock locked(lock);
    if (CSkinPicture* picture = Loaded(index)) picture->Draw(dc, point, alpha);
}

void CSkinImageSet::DrawStretched(int index, HDC dc, int left, int top, int right, int bottom, int mode, int alpha)
{
    CZELLock locked(lock);
    if (CSkinPicture* picture = Loaded(index)) picture->DrawStretched(dc, left, top, right, bottom, mode, alpha);
}

void CSkinImageSet::LoadEntry(int index)
{
    CZELLock locked(lock);
    Loaded(index);
}

void CSkinImageSet::UnloadAll()
{
    CZELLock locked(lock);
    for (Entry& entry : entries) entry.picture.reset();
}

CZELString CSkinImageSet::GetName(int index)
{
    CZELLock locked(lock);
    if (!Valid(index)) return CZELString();
    return index < BuiltInCount ? CZELString(kBuiltInNames[index]) : entries[index].name;
}

int CSkinImageSet::GetUseCount(int index)
{
    CZELLock locked(lock);
    return Valid(index) ? entries[index].useCount : 0;
}

bool CSkinImageSet::IsLoaded(int index)
{
    CZELLock locked(lock);
    return Valid(index) && entries[index].picture;
}

HBITMAP CSkinImageSet::GetBitmap(int index)
{
    CZELLock locked(lock);
    return Valid(index) && entries[index].picture ? entries[index].picture->bitmap : nullptr;
}

void CSkinImageSet::SetPicture(int index, CSkinPicture* picture)
{
    std::unique_ptr<CSkinPicture> owned(picture);
    CZELLock locked(lock);
    if (Valid(index)) entries[index].picture = std::move(owned);
}
