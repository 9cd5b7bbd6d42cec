// The title loop in virtual time: opening, the steady pass, the end of a title, fades, the
// pause, skips, the quit path and a monkey on every key; one device open at a time.
#include "media/playback.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/error_report.h"
#include "console/input.h"
#include "console/output.h"
#include "fake/fake_platform.h"
#include "power/down_timer.h"

namespace varlo {
namespace {

using fake::FakePlatform;
using fake::MciRecord;

struct Player {
    FakePlatform p;
    Context ctx{p};

    explicit Player(int titles, uint32_t lengthMs = 60000) {
        p.currentFolder = "C:\\Musik";
        ctx.screen.ColorTable = {2, 0, 7, 9, 5, 8};
        SetNormalColours(ctx);
        ClearScreen(ctx);
        for (int i = 1; i <= titles; ++i) {
            const std::string title = "Titel " + std::to_string(i);
            const std::string name = title + " - Band.mp3";
            p.AddMedia("C:\\Musik\\" + name, lengthMs);
            ctx.playlist.TrackFile(i) = name;
            ctx.playlist.TrackTitle(i) = title;
            ctx.playlist.TrackInterpreter(i) = "Band";
        }
        ctx.playlist.TrackCount = titles;
        ctx.media.Volume = 400;
        // A machine that hibernates: a countdown that runs out does not end the run.
        ctx.power.PowerMode = 2;
        ctx.power.DownPreset = "30";
        DownTimerStart(ctx);
        DownCheck(ctx);
    }
    // Runs the list until it ends, or until the virtual clock passes `until`.
    std::optional<ListEnd> Run(uint64_t until) {
        p.stopAt = until;
        try {
            return PlayList(ctx);
        } catch (const fake::FakeStop&) {
            return std::nullopt;
        }
    }
    std::vector<MciRecord> Commands(const std::string& prefix) const {
        std::vector<MciRecord> found;
        for (const auto& r : p.mciLog) {
            if (r.command.rfind(prefix, 0) == 0) found.push_back(r);
        }
        return found;
    }
    // The volumes of the setaudio commands sent in [from, to).
    std::vector<uint32_t> Volumes(uint64_t from, uint64_t to = UINT64_MAX) const {
        std::vector<uint32_t> volumes;
        for (const auto& r : Commands("setaudio ")) {
            if (r.at >= from && r.at < to) {
                volumes.push_back(
                    static_cast<uint32_t>(std::stoul(r.command.substr(r.command.rfind(' ')))));
            }
        }
        return volumes;
    }
    // The opens in order, as the index of the title.
    std::vector<int> Opened() const {
        std::vector<int> order;
        for (const auto& r : Commands("open ")) {
            const size_t at = r.command.find("Titel ");
            order.push_back(std::stoi(r.command.substr(at + 6)));
        }
        return order;
    }
    // Every open is closed under its alias before the next open.
    void ExpectOpenClosePairs() const {
        std::string open;
        for (const auto& r : p.mciLog) {
            if (r.command.rfind("open ", 0) == 0) {
                EXPECT_EQ(open, "") << "open at " << r.at << " while " << open << " is open";
                if (r.result == 0) open = r.command.substr(r.command.size() - 8);
            } else if (r.command == "close " + open) {
                open.clear();
            }
        }
        EXPECT_LE(p.maxOpenDevices, 1u);
    }
    uint64_t FirstAt(const std::string& prefix, uint64_t from = 0) const {
        for (const auto& r : p.mciLog) {
            if (r.at >= from && r.command.rfind(prefix, 0) == 0) return r.at;
        }
        return UINT64_MAX;
    }
};

TEST(Playback, ListPlaysInOrderAndASteadyPassCostsTwoQueriesAndTwoFields) {
    Player pl(3, 10000);
    EXPECT_EQ(pl.Run(UINT64_MAX), ListEnd::Done);
    EXPECT_EQ(pl.ctx.media.CurrentIndex, 4);
    EXPECT_EQ(pl.Opened(), (std::vector<int>{1, 2, 3}));
    pl.ExpectOpenClosePairs();
    EXPECT_TRUE(pl.p.devices.empty());

    // Start of title 1: open, time format, full volume, play; no fade-in.
    const std::vector<std::string> start = {pl.p.mciLog[1].command, pl.p.mciLog[2].command,
                                            pl.p.mciLog[3].command};
    const std::string alias = pl.p.mciLog[0].command.substr(pl.p.mciLog[0].command.size() - 8);
    EXPECT_EQ(start,
              (std::vector<std::string>{"set " + alias + " time format ms",
                                        "setaudio " + alias + " volume to 400", "play " + alias}));
    // The end: fewer than 3 s left at about 7 s, the 3000 ms wait, rewind, close.
    const uint64_t stop = pl.FirstAt("stop ");
    EXPECT_GE(stop, 10000u);
    EXPECT_LE(stop, 10040u);
    EXPECT_EQ(pl.FirstAt("open ", 1), stop);

    // Between 1 s and 6 s every MCI command is a status query, length then position, and
    // every write is one of the two fields.
    int queries = 0;
    for (const auto& r : pl.p.mciLog) {
        if (r.at < 1000 || r.at >= 6000) continue;
        EXPECT_EQ(r.command, "status " + alias + (queries % 2 ? " position" : " length"));
        ++queries;
    }
    int fieldWrites = 0;
    for (const auto& w : pl.p.writes) {
        if (w.at < 1000 || w.at >= 6000) continue;
        EXPECT_EQ(w.row, 5);
        EXPECT_TRUE(w.column == 4 || w.column == 13 || w.column == 27) << w.column;
        ++fieldWrites;
    }
    EXPECT_EQ(queries, 2 * 250);  // one pass every 20 ms
    EXPECT_EQ(fieldWrites, 3 * 250);
}

TEST(Playback, UnopenableShortAndBrokenTitles) {
    Player pl(4, 60000);
    pl.p.Find("C:\\Musik\\Titel 1 - Band.mp3")->playable = false;
    pl.p.Find("C:\\Musik\\Titel 2 - Band.mp3")->lengthMs = 1000;
    pl.p.Remove("C:\\Musik\\Titel 3 - Band.mp3");
    std::vector<std::string> shown;
    pl.p.At(1000, [&] { shown = {pl.p.Row(12), pl.p.Row(13)}; });
    pl.p.mciHook = [&](const std::string& c) -> std::optional<uint32_t> {
        // Title 4's device stops answering its status queries.
        if (pl.p.now > 5100 && c.rfind("status ", 0) == 0) return 263;
        return std::nullopt;
    };
    EXPECT_EQ(pl.Run(UINT64_MAX), ListEnd::Done);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].substr(0, 17), " Can't open file!");
    EXPECT_EQ(shown[1].substr(0, 22), " Titel 1 - Band.mp3   ");
    // Title 1 refused at 0, title 2 (1 s) opened after the 2000 ms message and played for
    // its closing wait; title 3 is gone (no command at all), title 4 ends on its first pass.
    EXPECT_EQ(pl.Opened(), (std::vector<int>{1, 2, 4}));
    const auto opens = pl.Commands("open ");
    EXPECT_EQ(opens[1].at, 2000u);
    EXPECT_EQ(opens[2].at, 2000u + 3000u + 2000u);
    EXPECT_EQ(pl.FirstAt("close ", opens[2].at), opens[2].at + 3000u);
    pl.ExpectOpenClosePairs();
}

