// WexAccount: one account of the Wex network. It lives on its own queue of the bus
// (ServiceEventListener): the protocols manager's commands and the connection service's notices
// reach it there, one at a time on the queue's thread, which does all protocol work. It answers the
// manager with ACC_ notifications.
//
// Concerns, one file each: WexAccount.cpp (life, slots, notifications), AccountPresentation.cpp
// (settings, status table, icons, menus), AccountConnection.cpp (connect, disconnect, the receive
// loop), AccountSignOn.cpp (the frames of the sign-on), AccountTimers.cpp (keep-alive and
// reconnection), AccountRoster.cpp (the server-side list, its edits, privacy and authorisation),
// AccountDetails.cpp (details and search), AccountMessages.cpp (messages and typing notices both
// ways), AccountPresence.cpp (contacts' presence and icons, x-statuses).
//
// Other threads never touch the account's members. The keep-alive timer (called on the program's
// window thread) and the menu callbacks (on the user interface's thread) find the account by its id
// in the plug-in's registry and post a request to its queue; the reconnect thread only posts the
// status request it was given. Status is atomic so the timer can tell when to end.
#pragma once

#include "Wex/proto/FlapFramer.h"
#include "Wex/proto/ListCommands.h"
#include "Wex/proto/MetaCommands.h"
#include "Wex/proto/ServerList.h"
#include "Wex/proto/SignOnReplies.h"
#include "Wex/proto/account/AccountSettings.h"

#include "Zel/core/plugin/ServiceEventListener.h"
#include "ZELCommon/ZELCriticalSection.h"

#include <atomic>
#include <map>
#include <memory>
#include <vector>

class IConnectionManager;
class IContactListData;
class CMenuItem;
namespace Wex {
struct OfflineMessage;
}
class ReconnectWait;

class WexAccount : public ServiceEventListener {
public:
    WexAccount(Services::CServicesManager* services, unsigned accountId, unsigned ownerQueue);
    ~WexAccount() override;

    WexAccount(const WexAccount&) = delete;
    WexAccount& operator=(const WexAccount&) = delete;

    // Slots (ServiceEventListener).
    CZELString GetListenerName() override;
    int Load() override;
    int PublishIcons() override;
    int Unload() override;
    int GetDisplayName(CZELString* out) override;
    int SetStatus(int status) override;
    int GetStatus() override;
    int GetStatusInfo(int status, StatusEntry* out) override;
    int GetStatusMenu(intptr_t iconIndex, CPopupMenu* menu) override;
    int GetContactIcons(int contactId, StatusInfo* out) override;
    int GetSettingsPages(void* pages) override;
    int FillAccountMenu(CPopupMenu* menu) override;
    int FillGroupMenu(int groupId, CPopupMenu* menu) override;
    int FillMainMenu(CPopupMenu* menu) override;
    int GetOwnDetailsPages(void* pages) override;
    int GetContactDetailsPages(int contactId, void* pages) override;
    int ChangeLanguage(CZELString language) override;
    int GetSearchPages(void* pages) override;
    int RequestAuthorization(int contactId) override;
    int SendInstantMessage(MessageRecord* message) override;
    int SetTyping(int contactId, bool stopped) override;
    int OnConnectResult(CConnection* connection, int result) override;
    int OnDataReceived(CConnection* connection, int length) override;
    int OnDisconnected(CConnection* connection, int reason) override;
    int OnErrorText(CConnection* connection, const CZELString& text) override;
    int OnOtherMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override;

    // The server-side list (AccountRoster.cpp). Each edit goes out as commands; the local list and
    // the contact list change only when the server acknowledges it.
    int AddGroup(CZELString name) override;
    int RenameGroup(int groupId, CZELString name) override;
    int DeleteGroup(int groupId) override;
    int RenameContact(int contactId, CZELString alias) override;
    int MoveContact(int contactId, int groupId) override;
    int DeleteContact(int contactId) override;
    // The contact menu: the program's contact commands filtered, the list's own items added.
    int FillContactMenu(int contactId, CPopupMenu* menu) override;
    // The chat menu: a pending authorisation request's answers and the x-status request
    // (AccountChatMenu.cpp).
    int FillChatMenu(int contactId, CPopupMenu* menu) override;
    // A search result's menu: the search dialog hands the result's contact id as the item.
    int FillSearchResultMenu(void* resultItem, CPopupMenu* menu) override;
    // A string property of a contact; safe from any thread (the contact list guards itself).
    CZELString ContactProperty(int contactId, const wchar_t* name);
    // Asks the server whether an offline contact is there after all.
    void CheckContactStatus(int contactId);
    // From the add-contact dialog: uin with nick into the contact list's group groupId.
    void AddContactToServerList(int groupId, const CZELString& uin, const CZELString& nick);
    // From the add-contact dialog: uin with nick into the server-list group named group (letter
    // case aside, the last of that name); none of that name adds nothing and warns.
    void AddContactToGroupNamed(const CZELString& group, const CZELString& uin, const CZELString& nick);
    // type: 2 visible, 3 invisible, 14 ignore list.
    void AddToPrivacyList(int contactId, unsigned short type);
    void RemoveFromPrivacyList(int contactId, unsigned short type);
    // Authorisation: asked of a contact with text; a contact's request granted, declined or ignored.
    void SendAuthorizationRequest(int contactId, const CZELString& text);
    enum AuthAnswer { AuthGrant, AuthDeny, AuthIgnore };
    void AnswerAuthorization(int contactId, AuthAnswer answer);
    // The privacy status (1-5) the account holds; 0 before any is known.
    int GetPrivacyStatus() const { return PrivacyMode; }

