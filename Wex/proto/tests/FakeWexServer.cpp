#include "FakeWexServer.h"

#include "Wex/proto/FlapFramer.h"
#include "Wex/proto/FlapSequence.h"
#include "Wex/proto/Tlv.h"
#include "Wex/proto/UserInfo.h"

#include "ZELCommon/MD5.h"

#include <chrono>
#include <cstring>

namespace WexTest {

namespace {

const char kAuthKey[] = "5720943166";
const char kSalt[] = "Generic Messenger Salt 01x";

std::string TextOf(const Wex::Tlv* item)
{
    return item && item->GetLength() ? std::string(reinterpret_cast<const char*>(item->GetValue()), item->GetLength())
                                     : std::string();
}

// The digest the login must carry, computed here from its definition: MD5 of the key, the stored
// password digest and the salt.
Bytes ExpectedDigest(const Wex::Md5Digest& passwordDigest)
{
    Bytes input(kAuthKey, kAuthKey + strlen(kAuthKey));
    input.insert(input.end(), passwordDigest.begin(), passwordDigest.end());
    input.insert(input.end(), kSalt, kSalt + strlen(kSalt));
    Bytes digest(16);
    CMD5::Hash(input.data(), unsigned(input.size()), digest.data());
    return digest;
}

Bytes RateInfoBody()
{
    Wire body;
    body.U16(2);
    for (unsigned id = 1; id <= 2; ++id)
        body.U16(id).U32(80).U32(2500).U32(2000).U32(1500).U32(800).U32(6000).U32(6000).U32(0).U8(0);
    body.U16(1).U16(1).U32(0x00010002);
    body.U16(2).U16(2).U32(0x00130004).U32(0x00040006);
    return body;
}

Bytes SelfInfoBody(const std::string& uin, int statusWord)
{
    Wire body;
    body.Str8(uin).U16(0).U16(statusWord < 0 ? 1 : 2).Tlv(0x0001, Wire().U16(0x0050));
    // The status half is written as the client wrote it: low byte first.
    if (statusWord >= 0) body.Tlv(0x0006, Wire().U16(0x1000).U16LE(unsigned(statusWord)));
    return body;
}

Bytes RosterItem(const std::string& name, unsigned group, unsigned item, unsigned type, const Bytes& attributes)
{
    return Wire().Str16(name).U16(group).U16(item).U16(type).U16(unsigned(attributes.size())).Raw(attributes);
}

}  // namespace

// One connection of either host: cuts what the client sends into frames, checks them, and writes
// the answers as the delivery says.
class FakeWexServer::Session {
public:
    Session(FakeWexServer& server, SOCKET s, bool mainHost) : server(server), s(s), mainHost(mainHost)
    {
        std::lock_guard<std::mutex> hold(server.lock);
        number = server.nextConnection++;
        dropGeneration = server.closeFramesToSend.size();
        pushed = server.pushes.size();
        if (mainHost) server.openMain.push_back(s);
    }

    ~Session()
    {
        std::lock_guard<std::mutex> hold(server.lock);
        for (size_t i = 0; i < server.openMain.size(); ++i)
            if (server.openMain[i] == s) server.openMain.erase(server.openMain.begin() + long(i));
    }

    // Frames to write at the next Flush.
    void Queue(const Bytes& frame)
    {
        server.Record(number, mainHost, false, frame);
        pending.push_back(frame);
    }
    void QueueSnac(unsigned family, unsigned subtype, const Bytes& body, unsigned flags = 0, unsigned requestId = 0)
    {
        Queue(Snac(family, subtype, body, flags, requestId, NextSequence()));
    }
    void QueueAnswer(const Answer& answer)
    {
        QueueSnac(answer.family, answer.subtype, answer.body, answer.flags, answer.requestId);
    }
    unsigned NextSequence() { return sequence = Wex::NextFlapSequence((unsigned short)sequence); }

