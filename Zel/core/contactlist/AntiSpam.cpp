#include "Zel/core/contactlist/AntiSpam.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/settings/SettingsStore.h"

const wchar_t DefaultAntispamQuestion[] =
    L"Hello! An anti-spam control is on here, so please answer one simple question before your message "
    L"is delivered: what is the name of the golden fossil tree resin that is used in jewellery? "
    L"Please reply in English, in one word.";
const wchar_t DefaultAntispamAnswer[] = L"Amber";
const wchar_t DefaultAntispamConfirm[] = L"Thank you. Now you can send messages directly to my contact list.";

namespace {

const wchar_t kEnable[] = L"AntispamEnable";
const wchar_t kMsgsFromNIL[] = L"AntispamMsgsFromNIL";
const wchar_t kQuestion[] = L"AntispamQuestion";
const wchar_t kAnswer[] = L"AntispamAnswer";
const wchar_t kConfirm[] = L"AntispamConfirm";

}  // namespace

void ApplyAntispamDefaults(CContactListData& contactList)
{
    if (contactList.GetAntispamQuestion().IsEmpty()) contactList.SetAntispamQuestion(CZELString(DefaultAntispamQuestion));
    if (contactList.GetAntispamAnswer().IsEmpty()) contactList.SetAntispamAnswer(CZELString(DefaultAntispamAnswer));
    if (contactList.GetAntispamConfirm().IsEmpty()) contactList.SetAntispamConfirm(CZELString(DefaultAntispamConfirm));
}

bool CContactListData::GetSettingByte(const wchar_t* key, bool defaultValue)
{
    char value = defaultValue ? 1 : 0;
    if (CSettingsStore* store = Settings()) store->GetByte(GUID_CONTACT_LIST_DATA, CZELString(key), &value);
    return value != 0;
}

void CContactListData::SetSettingByte(const wchar_t* key, bool value)
{
    char byte = value ? 1 : 0;
    if (CSettingsStore* store = Settings()) store->SetByte(GUID_CONTACT_LIST_DATA, CZELString(key), &byte);
}

CZELString CContactListData::GetSettingString(const wchar_t* key)
{
    CZELString text;
    if (CSettingsStore* store = Settings()) store->GetString(GUID_CONTACT_LIST_DATA, CZELString(key), text);
    return text;
}

void CContactListData::SetSettingString(const wchar_t* key, const CZELString& text)
{
    if (CSettingsStore* store = Settings()) store->SetString(GUID_CONTACT_LIST_DATA, CZELString(key), text);
}

void CContactListData::SetAntispamEnable(bool enable)
{
    SetSettingByte(kEnable, enable);
}

bool CContactListData::GetAntispamEnable()
{
    return GetSettingByte(kEnable, true);
}

void CContactListData::SetAntispamMsgsFromNIL(bool accept)
{
    SetSettingByte(kMsgsFromNIL, accept);
}

bool CContactListData::GetAntispamMsgsFromNIL()
{
    return GetSettingByte(kMsgsFromNIL, true);
}

void CContactListData::SetAntispamQuestion(const CZELString& text)
{
    SetSettingString(kQuestion, text);
}

CZELString CContactListData::GetAntispamQuestion()
{
    return GetSettingString(kQuestion);
}

void CContactListData::SetAntispamAnswer(const CZELString& text)
{
    SetSettingString(kAnswer, text);
}

CZELString CContactListData::GetAntispamAnswer()
{
    return GetSettingString(kAnswer);
}

void CContactListData::SetAntispamConfirm(const CZELString& text)
{
    SetSettingString(kConfirm, text);
}

CZELString CContactListData::GetAntispamConfirm()
{
    return GetSettingString(kConfirm);
}

int CContactListData::FilterIncomingMessage(int contactId, const MessageRecord& message)
{
    if (!GetAntispamEnable()) return 1;
    // The stored texts are read before the lock is taken: the settings store has its own.
    CZELString answer = GetAntispamAnswer();
    const wchar_t* replyKey = nullptr;
    {
        CLock hold(lock);
        if (antispamFailed.count(contactId)) return 0;
        // A right answer lets exactly the next message through.
        if (antispamPassed.erase(contactId)) return 1;
        try {
            if (antispamAsked.erase(contactId)) {
                CZELString reply = message.text;
                reply.ToLower();
                answer.ToLower();
                if (reply == answer) {
                    antispamPassed.insert(contactId);
                    replyKey = kConfirm;
                } else {
                    // One wrong answer blocks the sender until the program restarts.
                    antispamFailed.insert(contactId);
                }
            } else {
                antispamAsked.insert(contactId);
                replyKey = kQuestion;
            }
        } catch (...) {
            return 0;
        }
    }
    if (replyKey) {
        // Sent silently: the question and the thanks show in no chat and no history.
        MessageRecord reply;
        reply.contactId = contactId;
        reply.flags = 0;
        reply.text = GetSettingString(replyKey);
        accounts.SendInstantMessage(GetItemAccount(contactId), reply, true);
    }
    return 0;
}
