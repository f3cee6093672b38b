// What the list and details code hands to the presence and message code of the engine: a contact's
// icons, an incoming text for a contact's chat, and an offline message. These first forms give the
// contact its offline picture (or the not-in-list one outside every group) and post texts to contacts
// of the list; the presence and message code replaces them.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/MetaReplies.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/PluginState.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELRand.h"

namespace {

const int NotInListPicture = 18;

}  // namespace

StatusInfo WexAccount::BuildContactIcons(int contactId)
{
    StatusInfo info;
    IContactListData* list = ContactList();
    const bool grouped = list && list->GetContactGroup(contactId) != 0;
    info.images.Add(WexPlugin::Shared().Image(grouped ? WexPictures::Offline : NotInListPicture));
    return info;
}

void WexAccount::DeliverIncomingMessage(const CZELString& uin, int flags, int kind, const CZELString& text,
                                        const CZELString& secondText)
{
    IContactListData* list = ContactList();
    const Wex::ServerListItem* item = ServerList.FindBuddy(uin);
    if (!list || !item || !item->ContactId || (text.IsEmpty() && secondText.IsEmpty())) return;
    if (list->IsTempContact(item->ContactId)) return;
    MessageRecord record;
    record.contactId = item->ContactId;
    record.messageNumber = CZELRand::Rand();
    record.flags = flags;
    record.kind = kind;
    record.text = text;
    record.secondText = secondText;
    list->PostIncomingMessage(item->ContactId, record);
}

void WexAccount::DeliverOfflineMessage(const Wex::OfflineMessage& message)
{
    DeliverIncomingMessage(message.SenderText(), 1, -1, message.text, CZELString());
}