    bool Flush()
    {
        Delivery delivery;
        size_t pieceSize;
        {
            std::lock_guard<std::mutex> hold(server.lock);
            delivery = server.delivery;
            pieceSize = server.pieceSize ? server.pieceSize : 1;
        }
        Bytes all;
        for (const Bytes& frame : pending) all.insert(all.end(), frame.begin(), frame.end());
        bool ok = true;
        if (delivery == Delivery::EachFrame) {
            for (const Bytes& frame : pending) ok = ok && Write(frame.data(), frame.size());
        } else if (delivery == Delivery::Merged) {
            ok = Write(all.data(), all.size());
        } else {
            for (size_t at = 0; ok && at < all.size(); at += pieceSize) {
                ok = Write(all.data() + at, std::min(pieceSize, all.size() - at));
                // A pause, so each piece arrives as a read of its own.
                Sleep(2);
            }
        }
        pending.clear();
        return ok;
    }

    // Runs handle(frame) on each client frame until the client closes, the servers stop, or the
    // test drops the connection; false when the handler asked to end.
    template <typename Handle> void Run(Handle handle)
    {
        unsigned char buffer[4096];
        for (;;) {
            if (server.stopping || DropRequested()) return;
            if (!SendPushes()) return;
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s, &readable);
            timeval wait = {0, 20000};
            int ready = select(0, &readable, nullptr, nullptr, &wait);
            if (ready < 0) return;
            if (ready == 0) continue;
            int n = recv(s, reinterpret_cast<char*>(buffer), sizeof buffer, 0);
            if (n <= 0) return;
            size_t offset = 0;
            while (offset < size_t(n)) {
                offset += framer.Feed(buffer + offset, size_t(n) - offset);
                if (framer.IsBroken()) {
                    server.Fault("a client frame without the marker");
                    return;
                }
                if (!framer.HasFrame()) continue;
                Bytes frame(framer.Frame(), framer.Frame() + framer.FrameSize());
                Check(frame);
                server.Record(number, mainHost, true, frame);
                if (!handle(frame) || !Flush()) return;
            }
        }
    }

private:
    // Writes what the test pushed since the last call (main connections only).
    bool SendPushes()
    {
        std::vector<Answer> fresh;
        {
            std::lock_guard<std::mutex> hold(server.lock);
            if (!mainHost || pushed >= server.pushes.size()) return true;
            fresh.assign(server.pushes.begin() + long(pushed), server.pushes.end());
            pushed = server.pushes.size();
        }
        for (const Answer& answer : fresh) QueueAnswer(answer);
        return Flush();
    }

    bool DropRequested()
    {
        Bytes close;
        {
            std::lock_guard<std::mutex> hold(server.lock);
            if (!mainHost || server.closeFramesToSend.size() == dropGeneration) return false;
            close = server.closeFramesToSend.back();
        }
        if (!close.empty()) {
            // The close frame carries this connection's next sequence number.
            close[2] = (unsigned char)(NextSequence() >> 8);
            close[3] = (unsigned char)sequence;
            Queue(close);
            Flush();
        }
        return true;
    }

    // Every client frame carries the number after the one before (the first after a hello is free).
    void Check(const Bytes& frame)
    {
        unsigned got = unsigned(frame[2] << 8 | frame[3]);
        if (clientFrames++ > 0 && got != Wex::NextFlapSequence((unsigned short)lastClientSequence))
            server.Fault("sequence " + std::to_string(got) + " after " + std::to_string(lastClientSequence));
        lastClientSequence = got;
    }

    bool Write(const unsigned char* data, size_t size)
    {
        return PeerTest::SendAllBytes(s, std::string(reinterpret_cast<const char*>(data), size));
    }

    FakeWexServer& server;
    SOCKET s;
    bool mainHost;
    int number = 0;
    size_t dropGeneration = 0;
    size_t pushed = 0;
    unsigned sequence = 0x1200;
    unsigned lastClientSequence = 0;
    int clientFrames = 0;
    Wex::FlapFramer framer;
    std::vector<Bytes> pending;
};