TEST(Fade, OutFromVolumeInFromOneEvery300Ms) {
    Player pl(1);
    pl.ctx.media.Volume = 450;
    FadeOut(pl.ctx);
    EXPECT_EQ(pl.Volumes(0), (std::vector<uint32_t>{450, 350, 250, 150, 50}));
    const auto steps = pl.Commands("setaudio ");
    for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i].at, 300 * i);
    EXPECT_EQ(pl.p.now, 1500u);
    pl.ctx.media.Volume = 400;
    FadeIn(pl.ctx);
    EXPECT_EQ(pl.Volumes(1500), (std::vector<uint32_t>{1, 121, 241, 361}));
    EXPECT_EQ(pl.p.now, 2700u);
    pl.ctx.media.Volume = 50;
    FadeOut(pl.ctx);
    FadeIn(pl.ctx);
    EXPECT_EQ(pl.Volumes(2700), (std::vector<uint32_t>{50, 1}));
    EXPECT_EQ(pl.ctx.media.Volume, 50);
}

TEST(Pause, FadesStopsBlinksAndContinuesFromTheLastPosition) {
    Player pl(2, 60000);
    pl.p.KeyAt(5000, "p");
    pl.p.KeysAt(5100, "x+0");  // typed during the fade: discarded when the pause starts
    std::vector<std::string> first, second;
    pl.p.At(6500, [&] { first = {pl.p.Text(4, 27, 11), pl.p.Row(5)}; });
    pl.p.At(7100, [&] { second = {pl.p.Text(4, 27, 11), pl.p.Text(4, 45, 7)}; });
    pl.p.ClickAt(7700, 5, 50);  // on the play symbol
    pl.p.KeyAt(20000, "P");
    std::string again;
    pl.p.At(21300, [&] { again = pl.p.Text(4, 27, 11); });
    ASSERT_EQ(pl.Run(21500), std::nullopt);

    const uint64_t key = pl.FirstAt("setaudio ", 100);
    EXPECT_GE(key, 5000u);
    EXPECT_LE(key, 5020u);
    EXPECT_EQ(pl.Volumes(key, key + 1200), (std::vector<uint32_t>{400, 300, 200, 100}));
    EXPECT_EQ(pl.FirstAt("stop ", key), key + 1200);
    // "<< Pause >>" first (PauseBlink starts at 0), the other one about 600 ms later.
    EXPECT_EQ(first[0], "<< Pause >>");
    EXPECT_EQ(first[1].substr(17, 36), "  " + std::string(25, ' ') + "   >   " + "  ");
    EXPECT_EQ(second[0], ">> Pause <<");
    EXPECT_EQ(second[1], "(P)lay ");

    // The click continues: seek back to the position read just before the key, play, fade in.
    const auto seeks = pl.Commands("seek ");
    ASSERT_GE(seeks.size(), 1u);
    uint64_t lastQuery = 0;
    for (const auto& r : pl.Commands("status ")) {
        if (r.at < key) lastQuery = r.at;
    }
    EXPECT_EQ(seeks[0].command.substr(seeks[0].command.rfind(' ') + 1),
              std::to_string(lastQuery));  // playing since 0
    EXPECT_GE(seeks[0].at, 7700u);
    EXPECT_LE(seeks[0].at, 7740u);
    EXPECT_EQ(pl.Volumes(seeks[0].at, seeks[0].at + 1200),
              (std::vector<uint32_t>{1, 121, 241, 361}));
    EXPECT_EQ(pl.p.Text(2, 45, 12), std::string(12, ' '));
    // The keys typed during the fade-out were not executed.
    EXPECT_EQ(pl.ctx.media.Volume, 400);
    EXPECT_EQ(pl.Opened(), (std::vector<int>{1}));
    // The second pause goes on with the blink where the first left it.
    EXPECT_EQ(again, ">> Pause <<");
    pl.ExpectOpenClosePairs();
}

