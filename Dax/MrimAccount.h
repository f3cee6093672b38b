// MrimAccount: one account of the network. It lives on its own queue (ServiceEventListener) and
// every piece of its state (the connection, the packet reader, the sequence counter, the contact
// model and the pending requests) is touched on that queue's thread only: the ping timer, the
// reconnection thread and the menu actions run elsewhere and post to the queue instead.
//
// Session: Offline -> (redirector connection) Connecting -> (session connection, hello, login)
// Online; a lost session goes Offline and a reconnection thread asks for the last status again
// after a delay.
#pragma once

#include "Dax/MrimContactList.h"
#include "Dax/proto/MrimRequests.h"
#include "Dax/proto/PacketReader.h"
#include "Zel/core/plugin/ServiceEventListener.h"

#include "ZELCommon/ZELCriticalSection.h"

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CZELThread;
class CZELEvent;
class IConnectionManager;
class IProtocolsManager;
class IContactListData;

struct MrimSettings {
    CZELString accountName;  // the address used as login
    CZELString password;
    CZELString serverHost;  // the redirector
    unsigned port = 2042;
    bool emailNotify = true;
    bool hideEmailBtn = false;
    // Outside web addresses: the web-authentication page and the pages it leads to.
    CZELString webAuthAddress;
    CZELString mailPageAddress;
    CZELString userInfoAddress;
};

// What the search panes fill and Search sends.
struct SearchQuery {
    int kind = 0;  // 0 by address, 1 by fields
    CZELString email;
    Mrim::SearchFields fields;
};

class MrimAccount : public ServiceEventListener {
public:
    MrimAccount(Services::CServicesManager* services, unsigned accountId, unsigned ownerQueue);
    ~MrimAccount() override;

    CZELString GetListenerName() override;
    int Load() override;
    int PublishIcons() override;
    int Unload() override;
    int GetDisplayName(CZELString* out) override;
    int SetStatus(int status) override;
    int GetStatus() override;
    int GetStatusMenu(intptr_t iconIndex, CPopupMenu* menu) override;
    int GetContactIcons(int contactId, StatusInfo* out) override;
    int FillAccountMenu(CPopupMenu* menu) override;
    int FillGroupMenu(int groupId, CPopupMenu* menu) override;
    int FillContactMenu(int contactId, CPopupMenu* menu) override;
    int FillChatMenu(int contactId, CPopupMenu* menu) override;
    int FillMainMenu(CPopupMenu* menu) override;
    int AddGroup(CZELString name) override;
    int RenameGroup(int groupId, CZELString name) override;
    int DeleteGroup(int groupId) override;
    int RenameContact(int contactId, CZELString name) override;
    int MoveContact(int contactId, int groupId) override;
    int DeleteContact(int contactId) override;
    int SendInstantMessage(MessageRecord* message) override;
    int GetSettingsPages(void* pages) override;
    int GetOwnDetailsPages(void* pages) override;
    int GetContactDetailsPages(int contactId, void* pages) override;
    int ChangeLanguage(CZELString language) override;
    int GetSearchPages(void* pages) override;
    int Search(intptr_t kind) override;
    int FillSearchResultMenu(void* resultItem, CPopupMenu* menu) override;
    int SetTyping(int contactId, bool stopped) override;
    int OnConnectResult(CConnection* connection, int result) override;
    int OnDataReceived(CConnection* connection, int length) override;
    int OnDisconnected(CConnection* connection, int reason) override;
    int OnErrorText(CConnection* connection, const CZELString& text) override;
    int OnOtherMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override;

    // From other threads: the ping timer's tick (the milliseconds to the next one, 0 to stop) and a
    // menu item's choice; both only post to the queue.
    unsigned PingTick();
    void PostMenuAction(int action, int value, intptr_t context);

    // Actions of the menus (DAX_MENU_ACTION).
    enum MenuAction {
        ActionSetStatus = 1,
        ActionOpenInbox,
        ActionAddContact,      // value: group id, 0 for none
        ActionAddListContact,  // value: contact id
        ActionAuthRequest,
        ActionWakeUp,
        ActionAccept,
        ActionDecline,
        ActionIgnore,
        ActionVisibleOn,
        ActionVisibleOff,
        ActionInvisibleOn,
        ActionInvisibleOff,
        ActionIgnoreOn,
        ActionIgnoreOff,
    };

    // The web-authentication link of a page for the current session key.
    CZELString WebLink(const CZELString& page) const;
    // Asks the server for a web-session key; kind says what to do with it (0 own details, 1 mail
    // notice with text, 2 open the mailbox).
    void RequestWebSession(int kind, const CZELString& text);
    // Sends the add-contact request of the add-contact dialog.
    void RequestAddContact(int groupId, const CZELString& email, const CZELString& nickname);

    // What the plug-in's windows show. They run on the user interface's thread, so they read a copy
    // taken under the lock that every change of these values takes.
    struct WindowView {
        CZELString accountName;
        bool passwordStored = false;
        bool emailNotify = true;
        bool hideEmailBtn = false;
        CZELString webSessionKey;
        CZELString userInfoAddress;
        int status = 0;
    };
    WindowView View() const;
    // The web link of a page from a view's name and key, for a window's thread.
    CZELString WebLinkFor(const WindowView& view, const CZELString& page) const;
    // The account's group names in the contact-list data, which any thread may read.
    std::vector<CZELString> OfferedGroupNames() const;
    // A contact's property from the contact-list data ("Account name", "CL Alias").
    CZELString ContactProperty(int contactId, const wchar_t* name) const;
    // Runs work on the account's queue: what windows hand the engine goes there, so the connection,
    // the sequence counter and the model keep one thread.
    void PostTask(std::function<void(MrimAccount&)> task);