FakeWexServer::FakeWexServer(const std::string& uin, const Wex::Md5Digest& passwordDigest)
    : uin(uin), passwordDigest(passwordDigest), cookie(Wire().Text("cookie-").U32(0xC0FFEE01).Zeros(9).Get())
{
    // The list in two frames, the first saying another follows.
    Answer groups;
    groups.family = 0x13;
    groups.subtype = 0x06;
    groups.body = Wire().U8(0).U16(1).Raw(RosterItem("Friends", 1, 0, 1, Bytes()));
    groups.flags = Wex::SnacFlagMoreFollow;
    Answer settings = groups;
    settings.body = Wire().U8(0).U16(1).Raw(RosterItem("", 0, 0x21, 4, Wire().Tlv(0x00CA, Wire().U8(1)))).U32(1700000000);
    settings.flags = 0;
    roster = {groups, settings};
    login.reset(new PeerTest::ScriptedServer([this](SOCKET s) { ServeLogin(s); }));
    main.reset(new PeerTest::ScriptedServer([this](SOCKET s) { ServeMain(s); }));
}

FakeWexServer::~FakeWexServer()
{
    stopping = true;
    login.reset();
    main.reset();
}

void FakeWexServer::SetDelivery(Delivery how, size_t size)
{
    std::lock_guard<std::mutex> hold(lock);
    delivery = how;
    pieceSize = size;
}

void FakeWexServer::SetRoster(const std::vector<Answer>& frames)
{
    std::lock_guard<std::mutex> hold(lock);
    roster = frames;
}

void FakeWexServer::SetListAcks(bool automatic, unsigned short result)
{
    std::lock_guard<std::mutex> hold(lock);
    autoListAcks = automatic;
    listAckResult = result;
}

void FakeWexServer::SetResponder(const Responder& answer)
{
    std::lock_guard<std::mutex> hold(lock);
    responder = answer;
}

void FakeWexServer::Push(const Answer& frame)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        pushes.push_back(frame);
    }
    changed.notify_all();
}

std::vector<Bytes> FakeWexServer::ClientSnacs(unsigned family, unsigned subtype)
{
    std::vector<Bytes> out;
    for (const Frame& frame : Frames()) {
        Wex::SnacPacket snac;
        if (!frame.main || !frame.fromClient || frame.bytes.size() < 2 || frame.bytes[1] != 2 ||
            !Wex::UnpackSnac(frame.bytes.data(), frame.bytes.size(), snac))
            continue;
        if (snac.family == family && snac.subtype == subtype) out.push_back(frame.bytes);
    }
    return out;
}

void FakeWexServer::SetLoginError(unsigned short code)
{
    std::lock_guard<std::mutex> hold(lock);
    loginError = code;
}

void FakeWexServer::SendCloseFrame(unsigned short errorCode, unsigned short reason)
{
    Wire data;
    if (errorCode) data.Tlv(0x0008, Wire().U16(errorCode));
    if (reason) data.Tlv(0x0009, Wire().U16(reason));
    std::lock_guard<std::mutex> hold(lock);
    closeFramesToSend.push_back(Flap(4, data));
}

void FakeWexServer::DropMainConnections()
{
    std::lock_guard<std::mutex> hold(lock);
    closeFramesToSend.push_back(Bytes());
}

std::vector<std::string> FakeWexServer::Faults()
{
    std::lock_guard<std::mutex> hold(lock);
    return faults;
}

std::vector<FakeWexServer::Frame> FakeWexServer::Frames()
{
    std::lock_guard<std::mutex> hold(lock);
    return frames;
}

bool FakeWexServer::WaitUntil(const std::function<bool()>& condition, unsigned milliseconds)
{
    std::unique_lock<std::mutex> hold(lock);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        hold.unlock();
        bool met = condition();
        hold.lock();
        if (met) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        changed.wait_for(hold, std::chrono::milliseconds(50));
    }
}

