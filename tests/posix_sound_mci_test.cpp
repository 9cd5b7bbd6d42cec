// The MCI command strings of the player on the POSIX side: the grammar and result codes over
// a scripted engine, and GStreamer playing a real file.
#include <gtest/gtest.h>

#include <new>
#include <tuple>

#include "fake/fake_platform.h"
#include "fake/posix/counted_new.h"
#include "fake/posix/posix_fixtures.h"
#include "media/mci.h"
#include "platform/posix/files/drive_view.h"
#include "platform/posix/sound/gst_engine.h"
#include "platform/posix/sound/mci_interpreter.h"

namespace varlo {

namespace {

using S = std::string;

using fake::ScriptedEngine;

TEST(MciInterpreter, CommandsOfThePlayerAndTheirResultCodes) {
    ScriptedEngine engine;
    DriveView view;
    MciInterpreter mci(engine, [&](const S& path) { return view.ToPosix(path, "/m"); });
    // command, result, reply, engine calls; in order, on one interpreter
    const std::tuple<S, uint32_t, S, S> script[] = {
        {"open Z:\\m\\a.mp3 type MPEGVideo alias 0000ABCD", 0, "", "open /m/a.mp3; volume 1"},
        {"open \"Z:\\m\\a b.mp3\" type MPEGVideo alias 00000001", 0, "",
         "open /m/a b.mp3; volume 1"},
        {"open c.ogg alias 2 type mpegvideo", 0, "", "open /m/c.ogg; volume 1"},
        {"open \"c d.ogg\"\ttype MPEGVideo alias 9", 0, "", "open /m/c d.ogg; volume 1"},
        {"open broken.mp3 type MPEGVideo alias 3", 277, "", "open /m/broken.mp3"},
        {"open D:\\x.mp3 type MPEGVideo alias 4", 275, "", ""},     // no such drive
        {"open a.mp3 type waveaudio alias 5", 266, "", ""},         // another device type
        {"open \"a b.mp3\"", 273, "", ""},                          // no alias
        {"open a.mp3 type MPEGVideo alias 0000abcd", 289, "", ""},  // taken
        {"open a.mp3 shareable type MPEGVideo alias 6", 259, "", ""},
        {"open a.mp3 type MPEGVideo alias", 269, "", ""},
        {"open", 273, "", ""},
        {"set 0000abcd time format ms", 0, "", ""},  // aliases without case
        {"set 0000ABCD time format milliseconds", 0, "", ""},
        {"set 0000ABCD time format frames", 293, "", ""},
        {"set 0000ABCD audio all off", 259, "", ""},
        {"set 0000ABCD", 273, "", ""},
        {"setaudio 0000ABCD volume to 400", 0, "", "volume 0.4"},
        {"setaudio 0000ABCD volume to 0", 0, "", "volume 0"},
        {"setaudio 0000ABCD volume to 1000", 0, "", "volume 1"},
        {"setaudio 0000ABCD volume to 1001", 282, "", ""},
        {"setaudio 0000ABCD volume to -1", 270, "", ""},
        {"setaudio 0000ABCD volume to 4x", 270, "", ""},
        {"setaudio 0000ABCD volume to 99999999999", 270, "", ""},
        {"setaudio 0000ABCD left volume to 5", 259, "", ""},
        {"play 0000ABCD", 0, "", "play"},
        {"play 0000ABCD from 0", 259, "", ""},
        {"resume 0000ABCD", 0, "", "play"},
        {"status 0000ABCD length", 0, "60000", ""},
        {"status 0000ABCD position", 0, "1234", ""},
        {"status 0000ABCD volume", 0, "1000", ""},
        {"status 0000ABCD mode", 259, "", ""},
        {"status 0000ABCD", 273, "", ""},
        {"stop 0000ABCD", 0, "", "stop"},
        {"stop \"0000ABCD\"x", 259, "", ""},  // a word right after a quoted one
        {"seek 0000ABCD to start", 0, "", "stop; seek 0"},
        {"seek 0000ABCD to 1500", 0, "", "stop; seek 1500"},
        {"seek 0000ABCD to 60001", 282, "", ""},
        {"seek 0000ABCD to", 273, "", ""},
        {"seek 0000ABCD 1500", 259, "", ""},
        {"pause 0000ABCD", 261, "", ""},  // not one of the player's commands
        {"", 261, "", ""},
        {"play", 273, "", ""},
        {"play FFFFFFFF", 263, "", ""},
        {"close 0000ABCD", 0, "", ""},
        {"status 0000ABCD length", 263, "", ""},
        {"close 0000ABCD", 263, "", ""},
    };
    for (const auto& [command, result, reply, calls] : script) {
        char buffer[16] = "garbage";
        engine.calls.clear();
        EXPECT_EQ(mci.Send(command, buffer, sizeof buffer), result) << command;
        EXPECT_EQ(S(buffer), reply) << command;
        EXPECT_EQ(engine.calls, calls) << command;
    }
    // A reply is cut to the buffer, with its zero.
    char small[3];
    EXPECT_EQ(mci.Send("status 00000001 length", small, sizeof small), 0u);
    EXPECT_EQ(S(small), "60");
    EXPECT_EQ(mci.Send("status 00000001 length", nullptr, 0), 0u);
}

// The two status queries of every pass are put together, answered and read without the heap.
TEST(MciInterpreter, AnswersStatusQueriesWithoutAllocating) {
    ScriptedEngine engine;
    DriveView view;
    MciInterpreter mci(engine, [&](const S& path) { return view.ToPosix(path, "/m"); });
    struct Seam : fake::FakePlatform {
        explicit Seam(MciInterpreter& interpreter) : mci(interpreter) {}
        uint32_t MciSendString(std::string_view command, char* reply, uint32_t length) override {
            return mci.Send(command, reply, length);
        }
        MciInterpreter& mci;
    } seam(mci);
    ASSERT_EQ(mci.Send("open a.mp3 type MPEGVideo alias 0012D687", nullptr, 0), 0u);
    const S length = "status 0012D687 length", position = "Status 0012d687 POSITION";
    char reply[16];
    const size_t before = fake::g_allocations;
    EXPECT_EQ(mci.Send(length, reply, sizeof reply) + mci.Send(position, reply, sizeof reply), 0u);
    EXPECT_EQ(MciLength(seam, 0x0012D687) + MciPosition(seam, 0x0012D687), 60000u + 1234u);
    EXPECT_EQ(fake::g_allocations - before, 0u);
    EXPECT_EQ(S(reply), "1234");
}

TEST(GstEngine, PlaysStopsSeeksAndEndsAtItsLength) {
    char folder[] = "/tmp/varlo-gst-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const S dir = folder;
    GstEngine engine("fakesink sync=true");
    uint32_t error = 0;
    std::unique_ptr<MediaStream> stream =
        engine.Open(fake::WriteWav(dir + "/Ton.wav", 1000), &error);
    ASSERT_TRUE(stream);
    EXPECT_EQ(error, 0u);
    EXPECT_NEAR(stream->Length().value_or(0), 1000, 20);
    EXPECT_EQ(stream->Position().value_or(999), 0u);
    auto wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    EXPECT_TRUE(stream->SetVolume(0.4));
    EXPECT_TRUE(stream->Play());
    wait(400);
    EXPECT_TRUE(stream->Stop());
    wait(150);  // the stream's own thread stops it and tells where
    const uint32_t stopped = stream->Position().value_or(0);
    EXPECT_GT(stopped, 150u);
    EXPECT_LT(stopped, 900u);
    wait(200);
    EXPECT_NEAR(stream->Position().value_or(0), stopped, 30);  // stopped is stopped
    EXPECT_TRUE(stream->Seek(0));
    EXPECT_TRUE(stream->Play());
    wait(1500);
    EXPECT_EQ(stream->Position(), stream->Length());  // a title that has ended stands there

    // What cannot be played: random bytes named .mp3, a missing file, a folder.
    std::ofstream(dir + "/x.mp3") << "\x13\x37 not a medium at all \xFF\xFE";
    for (const auto& [path, code] :
         {std::pair<S, uint32_t>{dir + "/x.mp3", 277}, {dir + "/fehlt.mp3", 275}, {dir, 275}}) {
        EXPECT_EQ(engine.Open(path, &error), nullptr) << path;
        EXPECT_EQ(error, code) << path;
    }
    std::remove((dir + "/Ton.wav").c_str());
    std::remove((dir + "/x.mp3").c_str());
    rmdir(folder);
}

}  // namespace
}  // namespace varlo
