// The desktop's media controls: what the player publishes step by step, and each of their
// commands doing exactly what its key does, on the screens where the key works and nowhere
// else.
#include <gtest/gtest.h>

#include <functional>

#include "app/error_report.h"
#include "app/program.h"
#include "fake/fake_platform.h"
#include "media/playback.h"
#include "power/down_timer.h"

namespace varlo {
namespace {

using State = NowPlaying::State;
using Script = std::function<void(fake::FakePlatform&)>;

std::string Told(const NowPlaying& n) {
    const char* state = n.state == State::Playing  ? "Playing"
                        : n.state == State::Paused ? "Paused"
                                                   : "Stopped";
    if (n.title == 0) return std::string(state) + " -";
    return std::string(state) + " " + n.name + "/" + n.interpreter + " " + n.file + " " +
           std::to_string(n.length / 1000) + "s " + std::to_string(n.volume) + " " +
           std::to_string(n.sortMode);
}

// The start, the sort prompt (2: by title; the desktop's commands there do nothing), a pause,
// a volume key, Next, the info screen, the end of the list and the next prompt.
TEST(Remote, PublishedThroughScanPauseVolumeNextInfoAndPrompt) {
    fake::FakePlatform p;
    p.currentFolder = "C:\\Musik";
    p.AddFolder("C:\\Musik");
    p.AddMedia("C:\\Musik\\Zug - B\xF6hm.mp3", 20000);
    p.AddMedia("C:\\Musik\\Abend - Ana.mp3", 12000);
    p.RemoteAt(2300, RemoteCommand::Next);
    p.RemoteAt(2350, RemoteCommand::PlayPause);
    p.Script(2500, 0, {"2"});
    p.Script(4000, 3000, {"p", "p", "+"});
    p.RemoteAt(12000, RemoteCommand::Next);
    p.Script(15000, 1000, {"?", "x", "x"});
    p.stopAt = 45000;
    EXPECT_THROW(RunProgram(p, ""), fake::FakeStop);
    std::string told;
    for (const NowPlaying& n : p.published) told += Told(n) + "\n";
    EXPECT_EQ(told,
              "Playing Abend/Ana Abend - Ana.mp3 12s 400 2\n"
              "Paused Abend/Ana Abend - Ana.mp3 12s 400 2\n"
              "Playing Abend/Ana Abend - Ana.mp3 12s 400 2\n"
              "Playing Abend/Ana Abend - Ana.mp3 12s 450 2\n"
              "Stopped -\n"
              "Playing Zug/B\xF6hm Zug - B\xF6hm.mp3 20s 450 2\n"
              "Stopped Zug/B\xF6hm Zug - B\xF6hm.mp3 20s 450 2\n"
              "Playing Zug/B\xF6hm Zug - B\xF6hm.mp3 20s 450 2\n"
              "Stopped -\n"
              "Playing Zug/B\xF6hm Zug - B\xF6hm.mp3 20s 400 1\n");
    EXPECT_EQ(p.MciTrace("open", 0, 2500), "");
    // The error report waits for a key with nothing playing.
    Context failed(p);
    failed.media.Published = p.published[0];
    failed.media.MediaAlias = 1;
    p.stopAt = UINT64_MAX;
    p.KeyAt(p.now, "x");
    ErrorReport(failed, kErrFileNotFound);
    EXPECT_EQ(p.published.back().state, State::Stopped);
    EXPECT_EQ(p.published[1].position, p.published[2].position);  // it goes on where it stood
}

// Three titles of 60 s played by `script`; the MCI commands but the status queries, and the
// screen at 2000 and at the end.
std::string Played(const Script& script, float* volume = nullptr) {
    fake::FakePlatform p;
    Context ctx(p);
    for (int i = 1; i <= 3; ++i) {
        ctx.playlist.TrackFile(i) = "T" + std::to_string(i) + ".mp3";
        p.AddMedia("C:\\T" + std::to_string(i) + ".mp3", 60000);
    }
    ctx.playlist.TrackCount = 3;
    ctx.media.Volume = 400;
    ctx.power.DownPreset = "360";
    DownTimerStart(ctx);
    p.stopAt = 12000;
    std::string at2000;
    p.At(2000, [&] { at2000 = p.Dump(); });
    script(p);
    try {
        PlayList(ctx);
    } catch (const fake::FakeStop&) {
    } catch (const ProgramEnd&) {
        at2000 += "\nended";
    }
    if (volume) *volume = ctx.media.Volume;
    return p.MciTrace("open setaudio play stop seek close") + at2000 + "\n----" + p.Dump();
}

TEST(Remote, EachCommandDoesWhatItsKeyDoes) {
    struct Case {
        const char* what;
        Script keys;
        Script remote;
    };
    using R = RemoteCommand;
    const Case kCases[] = {
        // Play while playing and Pause in the pause do nothing; Next typed during the fade
        // goes as the key 1 does.
        {"pause",
         [](auto& p) {
             p.Script(1000, 500, {"p", "1"}), p.Script(5000, 0, {"p"});
         },
         [](auto& p) {
             p.RemoteAt(500, R::Play), p.RemoteAt(1000, R::PlayPause), p.RemoteAt(1500, R::Next);
             p.RemoteAt(3000, R::Pause), p.RemoteAt(3500, R::Next),
                 p.RemoteAt(4000, R::Volume, 900);
             p.RemoteAt(5000, R::Play);
         }},
        // Everything sent during a fade is dropped, as keys typed then are.
        {"two commands in the fade",
         [](auto& p) {
             p.Script(1000, 500, {"p", "1", "p"}), p.Script(5000, 0, {"p"});
         },
         [](auto& p) {
             p.RemoteAt(1000, R::PlayPause), p.RemoteAt(1500, R::Next);
             p.RemoteAt(2000, R::PlayPause), p.RemoteAt(5000, R::PlayPause);
         }},
        {"pause and play",
         [](auto& p) {
             p.Script(1000, 4000, {"p", "p"});
         },
         [](auto& p) { p.RemoteAt(1000, R::Pause), p.RemoteAt(5000, R::PlayPause); }},
        {"next", [](auto& p) { p.Script(1000, 0, {"1"}); },
         [](auto& p) { p.RemoteAt(1000, R::Next); }},
        {"quit",
         [](auto& p) {
             p.Script(1000, 2000, {"\x1b", "j"});
         },
         [](auto& p) { p.RemoteAt(1000, R::Quit); }},
        {"quit in the pause",
         [](auto& p) {
             p.Script(1000, 2000, {"p", "\x1b", "j"});
         },
         [](auto& p) { p.RemoteAt(1000, R::PlayPause), p.RemoteAt(3000, R::Quit); }},
        // At the quit prompt only a key answers.
        {"no quit",
         [](auto& p) {
             p.Script(1000, 2000, {"\x1b", "n"});
         },
         [](auto& p) {
             p.Script(1000, 0, {"\x1b"}), p.RemoteAt(2500, R::Next), p.RemoteAt(2600, R::PlayPause);
             p.Script(3000, 0, {"n"});
         }},
    };
    for (const Case& c : kCases) {
        const std::string byKeys = Played(c.keys);
        EXPECT_EQ(Played(c.remote), byKeys) << c.what;
    }
    // The volume moves to the step nearest to the desktop's, sent once: the screen as by
    // six + keys.
    float byKeys = 0, byRemote = 0;
    const std::string keys = Played(
        [](auto& p) {
            p.Script(500, 100, {"+", "+", "+", "+", "+", "+"});
        },
        &byKeys);
    const std::string remote = Played([](auto& p) { p.RemoteAt(500, R::Volume, 690); }, &byRemote);
    EXPECT_EQ(remote.substr(remote.find("╔")), keys.substr(keys.find("╔")));
    EXPECT_EQ(byRemote, 700);
    EXPECT_NE(remote.find("setaudio 700"), std::string::npos);
    EXPECT_EQ(byKeys, 700);
}

// Next on the last title ends the list at once: the key 1 there would play it again.
TEST(Remote, NextOnTheLastTitleEndsTheList) {
    fake::FakePlatform p;
    Context ctx(p);
    ctx.playlist.TrackFile(1) = "T1.mp3";
    p.AddMedia("C:\\T1.mp3", 60000);
    ctx.playlist.TrackCount = 1;
    ctx.media.Volume = 400;
    ctx.power.DownPreset = "360";
    DownTimerStart(ctx);
    p.RemoteAt(1000, RemoteCommand::Next);
    EXPECT_EQ(PlayList(ctx), ListEnd::Done);
    EXPECT_EQ(p.MciTrace("open close"), "0 open T1.mp3; 2200 close");
}

TEST(Remote, VolumeToTheNearestStepOfTheKeys) {
    fake::FakePlatform p;
    Context ctx(p);
    std::string steps;
    for (int units : {0, 74, 75, 700, 725, 949, 974, 975, 1000, -5, 99999}) {
        ctx.media.Volume = 400;
        VolumeTo(ctx, units);
        steps += std::to_string(static_cast<int>(ctx.media.Volume)) + " ";
    }
    EXPECT_EQ(steps, "50 50 100 700 750 950 950 999 999 50 999 ");
}

}  // namespace
}  // namespace varlo