void FakeWexServer::Record(int connection, bool mainHost, bool fromClient, const Bytes& bytes)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        frames.push_back({connection, mainHost, fromClient, bytes});
    }
    changed.notify_all();
}

void FakeWexServer::Fault(const std::string& text)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        faults.push_back(text);
    }
    changed.notify_all();
}

void FakeWexServer::Changed()
{
    changed.notify_all();
}

void FakeWexServer::ServeLogin(SOCKET s)
{
    Session session(*this, s, false);
    session.Queue(Flap(1, Wire().U32(1), session.NextSequence()));
    if (!session.Flush()) return;
    session.Run([&](const Bytes& frame) {
        Wex::SnacPacket snac;
        if (frame[1] != 2 || !Wex::UnpackSnac(frame.data(), frame.size(), snac)) return true;
        Wex::TlvChain items;
        items.Parse(frame.data() + Wex::SnacBodyOffset, frame.size() - Wex::SnacBodyOffset);
        if (snac.family == 0x17 && snac.subtype == 0x06) {
            if (TextOf(items.Find(0x0001)) != uin) Fault("auth key asked for " + TextOf(items.Find(0x0001)));
            session.QueueSnac(0x17, 0x07, Wire().Str16(kAuthKey));
            return true;
        }
        if (snac.family != 0x17 || snac.subtype != 0x02) return true;
        const Wex::Tlv* digest = items.Find(0x0025);
        const Bytes expected = ExpectedDigest(passwordDigest);
        const bool good = TextOf(items.Find(0x0001)) == uin && digest && digest->GetLength() == expected.size() &&
                          std::equal(expected.begin(), expected.end(), digest->GetValue());
        unsigned short error;
        {
            std::lock_guard<std::mutex> hold(lock);
            error = loginError;
        }
        if (!good) {
            ++badDigests;
            Fault("login of " + TextOf(items.Find(0x0001)) + " with digest " +
                  (digest ? ToHex(Bytes(digest->GetValue(), digest->GetValue() + digest->GetLength())) : "none") +
                  ", not " + ToHex(expected));
            error = 5;  // mismatch UIN or password
        }
        Wire reply;
        reply.Tlv(0x0001, Wire().Text(uin));
        if (error) {
            reply.Tlv(0x0008, Wire().U16(error));
        } else {
            ++goodLogins;
            reply.Tlv(0x0005, Wire().Text("127.0.0.1:" + std::to_string(MainPort()))).Tlv(0x0006, cookie);
        }
        session.QueueSnac(0x17, 0x03, reply);
        Changed();
        return true;
    });
}

