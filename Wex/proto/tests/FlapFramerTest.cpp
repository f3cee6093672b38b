// The framer: a stream of frames fed whole, in pieces of every size, merged, and broken.
#include "Wex/proto/FlapFramer.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

using namespace WexTest;
using Wex::FlapFramer;

namespace {

struct Cut {
    std::vector<Bytes> frames;
    bool broken = false;
    size_t pending = 0;
};

// Feeds stream in pieces of at most chunk bytes, each through its own guarded buffer (as a socket
// hands them over), and collects the frames handed out.
Cut FeedInChunks(const Bytes& stream, size_t chunk)
{
    Cut cut;
    FlapFramer framer;
    for (size_t at = 0; at < stream.size() && !cut.broken; at += chunk) {
        GuardedBytes piece(stream.data() + at, std::min(chunk, stream.size() - at));
        const unsigned char* data = piece.data();
        size_t length = piece.size();
        while (length > 0) {
            size_t used = framer.Feed(data, length);
            EXPECT_LE(used, length);
            data += used;
            length -= used;
            if (framer.IsBroken()) {
                cut.broken = true;
                break;
            }
            if (framer.HasFrame()) {
                cut.frames.emplace_back(framer.Frame(), framer.Frame() + framer.FrameSize());
                EXPECT_EQ(framer.Header().FrameSize(), framer.FrameSize());
            } else {
                EXPECT_EQ(length, 0u) << "a Feed that ends no frame takes everything";
            }
        }
    }
    cut.pending = framer.Pending();
    return cut;
}

std::vector<Bytes> ServerFrames()
{
    SignOnFrames signOn = ServerSignOn();
    std::vector<Bytes> frames = signOn.login;
    frames.insert(frames.end(), signOn.main.begin(), signOn.main.end());
    return frames;
}

} // namespace

TEST(FlapFramer, CutsARecordedSignOnFedWhole)
{
    Cut cut = FeedInChunks(SignOnServerStream(), SIZE_MAX);
    EXPECT_FALSE(cut.broken);
    EXPECT_EQ(ServerFrames(), cut.frames);
    EXPECT_EQ(0u, cut.pending);
}

TEST(FlapFramer, CutsTheSameFramesAtEveryChunkSize)
{
    Bytes stream = SignOnServerStream();
    std::vector<Bytes> expected = ServerFrames();
    for (size_t chunk = 1; chunk <= stream.size(); ++chunk) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        Cut cut = FeedInChunks(stream, chunk);
        ASSERT_FALSE(cut.broken);
        ASSERT_EQ(expected, cut.frames);
        ASSERT_EQ(0u, cut.pending);
    }
}

TEST(FlapFramer, HandsOutSeveralFramesOfOneRead)
{
    Bytes a = Flap(2, Hex("00 01 00 03 00 00 00 00 00 01")), b = Flap(5, Bytes()), c = Flap(1, Hex("00 00 00 01"));
    Bytes merged = a;
    merged.insert(merged.end(), b.begin(), b.end());
    merged.insert(merged.end(), c.begin(), c.end());

    FlapFramer framer;
    std::vector<size_t> used;
    const unsigned char* data = merged.data();
    size_t length = merged.size();
    while (length > 0) {
        used.push_back(framer.Feed(data, length));
        ASSERT_TRUE(framer.HasFrame());
        EXPECT_EQ(data, framer.Frame()) << "a whole frame in the read is handed out in place";
        data += used.back();
        length -= used.back();
    }
    EXPECT_EQ((std::vector<size_t>{a.size(), b.size(), c.size()}), used);
}

TEST(FlapFramer, TakesAFrameOfEmptyDataAndTheLargestFrame)
{
    Bytes largest = Flap(2, Bytes(Wex::MaxFlapData, 0x55));
    ASSERT_EQ(size_t(Wex::MaxFrameSize), largest.size());
    for (size_t chunk : {size_t(1024), largest.size()}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        Bytes stream = Flap(2, Bytes());
        stream.insert(stream.end(), largest.begin(), largest.end());
        Cut cut = FeedInChunks(stream, chunk);
        ASSERT_EQ(2u, cut.frames.size());
        EXPECT_EQ(6u, cut.frames[0].size());
        EXPECT_EQ(largest, cut.frames[1]);
    }
}

TEST(FlapFramer, WaitsForTheRestOfAFrame)
{
    Bytes frame = Flap(2, Bytes(100, 1));
    FlapFramer framer;
    EXPECT_EQ(50u, framer.Feed(frame.data(), 50));
    EXPECT_FALSE(framer.HasFrame());
    EXPECT_EQ(50u, framer.Pending());
    EXPECT_EQ(56u, framer.Feed(frame.data() + 50, 56));
    ASSERT_TRUE(framer.HasFrame());
    EXPECT_EQ(frame, Bytes(framer.Frame(), framer.Frame() + framer.FrameSize()));
    EXPECT_EQ(0u, framer.Feed(frame.data(), 0));
    EXPECT_FALSE(framer.HasFrame()) << "a frame lasts until the next Feed";
    EXPECT_EQ(0u, framer.Pending());
}

TEST(FlapFramer, BreaksForGoodOnAHeaderWithoutTheMarker)
{
    struct Case {
        const char* name;
        Bytes stream;
        size_t frames;
    };
    Bytes good = Flap(2, Hex("00 01 00 03 00 00 00 00 00 01"));
    const Case cases[] = {
        {"at the start", Hex("2B 02 00 01 00 00"), 0},
        {"a single bad byte", Hex("00"), 0},
        {"after a frame", Wire().Raw(good).Raw(Hex("2B 02 00 01 00 00")).Raw(good), 1},
        {"bytes between frames", Wire().Raw(Flap(2, Hex("00 01"))).Raw(Hex("FF FF")).Raw(good), 1},
    };
    for (const Case& c : cases) {
        for (size_t chunk : {size_t(1), size_t(5), c.stream.size()}) {
            SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk));
            Cut cut = FeedInChunks(c.stream, chunk);
            EXPECT_TRUE(cut.broken);
            EXPECT_EQ(c.frames, cut.frames.size());
        }
    }
    FlapFramer framer;
    Bytes wrong = Hex("2B 02 00 01 00 00");
    framer.Feed(wrong.data(), wrong.size());
    ASSERT_TRUE(framer.IsBroken());
    EXPECT_EQ(0u, framer.Feed(good.data(), good.size()));
    framer.Reset();
    EXPECT_EQ(good.size(), framer.Feed(good.data(), good.size())) << "a new connection starts afresh";
    EXPECT_TRUE(framer.HasFrame());
}
