// The GStreamer engine when the sound path stops taking sound: the position the player reads
// is the sink's own, so that it stands still, and the player's calls never wait for the sink.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "platform/posix/gst_engine.h"

namespace varlo {
namespace {

using Ms = std::chrono::milliseconds;

// A silent mono 16-bit WAV file of 8000 samples a second.
std::string SilentWav(const std::string& path, int seconds) {
    const uint32_t bytes = 16000u * static_cast<uint32_t>(seconds);
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out << "RIFF";
    u32(36 + bytes);
    out << "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(8000), u32(16000), u16(2), u16(16);
    out << "data";
    u32(bytes);
    out << std::string(bytes, '\0');
    return path;
}

// Takes the time of a call of the player's.
template <typename F>
Ms Took(F call) {
    const auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
}

// A sink that takes two pieces and then no more (nobody empties its queue): the position
// stands still where the sound stopped, read after read, as the player's standstill rule
// needs; it never runs on by the clock. Stopping, seeking, the volume and closing are
// answered at once, and the stream's thread ends after the close.
TEST(GstEngineStall, PositionStandsWhereTheSinkStoppedAndCallsDoNotWait) {
    char folder[] = "/tmp/varlo-stall-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string file = SilentWav(std::string(folder) + "/Still.wav", 30);
    GstEngine engine("appsink sync=true max-buffers=1 drop=false");
    uint32_t error = 1;
    std::unique_ptr<MediaStream> stream = engine.Open(file, &error);
    ASSERT_TRUE(stream);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(stream->Length(), 30000u);
    EXPECT_EQ(engine.StreamThreads(), 1u);
    ASSERT_TRUE(stream->Play());
    std::this_thread::sleep_for(Ms(1000));
    const uint32_t stood = stream->Position().value_or(0);
    EXPECT_LT(stood, 1000u);
    for (int pass = 0; pass < 40; ++pass) {  // 0.8 s of the player's passes
        std::this_thread::sleep_for(Ms(20));
        ASSERT_EQ(stream->Position().value_or(0), stood) << "pass " << pass;
    }
    for (auto call : {+[](MediaStream& s) { s.SetVolume(0.3); }, +[](MediaStream& s) { s.Stop(); },
                      +[](MediaStream& s) { s.Seek(0); }, +[](MediaStream& s) { s.Play(); }}) {
        EXPECT_LT(Took([&] { call(*stream); }).count(), 50);
    }
    EXPECT_LT(Took([&] { stream.reset(); }).count(), 50);
    for (int i = 0; i < 100 && engine.StreamThreads() > 0; ++i) {
        std::this_thread::sleep_for(Ms(20));
    }
    EXPECT_EQ(engine.StreamThreads(), 0u);
    std::remove(file.c_str());
    rmdir(folder);
}

// Opens that do not finish in time (a sink that takes a second for every piece, as a server
// that hangs): each is given up after the wait, with the MCI error of a file that cannot be
// played, and its thread ends once the pipeline is down; a file that does not exist is
// answered at once.
TEST(GstEngineStall, SlowOpensAreGivenUpInTimeAndLeaveNoThreads) {
    char folder[] = "/tmp/varlo-slow-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string file = SilentWav(std::string(folder) + "/Langsam.wav", 5);
    GstEngine engine("identity sleep-time=1000000 ! fakesink sync=true", Ms(300));
    for (int open = 0; open < 3; ++open) {
        uint32_t error = 0;
        std::unique_ptr<MediaStream> stream;
        const Ms took = Took([&] { stream = engine.Open(file, &error); });
        EXPECT_FALSE(stream);
        EXPECT_EQ(error, 277u);
        EXPECT_GE(took.count(), 250);
        EXPECT_LT(took.count(), 900);
    }
    uint32_t error = 0;
    EXPECT_LT(Took([&] { engine.Open(file + ".fehlt", &error); }).count(), 50);
    EXPECT_EQ(error, 275u);
    for (int i = 0; i < 150 && engine.StreamThreads() > 0; ++i) {
        std::this_thread::sleep_for(Ms(20));
    }
    EXPECT_EQ(engine.StreamThreads(), 0u);
    std::remove(file.c_str());
    rmdir(folder);
}

}  // namespace
}  // namespace varlo