void FakeWexServer::ServeMain(SOCKET s)
{
    ++mainConnections;
    Session session(*this, s, true);
    session.Queue(Flap(1, Wire().U32(1), session.NextSequence()));
    if (!session.Flush()) return;
    int lastStatus = -1;
    session.Run([&](const Bytes& frame) {
        if (frame[1] == 5) {
            ++keepAlives;
            Changed();
            return true;
        }
        if (frame[1] == 1) {
            Wex::TlvChain items;
            items.Parse(frame.data() + 10, frame.size() - 10);
            const Wex::Tlv* presented = items.Find(0x0006);
            if (!presented || Bytes(presented->GetValue(), presented->GetValue() + presented->GetLength()) != cookie) {
                Fault("a main connection without the cookie");
                return false;
            }
            ++cookiesAccepted;
            session.QueueSnac(0x01, 0x03, Wire().U16(0x01).U16(0x02).U16(0x03).U16(0x04).U16(0x13));
            return true;
        }
        Wex::SnacPacket snac;
        if (frame[1] != 2 || !Wex::UnpackSnac(frame.data(), frame.size(), snac)) return true;
        Responder answer;
        {
            std::lock_guard<std::mutex> hold(lock);
            answer = responder;
        }
        std::vector<Answer> answers;
        if (answer && answer(snac, frame, answers)) {
            for (const Answer& a : answers) session.QueueAnswer(a);
            Changed();
            return true;
        }
        if (AnswerSearch(snac, frame, answers)) {
            for (const Answer& a : answers) session.QueueAnswer(a);
            Changed();
            return true;
        }
        const unsigned key = unsigned(snac.family) << 16 | snac.subtype;
        switch (key) {
        case 0x00010017: session.QueueSnac(0x01, 0x18, Wire().U16(0x01).U16(4).U16(0x13).U16(4)); break;
        case 0x00010006: session.QueueSnac(0x01, 0x07, RateInfoBody()); break;
        case 0x0001000E: session.QueueSnac(0x01, 0x0F, SelfInfoBody(uin, -1)); break;
        case 0x00130004: {
            std::vector<Answer> frames;
            {
                std::lock_guard<std::mutex> hold(lock);
                frames = roster;
            }
            for (const Answer& a : frames) session.QueueAnswer(a);
            break;
        }
        case 0x00130008:
        case 0x00130009:
        case 0x0013000A: {
            bool automatic;
            unsigned short result;
            {
                std::lock_guard<std::mutex> hold(lock);
                automatic = autoListAcks;
                result = listAckResult;
            }
            if (automatic) session.QueueSnac(0x13, 0x0E, Wire().U16(result), 0, snac.requestId);
            break;
        }
        case 0x0001001E: {
            Wex::TlvChain items;
            items.Parse(frame.data() + Wex::SnacBodyOffset, frame.size() - Wex::SnacBodyOffset);
            unsigned short word = 0;
            if (!Wex::StatusCodeOf(items, word)) {
                Fault("a status change without its status");
                break;
            }
            lastStatusWord = word;
            lastStatus = word;
            session.QueueSnac(0x01, 0x0F, SelfInfoBody(uin, lastStatus));
            break;
        }
        case 0x00010002: ++clientReadies; break;
        case 0x00150002: {
            std::vector<Answer> answers;
            if (AnswerFromDirectory(frame, answers))
                for (const Answer& a : answers) session.QueueAnswer(a);
            break;
        }
        default: break;
        }
        Changed();
        return true;
    });
}

void FakeWexServer::SetDetails(unsigned number, const DirectoryRecord& record)
{
    std::lock_guard<std::mutex> hold(lock);
    details[number] = record;
}

DirectoryRecord FakeWexServer::Details(unsigned number)
{
    std::lock_guard<std::mutex> hold(lock);
    return details[number];
}

bool FakeWexServer::AnswerFromDirectory(const Bytes& frame, std::vector<Answer>& out)
{
    MetaRequestRecord request;
    if (!ReadMetaRequestRecord(frame, request) || request.command != 2000) return false;
    Answer answer;
    answer.family = 0x15;
    answer.subtype = 0x03;
    if (request.subtype == 0x04D0) {
        if (request.data.size() != 4) {
            Fault("a full-info request of " + std::to_string(request.data.size()) + " bytes");
            return false;
        }
        const unsigned target = unsigned(request.data[0]) | unsigned(request.data[1]) << 8 |
                                unsigned(request.data[2]) << 16 | unsigned(request.data[3]) << 24;
        const std::vector<Bytes> records = DetailsRecords(Details(target));
        for (size_t i = 0; i < records.size(); ++i) {
            answer.body = MetaReplyBody(request.ownUin, 0x07DA, request.sequence, records[i]);
            answer.flags = i + 1 < records.size() ? Wex::SnacFlagMoreFollow : 0;
            out.push_back(answer);
        }
        return true;
    }
    if (request.subtype == 0x0C3A) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (!ApplySave(request.data, details[request.ownUin])) {
                faults.push_back("a save request whose items do not read: " + ToHex(request.data));
                return false;
            }
        }
        ++savesApplied;
        answer.body = MetaReplyBody(request.ownUin, 0x07DA, request.sequence, Wire().U16LE(0x0C3F).U8(0x0A));
        out.push_back(answer);
        return true;
    }
    return false;
}

}  // namespace WexTest
