#include "Zel/core/plugin/ServiceEventListener.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <algorithm>
#include <new>
#include <utility>

namespace {

// The class of the work RunOnQueue posts; private to the base.
const ZEL_GUID GUID_ACCOUNT_WORK = {0x7A1C0E52, 0x4B8D, 0x4F0A, {0x9E, 0x37, 0x2C, 0x5D, 0x6B, 0x81, 0xF0, 0x4A}};

class CWorkPayload : public CRefObject {
public:
    explicit CWorkPayload(std::function<void()> work) : work(std::move(work)) {}

    std::function<void()> work;
};

CZELString TextOf(CRefObject* payload)
{
    CStringPayload* text = dynamic_cast<CStringPayload*>(payload);
    return text ? text->text : CZELString();
}

template <typename T>
T* PointerOf(CRefObject* payload)
{
    return reinterpret_cast<T*>(ValueOf(payload));
}

}  // namespace

ServiceEventListener::ServiceEventListener(Services::CServicesManager* services, unsigned accountId,
                                           unsigned ownerQueue)
    : services(services), accountId(accountId), ownerQueue(ownerQueue), ownQueue(0)
{
    // Made while only the base exists, so the name is the base's (empty); the queue does not run a
    // message before the constructor of the derived class has returned and a message is posted.
    const int queue = services ? services->CreateQueue(this, ServiceEventListener::GetListenerName()) : 0;
    ownQueue = queue > 0 ? queue : 0;
}

ServiceEventListener::~ServiceEventListener()
{
    StopQueue();
}

void ServiceEventListener::StopQueue()
{
    const int queue = ownQueue.exchange(0);
    if (queue > 0 && services) services->DestroyQueue(queue);
}

int ServiceEventListener::HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    if (msgClass == GUID_PROTOCOLS_MANAGER) return DispatchManagerCommand(code, p1, p2);
    if (msgClass == GUID_CONNECTION_MANAGER) return DispatchConnectionNotice(code, p1, p2);
    if (msgClass == GUID_ACCOUNT_WORK) {
        CWorkPayload* work = dynamic_cast<CWorkPayload*>(p1);
        if (work && work->work) work->work();
        return 0;
    }
    return OnOtherMessage(msgClass, code, p1, p2);
}

