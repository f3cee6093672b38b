// The frames of one whole sign-on, as a client sends them (built with the codec's commands) and as
// the servers answer (laid out from the reply layouts), checked by an independent dissector: Debian's
// tshark reads them from a capture file and must recognise every frame with the header that was
// written, and find none malformed.
#include "CaptureFile.h"
#include "Dissector.h"
#include "WexTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace WexTest;

namespace {

const unsigned short kServerPort = 5190;
const unsigned short kLoginClientPort = 40001;
const unsigned short kMainClientPort = 40002;

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
        conversation.disputed.push_back(DissectorReadsOtherwise(frame));
    };
    for (size_t i = 0; i < std::max(server.size(), client.size()); ++i) {
        if (i < server.size()) send(kServerPort, false, server[i]);
        if (i < client.size()) send(clientPort, true, client[i]);
    }
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

    Dissection seen;
    std::string failure;
    ASSERT_TRUE(Dissect(capture.Get(), kServerPort, "dissect", seen, failure)) << failure;
    // One frame a segment: each field holds one value.
    for (const std::string& line : seen.lines) EXPECT_EQ(std::string::npos, line.find(';')) << line;
    ASSERT_EQ(expected.size(), seen.frames.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], seen.frames[i]) << "frame " << i;

    // Malformed or warned about: only the frames where tshark reads the layout otherwise.
    EXPECT_EQ(ExpectedProblems(seen.packets, conversation.disputed), seen.problems);
}
