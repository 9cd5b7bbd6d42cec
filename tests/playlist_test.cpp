// The playlist: sort prompt, media scan, title and interpreter sort, folder chooser.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "console/input.h"
#include "fake/fake_platform.h"
#include "playlist/folder_chooser.h"
#include "playlist/scan.h"
#include "playlist/sort.h"

namespace varlo {
namespace {

using Keys = std::vector<std::string>;
using S = std::string;

// A blank 69 x 22 screen with texts placed at (row, column).
Keys Page(const std::vector<std::tuple<int, int, S>>& texts) {
    Keys rows(22, S(69, ' '));
    for (const auto& [r, c, text] : texts) rows[r - 1].replace(c - 1, text.size(), text);
    return rows;
}

// The chooser's page: row 1 through OemPrint ("\201" is the OEM u-umlaut), names from slot 1 on.
Keys ChooserPage(const S& own, const Keys& names) {
    std::vector<std::tuple<int, int, S>> t = {
        {3, 1, " up"},   {3, 67, "Pg"},    {4, 67, "up"}, {21, 67, "Pg"},
        {22, 1, "down"}, {22, 66, "down"}, {1, 21, own},  {1, 2, "Hier \201bernehmen >>"}};
    for (int k = 0; k < static_cast<int>(names.size()); ++k) {
        t.emplace_back(2 * k + 4, 1, std::to_string(k) + ")");
        t.emplace_back(2 * k + 4, 34 - static_cast<int>(names[k].size() / 2), names[k]);
        t.emplace_back(2 * k + 5, 6, "          -           -           -           -");
    }
    return Page(t);
}

// C:\ holds w.wav; C:\Musik b - Band.mp3, a - Band.ogg, c.flac and the folders Rock (z.ogg,
// y.ogg), Pop (empty), Jazz; C:\Viele holds F1001 to F1600.
struct Rig : fake::FakePlatform {
    Context ctx{*this};
    PlaylistGroup& pl = ctx.playlist;
    explicit Rig(const S& folder = "C:\\Musik") {
        BuildSortKeyFold(ctx);
        stopAt = 600 * 1000;  // a prompt or chooser that never ends fails instead of hanging
        for (S path : {"Musik\\b - Band.mp3", "Musik\\a - Band.ogg", "Musik\\c.flac", "w.wav",
                       "Musik\\Rock\\z.ogg", "Musik\\Rock\\y.ogg", "Musik\\Pop", "Musik\\Jazz"}) {
            path.find('.') == S::npos ? AddFolder("C:\\" + path) : AddMedia("C:\\" + path, 1);
        }
        for (int i = 1001; i <= 1600; ++i) AddFolder("C:\\Viele\\F" + std::to_string(i));
        currentFolder = folder;
    }
    // Runs f after scripting item k at now + k x step ("@row,column" is a click, a key name one
    // key, other text typed) until f returns or the clock passes stopAt; the error f raised, or 0.
    int Run(void (*f)(Context&), const Keys& items = {}, uint64_t step = 0) {
        uint64_t at = now;
        for (const S& item : items) {
            int row = 0, column = 0;
            std::sscanf(item.c_str(), "@%d,%d", &row, &column) == 2 ? ClickAt(at, row, column)
            : item.size() == 1 || item[0] == '\0'                   ? KeyAt(at, item)
                                                                    : KeysAt(at, item);
            at += step;
        }
        try {
            f(ctx);
        } catch (const fake::FakeStop&) {
        } catch (const RuntimeError& error) {
            return error.number();
        }
        return 0;
    }
    Keys Files() { return Keys(&pl.TrackFile(1), &pl.TrackFile(1) + pl.TrackCount); }
    // Stores names as the scan would (byte order) and sorts them in mode.
    Keys Sorted(const Keys& names, int mode) {
        for (size_t i = 0; i < names.size(); ++i) pl.TrackFile(i + 1) = names[i];
        pl.TrackCount = static_cast<int>(names.size());
        pl.SortMode = mode;
        SortByteOrder(ctx);
        SortPlaylist(ctx);
        return Files();
    }
};

TEST(Scan, WhatMatches) {
    Rig r("C:\\Neu");
    for (S n : {"a.MP3", "a.mp3.bak", "mp3", "a.ogg", "x.MIDI", "y.Divx"})
        r.AddFile("C:\\Neu\\" + n);
    r.AddFile("C:\\Neu\\v.mp3", "", kAttrHidden);
    r.AddFolder("C:\\Neu\\Ordner.mp3");
    for (const auto& [filter, files] : {std::pair<S, Keys>{"mp3", {"a.MP3"}},
                                        {" .MP3 ", {"a.MP3"}},
                                        {"", {"a.MP3", "a.ogg", "x.MIDI", "y.Divx"}}}) {
        r.pl.ExtFilter = filter;
        NormaliseExtFilter(r.ctx);
        ScanCurrentFolder(r.ctx);
        EXPECT_EQ(r.Files(), files) << filter;
    }
    for (int i = 0; i < 2500; ++i) r.AddFile("C:\\Neu\\" + std::to_string(i) + ".mp3");
    ScanCurrentFolder(r.ctx);
    EXPECT_EQ(r.pl.TrackCount, 1999);
}

TEST(Scan, Prompt) {
    // From C:\Musik with ExtFilter .ogg: script (items 1 s apart), SortMode before; then
    // SortMode, ExtFilter, TrackCount and the end in tenths of a second.
    const std::tuple<Keys, int, std::tuple<int, S, int, uint64_t>> cases[] = {
        {{}, 3, {1, ".ogg", 1, 42}},  // the time-out: random order after about 4.2 s
        {{"2"}, 1, {2, ".ogg", 1, 0}},
        {{kKeyEsc}, 2, {2, ".ogg", 1, 0}},
        {{"x"}, 3, {3, ".ogg", 1, 0}},
        {{"@3,28"}, 1, {2, ".ogg", 1, 0}},
        {{"d", "flac, mp3", kKeyEnter}, 3, {3, ".flac", 1, 20}},
        {{"d", " \"mp4\b3\" ", kKeyEnter}, 3, {3, ".mp3", 1, 20}},
        {{"", "d", kKeyEnter}, 3, {1, "", 3, 62}},  // no filter, and the prompt counts afresh
        {{"d", S(10005, 'a'), kKeyEnter}, 3, {3, "." + S(10000, 'a'), 0, 6000}},
        {{"O", "1", kKeyEnter}, 3, {3, ".ogg", 2, 20}},
        // Nothing found: the chooser in C:\ (with w.wav); Esc gives the prompt back, Enter scans.
        {{"d", "wav", kKeyEnter, "", "", kKeyEsc, "3"}, 2, {3, ".wav", 1, 60}},
        {{"d", "wav", kKeyEnter, "", "", kKeyEnter, "3"}, 2, {2, ".wav", 1, 50}},
    };
    for (const auto& [script, before, want] : cases) {
        Rig r;
        r.pl.SortMode = before;
        r.pl.ExtFilter = ".ogg";
        r.Run(SortPromptAndScan, script, 1000);
        EXPECT_EQ(std::tuple(r.pl.SortMode, r.pl.ExtFilter, r.pl.TrackCount, r.now / 100), want);
    }
    Rig empty;
    empty.stopAt = 3000;
    empty.Run(SortPromptAndScan, {"d", "wav", kKeyEnter}, 1000);  // nothing found: 2 s to read it
    EXPECT_EQ(empty.Screen(), Page({{1, 1, " suche Titel..."}, {2, 1, " no Files found..."}}));
}

TEST(Sort, TitleInterpreterAndRandomOrder) {
    // In title order: the name, its place in interpreter order, title|interpreter as stored.
    const std::vector<std::tuple<S, int, S>> cases = {
        {" - Nordwind.mp3", 2, " - Nordwind|(   )"},  // no interpreter: key " (ohne)"
        {".mp3", 3, "|(   )"},
        {"Abc (Live).mp3", 4, "Abc (Live)|(   )"},
        {"Abc - &Co.mp3", 11, "Abc|&Co"},  // "&" is above the blank of " (ohne)"
        {"Abc - .mp3", 1, "Abc|"},         // the empty key comes first
        {"Abc 2.mp3", 5, "Abc 2|(   )"},
        {"abc.mp3", 6, "abc|(   )"},  // "." counts as "&"
        {"Abc(Live).mp3", 7, "Abc(Live)|(   )"},
        {"Abc-Remix.mp3", 8, "Abc-Remix|(   )"},
        {"ohne Punkt", 9, "ohne Punkt|(   )"},
        {"Regen - Nordwind - Remix.mp3", 17, "Regen|Nordwind - Remix"},
        {"Regen.Live.mp3", 10, "Regen.Live|(   )"},
        {S(70, 'T') + " - Band.mp3", 14, S(56, 'T') + "|Band"},
        {"\334ber - a.mp3", 12, "\334ber|a"},  // U-umlaut, u-umlaut and u fold alike
        {"\374ber - b.mp3", 13, "\374ber|b"},
        {"uber - c.mp3", 15, "uber|c"},
        {"x - " + S(58, 'I') + ".ogg", 16, "x|" + S(56, 'I')},
    };
    Keys input;  // reversed
    for (const auto& c : cases) input.insert(input.begin(), std::get<0>(c));
    for (int mode : {1, 2, 3}) {
        Rig r, again;  // random order: the same seed (0 on a new Random) gives the same order
        const Keys files = r.Sorted(input, mode);
        EXPECT_EQ(again.Sorted(input, mode), files);
        EXPECT_EQ(files == Keys(input.rbegin(), input.rend()), mode == 2);
        for (size_t i = 0; i < cases.size() && mode > 1; ++i) {
            const auto& [name, place, shown] = cases[i];
            const int k = mode == 2 ? static_cast<int>(i) + 1 : place;
            EXPECT_EQ(r.pl.TrackFile(k) + "=" + r.pl.TrackTitle(k) + "|" + r.pl.TrackInterpreter(k),
                      name + "=" + shown);
        }
    }
}

TEST(Chooser, Pages) {
    Rig r, root("C:\\"), umlaut("C:\\Musik\\\334ber"), many("C:\\Viele");
    umlaut.AddFolder("C:\\Musik\\\334ber\\M\344rz");  // OemPrint on row 1 only
    for (auto& [x, keys, page] : std::vector<std::tuple<Rig*, Keys, Keys>>{
             {&r, {}, ChooserPage("Musik", {"..", "Rock", "Pop", "Jazz"})},
             {&root,
              {"0"},
              ChooserPage(" \\ (Root)", {"\\", "Musik", "Viele"})},  // only read again
             {&umlaut, {}, ChooserPage("\232ber", {"..", "M\344rz"})},
             {&many, Keys(80, kKeyPageDown), ChooserPage("Viele", {"F1499"})}}) {  // 499 of 600
        x->stopAt = 2000;
        x->Run(FolderChooser, keys);
        EXPECT_EQ(x->Screen(), page);
    }
}

TEST(Chooser, KeysClicksAndTheChosenFolder) {
    // start, script, ChosenFolder before; then ChosenFolder, the current folder and FolderTop
    const S musik = "C:\\Musik", rock = "C:\\Musik\\Rock", viele = "C:\\Viele";
    const std::tuple<S, Keys, S, std::tuple<S, S, int>> cases[] = {
        {musik, {kKeyEnter}, "", {"", musik, 1}},  // equal to where it started: emptied
        {musik, {"1", kKeyEnter}, "", {rock, rock, 1}},
        {musik, {kKeyEsc}, "X:\\Alt", {"", musik, 1}},  // an earlier result does not survive
        {rock, {"0", kKeyEsc}, "", {musik, musik, 1}},
        {musik, {"@3,5", kKeyEsc}, "", {"\\", "C:\\", 1}},  // a click on slot 1 (..), upper row
        {"C:\\", {"0", "1", kKeyEsc}, "", {"C:\\\\Musik", musik, 1}},  // X:\ + "\" + name
        {musik, {"5", kKeyEsc}, "", {"", musik, 1}},  // beyond the list: read again
        {viele, {kKeyPageDown, kKeyDown, kKeyPageDown, kKeyEsc}, "", {"", viele, 16}},
        {viele, {kKeyPageDown, kKeyUp, kKeyPageUp, kKeyUp, kKeyEsc}, "", {"", viele, 1}},
        {musik, {kKeyPageDown, "@4,1", kKeyEsc}, "", {"", musik, 3}},  // "0)" lies in the Up zone
        {musik, {"@1,69", "1", kKeyEsc}, "", {"", musik, 1}},          // row 1 accepts
    };
    for (const auto& [start, script, before, expected] : cases) {
        Rig r(start);
        r.pl.ChosenFolder = before;
        r.Run(FolderChooser, script);
        EXPECT_EQ(std::tuple(r.pl.ChosenFolder, r.currentFolder, r.pl.FolderTop), expected);
        EXPECT_EQ(r.Screen(), Page({}));
    }
}

TEST(Playlist, AFolderRemovedMeanwhileIsPathNotFound) {
    for (void (*run)(Context&) : {FolderChooser, SortPromptAndScan}) {
        EXPECT_EQ(Rig("C:\\Weg\\Innen").Run(run, {"0"}), kErrPathNotFound);  // with its parent
    }
}

}  // namespace
}  // namespace varlo
