#include "playlist/scan.h"

#include <gtest/gtest.h>

#include <functional>

#include "console/input.h"
#include "fake/fake_platform.h"
#include "playlist/sort.h"

namespace varlo {
namespace {

// A player context in C:\Musik with two media files, in virtual time.
template <typename P = fake::FakePlatform>
struct Rig {
    P p;
    Context ctx{p};
    Rig() {
        BuildSortKeyFold(ctx);
        p.stopAt = 600 * 1000;  // a prompt that never ends fails instead of hanging
        p.AddMedia("C:\\Musik\\b - Band.mp3", 60000);
        p.AddMedia("C:\\Musik\\a - Band.ogg", 60000);
        p.currentFolder = "C:\\Musik";
    }
    void Run() { SortPromptAndScan(ctx); }
    // Runs until the clock passes at: the screen then shows that moment.
    void RunUntil(uint64_t at) {
        p.stopAt = at;
        EXPECT_THROW(Run(), fake::FakeStop);
    }
    std::vector<std::string> Files() {
        std::vector<std::string> files;
        for (int i = 1; i <= ctx.playlist.TrackCount; ++i) {
            files.push_back(ctx.playlist.TrackFile(i));
        }
        return files;
    }
    // Everything written on row at before the virtual time until, joined.
    std::string Written(int row, uint64_t until) {
        std::string text;
        for (const auto& w : p.writes) {
            if (w.row == row && w.at < until) text += w.bytes;
        }
        return text;
    }
};

TEST(ExtFilter, NormaliseMatchAndFirstField) {
    for (const auto& [typed, filter] : std::vector<std::pair<std::string, std::string>>{
             {"mp3", ".mp3"}, {".MP3", ".MP3"}, {"  mp3 ogg  ", ".mp3 ogg"}, {"", ""}}) {
        Rig r;
        r.ctx.playlist.ExtFilter = typed;
        NormaliseExtFilter(r.ctx);
        EXPECT_EQ(r.ctx.playlist.ExtFilter, filter) << typed;
    }
    EXPECT_TRUE(MatchesMedia("song.MP3", ".mp3"));
    EXPECT_FALSE(MatchesMedia("song.ogg", ".mp3"));
    EXPECT_FALSE(MatchesMedia("song.mp3.bak", ".mp3"));
    EXPECT_TRUE(MatchesMedia("a.mp3", ".MP3"));
    EXPECT_TRUE(MatchesMedia("a.tar.mp3", ".mp3"));  // only the end is looked at
    EXPECT_FALSE(MatchesMedia("a.mp3", ".3"));
    EXPECT_FALSE(MatchesMedia("mp3", ".mp3"));
    for (const char* name : {".mp3", "x.MIDI", "y.Divx", "z.flac", "w.Mp4"}) {
        EXPECT_TRUE(MatchesMedia(name, "")) << name;
    }
    for (const char* name : {"mp3", "a.mp3x", "a.jpg", "\xC4.MP\xC3", "flac"}) {
        EXPECT_FALSE(MatchesMedia(name, "")) << name;
    }
    EXPECT_TRUE(MatchesMedia(std::string(251, '\xFF') + ".wav", ""));

    EXPECT_EQ(FirstField("flac, mp3"), "flac");
    EXPECT_EQ(FirstField("  ogg  "), "ogg");
    EXPECT_EQ(FirstField(" \"a, b\" , c"), "a, b");
    EXPECT_EQ(FirstField("\"unclosed"), "unclosed");
    EXPECT_EQ(FirstField("   "), "");
    EXPECT_EQ(FirstField(",mp3"), "");
}

TEST(Scan, TakesNormalMediaFilesInSearchOrderAtMost1999) {
    Rig r;
    r.p.AddFile("C:\\Musik\\cover.jpg");
    r.p.AddFile("C:\\Musik\\versteckt.mp3", "", kAttrHidden);
    r.p.AddFile("C:\\Musik\\system.wav", "", kAttrSystem | kAttrArchive);
    r.p.AddFolder("C:\\Musik\\Ordner.mp3");
    r.p.AddFile("C:\\Musik\\x.MIDI");
    r.p.AddFile("C:\\Musik\\.mp3", "", 0);
    ScanCurrentFolder(r.ctx);
    EXPECT_EQ(r.Files(),
              (std::vector<std::string>{"b - Band.mp3", "a - Band.ogg", "x.MIDI", ".mp3"}));
    EXPECT_EQ(r.ctx.media.Volume, 400.0f);
    EXPECT_EQ(r.p.Text(1, 1, 16), " suche Titel... ");
    EXPECT_EQ(r.p.cursorRow, 2);

    for (int i = 0; i < 2500; ++i) r.p.AddFile("C:\\Musik\\" + std::to_string(10000 + i) + ".mp3");
    ScanCurrentFolder(r.ctx);
    EXPECT_EQ(r.ctx.playlist.TrackCount, 1999);
    EXPECT_EQ(r.ctx.playlist.TrackFile(1999), "11994.mp3");  // the walk's first 1999 matches
    EXPECT_EQ(r.ctx.playlist.TrackFile(2000), "");
}

TEST(Scan, PromptAnswersItselfWithRandomOrderAfterSixtyPolls) {
    Rig stopped;
    stopped.RunUntil(4100);
    EXPECT_EQ(stopped.p.Row(3).substr(0, 54),
              " sortierung nach?: 1 Zufall   2 Titel   3 Interpreten ");
    EXPECT_EQ(stopped.p.Row(4).substr(0, 17), "   vorgabe ist 1 ");
    EXPECT_EQ(stopped.p.Row(6).substr(0, 54),
              "                   anderen (O)rdner     (D)ateiendung ");
    EXPECT_EQ(stopped.ctx.playlist.PromptTicks, 58);

    Rig r;
    r.ctx.playlist.SortMode = 3;
    r.Run();
    EXPECT_EQ(r.p.now, 4200u);
    EXPECT_EQ(r.ctx.playlist.SortMode, 1);
    EXPECT_EQ(r.ctx.playlist.PromptTicks, 60);
    EXPECT_EQ(r.Files().size(), 2u);
}

TEST(Scan, PromptKeysAndClickZones) {
    struct Case {
        std::function<void(fake::FakePlatform&)> input;
        int modeBefore;
        int modeAfter;
        bool timedOut;
    };
    const Case cases[] = {
        {[](auto& f) { f.KeyAt(0, "2"); }, 1, 2, false},
        {[](auto& f) { f.KeyAt(0, "3"); }, 1, 3, false},
        {[](auto& f) { f.KeyAt(0, "1"); }, 3, 1, false},
        {[](auto& f) { f.KeyAt(0, kKeyEsc); }, 2, 2, false},
        {[](auto& f) { f.KeyAt(0, "x"); }, 3, 3, false},
        {[](auto& f) { f.KeyAt(0, kKeyUp); }, 2, 2, false},
        {[](auto& f) { f.ClickAt(0, 3, 18); }, 3, 1, false},
        {[](auto& f) { f.ClickAt(0, 3, 28); }, 1, 2, false},
        {[](auto& f) { f.ClickAt(0, 3, 38); }, 1, 2, false},
        {[](auto& f) { f.ClickAt(0, 3, 54); }, 1, 3, false},
        {[](auto& f) { f.DoubleClickAt(0, 3, 40); }, 1, 3, false},
        {[](auto& f) { f.ClickAt(0, 3, 55, 2); }, 2, 1, true},  // elsewhere: an empty poll
        {[](auto& f) { f.ClickAt(0, 4, 30); }, 2, 1, true},
    };
    for (const auto& c : cases) {
        Rig r;
        r.ctx.playlist.SortMode = c.modeBefore;
        c.input(r.p);
        r.Run();
        EXPECT_EQ(r.ctx.playlist.SortMode, c.modeAfter) << &c - cases;
        EXPECT_EQ(r.p.now >= 4200, c.timedOut) << &c - cases;
    }
}

TEST(Scan, SeedIsMonthTimesSecondTimesHourWhenThePromptEnds) {
    Rig r;
    r.p.clockBase = {2026, 12, 6, 22, 30, 15};
    r.p.KeyAt(1000, "2");  // no draws in title order
    r.Run();
    Random reference;
    reference.Seed(12 * 16 * 22);  // the prompt ended at 1.0 s
    EXPECT_EQ(r.ctx.playlist.Rng.Next(), reference.Next());
}

TEST(Scan, KeyDTakesTheFirstFieldOfTheTypedLine) {
    Rig r;
    r.p.AddMedia("C:\\Musik\\c.flac", 60000);
    r.p.KeyAt(0, "d");
    r.p.KeysAt(100, "flac, mp3");
    r.p.KeyAt(2000, kKeyEnter);
    r.Run();
    EXPECT_EQ(r.Written(7, 2000), ">flac, mp3");
    EXPECT_EQ(r.ctx.playlist.ExtFilter, ".flac");
    EXPECT_EQ(r.Files(), std::vector<std::string>{"c.flac"});

    Rig quoted;
    quoted.p.KeyAt(0, "D");
    quoted.p.KeysAt(100, " \"mp4");
    quoted.p.KeyAt(200, kKeyBackspace);
    quoted.p.KeyAt(200, kKeyUp);  // no character
    quoted.p.KeysAt(300, "3\" ");
    quoted.p.KeyAt(400, kKeyEnter);
    quoted.Run();
    EXPECT_EQ(quoted.ctx.playlist.ExtFilter, ".mp3");
    EXPECT_EQ(quoted.Written(7, 1000), "> \"mp4 3\" ");  // the 4 blanked, then the 3 in its place
    EXPECT_EQ(quoted.Files(), std::vector<std::string>{"b - Band.mp3"});
}

// After the scripted input: 10005 times "a", then Enter.
class LongLinePlatform : public fake::FakePlatform {
  public:
    int typed = 0;
    InputItem ReadInputItem() override {
        if (PendingInput() > 0) return FakePlatform::ReadInputItem();
        if (typed > 10005) return {};
        return {++typed <= 10005 ? "a" : kKeyEnter, 0, 0};
    }
};

TEST(Scan, KeyDTakesAtMostTenThousandCharacters) {
    Rig<LongLinePlatform> r;
    r.p.logWrites = false;
    r.p.KeyAt(0, "d");
    r.RunUntil(250 * 1000);  // the filter finds nothing: the chooser waits
    EXPECT_EQ(r.ctx.playlist.ExtFilter, "." + std::string(10000, 'a'));
}

TEST(Scan, KeyDWithAnEmptyLineRemovesTheFilterAndStartsAgain) {
    Rig r;
    r.ctx.playlist.ExtFilter = ".ogg";
    r.p.KeyAt(0, "d");
    r.p.KeyAt(500, kKeyEnter);
    r.Run();
    EXPECT_EQ(r.ctx.playlist.ExtFilter, "");
    EXPECT_EQ(r.p.now, 500u + 4200u);  // the prompt counted afresh
    EXPECT_EQ(r.ctx.playlist.TrackCount, 2);
}

TEST(Scan, KeyOOpensTheChooser) {
    Rig back;
    back.p.AddMedia("C:\\Musik\\Live\\z.wav", 1000);
    back.p.KeyAt(700, "o");
    back.p.KeyAt(2000, kKeyEsc);
    back.RunUntil(2030);
    EXPECT_EQ(back.ctx.playlist.PromptTicks, 10);  // Esc: the same prompt goes on
    EXPECT_EQ(back.p.Text(3, 2, 10), "sortierung");
    EXPECT_EQ(back.p.Text(1, 2, 4), "    ");

    Rig r;
    r.p.AddMedia("C:\\Musik\\Live\\z.wav", 1000);
    r.ctx.playlist.SortMode = 3;
    r.p.KeyAt(0, "O");
    r.p.KeyAt(100, "1");  // into Live: files are not listed
    r.p.KeyAt(200, kKeyEnter);
    r.Run();
    EXPECT_EQ(r.ctx.playlist.SortMode, 3);
    EXPECT_EQ(r.p.currentFolder, "C:\\Musik\\Live");
    EXPECT_EQ(r.Files(), std::vector<std::string>{"z.wav"});
}

TEST(Scan, NothingFoundGoesToTheParentAndTheChooser) {
    for (const std::string& answer : {kKeyEsc, kKeyEnter}) {
        Rig r;
        r.p.AddFolder("C:\\Musik\\Leer");
        r.p.currentFolder = "C:\\Musik\\Leer";
        r.p.KeyAt(0, "2");
        r.p.KeyAt(3000, answer);
        r.p.KeyAt(3500, "3");
        r.Run();
        EXPECT_EQ(r.Written(2, 2020), " no Files found...");
        EXPECT_EQ(r.Written(1, 2030),
                  " suche Titel...Hier \x81"
                  "bernehmen >>Musik");
        EXPECT_EQ(r.p.currentFolder, "C:\\Musik");
        EXPECT_EQ(r.ctx.playlist.TrackCount, 2);
        // Esc: back to the prompt, which takes the 3; Enter: the scan at once.
        EXPECT_EQ(r.ctx.playlist.SortMode, answer == kKeyEsc ? 3 : 2);
        EXPECT_EQ(r.p.PendingInput(), answer == kKeyEsc ? 0u : 1u);
    }
}

TEST(Scan, AParentFolderThatCannotBeEnteredIsPathNotFound) {
    Rig r;
    r.p.currentFolder = "C:\\Weg\\Innen";  // removed while the player stood in it
    r.p.KeyAt(0, "1");
    try {
        r.Run();
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), kErrPathNotFound);
    }
}

}  // namespace
}  // namespace varlo