TEST(Skip, SlotKeysPlayTheirTitleNextAndKeyThreePastTheEndPlaysTheLast) {
    Player pl(6, 60000);
    pl.p.KeyAt(3000, "2");  // slot 2 of title 1: title 3
    pl.p.KeyAt(8000, "0");  // slot 0 of title 3: title 3 again
    pl.p.KeyAt(13000, kKeyPageDown);
    pl.p.KeyAt(13500, kKeyUp);  // ListTop 5 = TrackCount - 1
    pl.p.KeyAt(14000, "3");     // past the end: the last title
    ASSERT_EQ(pl.Run(20000), std::nullopt);
    EXPECT_EQ(pl.Opened(), (std::vector<int>{1, 3, 3, 6}));
    // Fade out, rewind and close; no closing wait.
    const auto opens = pl.Commands("open ");
    const uint64_t key = pl.FirstAt("setaudio ", 100);
    EXPECT_EQ(pl.Volumes(key, key + 1200), (std::vector<uint32_t>{400, 300, 200, 100}));
    EXPECT_EQ(pl.FirstAt("close ", key), key + 1200);
    EXPECT_EQ(opens[1].at, key + 1200);
    pl.ExpectOpenClosePairs();

    // A list of one: every slot key replays it.
    Player one(1, 60000);
    one.p.KeyAt(3000, "3");
    one.p.KeyAt(6000, "0");
    ASSERT_EQ(one.Run(9000), std::nullopt);
    EXPECT_EQ(one.Opened(), (std::vector<int>{1, 1, 1}));

    // A single click on a slot does nothing; a double-click plays it next.
    Player mouse(4, 60000);
    mouse.p.ClickAt(2000, 13, 30);
    mouse.p.DoubleClickAt(4000, 16, 30);
    ASSERT_EQ(mouse.Run(7000), std::nullopt);
    EXPECT_EQ(mouse.Opened(), (std::vector<int>{1, 3}));
    EXPECT_EQ(mouse.FirstAt("setaudio ", 100), 4040u);  // on the double-click item
}

