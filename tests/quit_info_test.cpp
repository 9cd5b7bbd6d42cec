// The quit prompt's answers and timing, and the two info pages.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/error_report.h"
#include "console/info_screen.h"
#include "console/input.h"
#include "console/key_dispatch.h"
#include "console/output.h"
#include "fake/fake_platform.h"

namespace varlo {
namespace {

using fake::FakePlatform;

struct Prompt : ::testing::Test {
    FakePlatform p;
    Context ctx{p};
    void SetUp() override {
        ctx.playlist.TrackFile(1) = "a.mp3";
        ctx.input.InputKey = kKeyEsc;
    }
};

TEST(QuitPrompt, JYAndTheRightButtonEndEverythingElseGoesBack) {
    struct Answer {
        std::function<void(FakePlatform&)> script;  // the answer is read at 500 ms
        bool ends;
    };
    const Answer kAnswers[] = {
        {[](FakePlatform& f) { f.KeyAt(500, "J"); }, true},
        {[](FakePlatform& f) { f.KeyAt(500, "j"); }, true},
        {[](FakePlatform& f) { f.KeyAt(500, "Y"); }, true},
        {[](FakePlatform& f) { f.KeyAt(500, "y"); }, true},
        {[](FakePlatform& f) { f.ClickAt(480, 10, 10, 2); }, true},
        {[](FakePlatform& f) { f.DoubleClickAt(480, 3, 3, 2); }, true},
        {[](FakePlatform& f) { f.KeyAt(500, "N"); }, false},
        {[](FakePlatform& f) { f.KeyAt(500, kKeyEsc); }, false},
        {[](FakePlatform& f) { f.KeyAt(500, kKeyEnter); }, false},
        {[](FakePlatform& f) { f.KeyAt(500, kKeyPageUp); }, false},
        {[](FakePlatform& f) { f.ClickAt(480, 1, 20, 1); }, false},
        {[](FakePlatform& f) { f.DoubleClickAt(480, 1, 20, 1); }, false},
    };
    for (size_t i = 0; i < std::size(kAnswers); ++i) {
        FakePlatform f;
        Context c(f);
        c.playlist.TrackFile(1) = "a.mp3";
        c.input.InputKey = kKeyEsc;
        kAnswers[i].script(f);
        if (kAnswers[i].ends) {
            EXPECT_THROW(QuitPrompt(c), ProgramEnd) << i;
            EXPECT_EQ(f.now, 580u) << i;  // 80 ms after the answer
        } else {
            EXPECT_NO_THROW(QuitPrompt(c)) << i;
            EXPECT_EQ(f.now, 500u) << i;
            EXPECT_EQ(c.input.InputKey, "") << i;
        }
        EXPECT_EQ(f.Text(1, 1, 24), " Programm beenden ? J/N ") << i;
        EXPECT_EQ(f.cursorRow, 2) << i;
        EXPECT_TRUE(f.mciLog.empty()) << i;
    }
}

TEST_F(Prompt, KeysOfTheFirst200MsAreDropped) {
    p.KeysAt(100, "jyJ");
    p.ClickAt(190, 5, 5, 2);
    p.KeyAt(400, "n");
    EXPECT_NO_THROW(QuitPrompt(ctx));
    EXPECT_EQ(p.now, 400u);
}

TEST_F(Prompt, EmptyPlaylistEndsAtOnce) {
    ctx.playlist.TrackFile(1) = "";
    p.KeyAt(10, "n");
    EXPECT_THROW(QuitPrompt(ctx), ProgramEnd);
    EXPECT_EQ(p.now, 0u);
    EXPECT_EQ(p.Text(1, 1, 23), " Programm beenden ? J/N");
}

const char* const kPageOne[] = {
    "",
    " Varlo Info",
    "",
    "Dieses Programm spielt alle im Aufrufverzeichniss befindlichen",
    "Media Dateien ab (mittels mci aufruf).",
    "",
    "Die Sortierung erfolgt nur aufgrund des Dateinamens und kann",
    "per Zufall oder Alphabetisch erfolgen.",
    "Der Dateiname sollte wie folgt vorgegeben sein um nach",
    "Interpreten zu sortieren: 'Titel' & ' - ' & 'Interpret'",
    "Alles nach 'Space - Space' wird als Interpret definiert.",
    "",
    "Ist die 'Down' Zeit abgelaufen wird nach beenden des",
    "aktuellen Titels der Rechner runtergefahren. Vorzugsweise",
    "wird der Ruhemodus benutzt so das nach einem Neustart das",
    "Programm da weitermachen kann wo es zuvor war.",
    "Durch Aufruf mit Parameter ( z.B. varlo mp3 ) werden nur",
    "dem entsprechende Dateien gefunden.",
};

const char* const kPageTwo[] = {
    "",
    "Ob und welche Formate wiedergegeben werden entscheidet",
    "das System und die installierten Treiber (Codecs).",
    "Ebenso variiert die Startfenster Darstellung je nach ",
    "Betriebsystem. (Bei W7 passend.)",
    "Unter W10 legen sie ein Desktop-icon an und",
    "deaktivieren sie unter Eigenschaften-Optionen das",
    "Feld 'Quick-Edit-Modus' und unter Layout 'Textausgabe",
    "umbrechen' Kreuz auf Feld entfernen.",
    "Mit der Taste 'r' wird der Bildaufbau erneuert.",
    "Mit der Taste 'o' wechseln sie den Ordner .",
    "",
    "           by VarloTeam  - ver.1.2 -",
};

template <size_t N>
void ExpectPage(const std::vector<std::string>& screen, const char* const (&rows)[N]) {
    ASSERT_EQ(screen.size(), 22u);
    for (size_t r = 0; r < 22; ++r) {
        std::string expected = r < N ? rows[r] : "";
        expected.resize(69, ' ');
        EXPECT_EQ(screen[r], expected) << "row " << r + 1;
    }
}

TEST(Info, BothPagesRowByRowAndTheClosingKeyIsDropped) {
    FakePlatform p;
    Context ctx(p);
    ctx.screen.ColorTable = {2, 0, 7, 9, 5, 8};
    ctx.playlist.TrackCount = 5;
    ctx.screen.ScreenState = 3;
    std::vector<std::string> one, two;
    int cursorRow = 0;
    p.At(400, [&] {
        one = p.Screen();
        cursorRow = p.cursorRow;
    });
    p.At(1400, [&] { two = p.Screen(); });
    p.KeyAt(1000, kKeyEsc);  // only turns the page
    p.KeyAt(2000, "3");      // closes page 2, not a skip
    ctx.input.InputKey = "?";
    EXPECT_EQ(KeyDispatch(ctx), PassFlow::Continue);
    ExpectPage(one, kPageOne);
    EXPECT_EQ(cursorRow, 19);
    ExpectPage(two, kPageTwo);
    EXPECT_EQ(p.now, 2000u);
    EXPECT_EQ(ctx.input.InputKey, "");
    EXPECT_EQ(ctx.screen.ScreenState, 1);
    EXPECT_EQ(p.ScreenText(), std::string(22, '\n'));
    EXPECT_TRUE(p.mciLog.empty());
}

TEST(Info, ClicksTurnThePagesMovesDoNot) {
    FakePlatform p;
    Context ctx(p);
    p.MouseAt(100, 5, 5, 1, 0);  // a move
    p.MouseAt(200, 5, 5, 4, 1);  // a press
    p.MouseAt(300, 5, 5, 8, 1);  // released: page 2
    p.ClickAt(680, 20, 60, 2);   // right click, released at 700: back
    InfoScreen(ctx);
    EXPECT_EQ(p.now, 700u);
    EXPECT_EQ(p.PendingInput(), 0u);
}

}  // namespace
}  // namespace varlo