int ServiceEventListener::DispatchManagerCommand(int code, CRefObject* p1, CRefObject* p2)
{
    const intptr_t val1 = ValueOf(p1);
    const intptr_t val2 = ValueOf(p2);
    switch (code) {
    case PM_LOAD: return Load();
    case PM_ACCOUNT_ADDED: return PublishIcons();
    case PM_UNLOAD: return Unload();
    case PM_GET_NAME: return GetDisplayName(PointerOf<CZELString>(p1));
    case PM_SET_STATUS: return SetStatus(int(val1));
    case PM_GET_STATUS: return GetStatus();
    case PM_GET_STATUS_INFO: return GetStatusInfo(int(val1), PointerOf<StatusEntry>(p2));
    // The menu travels in p1 and the icon index in p2; the operation takes them the other way round.
    case PM_GET_STATUS_MENU: return GetStatusMenu(val2, PointerOf<CPopupMenu>(p1));
    case PM_GET_CONTACT_ICONS: return GetContactIcons(int(val1), PointerOf<StatusInfo>(p2));
    case PM_GET_SETTINGS_PAGES: return GetSettingsPages(PointerOf<void>(p1));
    case PM_FILL_ACCOUNT_MENU: return FillAccountMenu(PointerOf<CPopupMenu>(p2));
    case PM_FILL_GROUP_MENU: return FillGroupMenu(int(val1), PointerOf<CPopupMenu>(p2));
    case PM_FILL_CONTACT_MENU: return FillContactMenu(int(val1), PointerOf<CPopupMenu>(p2));
    case PM_FILL_CHAT_MENU: return FillChatMenu(int(val1), PointerOf<CPopupMenu>(p2));
    case PM_FILL_MAIN_MENU: return FillMainMenu(PointerOf<CPopupMenu>(p2));
    case PM_ADD_GROUP: return AddGroup(TextOf(p1));
    case PM_RENAME_GROUP: return RenameGroup(int(val1), TextOf(p2));
    case PM_DELETE_GROUP: return DeleteGroup(int(val1));
    case PM_RENAME_CONTACT: return RenameContact(int(val1), TextOf(p2));
    case PM_MOVE_CONTACT: return MoveContact(int(val1), int(val2));
    case PM_DELETE_CONTACT: return DeleteContact(int(val1));
    case PM_REQUEST_AUTH: return RequestAuthorization(int(val1));
    case PM_SEND_MESSAGE: {
        CMessagePayload* payload = dynamic_cast<CMessagePayload*>(p1);
        if (!payload) return 0;
        MessageRecord* copy = new (std::nothrow) MessageRecord(payload->message);
        return copy ? SendInstantMessage(copy) : 0;
    }
    case PM_GET_OWN_DETAILS_PAGES: return GetOwnDetailsPages(PointerOf<void>(p1));
    case PM_GET_CONTACT_DETAILS_PAGES: return GetContactDetailsPages(int(val1), PointerOf<void>(p2));
    case PM_LANGUAGE_CHANGED: return ChangeLanguage(TextOf(p1));
    case PM_SEARCH: return Search(val1);
    case PM_GET_SEARCH_PAGES: return GetSearchPages(PointerOf<void>(p2));
    case PM_FILL_SEARCH_RESULT_MENU: return FillSearchResultMenu(PointerOf<void>(p1), PointerOf<CPopupMenu>(p2));
    case PM_CONTACT_ADDED: return OnContactAdded(int(val1));
    // Only the low byte of the flag counts.
    case PM_SET_TYPING: return SetTyping(int(val1), (val2 & 0xFF) != 0);
    case PM_FILE_OPENED: return AnswerFileOffer(val1, (val2 & 0xFF) != 0);
    default: return 0;  // 57, 68 and unknown codes
    }
}

int ServiceEventListener::DispatchConnectionNotice(int code, CRefObject* p1, CRefObject* p2)
{
    if (!IsCurrentNotice(p1)) return 0;
    CConnection* connection = PointerOf<CConnection>(p1);
    const int val2 = int(ValueOf(p2));
    switch (code) {
    case CM_CONNECT_RESULT: return OnConnectResult(connection, val2);
    case CM_DISCONNECTED: return OnDisconnected(connection, val2);
    case CM_DATA_RECEIVED: return OnDataReceived(connection, val2);
    case CM_DATA_SENT: return OnDataSent(connection, val2);
    case CM_STATUS_TEXT: return OnStatusText(connection, TextOf(p2));
    case CM_ERROR_TEXT: return OnErrorText(connection, TextOf(p2));
    default: return 0;
    }
}

bool ServiceEventListener::IsCurrentNotice(CRefObject* p1) const
{
    for (const CurrentConnect& current : connects) {
        if (IsCurrentConnectMessage(p1, current.connection, current.serial)) return true;
    }
    return false;
}

int ServiceEventListener::StartConnect(IConnectionManager* service, CConnection* connection,
                                       const ConnectionSettings& settings)
{
    if (!service || !connection) return -1;
    ForgetConnection(connection);
    const uint64_t serial = service->NextConnectSerial(connection);
    const int result = service->Connect(connection, settings);
    if (result == 0 && serial != 0) connects.push_back({connection, serial});
    return result;
}

void ServiceEventListener::ForgetConnection(CConnection* connection)
{
    connects.erase(std::remove_if(connects.begin(), connects.end(),
                                  [connection](const CurrentConnect& c) { return c.connection == connection; }),
                   connects.end());
}

bool ServiceEventListener::Notify(const ZEL_GUID& protocol, int code, CRefObject* p2)
{
    CRefValue* p1 = NewValue(intptr_t(accountId));
    if (!services || !p1) {
        delete p1;
        if (p2) p2->AddRef(0);
        return false;
    }
    // The bus releases the payloads when it cannot store them.
    return services->SendMessage(int(ownerQueue), protocol, code, p1, p2, false) > 0;
}

