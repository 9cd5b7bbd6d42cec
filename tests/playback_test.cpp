// The playback screen and its title loop in virtual time: the redraw, the steady pass, fades,
// pause, skips, scrolling, volume, hot zones, the quit prompt and the info pages.
#include "media/playback.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/error_report.h"
#include "console/input.h"
#include "console/screen.h"
#include "fake/fake_platform.h"
#include "playlist/scan.h"
#include "playlist/sort.h"
#include "power/down_timer.h"

namespace varlo {
namespace {

const std::string kFadeOut = "0 setaudio 400; 300 setaudio 300; 600 setaudio 200; 900 setaudio 100";

// A screen row as the console holds it: 69 bytes, the frame in code page 437.
std::string Row(std::string text) {
    static const char* const kBox[][2] = {{"║", "\xBA"}, {"═", "\xCD"}, {"╔", "\xC9"},
                                          {"╗", "\xBB"}, {"╚", "\xC8"}, {"╝", "\xBC"}};
    for (const auto& [from, to] : kBox)
        for (size_t at; (at = text.find(from)) != std::string::npos;)
            text.replace(at, std::string(from).size(), to);
    text.resize(69, ' ');
    return text;
}

// Titles "Titel 1.mp3" ... of "Band" in C:\, Volume 400, the countdown at 360 minutes; Sleep
// throws FakeStop past `stopAt`.
struct Player {
    fake::FakePlatform p;
    Context ctx{p};

