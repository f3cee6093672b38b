// CNotifier: the shell's bubble notifications for incoming messages, information texts, mail
// notices and update offers. This build shows no bubbles yet: each request is recorded, so the
// windows that raise notifications can be followed, and nothing calls back.
#pragma once

#include "ZELCommon/ZELString.h"

#include <vector>

// What the notifier and the updater call back in the application.
class INotifierCallbacks {
public:
    // The user opened (open true) or dismissed a contact's notification; contact 0: no contact.
    virtual void OpenContact(int contact, bool open) = 0;
    // The updater's package is ready: continue downloading, or install.
    virtual void OnUpdateReady(void* updater, bool carryOn) = 0;

protected:
    ~INotifierCallbacks() {}
};

class CNotifier {
public:
    enum UpdateForm { UpdateAvailable = 0, UpdateReady = 1 };
    struct Request {
        int kind;  // 0 information, 1 mail notice, 2 incoming message, 3 update offer, 4 online, 5 offline
        int contact;
        int number;
        int icon;
        CZELString text;
        CZELString link;
    };

    explicit CNotifier(INotifierCallbacks* callbacks) : callbacks(callbacks) {}

    void ShowInfo(const CZELString& text) { requests.push_back({0, 0, 0, -1, text, CZELString()}); }
    void ShowMailNotice(const CZELString& text, const CZELString& link) { requests.push_back({1, 0, 0, -1, text, link}); }
    void ShowIncomingMessage(int number, int icon, int contact, const CZELString& text)
    {
        requests.push_back({2, contact, number, icon, text, CZELString()});
    }
    // A contact came online / went offline (kinds 4 and 5).
    void ShowContactOnline(int contact) { requests.push_back({4, contact, 0, -1, CZELString(), CZELString()}); }
    void ShowContactOffline(int contact) { requests.push_back({5, contact, 0, -1, CZELString(), CZELString()}); }
    void ShowUpdate(int form, int version) { requests.push_back({3, 0, version, form, CZELString(), CZELString()}); }
    // The contact's conversation is in front of the user: its notifications go.
    void RemoveContactNotifications(int contact) { removedContacts.push_back(contact); }

    std::vector<Request> requests;
    std::vector<int> removedContacts;

private:
    INotifierCallbacks* callbacks;
};