bool ServiceEventListener::PostToSelf(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    const int queue = ownQueue;
    if (!services || queue <= 0) {
        if (p1) p1->AddRef(0);
        if (p2) p2->AddRef(0);
        return false;
    }
    return services->SendMessage(queue, msgClass, code, p1, p2, false) > 0;
}

bool ServiceEventListener::RunOnQueue(std::function<void()> work)
{
    CWorkPayload* payload = nullptr;
    try {
        payload = new CWorkPayload(std::move(work));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return PostToSelf(GUID_ACCOUNT_WORK, 1, payload);
}

CZELString ServiceEventListener::GetListenerName() { return CZELString(); }
int ServiceEventListener::Load() { return 0; }
int ServiceEventListener::PublishIcons() { return 0; }
int ServiceEventListener::Unload() { return 0; }
int ServiceEventListener::GetDisplayName(CZELString*) { return 0; }
int ServiceEventListener::SetStatus(int) { return 0; }
int ServiceEventListener::GetStatus() { return 0; }
int ServiceEventListener::GetStatusInfo(int, StatusEntry*) { return 0; }
int ServiceEventListener::GetStatusMenu(intptr_t, CPopupMenu*) { return 0; }
int ServiceEventListener::GetContactIcons(int, StatusInfo*) { return 0; }
int ServiceEventListener::GetSettingsPages(void*) { return 0; }
int ServiceEventListener::FillAccountMenu(CPopupMenu*) { return 0; }
int ServiceEventListener::FillGroupMenu(int, CPopupMenu*) { return 0; }
int ServiceEventListener::FillContactMenu(int, CPopupMenu*) { return 0; }
int ServiceEventListener::FillChatMenu(int, CPopupMenu*) { return 0; }
int ServiceEventListener::FillMainMenu(CPopupMenu*) { return 0; }
int ServiceEventListener::AddGroup(CZELString) { return 0; }
int ServiceEventListener::RenameGroup(int, CZELString) { return 0; }
int ServiceEventListener::DeleteGroup(int) { return 0; }
int ServiceEventListener::RenameContact(int, CZELString) { return 0; }
int ServiceEventListener::MoveContact(int, int) { return 0; }
int ServiceEventListener::DeleteContact(int) { return 0; }
int ServiceEventListener::RequestAuthorization(int) { return 0; }

int ServiceEventListener::SendInstantMessage(MessageRecord* message)
{
    delete message;
    return 0;
}

int ServiceEventListener::GetOwnDetailsPages(void*) { return 0; }
int ServiceEventListener::GetContactDetailsPages(int, void*) { return 0; }
int ServiceEventListener::ChangeLanguage(CZELString) { return 0; }
int ServiceEventListener::GetSearchPages(void*) { return 0; }
int ServiceEventListener::Search(intptr_t) { return 0; }
int ServiceEventListener::FillSearchResultMenu(void*, CPopupMenu*) { return 0; }
int ServiceEventListener::OnContactAdded(int) { return 0; }
int ServiceEventListener::SetTyping(int, bool) { return 0; }
int ServiceEventListener::AnswerFileOffer(intptr_t, bool) { return 0; }
int ServiceEventListener::OnConnectResult(CConnection*, int) { return 0; }
int ServiceEventListener::OnDataReceived(CConnection*, int) { return 0; }
int ServiceEventListener::OnDataSent(CConnection*, int) { return 0; }
int ServiceEventListener::OnDisconnected(CConnection*, int) { return 0; }
int ServiceEventListener::OnStatusText(CConnection*, const CZELString&) { return 0; }
int ServiceEventListener::OnErrorText(CConnection*, const CZELString&) { return 0; }
int ServiceEventListener::OnOtherMessage(const ZEL_GUID&, int, CRefObject*, CRefObject*) { return 0; }