    explicit Player(int titles, uint64_t stopAt = UINT64_MAX, uint32_t lengthMs = 60000) {
        p.stopAt = stopAt;
        ctx.screen.ColorTable = {2, 0, 7, 9, 5, 8};
        SetNormalColours(ctx);
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
    // The commands in [from, to) whose verb is in `verbs`, as "ms verb argument": ms counted
    // from the first of them, the argument the last word (the title's number for an open).
    std::string Trace(const std::string& verbs, uint64_t from = 0, uint64_t to = UINT64_MAX) {
        std::string out;
        uint64_t first = 0;
        for (const auto& [at, c, result] : p.mciLog) {
            const std::string verb = c.substr(0, c.find(' '));
            if (at < from || at >= to || (" " + verbs + " ").find(" " + verb + " ") > 999) continue;
            std::string arg = c.find(' ') == c.rfind(' ') ? "" : c.substr(c.rfind(' '));
            if (verb == "open")
                arg = " " + std::to_string(std::stoi(c.substr(c.find("Titel ") + 6)));
            if (out.empty()) first = at;
            out += (out.empty() ? "" : "; ") + std::to_string(at - first) + " " + verb + arg;
        }
        return out;
    }
    // The text of the first write at row, column from the time `from` on.
    std::string Written(int row, int column, uint64_t from = 0) const {
        for (const auto& w : p.writes)
            if (w.at >= from && w.row == row && w.column == column) return w.bytes;
        return "(none)";
    }
};

TEST(Playback, ListInOrderSteadyPassUnopenableTitleOneDeviceAtATime) {
    Player pl(3, UINT64_MAX, 10000);
    pl.p.Find("C:\\Titel 2.mp3")->playable = false;
    EXPECT_EQ(PlayList(pl.ctx), ListEnd::Done);
    // Full volume at once; fewer than 3 s left at about 7 s, then the 3000 ms closing wait.
    EXPECT_EQ(pl.Trace("open setaudio play stop seek close", 0, 12100),
              "0 open 1; 0 setaudio 400; 0 play; 10020 stop; 10020 seek start; 10020 close; "
              "10020 open 2; 12020 open 3; 12020 setaudio 400; 12020 play");
    EXPECT_EQ(pl.Written(12, 2, 10020), "Can't open file!");
    EXPECT_LE(pl.p.maxOpenDevices, 1u);
    EXPECT_TRUE(pl.p.devices.empty());
    // A steady pass, one every 20 ms, sends two status queries and writes the two fields.
    EXPECT_EQ(pl.Trace("status", 1000, 1020), "0 status length; 0 status position");
    std::string fields;
    size_t commands = 0, writes = 0;
    for (const auto& r : pl.p.mciLog) commands += r.at >= 1000 && r.at < 6000;
    for (const auto& w : pl.p.writes) writes += w.at >= 1000 && w.at < 6000;
    for (const auto& w : pl.p.writes)
        if (w.at >= 1000 && w.at < 1020) fields += std::to_string(w.column) + ":" + w.bytes + ";";
    EXPECT_EQ(fields, "4:(-)  4  ;13:(+);27:  360   ;");
    EXPECT_EQ(commands, 2 * 250u);
    EXPECT_EQ(writes, 3 * 250u);
}

// With ListTop at TrackCount = 1999 the list window reads entries up to 2002.
TEST(Playback, ListOf1999TitlesEndsWithSlotsPastTheArrays) {
    Player pl(1999, UINT64_MAX, 500);
    EXPECT_EQ(PlayList(pl.ctx), ListEnd::Done);
    EXPECT_EQ(pl.p.Row(10), Row("0)                          Titel 1999"));
    for (int row : {14, 17, 20}) EXPECT_EQ(pl.p.Row(row), Row("")) << row;
}

TEST(Pause, FadesStopsBlinksAndContinuesFromTheLastPosition) {
    Player pl(2, 10000);
    pl.p.KeyAt(5000, "p");
    pl.p.KeysAt(5100, "xp");    // typed during the fade: dropped when the pause starts
    pl.p.ClickAt(6600, 5, 50);  // on the play symbol, in the first blink phase
    EXPECT_THROW(PlayList(pl.ctx), fake::FakeStop);
    // The seek goes to the position read in the pass before the key (at 4980 ms); the device
    // then stays at 361.
    EXPECT_EQ(pl.Trace("setaudio stop seek play open close", 5000),
              kFadeOut +
                  "; 1200 stop; 1650 seek 4980; 1650 play; 1650 setaudio 1; "
                  "1950 setaudio 121; 2250 setaudio 241; 2550 setaudio 361");
    EXPECT_EQ(pl.Written(4, 45, 5000), "(P)lay ");
    EXPECT_EQ(pl.Written(5, 45, 5000), "   >   ");
    EXPECT_EQ(pl.Written(4, 27, 5000), "<< Pause >>");  // PauseBlink starts at 0
}

TEST(Skip, SlotKeysAndDoubleClicksPlayTheirTitleNextPastTheEndTheLast) {
    Player pl(6, 12000);
    pl.p.ClickAt(2000, 16, 30);        // a single click on slot 2: nothing
    pl.p.DoubleClickAt(3000, 16, 30);  // slot 2 of title 1: title 3
    pl.p.KeyAt(8000, kKeyPageDown);    // ListTop 3 + 4, capped to 6
    pl.p.KeyAt(9000, "3");             // slot 3 past the end: the last title
    EXPECT_THROW(PlayList(pl.ctx), fake::FakeStop);
    // Each after its fade-out (from 3040 and 9000 ms), with no closing wait.
    EXPECT_EQ(pl.Trace("open"), "0 open 1; 4240 open 3; 10200 open 6");
}

TEST(Quit, RefusedQuitGoesOnWithTheNextTitleAfterTheClosingWait) {
    Player pl(3, 12000);
    pl.p.KeyAt(5000, kKeyEsc);
    pl.p.KeyAt(6300, "j");  // within 200 ms of the prompt: dropped
    pl.p.KeyAt(8000, "n");
    EXPECT_THROW(PlayList(pl.ctx), fake::FakeStop);
    EXPECT_EQ(pl.Written(1, 1, 5000), " Programm beenden ? J/N");
    // Closed at the Esc; after the answer the pass finds nothing left, waits and goes on.
    EXPECT_EQ(pl.Trace("setaudio open close", 5000),
              kFadeOut + "; 1200 close; 6020 close; 6020 open 2; 6020 setaudio 400");
}

TEST(QuitPrompt, AnswersAfterTheFirst200Ms) {
    // The answer (a key, or a click: button 1 left, 2 right) and whether it ends the program.
    const std::tuple<std::string, int, bool> kCases[] = {
        {"J", 0, true},        {"y", 0, true}, {"", 2, true},      {"N", 0, false},
        {kKeyEnter, 0, false}, {"", 1, false}, {kKeyEsc, 0, false}};
    for (const auto& [key, button, ends] : kCases) {
        Player pl(1);
        pl.p.KeysAt(100, "jyJ");  // typed with the Esc: dropped
        key.empty() ? pl.p.ClickAt(480, 10, 10, button) : pl.p.KeyAt(500, key);
        if (ends) {
            EXPECT_THROW(QuitPrompt(pl.ctx), ProgramEnd) << key << button;
        } else {
            EXPECT_NO_THROW(QuitPrompt(pl.ctx)) << key << button;
        }
        EXPECT_EQ(pl.p.now, ends ? 580u : 500u) << key << button;
    }
    Player none(0, 100);  // no titles: nothing to go back to
    none.p.KeyAt(10, "n");
    EXPECT_THROW(QuitPrompt(none.ctx), ProgramEnd);
    EXPECT_EQ(none.p.now, 0u);
}

TEST(Screen, FullRedrawRowByRowWithTheHighlights) {
    Player pl(6);
    pl.ctx.media.ListTop = 1;
    pl.ctx.media.CurrentFile = pl.ctx.playlist.TrackFile(2);
    ClearScreen(pl.ctx);
    DrawScreen(pl.ctx);
    DrawListWindow(pl.ctx);
    RefreshFields(pl.ctx);
    const char* const kExpected[22] = {
        "╔══════════════════════════>> Varlo <<══════════════════════════════╗",
        "║(O)rdner              gefundene Titel: 6               Sortierung  ║",
        "║(?)                                                      (Z)ufall  ║",
        "║(R)  Volume              Down in           (P)ause       (T)itel   ║",
        "║  (-)  4   (+)      (d)    360    (m)         II         (I)nterp. ║",
        "╚═══════════════════════════════════════════════════════════════════╝",
        "",
        " up                                                               Pg",
        "                                                                  up",
        "0)                            Titel 1",
        "                               Band",
        "     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -",
        "1)                            Titel 2",
        "                               Band",
        "     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -",
        "2)                            Titel 3",
        "                               Band",
        "     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -",
        "3)                            Titel 4",
        "                               Band",
        "     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -    Pg",
        "down                                                             down",
    };
    // Where the attribute changes within a row, from 112 (black on light grey) at its start:
    // 121 is light blue on light grey.
    std::string changes;
    for (int r = 1; r <= 22; ++r) {
        EXPECT_EQ(pl.p.Row(r), Row(kExpected[r - 1])) << "row " << r;
        for (int c = 1, a = 0x70; c <= 69; a = pl.p.AttributeAt(r, c++))
            if (pl.p.AttributeAt(r, c) != a)
                changes += " " + std::to_string(r) + "," + std::to_string(c) + ":" +
                           std::to_string(pl.p.AttributeAt(r, c));
    }
    EXPECT_EQ(changes, " 3,59:121 3,67:112 13,31:121 13,38:112 14,32:121 14,36:112");
}

TEST(Dispatch, HotZonesLaterZoneWinsSlotsOnlyOnADoubleClick) {
    Player pl(0);
    const std::tuple<int, int, int, std::string> kCases[] = {
        {5, 59, 1, "I"}, {5, 58, 1, "P"},  {5, 8, 1, ""},   {9, 66, 1, kKeyPageUp}, {5, 50, 0, ""},
        {10, 30, 1, ""}, {10, 30, 2, "0"}, {20, 5, 2, "3"}, {12, 30, 2, ""}};
    for (const auto& [row, column, event, key] : kCases) {
        pl.ctx.input = {"", 0, 1, event, column, row - 1};
        EXPECT_EQ(HotZoneKey(pl.ctx), key) << row << "," << column << " event " << event;
    }
    pl.ctx.input = {kKeyEsc, 0, 2, 2, 60, 4};  // a right double-click on "(I)nterp." is Esc
    EXPECT_EQ(KeyDispatch(pl.ctx), PassFlow::EndTitle);
}

TEST(Dispatch, ScrollLimitsSortKeysAndVolume) {
    // Key, how often, ListTop and Volume before; "ListTop SortMode" and the volume field after,
    // and the last volume sent.
    const std::tuple<std::string, int, int, float, std::string> kCases[] = {
        {kKeyPageDown, 1, 4, 400, "6 1 (-)  4   (+) "},  // from TrackCount - 2
        {kKeyPageUp, 1, 3, 400, "1 1 (-)  4   (+) "},
        {kKeyPageUp, 1, 6, 400, "2 1 (-)  4   (+) "},  // and not I
        {"i", 1, 6, 400, "6 3 (-)  4   (+) 100"},      // after the fade-out
        {"+", 5, 1, 400, "1 1 (-)  6.5 (+) 650"},
        {"+", 2, 1, 950, "1 1 (-)  9.99(+) 999"},
        {"-", 1, 1, 999, "1 1 (-)  9.5 (+) 950"},
        {"-", 1, 1, 50, "1 1 (-)  0.5 (+) 50"}};
    for (const auto& [key, times, top, volume, after] : kCases) {
        Player pl(6);
        pl.ctx.media.ListTop = top;
        pl.ctx.media.Volume = volume;
        for (int i = 0; i < times; ++i) pl.ctx.input.InputKey = key, KeyDispatch(pl.ctx);
        RefreshFields(pl.ctx);
        const std::string sent = pl.Trace("setaudio"), state = std::to_string(pl.ctx.media.ListTop);
        EXPECT_EQ(state + " " + std::to_string(pl.ctx.playlist.SortMode) + " " +
                      pl.p.Text(5, 4, 12) + " " + sent.substr(sent.rfind(' ') + 1),
                  after);
    }
}

TEST(Info, PagesAndTheClosingKeyIsDropped) {
    Player pl(0);
    pl.p.KeyAt(1000, kKeyEsc);  // only turns the page
    pl.p.KeyAt(2000, "3");      // closes page 2, not a skip
    pl.ctx.input.InputKey = "?";
    EXPECT_EQ(KeyDispatch(pl.ctx), PassFlow::Continue);
    EXPECT_EQ(pl.Written(2, 1), " Varlo Info");
    EXPECT_EQ(pl.Written(4, 1, 1000), "Ebenso variiert die Startfenster Darstellung je nach ");
    EXPECT_EQ(pl.Written(13, 1, 1000), "           by VarloTeam  - ver.1.2 -");
    EXPECT_EQ(pl.p.now, 2000u);
    EXPECT_EQ(pl.ctx.input.InputKey, "");
    EXPECT_EQ(pl.ctx.screen.ScreenState, 1);
}

}  // namespace
}  // namespace varlo

namespace varlo {
namespace {

// The Esc that leaves the folder chooser is spent there: when the title ends in the same
// pass, the next title follows without the quit prompt.
TEST(Playback, EscThatLeavesTheChooserDoesNotAskToQuit) {
    Player pl(3, 20000, 10000);
    pl.p.KeyAt(5000, "o");
    pl.p.KeyAt(8000, kKeyEsc);
    EXPECT_THROW(PlayList(pl.ctx), fake::FakeStop);
    for (const auto& w : pl.p.writes) EXPECT_NE(w.bytes, " Programm beenden ? J/N");
    EXPECT_EQ(pl.Trace("open").substr(0, 9), "0 open 1;");
    EXPECT_NE(pl.Trace("open").find("open 2"), std::string::npos);
}

// An earlier chooser's result must not count as a new folder: the prompt's chooser steps into
// an empty folder, the scan falls back to the parent's chooser and Esc plays the parent; O and
// Esc during playback then leave the title playing.
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
    ASSERT_EQ(pl.ctx.playlist.TrackFile(1), "Titel 1.mp3");
    EXPECT_THROW(PlayList(pl.ctx), fake::FakeStop);
    EXPECT_EQ(pl.Trace("open close"), "0 open 1");
    EXPECT_EQ(pl.p.currentFolder, "C:\\Musik");
}

}  // namespace
}  // namespace varlo
