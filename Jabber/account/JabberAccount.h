// JabberAccount: one configured XMPP account of any of the five kinds. The base gives it its own
// queue and turns the protocols manager's commands and the connection service's notices into the
// operations below, all on that queue's thread. Everything the account owns (the connection, both
// zlib streams, the stream parser, the iq counter and the pending requests) is touched on that
// thread only; the account's own threads and the keep-alive timer hand their work over through
// RunOnQueue.
//
// A connection goes: offline (0) -> connecting (1): TCP, stream, compression, authentication,
// binding, session -> online (the status asked for). Whatever ends it on the way (the server, a
// failed send, a broken stream, a negotiation that stalls) goes through Disconnect, and where the
// user still wants to be online one attempt to reconnect follows after a wait.
//
// The operations are spread over files by concern: JabberAccount.cpp (commands, shared tables),
// AccountConnection.cpp (connection, sending, receiving, reconnection), StreamNegotiation.cpp
// (stream header, features, compression, SASL, legacy authentication, binding, session) and
// IqHandling.cpp (iq dispatch and the replies the account serves itself), VCards.cpp (vCards asked
// for, stored and published), MailNotices.cpp (new-mail notices), FileTransferHandling.cpp (files
// received), ContactLookup.cpp (a contact by its JID), Roster.cpp, Presence.cpp and Messages.cpp.
#pragma once

#include "Jabber/account/AccountSettings.h"
#include "Jabber/account/CapsCache.h"
#include "Jabber/account/ContactStore.h"
#include "Jabber/account/DelayedPost.h"
#include "Jabber/account/FileTransfers.h"
#include "Jabber/account/PendingIqTable.h"
#include "Jabber/account/SaslMechanism.h"
#include "Jabber/stream/StreamCompression.h"
#include "Jabber/stream/XmppInput.h"
#include "Jabber/xml/XmlElement.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/core/plugin/ServiceEventListener.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class IConnectionManager;
class IContactListData;

// Shared between an own-details dialog and the account: whether the answer to the vCard request sent
// when the dialog opened has been stored (or can no longer come).
typedef std::shared_ptr<std::atomic<bool>> VCardAnswer;

class JabberAccount : public ServiceEventListener {
public:
    JabberAccount(int kind, Services::CServicesManager* services, unsigned accountId, unsigned ownerQueue);
    ~JabberAccount() override;

    CZELString GetListenerName() override;
    int Load() override;
    int Unload() override;
    int GetDisplayName(CZELString* out) override;
    int SetStatus(int status) override;
    int GetStatus() override;
    int GetStatusInfo(int status, StatusEntry* out) override;
    int PublishIcons() override;
    int GetStatusMenu(intptr_t iconIndex, CPopupMenu* menu) override;
    int FillAccountMenu(CPopupMenu* menu) override;
    int FillGroupMenu(int groupId, CPopupMenu* menu) override;
    int FillContactMenu(int contactId, CPopupMenu* menu) override;
    int FillChatMenu(int contactId, CPopupMenu* menu) override;
    int FillMainMenu(CPopupMenu* menu) override;
    int GetContactIcons(int contactId, StatusInfo* out) override;
    int AddGroup(CZELString name) override;
    int RenameGroup(int groupId, CZELString name) override;
    int DeleteGroup(int groupId) override;
    int RenameContact(int contactId, CZELString name) override;
    int MoveContact(int contactId, int groupId) override;
    int DeleteContact(int contactId) override;
    int SendInstantMessage(MessageRecord* message) override;
    int ChangeLanguage(CZELString language) override;
    int OnConnectResult(CConnection* connection, int result) override;
    int OnDataReceived(CConnection* connection, int length) override;
    int OnDisconnected(CConnection* connection, int reason) override;
    int OnErrorText(CConnection* connection, const CZELString& text) override;
    int AnswerFileOffer(intptr_t key, bool accept) override;
    int GetSettingsPages(void* pages) override;
    int GetOwnDetailsPages(void* pages) override;
    int GetContactDetailsPages(int contactId, void* pages) override;

    // SettingsPages.cpp, on the queue's thread: what the pages change beyond the stored settings.
    // The caption (the bare JID) is to be read again.
    void AnnounceNameChanged();
    // Stores "HideEmailBtn" when it changes and removes or brings back the e-mail icon.
    void SetHideEmailButton(bool hide);

    int Kind() const { return kind; }
    const ZEL_GUID& ProtocolGuid() const;
    int FirstStatusImage() const;
    const AccountSettings& Settings() const { return settings; }
    // The program's bus, which outlives the account.
    Services::CServicesManager* Bus() const { return services; }

