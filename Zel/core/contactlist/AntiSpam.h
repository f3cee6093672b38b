// The anti-spam filter's texts: what a sender who is not in the list is asked, the answer that lets
// his next message through, and the thanks for a right answer. The filter itself and the settings
// live in CContactListData (section GUID_CONTACT_LIST_DATA).
#pragma once

class CContactListData;

extern const wchar_t DefaultAntispamQuestion[];
extern const wchar_t DefaultAntispamAnswer[];   // "Amber"
extern const wchar_t DefaultAntispamConfirm[];

// Run by the global settings loader: stores the default of every anti-spam text that is empty.
void ApplyAntispamDefaults(CContactListData& contactList);
