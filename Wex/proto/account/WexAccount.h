// WexAccount: one account of the Wex network. It lives on its own queue of the bus
// (ServiceEventListener): the protocols manager's commands and the connection service's notices
// reach it there, one at a time on the queue's thread, which does all protocol work. It answers the
// manager with ACC_ notifications.
//
// Concerns, one file each: WexAccount.cpp (life, slots, notifications), AccountPresentation.cpp
// (settings, status table, icons, menus), AccountConnection.cpp (connect, disconnect, the receive
// loop), AccountSignOn.cpp (the frames of the sign-on), AccountTimers.cpp (keep-alive and
// reconnection), AccountMessages.cpp (messages and typing notices both ways), AccountPresence.cpp
// (contacts' presence and icons, x-statuses).
//
// Other threads never touch the account's members. The keep-alive timer (called on the program's
// window thread) and the menu callbacks (on the user interface's thread) find the account by its id
// in the plug-in's registry and post a request to its queue; the reconnect thread only posts the
// status request it was given. Status is atomic so the timer can tell when to end.
#pragma once

#include "Wex/proto/FlapFramer.h"
#include "Wex/proto/ListCommands.h"
#include "Wex/proto/SignOnReplies.h"
#include "Wex/proto/account/AccountSettings.h"
#include "Wex/proto/account/ServerListItem.h"

#include "Zel/core/plugin/ServiceEventListener.h"
#include "ZELCommon/ZELCriticalSection.h"

#include <atomic>
#include <memory>
#include <vector>

class IConnectionManager;
class IContactListData;
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

    // Stand-in for what the roster part of the engine does.
    void SetPrivacyStatus(int mode, bool force);

    // Messages (AccountMessages.cpp).
    IContactListData* ContactList();
    void HandleMessageFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleIncomingMessage(const unsigned char* frame, size_t size);
    void HandleClientAnswer(const unsigned char* frame, size_t size);
    void HandleTypingNotice(const unsigned char* frame, size_t size);
    void SendMessagePieces(const ServerListItem& item, const MessageRecord& message);
    // Hands an incoming text to the contact list: to the sender's list contact, or through the
    // anti-spam filter for a sender who is not in the list.
    void DeliverIncomingMessage(const CZELString& uin, int flags, int kind, const CZELString& text,
                                const CZELString& text2);
    // A message the server kept while the account was offline, sent at the universal time given.
    void DeliverOfflineMessage(const CZELString& uin, unsigned year, unsigned month, unsigned day, unsigned hour,
                               unsigned minute, const CZELString& text);
    // A top-level list contact for a sender the anti-spam filter let through.
    int CreateListContact(const CZELString& uin);

    // Presence and x-statuses (AccountPresence.cpp).
    void HandleBuddyFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleLocationFamily(unsigned short subtype, const unsigned char* frame, size_t size);
    void HandleArrival(const unsigned char* frame, size_t size);
    void HandleDeparture(const unsigned char* frame, size_t size);
    void HandleStatusAnswer(const unsigned char* frame, size_t size);
    void NotifyContactStatus(const ServerListItem& item);
    void BuildContactIcons(int contactId, StatusInfo& out);
    void SetXStatus(int index);
    void AskForXStatus(ServerListItem& item);
    void AnswerXStatusQuery(const unsigned char* frame, size_t size);
    void DeliverXStatusReply(const CZELString& uin, const CZELString& title, const CZELString& description);
    // Links the buddies of the list just received to the list contacts already there.
    void LinkListContacts();

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
    void HandleSelfInfo(const unsigned char* frame, size_t size);
    void CompleteLogin();

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
    ServerItemList ServerList;
    std::vector<Wex::ListItem> rosterInProgress;
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