    // A new group of the account in the contact list, its network name and its shown name both
    // name: the group's id, 0 without the contact list.
    int CreateGroup(const CZELString& name);

    // 0 connecting (or only the target changed); -2 for status 0; -3 without the connection service;
    // -4 when it gives no connection; else the service's own failure.
    int Connect(int requested);
    // Ends the connection and everything tied to it; announces offline unless already offline.
    int Disconnect();

    // The keep-alive timer's callback (any thread; context: the account's handle): the next
    // interval, 0 to stop.
    static unsigned KeepAliveTick(intptr_t context);

    // Accounts alive in the module, for the tests.
    static int LiveAccounts();

    // VCards.cpp, on the queue's thread: asks for the vCard of jid (the own bare JID or a
    // contact's), whose reply fills the own values or the contact's properties; gives the request's
    // counter, 0 when nothing was sent. answered, when given, becomes true once the reply has been
    // stored or can no longer come (at once when nothing was sent).
    unsigned RequestVCard(const CZELString& jid, VCardAnswer answered = VCardAnswer());
    // Sends the own vCard built from the own values.
    void PublishOwnVCard();
    // The same from any thread (the details dialogs): run on the queue; false when not queued.
    bool QueueVCardRequest(const CZELString& jid);
    bool QueueOwnVCardPublication();

    // MailNotices.cpp: the signed link into the account's web mailbox.
    CZELString BuildWebMailLink() const;

    // The account's contacts, by bare JID. Used on the account's queue thread.
    ContactStore& Contacts() { return contacts; }
    // The contact-list id of the roster contact with that bare JID; 0 when there is none.
    int ContactIdByJid(const std::wstring& jid) const;

    // Roster.cpp: the roster and subscriptions. The commands refuse to act while the account is
    // not online (the server would never learn of the change): false then.
    bool DeleteGroupCommand(int groupId);
    bool DeleteContactCommand(int contactId);
    bool RenameContactCommand(int contactId, const CZELString& name);
    bool MoveContactToGroup(int contactId, int groupId);
    bool SendSubscription(int contactId, const char* type);
    bool RequestAuthorizationAction(int contactId) { return SendSubscription(contactId, "subscribe"); }
    bool GrantAuthorization(int contactId) { return SendSubscription(contactId, "subscribed"); }
    bool RevokeAuthorization(int contactId) { return SendSubscription(contactId, "unsubscribed"); }
    bool AcceptAuthorization(int contactId);
    bool DeclineAuthorization(int contactId);
    bool IgnoreAuthorization(int contactId);
    // The contact menus' actions: each runs the authorisation action on the account's queue. The
    // argument is ContactActionArgument's; the context is not used.
    enum ContactAction {
        ActionRequestAuth, ActionGrantAuth, ActionRevokeAuth, ActionAcceptAuth, ActionDeclineAuth, ActionIgnoreAuth,
        ContactActionCount
    };
    static MenuCallback ContactActionCallback(int action);
    intptr_t ContactActionArgument(int contactId) const;

    // Menus.cpp: the e-mail icon's menu; "Open Inbox" opens BuildWebMailLink's address from the
    // account's queue.
    void FillMailMenu(CPopupMenu* menu);
    static void OpenWebMail(intptr_t context, intptr_t argument);
    // An added item's argument: the account id and value (a group or contact id, or 0).
    intptr_t MenuArgument(int value) const;

    // AddContactDialog.cpp: the items that open the add-contact dialog (on the user interface's
    // thread), from the account and main menus, a group's menu and a contact's.
    static void AddContactPlain(intptr_t context, intptr_t argument);
    static void AddContactToGroup(intptr_t context, intptr_t argument);
    static void AddContactFromContact(intptr_t context, intptr_t argument);
    // On the queue's thread: the roster set the dialog asks for; the contact arrives by push.
    void AddRosterContact(const std::wstring& jid, const std::wstring& name, const std::wstring& group);

    // Presence.cpp.
    // The status menu as data: every item's action sets that status on the account's queue.
    void FillStatusMenu(CPopupMenu* menu);
    // The contact-list icons of the contact: status and image, and the not-authorised mark.
    void BuildContactStatus(int contactId, StatusInfo& out);

    // Messages.cpp: what a resource supports (CapsCache.h); with complete, a bare JID is completed
    // with the contact's best resource.
    uint64_t ClientFeatures(const std::wstring& jid, bool complete);

private:
    // The benchmark drives the stanza handlers directly.
    friend struct JabberAccountProbe;
    typedef std::function<void(const XmlElement& iq)> IqHandler;
    struct RequestHandler {
        unsigned typeMask;  // TypeGet, TypeSet
        const char* ns;     // null: any
        const char* name;   // null: any
        IqHandler handler;
    };
    enum { TypeGet = 4, TypeSet = 8 };