    // Details and search (AccountDetails.cpp). RequestDetails asks for the details of a contact (0:
    // the user's own) and remembers what the reply is for.
    void RequestDetails(int contactId);
    // The own-details pages' changes of one page, sent as one save request while signed on; without
    // a connection nothing goes out and the user is told.
    void SaveOwnDetails(const Wex::TlvChain& details);
    // The search request the search pages fill before PM_SEARCH.
    struct SearchRequest {
        unsigned char kind = 0;  // 0 by number, 1 by e-mail, 2 white pages
        unsigned uin = 0;
        CZELString email;
        Wex::WhitePagesForm form;
    };
    SearchRequest& GetSearchRequest() { return searchRequest; }
    int Search(intptr_t page) override;

    // The settings pages (queue thread only). They are made on the queue, so they read the record
    // here; what they store comes back through the queue as well.
    const WexAccountSettings& CurrentSettings() const { return Settings; }
    Services::CServicesManager* Bus() const { return services; }
    // The login page's values; a new id (letter case aside) re-announces the account's caption.
    void StoreLogin(const CZELString& uin, const Wex::Md5Digest& digest);
    // The options page's six flags, each change refreshed at once where it shows.
    void StoreOptions(const WexAccountSettings& options);

    // ACC_WARNING with text; ACC_NAME_CHANGED.
    void ReportWarning(const CZELString& text);
    void NotifyAccountNameChanged();

    // The keep-alive timer's callback; context is the account id. Runs on the program's window
    // thread: it only asks the account's queue to send the frame. The milliseconds to the next call,
    // 0 (the timer ends) once the account is gone or below Online.
    static unsigned KeepAliveTick(intptr_t context);

    // The status the account is in; safe from any thread.
    int CurrentStatus() const { return status.load(); }

    // The user's own texts of x-status entry (0-based); safe from any thread.
    XStatusText GetXStatusText(int entry);
    void SetXStatusText(int entry, const XStatusText& text);

    // Requests the menus' callbacks post to the queue (class AccountRequestClass).
    enum Request {
        RequestKeepAlive = 1,
        RequestMenuStatus = 2,   // p1 status
        RequestXStatus = 3,      // p1 index
        RequestPrivacy = 4,      // p1 mode
        RequestContactXStatus = 5,  // p1 contact id: ask the contact for its x-status's texts
    };
    // Posts request with value to the account's queue; false when it could not be posted.
    bool PostRequest(int request, intptr_t value);

    enum { XStatusCount = 35, KeepAliveInterval = 120000, ReconnectDelay = 15000 };

private:
    // Presentation (AccountPresentation.cpp).
    bool StatusRow(int status, StatusEntry& out);
    void NotifyStatus(int status);
    void BuildStatusMenu(CPopupMenu& out);
    void FillXStatusMenu(CPopupMenu& out);
    void FillPrivacyMenu(CPopupMenu& out);
    int XStatusImage();
    int PrivacyImage(int mode);
    void OnMenuStatus(int status);


    // Messages (AccountMessages.cpp).
    void HandleMessageFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleIncomingMessage(const unsigned char* frame, size_t size);
    void HandleClientAnswer(const unsigned char* frame, size_t size);
    void HandleTypingNotice(const unsigned char* frame, size_t size);
    void SendMessageChunks(const Wex::ServerListItem& item, const MessageRecord& message);

    // Presence and x-statuses (AccountPresence.cpp).
    void HandleBuddyFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleLocationFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleArrival(const unsigned char* frame, size_t size);
    void HandleDeparture(const unsigned char* frame, size_t size);
    void HandleStatusAnswer(const unsigned char* frame, size_t size);
    void SetXStatus(int index);
    void AskForXStatus(Wex::ServerListItem& item);
    // "Request x-status" for a contact that is online and shows an x-status; false for any other.
    bool XStatusRequestItem(int contactId, CMenuItem& out);
    void AnswerXStatusQuery(const unsigned char* frame, size_t size);
    void DeliverXStatusReply(const CZELString& uin, const CZELString& title, const CZELString& description);