    // On the queue: what the windows hand over.
    // The account pane's values: the name (empty: keep) and, when changed, the password; a login
    // reads the old pair or the new one, never a mix.
    void ApplyAccountPane(const CZELString& accountName, bool newPassword, const CZELString& password);
    void ApplyAdvancedPane(bool emailNotify, bool hideEmailBtn);
    // Shows or hides the e-mail cell of the top panel while on line; offline only the setting counts.
    void SetEmailButtonHidden(bool hidden);
    // The add-contact dialog's answer: the group is looked up again by name, and a group gone since
    // the dialog opened adds nothing and says so.
    void AddContactFromDialog(const CZELString& groupName, const CZELString& email, const CZELString& nickname);
    // The add-contact dialog does not open without a group to add to.
    void WarnNoGroups();
    // The authorisation request with the reason the user confirmed.
    void SendAuthRequest(int contactId, const CZELString& reason);
    // The search panes' fields.
    void SetSearchEmail(const CZELString& email);
    void SetSearchFields(const Mrim::SearchFields& fields);

private:
    // Services.
    IConnectionManager* Connections() const;
    IProtocolsManager* Manager() const;
    IContactListData* Data() const;

    // Settings.
    void LoadSettings();
    void SaveSettings();

    // Notices to the owner queue.
    void PostStatus(int shown);
    void PostWarning(const CZELString& text);
    void PostIcon(int code, int position, int image);

    // Packets.
    void SendPacket(unsigned command, const Mrim::Bytes& body, unsigned sequence = 0);
    unsigned NextSequence() { return unsigned(nextSequence++); }
    void Dispatch(const Mrim::Packet& packet);

    // Session.
    int ConnectOrChangeStatus(int newStatus);
    void OnRedirectorData(const unsigned char* bytes, size_t length);
    void FinishRedirect();
    void ConnectToSession();
    void GoOffline();
    void DropConnection();
    void LoseSession();
    void SendLogin();
    void OnHelloAck(const Mrim::Packet& packet);
    void OnLoginAck();
    void OnLoginRejected(const Mrim::Packet& packet);
    void OnLogout(const Mrim::Packet& packet);
    void OnConnectionParams(const Mrim::Packet& packet);
    void OnUserInfo(const Mrim::Packet& packet);
    void OnMailboxStatus(const Mrim::Packet& packet);
    void OnNewMail(const Mrim::Packet& packet);
    void OnWebSessionKey(const Mrim::Packet& packet);
    void StartPingTimer();
    void StopPingTimer();
    void StartReconnectThread();
    void StopReconnectThread();
    static unsigned long ReconnectThreadProc(void* context);
    void ShowMailIcon(bool add);

    // Messages.
    void OnIncomingMessage(const Mrim::Packet& packet);
    void OnMessageStatus(const Mrim::Packet& packet);
    void OnAuthorizeAck(const Mrim::Packet& packet);
    void OnOfflineMessage(const Mrim::Packet& packet);
    // Turns an incoming text into a message record and delivers it; true for a text message (one
    // that gets a receipt).
    bool FormatIncomingMessage(const CZELString& sender, unsigned flags, const unsigned char* bytes, size_t length,
                               const CZELString* date);
    void DeliverIncomingMessage(const CZELString& sender, int flags, int kind, const CZELString& text);
    void SendWakeUp(int contactId);
    void AnswerAuthorization(int contactId, int action);

    // Contact and group operations.
    void OnContactAck(const Mrim::Packet& packet);
    void SetListFlag(int contactId, bool on, unsigned flag);
    bool CanChangeList() const;

    // Menus and directory.
    void OnMenuAction(int action, int value, intptr_t context);
    void RequestContactDetails(const CZELString& email);
    void OnAnketa(const Mrim::Packet& packet);

    MrimSettings settings;
    std::atomic<int> status{0};
    int wantedStatus = 0;
    int loginStatus = 0;  // the status the login carried
    CConnection* connection = nullptr;
    bool redirectorPhase = false;
    std::string redirectorAnswer;
    CZELString sessionHost;
    unsigned sessionPort = 0;
    Mrim::PacketReader reader;
    unsigned generation = 0;  // advanced whenever the session's connection goes
    int nextSequence = 1;
    unsigned unreadMail = 0;
    std::atomic<unsigned> pingInterval{0};
    bool pingTimerStarted = false;
    CZELThread* reconnectThread = nullptr;
    int savedStatus = 0;
    CZELEvent* stopEvent = nullptr;
    std::map<std::wstring, CZELString> userInfo;
    MrimContactList contactList;
    std::map<unsigned, int> sentMessages;  // sequence -> contact id, until acknowledged
    CZELString webSessionKey;
    // Taken by every change of the settings and the web-session key, and by View.
    mutable CZELCriticalSection viewLock;
    int pendingWebAction = 0;
    CZELString pendingWebText;
    SearchQuery searchQuery;
    bool loaded = false;
};
