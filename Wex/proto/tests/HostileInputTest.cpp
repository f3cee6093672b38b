// Hostile bytes through the one entry point that reaches every parser: the corpus of known bad
// inputs, every byte of every sign-on frame changed, every truncation of the sign-on stream, and
// seeded random noise. Each input lies in a buffer that ends at an inaccessible page, so a read past
// it crashes the test.
#include "WexTestSupport.h"

#include "ZELCommon/tests/UnixHost.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

using namespace WexTest;

namespace {

void Parse(const Bytes& bytes)
{
    GuardedBytes guarded(bytes);
    ParseEveryWay(guarded.data(), guarded.size());
}

std::vector<Bytes> AllSignOnFrames()
{
    std::vector<Bytes> all;
    for (const SignOnFrames& side : {ServerSignOn(), ClientSignOn()})
        for (const std::vector<Bytes>* frames : {&side.login, &side.main}) all.insert(all.end(), frames->begin(), frames->end());
    return all;
}

} // namespace

TEST(HostileInput, TheCorpusParsesWithoutHarm)
{
    std::string corpus = TestSupport::ReadTextFile(WEX_TEST_DATA_DIR "/hostile-frames.txt");
    ASSERT_FALSE(corpus.empty()) << "no corpus at " WEX_TEST_DATA_DIR;
    std::istringstream lines(corpus);
    std::string line;
    int inputs = 0;
    while (std::getline(lines, line)) {
        size_t colon = line.find(':');
        if (line.empty() || line[0] == '#' || colon == std::string::npos) continue;
        SCOPED_TRACE(line.substr(0, colon));
        Parse(Hex(line.substr(colon + 1)));
        ++inputs;
    }
    EXPECT_GT(inputs, 20);
}

TEST(HostileInput, EveryByteOfEverySignOnFrameChanged)
{
    for (const Bytes& frame : AllSignOnFrames()) {
        for (size_t at = 0; at < frame.size(); ++at) {
            for (unsigned char value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                Bytes changed = frame;
                changed[at] = value;
                Parse(changed);
            }
        }
    }
}

TEST(HostileInput, EveryTruncationOfTheSignOnStream)
{
    Bytes stream = SignOnServerStream();
    for (size_t length = 0; length <= stream.size(); ++length) Parse(Bytes(stream.begin(), stream.begin() + long(length)));
}

TEST(HostileInput, SeededNoiseAndSplicedFrames)
{
    std::mt19937 random(20261210);
    std::vector<Bytes> frames = AllSignOnFrames();
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = frames[random() % frames.size()];
        // Splice a piece of another frame in, change a few bytes, and cut somewhere.
        const Bytes& other = frames[random() % frames.size()];
        size_t from = random() % other.size(), at = random() % bytes.size();
        bytes.insert(bytes.begin() + long(at), other.begin() + long(from), other.end());
        for (int n = random() % 4; n > 0; --n) bytes[random() % bytes.size()] = (unsigned char)random();
        bytes.resize(random() % (bytes.size() + 1));
        Parse(bytes);
    }
    for (int round = 0; round < 300; ++round) {
        Bytes noise(random() % 300);
        for (unsigned char& b : noise) b = (unsigned char)random();
        if (!noise.empty()) noise[0] = 0x2A;
        Parse(noise);
    }
}