    // Connection (AccountConnection.cpp).
    IConnectionManager* ConnectionService();
    int Connect(int status);
    void ChangeOnlineStatus(int status);
    int Disconnect();
    // Closes, forgets and destroys the connection in use, if any.
    void DropConnection();
    // Starts a connection to host:port: 0, or Connect's failure code (no connection is then kept).
    int OpenConnection(const CZELString& host, int port);
    void HandleFrame(const unsigned char* frame, size_t size, const Wex::FlapPacket& header);
    void SendPacket(const Wex::Bytes& frame);
    unsigned short NextFlapSequence();

    // Sign-on (AccountSignOn.cpp).
    void DispatchSnac(const unsigned char* frame, size_t size);
    void HandleChannel1(const unsigned char* frame, size_t size);
    void HandleChannel4(const unsigned char* frame, size_t size);
    void HandleAuthFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleServiceFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleListFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleMetaFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleSelfInfo(const unsigned char* frame, size_t size);
    void CompleteLogin();

    // Server-side list (AccountRoster.cpp).
    struct PendingListEdit {
        enum Kind { Add = 1, Update = 2, Delete = 3, MoveDelete = 4, MoveAdd = 5 };
        int kind;
        Wex::ServerListItem item;
    };
    IContactListData* ContactList();
    void RequestServerList();
    void LoadCachedServerList();
    void SaveListCache();
    void HandleRoster(const unsigned char* frame, size_t size);
    void HandleListAck(const unsigned char* frame, size_t size);
    void HandleAuthRequestNotice(const unsigned char* frame, size_t size);
    void HandleAuthReplyNotice(const unsigned char* frame, size_t size);
    void SyncServerList();
    void ApplyListEdit(const PendingListEdit& edit);
    void SetPrivacyStatus(int mode, bool forceSend);
    // A request id no pending edit holds.
    unsigned NewListRequestId();
    // An item id no item and no pending edit holds; 0 when none is left.
    unsigned short NewItemId();
    // Sends the item with the command (0x08 add, 0x09 update, 0x0A delete) and remembers it.
    void SendListEdit(unsigned short subtype, int kind, const Wex::ServerListItem& item);
    int CreateGroupContact(const Wex::ServerListItem& group);
    int CreateListContact(int groupId, const CZELString& uin, const CZELString& alias);
    // Sets a contact's privacy flag bytes to membership; true when one changed.
    bool WritePrivacyFlags(int contactId, const Wex::PrivacyMembership& membership);
    void NotifyIcons(int contactId);
    // Pushes the icons of every online contact again; recognisedOnly: only those whose client
    // is recognised.
    void RefreshOnlineContacts(bool recognisedOnly);

    // What the presence and message code provides to the list and details code: a
    // contact's icons (AccountPresence.cpp), an incoming text for a contact's chat, through the
    // anti-spam filter for a sender who is not in the list, and an offline message
    // (AccountMessages.cpp).
    StatusInfo BuildContactIcons(int contactId);
    void DeliverIncomingMessage(const CZELString& uin, int flags, int kind, const CZELString& text,
                                const CZELString& secondText);
    void DeliverOfflineMessage(const Wex::OfflineMessage& message);

    // Details and search (AccountDetails.cpp).
    void HandleInfoReply(const unsigned char* frame, size_t size);
    void HandleSearchReply(const unsigned char* frame, size_t size);
    void ParseUserDetails(unsigned short subtype, const unsigned char* frame, size_t size);
    void RunSearchRequest();
    unsigned OwnUinNumber() const;

    // Timers (AccountTimers.cpp).
    void StartReconnect();
    void StopReconnect();
    void StartKeepAlive();
    void StopKeepAlive();
    void SendKeepAlive();

    AccountValues values;

    WexAccountSettings Settings;
    std::atomic<int> status;
    int RequestedStatus;
    CConnection* Connection;
    Wex::FlapFramer framer;
    unsigned short FlapSequence;
    Wex::LoginReply LoginReply;
    unsigned char PrivacyMode;
    Wex::ServerList ServerList;
    std::map<unsigned, PendingListEdit> PendingEdits;
    // Meta sequence of a details request -> the contact it asked about (0: the own details).
    std::map<unsigned short, int> PendingDetails;
    SearchRequest searchRequest;
    CZELCriticalSection xStatusLock;  // guards XStatusTexts
    std::vector<XStatusText> XStatusTexts;
    int XStatusIndex;
    bool SignedOn;
    std::unique_ptr<ReconnectWait> ReconnectThread;
    int RestoreStatus;
    bool loaded;
};

// The message class of the account's own requests (PostRequest).
extern const ZEL_GUID AccountRequestClass;