TEST(Quit, RefusedQuitKeepsThePromptAndGoesOnAfterTheClosingWait) {
    Player pl(3, 60000);
    pl.p.KeyAt(5000, kKeyEsc);
    uint64_t closed = 0;
    pl.p.onMci = [&](const MciRecord& r) {
        if (closed == 0 && r.command.rfind("close ", 0) == 0) {
            closed = r.at;
            pl.p.KeyAt(r.at + 100, "j");  // within the first 200 ms: dropped
            pl.p.KeyAt(r.at + 1000, "n");
        }
    };
    std::vector<std::string> prompt;
    pl.p.At(9000, [&] { prompt = {pl.p.Row(1), pl.p.Row(5)}; });
    EXPECT_EQ(pl.Run(12000), std::nullopt);
    ASSERT_NE(closed, 0u);
    EXPECT_EQ(pl.Volumes(5000, closed), (std::vector<uint32_t>{400, 300, 200, 100}));
    // After the answer the prompt stays, the fields appear around it, and title 2 starts
    // 3 s later.
    ASSERT_EQ(prompt.size(), 2u);
    EXPECT_EQ(prompt[0].substr(0, 24), " Programm beenden ? J/N ");
    EXPECT_EQ(prompt[1].substr(0, 16), "   (-)  4   (+) ");
    const auto opens = pl.Commands("open ");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_GE(opens[1].at, closed + 1000 + 3000);
    EXPECT_LE(opens[1].at, closed + 1000 + 3060);
    pl.ExpectOpenClosePairs();
}

TEST(Quit, EscDuringThePauseTakesTheQuitPath) {
    Player pl(2, 60000);
    pl.p.KeyAt(3000, "p");
    pl.p.KeyAt(6000, kKeyEsc);
    pl.p.KeyAt(9000, "J");
    EXPECT_THROW(pl.Run(20000), ProgramEnd);
    EXPECT_EQ(pl.p.Text(1, 1, 23), " Programm beenden ? J/N");
    EXPECT_TRUE(pl.p.devices.empty());
    EXPECT_LT(pl.p.now, 9200u);
    pl.ExpectOpenClosePairs();
}