    // JabberAccount.cpp
    void Announce(int newStatus);
    void Warn(const CZELString& text);
    void Warn(const std::string& utf8);
    unsigned KeepAliveFromTimer();

    // AccountConnection.cpp
    IConnectionManager* ConnectionService() const;
    void DropConnection();
    void ResetStream();
    void LoseConnection();
    void StartReconnect();
    void StopReconnect();
    bool ProcessInput(unsigned connectGeneration);
    void OnInputFailed();
    bool SendText(const std::string& text);
    bool SendElement(const XmlElement& element);
    void FailSend();

    // StreamNegotiation.cpp
    void OpenStream();
    void OnStreamHeader(const XmlElement& header);
    void DispatchTopLevel(std::unique_ptr<XmlElement> stanza);
    void OnFeatures(const XmlElement& features);
    bool AskForCompression(const XmlElement& compressionFeature);
    void StartSasl(std::unique_ptr<SaslMechanism> mechanism);
    void OnCompressed(const XmlElement& element);
    void OnFailure(const XmlElement& element);
    void OnSaslSuccess(const XmlElement& element);
    void OnChallenge(const XmlElement& element);
    void OnStreamError(const XmlElement& error);
    void StartLegacyAuth();
    void OnLegacyAuthFields(const XmlElement& reply);
    void OnLegacyAuthResult(const XmlElement& reply);
    void SendBind();
    void OnBindResult(const XmlElement& reply);
    void OnSessionResult(const XmlElement& reply);
    void OnSessionEstablished();
    void OnNegotiationStalled();
    // Ends the attempt with a warning and no reconnection: the server refused us.
    void EndRefused(const CZELString& warning);

    // AddContactDialog.cpp: presets copied under the accounts' lock, the dialog run without it.
    static void OpenAddContact(unsigned accountId, int groupId, int contactId);

    // Roster.cpp
    IContactListData* ContactList() const;
    void RegisterRosterHandlers();
    void OnRosterResult(const XmlElement& iq);
    void OnRosterPush(const XmlElement& iq);
    void ApplyPushItem(IContactListData* list, const XmlElement& item);
    void OnSubscriptionPresence(const XmlElement& presence, const std::wstring& from, const std::string& type);
    void AddToContactList(ContactRecord* record, const std::wstring& name, int groupId, int subscription);
    int FindGroupByName(const CZELString& name);
    void SendRosterSet(const ContactRecord& record);
    void SendRosterRemoval(const std::wstring& jid);
    void WriteSubscription(IContactListData* list, ContactRecord* record, int subscription);
    std::wstring ContactJid(int contactId);
    bool IsOwnBareJid(const std::string& jid) const;
    bool IsOwnServer(const std::string& jid) const;
    bool Online() const { return AccountStatus::IsConnected(status); }

    // Presence.cpp
    void ApplyStatus(int chosen);
    void SendPresence(int chosen, const std::string* to, XmlElement* extra);
    void OnPresence(const XmlElement& presence);
    void UpdateContactStatus(const std::wstring& jid);
    // BuildContactStatus for a contact whose record (null: none) is known already.
    void BuildContactIcons(IContactListData* list, const ContactRecord* record, int contactId, StatusInfo& out);
    void MarkContactsOffline();
    static void OnStatusMenuItem(intptr_t context, intptr_t argument);

    // Messages.cpp
    void OnMessage(const XmlElement& message);
    void DeliverIncoming(const std::wstring& jid, int flags, int kind, const std::wstring& text);
    void SendChatMessage(const std::wstring& jid, const std::wstring& text, int messageNumber);
    void AcknowledgeMessage(int contactId, unsigned counter);

    // IqHandling.cpp
    void RegisterRequestHandlers();
    // Sends iq, which gets the next id, and waits for its reply, from asked (empty: no "to").
    bool SendRequest(XmlElement& iq, const std::string& asked, IqHandler onReply, int pendingKind = 0);
    void HandleIq(const XmlElement& iq);
    bool DispatchRequest(const XmlElement& iq, unsigned typeBit);
    void ReplyUnserved(const XmlElement& request);
    void ReplyVersion(const XmlElement& request);
    void ReplyPing(const XmlElement& request);
    void ReplyDiscoInfo(const XmlElement& request);
    OwnAddress Own() const;

