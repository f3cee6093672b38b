// A fake of the network's two servers on 127.0.0.1, for the account's tests: a login host that
// greets, hands out an auth key, checks the MD5 login digest and answers with the main server's
// address and a cookie, and a main host that checks the cookie and runs the service set-up, the
// server-side list and the status reports. Each connection runs on its own thread; every frame in
// both directions is recorded, and the client's are checked (marker, sequence numbers one apart).
//
// How the servers write decides how the client's reads are cut: each frame alone, all the frames of
// one answer in one write, or the answer's bytes in pieces of n bytes with a pause between them, so
// that the client reads frames cut at every offset.
#pragma once

#include "FakeDirectory.h"
#include "WexTestSupport.h"

#include "Wex/proto/SignOnCommands.h"
#include "Zel/net/tests/LoopbackSupport.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace WexTest {

class FakeWexServer {
public:
    enum class Delivery { EachFrame, Merged, Pieces };

    // One frame as it crossed a connection.
    struct Frame {
        int connection;  // numbered from 1 in the order the servers accepted them
        bool main;       // on the main host
        bool fromClient;
        Bytes bytes;
    };

    FakeWexServer(const std::string& uin, const Wex::Md5Digest& passwordDigest);
    ~FakeWexServer();

    FakeWexServer(const FakeWexServer&) = delete;
    FakeWexServer& operator=(const FakeWexServer&) = delete;

    int LoginPort() const { return login->Port(); }
    int MainPort() const { return main->Port(); }

    // How answers are written from now on (pieces of pieceSize bytes for Delivery::Pieces).
    void SetDelivery(Delivery delivery, size_t pieceSize = 1);
    // The login error the next logins answer with (0: a good login).
    void SetLoginError(unsigned short code);
    // Sends a close frame with this disconnect reason on every open main connection, then closes.
    void SendCloseFrame(unsigned short errorCode, unsigned short reason);
    // Closes every open main connection at once.
    void DropMainConnections();

    // Counts of what the client did.
    int GoodLogins() const { return goodLogins; }
    int BadDigests() const { return badDigests; }
    int CookiesAccepted() const { return cookiesAccepted; }
    int ClientReadies() const { return clientReadies; }
    int KeepAlives() const { return keepAlives; }
    int MainConnections() const { return mainConnections; }
    // Client frames that broke the rules (text for the failure output).
    std::vector<std::string> Faults();
    std::vector<Frame> Frames();
    // The status word (swapped form, as the codec writes it) of the last status change, -1 for none.
    int LastStatusWord() const { return lastStatusWord; }

    // One SNAC frame the main server writes.
    struct Answer {
        unsigned family = 0, subtype = 0;
        Bytes body;
        unsigned flags = 0;
        unsigned requestId = 0;
    };
    // The frames the main server answers the list request with (by default a group in one frame and
    // the privacy-settings item in a second).
    void SetRoster(const std::vector<Answer>& frames);
    // Whether list edits (13/08, 13/09, 13/0A) are acknowledged at once, and with which result code;
    // by default they are, with 0.
    void SetListAcks(bool automatic, unsigned short result = 0);
    // Asked first about every SNAC a main connection receives (on that connection's thread): true
    // when it answered, its frames appended to out; the defaults then stay silent.
    typedef std::function<bool(const Wex::SnacPacket&, const Bytes& frame, std::vector<Answer>& out)> Responder;
    void SetResponder(const Responder& responder);
    // Writes the frame on every open main connection as soon as each can.
    void Push(const Answer& frame);
    // The client's SNAC frames of family and subtype on main connections, in order.
    std::vector<Bytes> ClientSnacs(unsigned family, unsigned subtype);

    // The directory the main server searches (meta requests 15/02, command 2000: by id 0x0569, by
    // e-mail 0x0573, white pages 0x055F). Each hit is answered as 0x01A4 and the last as 0x01AE;
    // no hit is one 0x01AE with result 20. Texts are code page 1251 bytes.
    struct Person {
        unsigned uin = 0;
        std::string nick, first, last, email;
        unsigned char gender = 0;
        unsigned short age = 0;
        unsigned short status = 0;  // 1 online
    };
    void SetDirectory(const std::vector<Person>& people);
    // One search the client sent: the meta subtype and the data after it.
    struct SearchAsked {
        unsigned short subtype;
        Bytes data;
    };
    std::vector<SearchAsked> Searches();
    // The directory: each number's details record. A full-info request is answered from it (an
    // unknown number has an empty record); a save request is applied to the sender's record and
    // answered with a meta reply no client reads, as the network's answer to a save is not known.
    void SetDetails(unsigned uin, const DirectoryRecord& record);
    DirectoryRecord Details(unsigned uin);
    int SavesApplied() const { return savesApplied; }

    // Waits until condition holds (checked whenever something arrives, and every 50 ms).
    bool WaitUntil(const std::function<bool()>& condition, unsigned milliseconds = 15000);

private:
    class Session;

    void ServeLogin(SOCKET s);
    void ServeMain(SOCKET s);
    void Record(int connection, bool mainHost, bool fromClient, const Bytes& bytes);
    void Fault(const std::string& text);
    void Changed();
    // A meta search answered from the directory: false when frame is none.
    bool AnswerSearch(const Wex::SnacPacket& snac, const Bytes& frame, std::vector<Answer>& out);
    // Answers a meta request from the directory; false when it is not one the directory answers.
    bool AnswerFromDirectory(const Bytes& frame, std::vector<Answer>& out);

    const std::string uin;
    const Wex::Md5Digest passwordDigest;
    const Bytes cookie;

    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<Frame> frames;
    std::vector<std::string> faults;
    std::vector<SOCKET> openMain;
    std::vector<Bytes> closeFramesToSend;
    std::vector<Answer> roster;
    bool autoListAcks = true;
    unsigned short listAckResult = 0;
    Responder responder;
    std::vector<Person> directory;
    std::vector<SearchAsked> searches;
    std::vector<Answer> pushes;
    Delivery delivery = Delivery::EachFrame;
    size_t pieceSize = 1;
    unsigned short loginError = 0;
    int nextConnection = 1;
    std::map<unsigned, DirectoryRecord> details;  // by number
    std::atomic<int> savesApplied{0};

    std::atomic<int> goodLogins{0}, badDigests{0}, cookiesAccepted{0}, clientReadies{0}, keepAlives{0},
        mainConnections{0}, lastStatusWord{-1};
    std::atomic<bool> stopping{false};

    // Last: their threads use everything above, and the destructors wait for them.
    std::unique_ptr<PeerTest::ScriptedServer> login;
    std::unique_ptr<PeerTest::ScriptedServer> main;
};

}  // namespace WexTest
