// The frames of one whole sign-on, as a client sends them (built with the codec's commands) and as
// the servers answer (laid out from the reply layouts), checked by an independent dissector: Debian's
// tshark reads them from a capture file and must recognise every frame with the header that was
// written, and find none malformed.
#include "CaptureFile.h"
#include "WexTestSupport.h"

#include "ZELCommon/tests/UnixHost.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <sstream>

using namespace WexTest;

namespace {

const unsigned short kServerPort = 5190;
const unsigned short kLoginClientPort = 40001;
const unsigned short kMainClientPort = 40002;

struct SeenFrame {
    unsigned port = 0, channel = 0, sequence = 0, length = 0, family = 0, subtype = 0;

    bool operator==(const SeenFrame& other) const
    {
        return port == other.port && channel == other.channel && sequence == other.sequence && length == other.length &&
               family == other.family && subtype == other.subtype;
    }
};

std::ostream& operator<<(std::ostream& out, const SeenFrame& f)
{
    return out << "{port " << f.port << ", channel " << f.channel << ", sequence " << f.sequence << ", length "
               << f.length << ", SNAC " << f.family << "/" << f.subtype << "}";
}

// Where the layouts and tshark part ways: frames it reads otherwise, through no fault of the bytes.
// A list frame that says another follows (SNAC flags bit 0) ends after its items: tshark looks for a
// last-change time after the items of every list frame, and calls the frame malformed.
bool DissectorWantsATimeAfterTheItems(const Bytes& frame)
{
    return frame[1] == 2 && frame[7] == 0x13 && frame[9] == 0x06 && (frame[11] & 1);
}

// An authorisation request from a contact ends with its text: tshark, which reads it with the
// layout of the request a client sends, looks for the two zero bytes that one ends with.
bool DissectorWantsTheRequestsEnding(const Bytes& frame)
{
    return frame[1] == 2 && frame[7] == 0x13 && frame[9] == 0x19;
}

// tshark shows no SNAC header for the offline-message request, which has no body.
bool DissectorHidesTheSnacHeader(const Bytes& frame)
{
    return frame[1] == 2 && frame[7] == 0x04 && frame[9] == 0x10;
}

// The header fields of a frame, read from its bytes as written, as tshark should show them.
SeenFrame Written(unsigned short port, const Bytes& frame)
{
    SeenFrame f;
    f.port = port;
    f.channel = frame[1];
    f.sequence = unsigned(frame[2] << 8 | frame[3]);
    f.length = unsigned(frame[4] << 8 | frame[5]);
    if (f.channel == 2 && !DissectorHidesTheSnacHeader(frame)) {
        f.family = unsigned(frame[6] << 8 | frame[7]);
        f.subtype = unsigned(frame[8] << 8 | frame[9]);
    }
    return f;
}

unsigned Number(const std::string& field)
{
    return field.empty() ? 0 : unsigned(std::strtoul(field.c_str(), nullptr, 0));
}

std::vector<std::string> Split(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, separator)) fields.push_back(field);
    return fields;
}

// Writes one connection's frames, server and client taking turns as in a sign-on: the server
// greets, the client answers, and so on.
struct Conversation {
    std::vector<SeenFrame> expected;
    std::vector<bool> disputed;  // per frame: tshark reads it otherwise (above)
};

void Converse(CaptureFile& capture, unsigned short clientPort, const std::vector<Bytes>& server,
              const std::vector<Bytes>& client, Conversation& conversation)
{
    capture.Open(clientPort, kServerPort);
    auto send = [&](unsigned short port, bool fromClient, const Bytes& frame) {
        capture.Send(clientPort, fromClient, frame);
        conversation.expected.push_back(Written(port, frame));
        conversation.disputed.push_back(DissectorWantsATimeAfterTheItems(frame) || DissectorWantsTheRequestsEnding(frame));
    };
    for (size_t i = 0; i < std::max(server.size(), client.size()); ++i) {
        if (i < server.size()) send(kServerPort, false, server[i]);
        if (i < client.size()) send(clientPort, true, client[i]);
    }
}

// Runs the dissector script on the capture and waits for its report; false with the reason.
bool Dissect(const Bytes& capture, std::string& folder, std::string& failure)
{
    std::string base = WEX_TEST_RUN_DIR;
    CreateDirectoryW(TestSupport::DosPath(base).c_str(), nullptr);
    folder = base + "/dissect-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryW(TestSupport::DosPath(folder).c_str(), nullptr);
    // A report left by an earlier run must not pass for this one's.
    for (const char* report : {"/done", "/failed", "/frames", "/problems"})
        DeleteFileW(TestSupport::DosPath(folder + report).c_str());
    std::string file = folder + "/sign-on.pcap";
    if (!TestSupport::WriteTextFile(file, std::string(capture.begin(), capture.end()))) {
        failure = "cannot write " + file;
        return false;
    }
    if (!TestSupport::StartUnixScript(WEX_TSHARK_SCRIPT, {file, folder, std::to_string(kServerPort)}, failure))
        return false;
    for (int i = 0; i < 6000; ++i) {  // 120 s
        if (TestSupport::FileExists(folder + "/done")) return true;
        if (TestSupport::FileExists(folder + "/failed")) {
            failure = TestSupport::ReadTextFile(folder + "/failed") + "\n--- log ---\n" + TestSupport::ReadTextFile(folder + "/log");
            return false;
        }
        Sleep(20);
    }
    failure = "no answer from the dissector script within 120 s\n--- log ---\n" + TestSupport::ReadTextFile(folder + "/log");
    return false;
}

} // namespace

TEST(Dissector, RecognisesEveryFrameOfASignOnAndFindsNoneMalformed)
{
    SignOnFrames server = ServerSignOn(), client = ClientSignOn();
    CaptureFile capture;
    Conversation conversation;
    Converse(capture, kLoginClientPort, server.login, client.login, conversation);
    Converse(capture, kMainClientPort, server.main, client.main, conversation);
    const std::vector<SeenFrame>& expected = conversation.expected;

    std::string folder, failure;
    ASSERT_TRUE(Dissect(capture.Get(), folder, failure)) << failure;

    std::vector<SeenFrame> seen;
    std::vector<unsigned> packets;
    std::istringstream frames(TestSupport::ReadTextFile(folder + "/frames"));
    std::string line;
    while (std::getline(frames, line)) {
        std::vector<std::string> fields = Split(line, '\t');
        fields.resize(7);
        // One frame a segment: each field holds one value.
        for (const std::string& field : fields) EXPECT_EQ(std::string::npos, field.find(';')) << line;
        packets.push_back(Number(fields[0]));
        SeenFrame f;
        f.port = Number(fields[1]);
        f.channel = Number(fields[2]);
        f.sequence = Number(fields[3]);
        f.length = Number(fields[4]);
        f.family = Number(fields[5]);
        f.subtype = Number(fields[6]);
        seen.push_back(f);
    }
    ASSERT_EQ(expected.size(), seen.size()) << TestSupport::ReadTextFile(folder + "/frames");
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], seen[i]) << "frame " << i;

    // Malformed or warned about: only the frames where tshark reads the layout otherwise.
    std::string disputed;
    for (size_t i = 0; i < expected.size(); ++i)
        if (conversation.disputed[i]) disputed += std::to_string(packets[i]) + "\tMalformed Packet (Exception occurred)\n";
    EXPECT_EQ(disputed, TestSupport::ReadTextFile(folder + "/problems"));
}