TEST(Folder, ChosenFolderClosesTheTitleAndEmptiesThePlaylist) {
    Player pl(3, 60000);
    pl.p.AddFolder("C:\\Musik\\Live");
    pl.p.KeyAt(3000, "o");
    pl.p.KeyAt(3500, "1");  // entry 2: the first sub-folder
    pl.p.KeyAt(4000, kKeyEnter);
    EXPECT_EQ(pl.Run(20000), ListEnd::NewFolder);
    EXPECT_EQ(pl.p.currentFolder, "C:\\Musik\\Live");
    const uint64_t fade = pl.FirstAt("setaudio ", 100);
    EXPECT_EQ(fade, 4000u);
    EXPECT_EQ(pl.Volumes(fade), (std::vector<uint32_t>{400, 300, 200, 100}));
    EXPECT_EQ(pl.FirstAt("close ", fade), fade + 1200);
    EXPECT_EQ(pl.p.Text(2, 45, 11), "Fade out...");
    EXPECT_TRUE(pl.p.devices.empty());
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(pl.ctx.playlist.TrackFile(i), "");
        EXPECT_EQ(pl.ctx.playlist.TrackTitle(i), "");
        EXPECT_EQ(pl.ctx.playlist.TrackInterpreter(i), "");
    }
}

// The chooser leaves Esc in InputKey; a title that ends in the same pass must not take it
// for a request to quit.
TEST(Folder, LeftWithEscTheTitlePlaysOnAndEndsWithoutAQuitPrompt) {
    Player pl(2, 10000);
    pl.p.KeyAt(6990, "o");
    pl.p.KeyAt(8000, kKeyEsc);
    EXPECT_EQ(pl.Run(12000), std::nullopt);
    EXPECT_EQ(pl.Opened(), (std::vector<int>{1, 2}));
    EXPECT_GE(pl.FirstAt("close "), 11000u);
    EXPECT_TRUE(pl.Volumes(100, pl.FirstAt("close ")).empty());  // played to its end
    for (const auto& w : pl.p.writes) EXPECT_EQ(w.bytes.find("beenden"), std::string::npos);
}

TEST(Playback, AListOf1999TitlesEndsAndLeavesNothingOpen) {
    Player pl(1999, 500);
    pl.p.logWrites = false;
    EXPECT_EQ(pl.Run(UINT64_MAX), ListEnd::Done);
    EXPECT_EQ(pl.ctx.media.CurrentIndex, 2000);
    EXPECT_EQ(pl.Commands("open ").size(), 1999u);
    EXPECT_EQ(pl.Commands("close ").size(), 1999u);
    pl.ExpectOpenClosePairs();
}

TEST(Playback, MonkeyOnEveryKeyAtEveryMoment) {
    const std::vector<std::string> kKeys = {
        "p",    "P",      "+",        "-",          "0",
        "1",    "2",      "3",        "z",          "t",
        "i",    "r",      "c",        "?",          "d",
        "m",    "x",      "n",        kKeyEsc,      kKeyEnter,
        kKeyUp, kKeyDown, kKeyPageUp, kKeyPageDown, std::string("\0;", 2)};
    for (unsigned seed = 1; seed <= 4; ++seed) {
        Player pl(12, 20000);
        pl.p.Find("C:\\Musik\\Titel 4 - Band.mp3")->playable = false;
        pl.p.Find("C:\\Musik\\Titel 7 - Band.mp3")->lengthMs = 1500;
        std::mt19937 rng(seed);
        const uint64_t end = 15 * 60 * 1000;
        for (uint64_t t = 500; t < end; t += 20 + rng() % 1500) {
            switch (rng() % 4) {
                case 0:
                    pl.p.ClickAt(t, 1 + static_cast<int>(rng() % 22),
                                 1 + static_cast<int>(rng() % 69), rng() % 3 ? 1 : 4);
                    break;
                case 1:
                    pl.p.DoubleClickAt(t, 1 + static_cast<int>(rng() % 22),
                                       1 + static_cast<int>(rng() % 69), 1);
                    break;
                default:
                    // Several keys at once now and then: faster than the poll.
                    for (unsigned n = rng() % 5 == 0 ? 3 : 1; n > 0; --n) {
                        pl.p.KeyAt(t, kKeys[rng() % kKeys.size()]);
                    }
            }
        }
        while (pl.Run(end)) {
        }
        pl.ExpectOpenClosePairs();
        EXPECT_GE(pl.ctx.media.Volume, 50);
        EXPECT_LE(pl.ctx.media.Volume, 999);
        EXPECT_GT(pl.Commands("open ").size(), 10u) << seed;
    }
}

}  // namespace
}  // namespace varlo
