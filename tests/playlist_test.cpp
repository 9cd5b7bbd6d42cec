// The playlist: sort prompt, media scan, title and interpreter sort, folder chooser.
#include <gtest/gtest.h>

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
    // Runs f on the script (fake::FakePlatform::Script) until f returns or the clock passes
    // stopAt; the error f raised, or 0.
    int Run(void (*f)(Context&), const Keys& items = {}, uint64_t step = 0) {
        Script(now, step, items);
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
    // The line typed after D is echoed after ">" below the prompt; Backspace takes a character,
    // on the row before when the line has run on into the next one.
    Rig typed;
    std::string echo;
    typed.At(2900, [&] { echo = typed.Dump(7, 8); });
    typed.stopAt = 3000;
    typed.Run(SortPromptAndScan, {"d", "a b\bc" + S(66, 'x') + "\b\by"}, 1000);
    EXPECT_EQ(echo, "\n>a c" + S(64, 'x') + "y");
    // Seeded with month x second x hour when the prompt ends: December, 22:30:15.
    Rig seeded;
    for (S name : {"\374ber.ogg", "uber.ogg"}) seeded.AddMedia("C:\\Musik\\" + name, 1);
    seeded.Run(SortPromptAndScan, {"1"});
    // 2 x 5 pairs of draws exchange the names in title order, where two names that fold alike
    // keep their byte order, whatever order the folder gives them in.
    Random rng;
    rng.Seed(12 * 15 * 22);
    Keys order = {"a - Band.ogg", "b - Band.mp3", "c.flac", "uber.ogg", "\374ber.ogg"};
    for (int k = 0; k < 2 * 5; ++k) {
        const int a = rng.Draw(5), b = rng.Draw(5);
        std::swap(order[a - 1], order[b - 1]);
    }
    EXPECT_EQ(seeded.Files(), order);
    EXPECT_EQ(seeded.pl.Rng.Next(), rng.Next());
    Rig empty;
    empty.stopAt = 3000;
    empty.Run(SortPromptAndScan, {"d", "wav", kKeyEnter}, 1000);  // nothing found: 2 s to read it
    EXPECT_EQ(empty.Dump(), "\n suche Titel...\n no Files found...");
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
    // Random order: 2 x TrackCount pairs of draws on the title order, each pair that differs
    // exchanged (a new Random starts at seed 0).
    Keys shuffled(input.rbegin(), input.rend());
    Random rng;
    for (size_t k = 0, n = shuffled.size(); k < 2 * n; ++k) {
        const int a = rng.Draw(static_cast<int>(n)), b = rng.Draw(static_cast<int>(n));
        std::swap(shuffled[a - 1], shuffled[b - 1]);
    }
    // Two names are sorted, one is split all the same.
    EXPECT_EQ(Rig().Sorted({"B - z.mp3", "a - y.mp3"}, 3), Keys({"a - y.mp3", "B - z.mp3"}));
    Rig one;
    one.Sorted({"Regen - Nordwind.mp3"}, 1);
    EXPECT_EQ(one.pl.TrackTitle(1) + "|" + one.pl.TrackInterpreter(1), "Regen|Nordwind");
    std::string folded;  // the first byte of each group of the fold table; bytes that stay
    for (int b : {0xC4, 0xD6, 0x81, 0x88, 0x93, 0xA1, 0x80, 0x87, 0x91, 0xA0, 0xDF, 0xE9})
        folded += static_cast<char>(one.pl.SortKeyFold[b]);
    EXPECT_EQ(folded, "AOUEOI\x80\x87\x91\xA0\xDF\xE9");
    Rig two;  // the byte order, for two names too: unsigned bytes, no folding
    two.pl.TrackFile(1) = "\344", two.pl.TrackFile(2) = "b", two.pl.TrackFile(3) = "B";
    two.pl.TrackCount = 2;
    SortByteOrder(two.ctx);
    EXPECT_EQ(two.pl.TrackFile(1) + two.pl.TrackFile(2) + two.pl.TrackFile(3), "b\344B");
    for (int mode : {1, 2, 3}) {
        Rig r;
        const Keys files = r.Sorted(input, mode);
        EXPECT_EQ(files, mode == 1 ? shuffled : files);
        EXPECT_EQ(files == Keys(input.rbegin(), input.rend()), mode == 2);
        for (size_t i = 0; i < cases.size() && mode > 1; ++i) {
            const auto& [name, place, shown] = cases[i];
            const int k = mode == 2 ? static_cast<int>(i) + 1 : place;
            EXPECT_EQ(r.pl.TrackFile(k) + "=" + r.pl.TrackTitle(k) + "|" + r.pl.TrackInterpreter(k),
                      name + "=" + shown);
        }
    }
}

