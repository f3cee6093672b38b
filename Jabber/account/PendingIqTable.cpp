#include "Jabber/account/PendingIqTable.h"

#include <algorithm>

namespace {

bool SameJid(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool ReplyComesFrom(const std::string& asked, const std::string* from, const OwnAddress& own)
{
    if (!asked.empty()) return from && SameJid(*from, asked);
    // A request without "to" is the server's to answer, on the account's behalf (RFC 6120, 8.1.2.1).
    if (!from) return true;
    for (const std::string* self : {&own.bareJid, &own.fullJid, &own.server})
        if (!self->empty() && SameJid(*from, *self)) return true;
    return false;
}

void PendingIqTable::Register(unsigned counter, int kind, const std::string& asked, Handler handler, uint64_t now)
{
    if (kind != Ordinary) {
        for (Record& record : records) {
            if (record.kind != kind) continue;
            record = Record{counter, kind, asked, std::move(handler), now};
            return;
        }
    }
    records.push_back(Record{counter, kind, asked, std::move(handler), now});
}

PendingIqTable::Handler PendingIqTable::Take(unsigned counter, const std::string* from, const OwnAddress& own,
                                             uint64_t now)
{
    Expire(now);
    for (auto it = records.begin(); it != records.end(); ++it) {
        if (it->counter != counter || !ReplyComesFrom(it->asked, from, own)) continue;
        Handler handler = std::move(it->handler);
        records.erase(it);
        return handler;
    }
    return Handler();
}

void PendingIqTable::Expire(uint64_t now)
{
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [&](const Record& record) { return now >= record.registered + expiryMs; }),
                  records.end());
}
