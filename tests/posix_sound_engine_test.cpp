// The GStreamer engine when the sound path stops taking sound: the position the player reads
// is the sink's own, so that it stands still, and the player's calls never wait for the sink.
#include <gtest/gtest.h>

#include "fake/posix/posix_fixtures.h"
#include "platform/posix/sound/gst_engine.h"

namespace varlo {
namespace {

using Ms = std::chrono::milliseconds;
using fake::Passes;
using fake::SilentWav;
using fake::ThreadsLeft;
using fake::Took;

// The file opened, as the player opens it: without an error.
std::unique_ptr<MediaStream> Opened(GstEngine& engine, const SilentWav& file) {
    uint32_t error = 1;
    std::unique_ptr<MediaStream> stream = engine.Open(file.path, &error);
    EXPECT_EQ(error, 0u);
    return stream;
}

// A sink that takes two pieces and then no more (nobody empties its queue): once it answered
// again, the position stands where the sound stopped, read after read, not run on by the clock.
// Volume, stop, seek, play and close are answered at once; the stream's thread ends after close.
TEST(GstEngineStall, PositionStandsWhereTheSinkStoppedAndCallsDoNotWait) {
    SilentWav file(30);
    GstEngine engine("appsink sync=true max-buffers=1 drop=false");
    std::unique_ptr<MediaStream> stream = Opened(engine, file);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Length(), 30000u);
    ASSERT_TRUE(stream->Play());
    // Two answers after the sink stopped (about a second in), so that none runs on.
    Passes(2500, [&] { stream->Position(); });
    const uint32_t stood = stream->Position().value_or(0);
    EXPECT_LE(stood, 1000u);  // two pieces
    Passes(1200, [&] { EXPECT_EQ(stream->Position().value_or(0), stood); });
    EXPECT_LT(Took([&] { stream->SetVolume(0.3), stream->Stop(), stream->Seek(0); }), 50);
    EXPECT_LT(Took([&] { stream->Play(), stream.reset(); }), 50);
    EXPECT_EQ(ThreadsLeft(engine), 0u);
}

// A sound server is woken for every piece it is handed, so the sink takes half a second at a
// time, not the file's pieces (40 ms here, 26 ms an MP3 frame): two pieces and no more are 1 s.
TEST(GstEngineStall, TheSinkTakesTheSoundInPiecesOfHalfASecond) {
    SilentWav file(5, 44100, 2);
    GstEngine engine("appsink sync=true max-buffers=1 drop=false");
    std::unique_ptr<MediaStream> stream = Opened(engine, file);
    ASSERT_TRUE(stream);
    ASSERT_TRUE(stream->Play());
    Passes(3000, [&] { stream->Position(); });
    EXPECT_EQ(stream->Position().value_or(0), 1000u);
}

// A sink that plays in real time: asked at every pass, the position follows the sound within
// a few ms, between the sink's answers too, and stands where a stop left it.
TEST(GstEngine, PositionFollowsTheSoundBetweenTheSinksAnswers) {
    SilentWav file(10);
    GstEngine engine("fakesink sync=true");
    std::unique_ptr<MediaStream> stream = Opened(engine, file);
    ASSERT_TRUE(stream);
    ASSERT_TRUE(stream->Play());
    const auto start = std::chrono::steady_clock::now();
    long worst = 0;
    Passes(2500, [&] {
        const long elapsed = static_cast<long>(
            std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count());
        const long position = static_cast<long>(stream->Position().value_or(0));
        if (elapsed > 700) worst = std::max(worst, std::labs(position - elapsed));
    });
    EXPECT_LT(worst, 60);
    stream->Stop();
    std::this_thread::sleep_for(Ms(100));
    const uint32_t stopped = stream->Position().value_or(0);
    Passes(700, [&] { EXPECT_EQ(stream->Position().value_or(0), stopped); });
}

// A title's stream is made only once the one before is down (made while the server still took
// the old one down, its first notes were lost): never two, though each takes 0.2 s to go down.
TEST(GstEngine, OpensATitleOnlyOnceTheOneBeforeIsDown) {
    SilentWav file(5);
    GstEngine engine("identity sleep-time=200000 ! fakesink sync=true");
    std::atomic<bool> done{false};
    size_t most = 0;
    std::thread watch([&] {
        for (; !done; std::this_thread::sleep_for(Ms(1)))
            most = std::max(most, engine.StreamThreads());
    });
    const long took = Took([&] {
        for (int title = 0; title < 3; ++title) {
            std::unique_ptr<MediaStream> stream = Opened(engine, file);
            if (stream) stream->Play();
            std::this_thread::sleep_for(Ms(300));
        }
    });
    done = true;
    watch.join();
    EXPECT_EQ(most, 1u);
    EXPECT_LT(took, 3300);  // each open waits only while there is a stream to wait for
}

// Opens that do not finish in time (a sink that takes a second a piece, as a hung server): each
// is given up after the wait as a file that cannot be played; its thread ends with the pipeline.
TEST(GstEngineStall, SlowOpensAreGivenUpInTimeAndLeaveNoThreads) {
    SilentWav file(5);
    GstEngine engine("identity sleep-time=1000000 ! fakesink sync=true", Ms(300));
    for (int open = 0; open < 3; ++open) {
        uint32_t error = 0;
        std::unique_ptr<MediaStream> stream;
        const long took = Took([&] { stream = engine.Open(file.path, &error); });
        EXPECT_FALSE(stream);
        EXPECT_EQ(error, 277u);
        EXPECT_GE(took, 250);
        EXPECT_LT(took, 900);
    }
    EXPECT_EQ(ThreadsLeft(engine), 0u);
}

}  // namespace
}  // namespace varlo
