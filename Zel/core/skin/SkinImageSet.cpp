#include "Zel/core/skin/SkinImageSet.h"

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

}  // namespace

CSkinImageSet::CSkinImageSet() : entries(BuiltInCount) {}

CSkinImageSet::~CSkinImageSet()
{
    for (Entry& entry : entries)
        if (entry.picture) DeleteObject(entry.picture);
}

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
    entries.push_back(added);
    return int(entries.size()) - 1;
}

void CSkinImageSet::Release(int index)
{
    CZELLock locked(lock);
    if (!Valid(index) || entries[index].useCount <= 0) return;
    Entry& entry = entries[index];
    if (--entry.useCount == 0 && index >= BuiltInCount && entry.picture) {
        DeleteObject(entry.picture);
        entry.picture = nullptr;
    }
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

HBITMAP CSkinImageSet::GetPicture(int index)
{
    CZELLock locked(lock);
    return Valid(index) ? entries[index].picture : nullptr;
}

void CSkinImageSet::SetPicture(int index, HBITMAP picture)
{
    CZELLock locked(lock);
    if (!Valid(index)) {
        if (picture) DeleteObject(picture);
        return;
    }
    if (entries[index].picture && entries[index].picture != picture) DeleteObject(entries[index].picture);
    entries[index].picture = picture;
}
