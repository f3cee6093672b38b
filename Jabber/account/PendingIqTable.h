// PendingIqTable: the requests an account sent and waits to hear back about, by the number in their
// id ("zel_" + counter). A reply is taken only from the entity the request went to, so a stranger
// who guesses the next id cannot answer for the server; records older than the expiry are dropped
// unanswered. Used on the account's queue thread only; the time is passed in (milliseconds since
// boot), so tests set the clock.
#pragma once

#include "Jabber/xml/XmlElement.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Who the account is, for deciding who may answer a request that went to no "to": the server
// itself, the account's bare JID or its bound full JID, or a reply without "from".
struct OwnAddress {
    std::string bareJid;
    std::string fullJid;
    std::string server;
};

// Whether a reply from from (null: it had no "from") answers a request that went to asked (empty:
// no "to"). JIDs compare without regard to ASCII letter case.
bool ReplyComesFrom(const std::string& asked, const std::string* from, const OwnAddress& own);

class PendingIqTable {
public:
    typedef std::function<void(const XmlElement& reply)> Handler;
    enum { DefaultExpiryMs = 120000 };
    // Kinds that may have one request outstanding at a time; 0 is any number of them.
    enum Kind { Ordinary = 0, OwnVCardRequest = 4, OwnVCardPublication = 5 };

    explicit PendingIqTable(uint64_t expiryMs = DefaultExpiryMs) : expiryMs(expiryMs) {}

    // An Ordinary record is appended; another kind replaces the record of that kind, if any.
    void Register(unsigned counter, int kind, const std::string& asked, Handler handler, uint64_t now);
    // Drops expired records, then takes out the first record of counter that the reply's sender may
    // answer and gives its handler; an empty handler when none.
    Handler Take(unsigned counter, const std::string* from, const OwnAddress& own, uint64_t now);
    // Drops the records registered expiryMs or more before now.
    void Expire(uint64_t now);
    void Clear() { records.clear(); }
    size_t Count() const { return records.size(); }
    uint64_t ExpiryMs() const { return expiryMs; }

private:
    struct Record {
        unsigned counter;
        int kind;
        std::string asked;
        Handler handler;
        uint64_t registered;
    };

    uint64_t expiryMs;
    std::vector<Record> records;
};
