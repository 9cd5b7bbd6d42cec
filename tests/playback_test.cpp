// The title loop and the commands of the playback screen in virtual time: MCI traces, the
// screen at moments of a script, one table of every command; and the MCI command layer.
#include "media/playback.h"

#include <gtest/gtest.h>

#include "app/error_report.h"
#include "console/info_screen.h"
#include "console/input.h"
#include "console/key_dispatch.h"
#include "console/screen.h"
#include "fake/fake_platform.h"
#include "media/mci.h"
#include "playlist/scan.h"
#include "playlist/sort.h"
#include "power/down_timer.h"

namespace varlo {
namespace {

const std::string kFadeOut = "0 setaudio 400; 300 setaudio 300; 600 setaudio 200; 900 setaudio 100";

// Titles "Titel 1.mp3" ... of "Band" in C:\, Volume 400, the countdown at 360 minutes; Sleep
// throws FakeStop past `stopAt`.
struct Player {
    fake::FakePlatform p;
    Context ctx{p};

    explicit Player(int titles, uint64_t stopAt = UINT64_MAX, uint32_t lengthMs = 60000) {
        p.stopAt = stopAt;
        for (int i = 1; i <= titles; ++i) {
            ctx.playlist.TrackFile(i) = "Titel " + std::to_string(i) + ".mp3";
            ctx.playlist.TrackTitle(i) = "Titel " + std::to_string(i);
            ctx.playlist.TrackInterpreter(i) = "Band";
            p.AddMedia("C:\\" + ctx.playlist.TrackFile(i), lengthMs);
        }
        ctx.playlist.TrackCount = titles;
        ctx.media.Volume = 400;
        ctx.power.DownPreset = "360";  // runs out in no test
        DownTimerStart(ctx);
    }
};

// Full volume at once; fewer than 3 s left at about 7 s, then the 3000 ms closing wait. A title
// that cannot be opened shows its message for 2 s. A steady pass, one every 20 ms, sends two
// status queries and writes nothing but the two fields.
TEST(Playback, ListInOrderSteadyPassUnopenableTitleOneDeviceAtATime) {
    Player pl(3, UINT64_MAX, 10000);
    pl.p.Find("C:\\Titel 2.mp3")->playable = false;
    std::string shown;
    pl.p.At(11000, [&] { shown = pl.p.Dump(12, 22); });
    EXPECT_EQ(PlayList(pl.ctx), ListEnd::Done);
    EXPECT_EQ(
        pl.p.MciTrace("open setaudio play stop seek close", 0, 12100),
        "0 open Titel 1.mp3; 0 setaudio 400; 0 play; 10020 stop; 10020 seek start; 10020 close; "
        "10020 open Titel 2.mp3; 12020 open Titel 3.mp3; 12020 setaudio 400; 12020 play");
    EXPECT_EQ(shown, "\n Can't open file!\n Titel 2.mp3");
    EXPECT_TRUE(pl.p.maxOpenDevices == 1 && pl.p.devices.empty());
    EXPECT_EQ(pl.p.MciTrace("status", 1000, 1020), "0 status length; 0 status position");
    std::string fields;
    size_t commands = 0, writes = 0;
    for (const auto& r : pl.p.mciLog) commands += r.at >= 1000 && r.at < 6000;
    for (const auto& w : pl.p.writes) {
        writes += w.at >= 1000 && w.at < 6000;
        if (w.at >= 1000 && w.at < 1020) fields += std::to_string(w.column) + ":" + w.bytes + ";";
    }
    EXPECT_EQ(fields + std::to_string(commands) + " " + std::to_string(writes),
              "4:(-)  4  ;13:(+);27:  360   ;500 750");
}

// With ListTop at TrackCount = 1999 the list window reads entries up to 2002.
TEST(Playback, ListOf1999TitlesEndsWithSlotsPastTheArrays) {
    Player pl(1999, UINT64_MAX, 500);
    EXPECT_EQ(PlayList(pl.ctx), ListEnd::Done);
    EXPECT_EQ(pl.p.Dump(10, 14), "\n0)                          Titel 1999\n" +
                                     std::string(31, ' ') + "Band\n" + pl.p.Row(12).substr(0, 62) +
                                     "\n1)");
}

// The seek goes to the position read in the pass before the key (at 4980 ms); the device then
// stays at 361. PauseBlink starts at 0: "<< Pause >>" first. The legends (d) and (m) and the
// Down value are blanked, the pause symbol turns into the play symbol; after the fade-in the
// header is the playing state's again, as key R draws it.
TEST(Pause, FadesStopsBlinksAndContinuesFromTheLastPosition) {
    Player pl(2, 10200);
    pl.p.KeyAt(5000, "p");
    pl.p.KeysAt(5100, "xp");    // typed during the fade: dropped when the pause starts
    pl.p.ClickAt(7200, 5, 60);  // beside the play symbol: nothing
    pl.p.ClickAt(8100, 5, 46);  // on it, in the fourth blink phase
    std::string paused;
    pl.p.At(5500, [&] { paused = pl.p.Text(2, 45, 11); });
    pl.p.At(6500, [&] { paused += pl.p.Dump(2, 5); });
    std::string after, redrawn;
    pl.p.At(9400, [&] { after = pl.p.Dump(1, 6); });
    pl.p.KeyAt(9500, "r");
    pl.p.At(10100, [&] { redrawn = pl.p.Dump(1, 6); });
    EXPECT_THROW(PlayList(pl.ctx), fake::FakeStop);
    EXPECT_EQ(pl.p.MciTrace("setaudio stop seek play open close", 5000),
              kFadeOut +
                  "; 1200 stop; 3150 seek 4980; 3150 play; 3150 setaudio 1; "
                  "3450 setaudio 121; 3750 setaudio 241; 4050 setaudio 361");
    EXPECT_EQ(paused, R"(Fade out...
║(O)rdner              gefundene Titel: 2               Sortierung  ║
║(?)                                                      (Z)ufall  ║
║(R)  Volume              << Pause >>       (P)lay        (T)itel   ║
║  (-)  4   (+)                                >          (I)nterp. ║)");
    std::string blinks;  // 600 ms a phase until the click
    for (const auto& w : pl.p.writes)
        if (w.row == 4 && w.column == 27 && w.at < 8200) blinks += std::to_string(w.at) + w.bytes;
    EXPECT_EQ(blinks + pl.p.Written(2, 45, 7000),
              "0Down in           (P)ause6200<< Pause >>6800>> Pause <<7400<< Pause >>"
              "8000>> Pause <<Fade in...  ");
    EXPECT_EQ(after, redrawn);
    EXPECT_EQ(pl.p.Dump(4, 5), R"(
║(R)  Volume              Down in           (P)ause       (T)itel   ║
║  (-)  4   (+)      (d)    360    (m)         II         (I)nterp. ║)");
}

// Closed at the Esc; the answer "n" leaves the prompt on screen with the pass's fields around
// it, the pass finds nothing left, waits and goes on with the next title.
TEST(Quit, RefusedQuitGoesOnWithTheNextTitleAfterTheClosingWait) {
    Player pl(3, 12000);
    pl.p.KeyAt(5000, kKeyEsc);
    pl.p.KeyAt(6300, "j");  // within 200 ms of the prompt: dropped
    pl.p.KeyAt(8000, "n");
    std::string prompt;
    pl.p.At(9000, [&] { prompt = pl.p.Dump(); });
    EXPECT_THROW(PlayList(pl.ctx), fake::FakeStop);
    EXPECT_EQ(prompt, R"(
 Programm beenden ? J/N



   (-)  4   (+)             360)");
    EXPECT_EQ(pl.p.MciTrace("setaudio open close", 5000),
              kFadeOut + "; 1200 close; 6020 close; 6020 open Titel 2.mp3; 6020 setaudio 400");
}

// The answer (a key, or a click with button 1 left, 2 right) and whether it ends the program;
// keys typed with the Esc are dropped. Without titles the prompt ends the program at once.
TEST(QuitPrompt, AnswersAfterTheFirst200Ms) {
    const std::tuple<std::string, int, bool> kCases[] = {
        {"J", 0, true},        {"y", 0, true}, {"", 2, true},      {"N", 0, false},
        {kKeyEnter, 0, false}, {"", 1, false}, {kKeyEsc, 0, false}};
    for (const auto& [key, button, ends] : kCases) {
        Player pl(1);
        pl.p.KeysAt(100, "jyJ");
        key.empty() ? pl.p.ClickAt(480, 10, 10, button) : pl.p.KeyAt(500, key);
        bool ended = false;
        try {
            QuitPrompt(pl.ctx);
        } catch (const ProgramEnd&) {
            ended = true;
        }
        EXPECT_EQ(std::tuple(ended, pl.p.now, pl.ctx.input.InputKey.empty() || ends),
                  std::tuple(ends, ends ? 580u : 500u, true))
            << key;
    }
    Player none(0, 100);
    EXPECT_THROW(QuitPrompt(none.ctx), ProgramEnd);
}

// A key (typed lower case: the dispatch upper-cases it) or a click, and what follows it 1 s
// apart, on 12 titles at ListTop `top`, title 4 playing at Volume `volume`, 30 minutes on the
// countdown and SortMode 0, the screen drawn. After it: ListTop CurrentIndex SortMode
// DownRemaining ScreenState, the flow (0 Continue, 1 NextPass, 2 EndTitle), whether InputKey is
// Esc and the screen was cleared, the ms it took, the row where "Fade out..." stands, the volume
// field and the last MCI command.
TEST(Dispatch, EveryCommandOfThePlaybackScreen) {
    using Keys = std::vector<std::string>;
    const std::tuple<Keys, int, float, std::string> kCases[] = {
        {{"x"}, 5, 400, "5 4 0 30 3 0 0 0 0 - (-)  4   (+) play"},
        {{"z"}, 5, 400, "5 4 1 30 3 0 0 0 1200 2 (-)  4   (+) close"},
        {{"t"}, 5, 400, "5 4 2 30 3 0 0 0 1200 2 (-)  4   (+) close"},
        {{"i"}, 5, 400, "5 4 3 30 3 0 0 0 1200 2 (-)  4   (+) close"},
        {{"@5,59"}, 5, 400, "5 4 3 30 3 0 0 0 1200 2 (-)  4   (+) close"},   // I, not P
        {{"@!4,60"}, 5, 400, "5 4 0 30 3 2 1 0 1200 3 (-)  4   (+) close"},  // Esc, not T
        {{kKeyEsc}, 5, 400, "5 4 0 30 3 2 1 0 1200 3 (-)  4   (+) close"},
        {{kKeyUp}, 5, 400, "4 4 0 30 1 0 0 1 0 - (-)  4   (+) play"},
        {{kKeyUp}, 1, 400, "1 4 0 30 1 0 0 1 0 - (-)  4   (+) play"},
        {{kKeyPageUp}, 6, 400, "2 4 0 30 1 0 0 1 0 - (-)  4   (+) play"},
        {{kKeyPageUp}, 3, 400, "1 4 0 30 1 0 0 1 0 - (-)  4   (+) play"},
        {{kKeyDown}, 5, 400, "6 4 0 30 1 0 0 1 0 - (-)  4   (+) play"},
        {{kKeyDown}, 12, 400, "12 4 0 30 1 0 0 1 0 - (-)  4   (+) play"},
        {{kKeyPageDown}, 5, 400, "9 4 0 30 1 0 0 1 0 - (-)  4   (+) play"},
        {{kKeyPageDown}, 10, 400, "12 4 0 30 1 0 0 1 0 - (-)  4   (+) play"},
        {{"0"}, 5, 400, "5 4 0 30 3 2 0 0 1200 3 (-)  4   (+) close"},
        {{"1"}, 5, 400, "5 5 0 30 3 2 0 0 1200 3 (-)  4   (+) close"},
        {{"2"}, 5, 400, "5 6 0 30 3 2 0 0 1200 3 (-)  4   (+) close"},
        {{"3"}, 5, 400, "5 7 0 30 3 2 0 0 1200 3 (-)  4   (+) close"},
        {{"2"}, 11, 400, "11 11 0 30 3 2 0 0 1200 3 (-)  4   (+) close"},    // the last title
        {{"1", "+"}, 5, 400, "5 5 0 30 3 2 0 0 1200 3 (-)  4   (+) close"},  // + in the fade
        {{"@@19,30"}, 5, 400, "5 7 0 30 3 2 0 0 1200 3 (-)  4   (+) close"},
        {{"@19,30"}, 5, 400, "5 4 0 30 3 0 0 0 0 - (-)  4   (+) play"},
        {{"d"}, 5, 400, "5 4 0 25 3 0 0 0 0 - (-)  4   (+) play"},
        {{"m"}, 5, 400, "5 4 0 35 3 0 0 0 0 - (-)  4   (+) play"},
        {{"+"}, 5, 400, "5 4 0 30 3 0 0 0 0 - (-)  4.5 (+) 450"},
        {{"+"}, 5, 950, "5 4 0 30 3 0 0 0 0 - (-)  9.99(+) 999"},
        {{"-"}, 5, 999, "5 4 0 30 3 0 0 0 0 - (-)  9.5 (+) 950"},
        {{"-"}, 5, 400, "5 4 0 30 3 0 0 0 0 - (-)  3.5 (+) 350"},
        {{"-"}, 5, 50, "5 4 0 30 3 0 0 0 0 - (-)  0.5 (+) 50"},
        {{"r"}, 5, 400, "5 4 0 30 1 0 0 1 0 - (-)  4   (+) play"},
        {{"c"}, 5, 400, "5 4 0 30 3 0 0 0 2400 - (-)  4   (+) play"},
        {{"p", "x", "p"}, 5, 400, "5 4 0 30 3 1 0 0 3180 - (-)  4   (+) 361"},
        {{"o", kKeyEsc}, 5, 400, "5 4 0 30 1 0 0 1 980 - (-)  4   (+) play"},
        {{"?", "x", kKeyEsc}, 5, 400, "5 4 0 30 1 0 0 1 1980 - (-)  4   (+) play"},
    };
    for (const auto& [script, top, volume, expected] : kCases) {
        Player pl(12);
        Context& ctx = pl.ctx;
        ctx.media.MediaAlias = MciOpen(pl.p, "Titel 4.mp3");
        MciPlay(pl.p, ctx.media.MediaAlias);
        ctx.media.CurrentIndex = 4, ctx.media.ListTop = top, ctx.media.Volume = volume;
        ctx.playlist.SortMode = 0;
        ctx.power.DownNow = 0, ctx.power.DownDeadline = ctx.power.DownRemaining = 30;
        DrawScreen(ctx);  // and the list window, as the first pass draws them
        DrawListWindow(ctx);
        pl.p.Script(0, 1000, script);
        do {  // as the passes poll; a double-click comes after the click it begins with
            ctx.input.InputPollOnce = 1;
            WaitInput(ctx);
        } while (ctx.input.InputKey.empty() &&
                 (ctx.input.MouseEvent == 0 || script[0][1] == '@' || script[0][1] == '!'));
        const uint64_t start = pl.p.now;
        const int flow = static_cast<int>(KeyDispatch(ctx));
        RefreshFields(ctx);
        const char fade = pl.p.Text(2, 45, 11) == "Fade out..."   ? '2'
                          : pl.p.Text(3, 40, 11) == "Fade out..." ? '3'
                                                                  : '-';
        char state[64];
        std::snprintf(state, sizeof state, "%d %d %d %d %d %d %d %d %d %c ", ctx.media.ListTop,
                      ctx.media.CurrentIndex, ctx.playlist.SortMode, ctx.power.DownRemaining,
                      ctx.screen.ScreenState, flow, ctx.input.InputKey == kKeyEsc,
                      pl.p.Row(1)[0] == ' ', static_cast<int>(pl.p.now - start), fade);
        // The verb of a command with the alias alone, else its last word.
        const std::string last = pl.p.mciLog.back().command;
        const size_t cut = last.find(' ') == last.rfind(' ') ? 0 : last.rfind(' ') + 1;
        EXPECT_EQ(state + pl.p.Text(5, 4, 12) + " " + last.substr(cut, last.find(' ', cut) - cut),
                  expected)
            << script[0];
        EXPECT_TRUE(pl.p.Row(1)[0] == ' ' || pl.p.Text(2, 57, 10) == "Sortierung") << script[0];
        // The credit line stands at row 7, column 15 while the title plays on, then goes.
        EXPECT_EQ(pl.p.Written(7, 15) + pl.p.Dump(7, 7), script[0] == "c" ? kCreditLine : "(none)");
        // What was typed while the command ran is gone, not left for the next pass.
        ctx.input.InputPollOnce = 1;
        WaitInput(ctx);
        EXPECT_EQ(ctx.input.InputKey, "") << script[0];
    }
}

TEST(Mci, AliasTextAndReplyNumbers) {
    EXPECT_EQ(AliasText(1234567) + AliasText(0x00A1B2C3), "0012D68700A1B2C3");
    const std::pair<const char*, uint32_t> kReplies[] = {
        {"183000", 183000}, {"  \t\n42", 42},  {"12abc", 12}, {"playing", 0}, {"", 0},
        {"0x1A", 0},        {"inf", 0},        {".", 0},      {"2.6", 3},     {"1e3", 1000},
        {"-1", 0xFFFFFFFF}, {"4294967297", 1},
    };
    for (const auto& [reply, number] : kReplies) EXPECT_EQ(ReplyNumber(reply), number) << reply;
}

// Every operation's command string. The open sends the short path, or the long one in quotes
// when 8.3 names are off; a missing file sends nothing, one the device refuses still gets its
// time format; a failed query reads as 0 and the alias is 0 after a close that failed.
TEST(Mci, CommandStringsOfEveryOperation) {
    fake::FakePlatform p;
    p.currentFolder = "C:\\Musik";
    p.AddMedia("C:\\Musik\\Regen - Nordwind.mp3", 60000);
    p.AddMedia("C:\\Musik\\notes.mp3", 1000, /*playable=*/false);
    p.tickBase = 0x10;
    p.Find("Regen - Nordwind.mp3")->shortName = "REGEN-~1.MP3";
    uint32_t alias = MciOpen(p, "Regen - Nordwind.mp3");
    MciClose(p, alias);
    p.Find("Regen - Nordwind.mp3")->shortName = "";
    p.now = 1;
    EXPECT_EQ(MciOpen(p, "gone.mp3") + MciOpen(p, "notes.mp3"), 0u);
    alias = MciOpen(p, "Regen - Nordwind.mp3");
    EXPECT_EQ(alias, 0x11u);
    // In the order written: the results of every operation.
    std::string results;
    for (uint32_t result :
         {MciPlay(p, alias), (p.now += 1500, MciLength(p, alias)), MciPosition(p, alias),
          MciStop(p, alias), MciSeek(p, alias, 0), MciResume(p, alias), MciSetVolume(p, alias, 361),
          MciVolume(p, alias), MciSetLeftVolume(p, alias, 10), MciSetRightVolume(p, alias, 20),
          MciLeftVolume(p, alias), MciRightVolume(p, alias), MciRewind(p, alias)}) {
        results += std::to_string(result) + " ";
    }
    EXPECT_EQ(results, "0 60000 1500 0 0 0 0 361 0 0 10 20 0 ");
    std::string sent;
    for (std::string c; !(c = p.NextMci()).empty();) sent += c + "; ";
    EXPECT_EQ(sent,
              "open REGEN-~1.MP3 type MPEGVideo alias 00000010; set 00000010 time format ms; "
              "close 00000010; open notes.mp3 type MPEGVideo alias 00000011; "
              "set 00000011 time format ms; "
              "open \"Regen - Nordwind.mp3\" type MPEGVideo alias 00000011; "
              "set 00000011 time format ms; play 00000011; status 00000011 length; "
              "status 00000011 position; stop 00000011; seek 00000011 to 0; resume 00000011; "
              "setaudio 00000011 volume to 361; status 00000011 volume; "
              "setaudio 00000011 left volume to 10; setaudio 00000011 right volume to 20; "
              "status 00000011 left volume; status 00000011 right volume; stop 00000011; "
              "seek 00000011 to start; ");
    p.mciStatusFails = true;
    EXPECT_EQ(MciLength(p, alias), 0u);
    p.mciHook = [](const std::string&) { return std::optional<uint32_t>(263); };
    EXPECT_NE(MciClose(p, alias), 0u);
    EXPECT_EQ(alias, 0u);
    EXPECT_EQ(WaveOutDeviceCount(p), 2u);
    // A short path longer than the system's 255-character buffer arrives cut there.
    p.AddMedia("C:\\Musik\\" + std::string(300, 'x') + ".mp3", 1000);
    MciOpen(p, std::string(300, 'x') + ".mp3");
    EXPECT_EQ(p.mciLog[p.mciLog.size() - 2].command.substr(0, 261),
              "open " + std::string(255, 'x') + " ");
}

// An earlier chooser's result is no new folder: the prompt's chooser steps into an empty
// folder, the scan falls back to the parent's chooser and Esc plays the parent; O and Esc
// during playback then leave the title playing.
TEST(Playback, OAndEscKeepTheTitleAfterAnEarlierChooserStepped) {
    Player pl(0, 30000);
    pl.p.AddMedia("C:\\Musik\\Titel 1.mp3", 60000);
    pl.p.AddFolder("C:\\Musik\\Leer");
    pl.p.currentFolder = "C:\\Musik";
    BuildSortKeyFold(pl.ctx);
    pl.p.KeyAt(500, "o");
    pl.p.KeyAt(1000, "1");  // Leer
    pl.p.KeyAt(1500, kKeyEnter);
    pl.p.KeyAt(5000, kKeyEsc);  // the chooser in C:\Musik after " no Files found..."
    pl.p.KeyAt(15000, "o");
    pl.p.KeyAt(16000, kKeyEsc);
    SortPromptAndScan(pl.ctx);
    EXPECT_THROW(PlayList(pl.ctx), fake::FakeStop);
    EXPECT_EQ(pl.p.MciTrace("open close").substr(pl.p.MciTrace("open close").find(' ')),
              " open Titel 1.mp3");
    EXPECT_EQ(pl.p.currentFolder, "C:\\Musik");
}

}  // namespace
}  // namespace varlo