TEST(Chooser, KeysClicksAndTheChosenFolder) {
    // start, script, ChosenFolder before; then ChosenFolder, the current folder and FolderTop
    const S musik = "C:\\Musik", rock = "C:\\Musik\\Rock", viele = "C:\\Viele";
    Keys down80(80, kKeyPageDown);
    down80.push_back(kKeyEsc);
    const std::tuple<S, Keys, S, std::tuple<S, S, int>> cases[] = {
        {musik, {kKeyEnter}, "", {"", musik, 1}},  // equal to where it started: emptied
        {musik, {"1", kKeyEnter}, "", {rock, rock, 1}},
        {musik, {kKeyEsc}, "X:\\Alt", {"", musik, 1}},  // an earlier result does not survive
        {rock, {"0", kKeyEsc}, "", {musik, musik, 1}},
        {"C:\\", {"0", "1", kKeyEsc}, "", {"C:\\\\Musik", musik, 1}},  // X:\ + "\" + name
        {musik, {"5", kKeyEsc}, "", {"", musik, 1}},  // beyond the list: read again
        {viele, {"7", kKeyEsc}, "", {viele + "\\F1007", viele + "\\F1007", 1}},
        {"C:\\Z", {"0", kKeyEsc}, "", {"\\", "C:\\", 1}},  // a path of 4 characters has ".."
        {viele, down80, "", {"", viele, 500}},             // 499 of 600 are listed
        {viele, {kKeyPageDown, kKeyDown, kKeyPageDown, kKeyEsc}, "", {"", viele, 16}},
        {viele, {kKeyPageDown, kKeyUp, kKeyPageUp, kKeyUp, kKeyEsc}, "", {"", viele, 1}},
    };
    for (const auto& [start, script, before, expected] : cases) {
        Rig r(start);
        r.pl.ChosenFolder = before;
        r.stopAt = 2000;
        r.Run(FolderChooser, script);
        EXPECT_EQ(std::tuple(r.pl.ChosenFolder, r.currentFolder, r.pl.FolderTop), expected);
        EXPECT_EQ(r.Dump(), "");
    }
}

// At a drive root the first entry is "\" ("0" only reads the list again) and row 1 names the
// root. A page has eight slots, the last at rows 18 and 19.
TEST(Chooser, RootAndEightSlots) {
    Rig root("C:\\"), many("C:\\Viele");
    root.stopAt = many.stopAt = 1000;
    root.Run(FolderChooser, {"0"});
    many.Run(FolderChooser);
    EXPECT_EQ(root.Dump(1, 1) + "|" + root.Text(4, 33, 3) + "|" + many.Text(18, 1, 2) +
                  many.Text(20, 1, 2),
              "\n Hier \u00fcbernehmen >>  \\ (Root)| \\ |7)  ");
}

// A folder removed meanwhile (with its parent) is "Path not found"; a sub-folder whose
// attributes the system refuses to give is the error of that refusal.
TEST(Playlist, FolderErrorsEndInTheErrorReport) {
    for (void (*run)(Context&) : {FolderChooser, SortPromptAndScan}) {
        EXPECT_EQ(Rig("C:\\Weg\\Innen").Run(run, {"0"}), kErrPathNotFound);
    }
    Rig refused;
    refused.attributeErrors["C:\\Musik\\Pop"] = kSysAccessDenied;
    EXPECT_EQ(refused.Run(FolderChooser), 70);  // Permission denied
}

}  // namespace
}  // namespace varlo