    // Discovery.cpp
    // Asks the resource fullJid what it supports, as far as nothing known tells it already.
    void AskWhatResourceSupports(const std::wstring& fullJid);
    // Sends iq (a get to fullJid) as one of the limited queries, resolving the cache entry (node,
    // key) (empty node: none); false when there is no room for it now.
    bool SendLimitedQuery(XmlElement& iq, const std::wstring& fullJid, const std::wstring& node,
                          const std::wstring& key, IqHandler onReply);
    // One disco#info query for node#key of the capabilities fullJid announced; true when sent.
    bool AskCapsKey(const std::wstring& fullJid, const std::wstring& node, const std::wstring& key);
    void AskVersion(const std::wstring& fullJid);
    void OnVersionAnswer(const std::wstring& fullJid, const XmlElement& reply);
    void AskResourceDisco(ResourceRecord& resource, const std::wstring& fullJid);
    // clientName, clientVersion: the cache entry the answer is kept under (empty: none).
    void OnResourceDiscoAnswer(const std::wstring& fullJid, const std::wstring& clientName,
                               const std::wstring& clientVersion, const XmlElement& reply);
    void DiscoQueryDone(unsigned counter);
    // The queries lost with the connection: their pending cache entries back to unknown.
    void ForgetDiscoQueries();

    // VCards.cpp
    // askedOwn: the request went to the own bare JID.
    void ParseVCardResult(const XmlElement& iq, bool askedOwn, std::atomic<bool>* answered);

    // MailNotices.cpp
    // Whether from (null: no "from") is the account's own server.
    bool IsFromOwnServer(const std::string* from) const;
    void MailNoticeFromPresence(const XmlElement& presence);
    void HandleMailNotice(const XmlElement& x);

    // FileTransferHandling.cpp
    void RegisterTransferHandlers();
    void HandleSiRequest(const XmlElement& iq);
    void HandleFileOffer(const XmlElement& iq);
    void AcceptSiIbb(const FileTransfer& transfer);
    void HandleStreamhosts(const XmlElement& iq);
    void HandleIbbRequest(const XmlElement& iq);
    void HandleIbbOpenClose(const XmlElement& iq, bool open);
    bool ReceiveIbbBlock(const std::string& from, const std::string& base64, const std::string& sid,
                         const std::string& seq);
    void IbbFromMessage(const XmlElement& message);

    // ContactLookup.cpp: the contact of a bare JID, roster or temporary; 0 when there is none.
    int ContactIdForJid(const std::string& bareJid);

    const int kind;
    const AccountSettings settings;
    ContactStore contacts;
    CapsCache caps;
    // Presence goes out once the roster of this connection has been merged.
    bool rosterMerged = false;
    int xStatus = 0;
    // Outgoing messages awaiting their "delivered" notice: id counter -> message number. Capped, the
    // oldest going first, so a peer that never answers cannot make it grow without end.
    std::map<unsigned, int> sentMessages;
    bool loaded = false;

    // The connection; generation advances with every Connect and Disconnect, so work queued for an
    // earlier connection knows it is stale.
    CConnection* connection = nullptr;
    unsigned generation = 0;
    unsigned failedSendGeneration = ~0u;
    std::atomic<int> status{0};
    int targetStatus = 0;
    int reconnectStatus = 0;

    // The stream.
    StreamCompression compression;
    XmppInput input{compression};
    bool compressionOn = false;
    bool compressionAsked = false;
    bool compressionRefused = false;
    bool streamRestart = false;
    bool restartCompressed = false;
    std::string streamId;
    bool legacyAuthStarted = false;
    bool sessionRequired = false;
    std::unique_ptr<SaslMechanism> sasl;
    std::unique_ptr<XmlElement> lastFeatures;
    std::string ownFullJid;

    // Requests.
    unsigned iqCounter = 0;
    PendingIqTable pending;
    std::vector<RequestHandler> requestHandlers;
    // Discovery and version queries to contacts' resources not yet answered, with the cache entry
    // each one resolves (empty for none). At most MaxDiscoQueries at once, so a roster announcing
    // many unknown clients (or a peer announcing endless extensions) cannot flood the connection.
    struct DiscoQuery {
        unsigned counter;
        uint64_t sent;
        std::wstring node, key;
    };
    enum { MaxDiscoQueries = 8 };
    std::vector<DiscoQuery> discoQueries;

    // Files being received.
    FileTransferTable transfers;

    // Threads: the reconnection, the sweep of unanswered requests, the negotiation's time limit.
    DelayedPost reconnectThread;
    unsigned reconnectToken = 0;
    DelayedPost iqWorker;
    DelayedPost negotiationLimit;
};
