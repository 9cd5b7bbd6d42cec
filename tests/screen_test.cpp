// Whole screens as the user sees them, row by row: the playback screen in each sort order, the
// sort prompt, the info pages and the folder chooser's page; the corners of every click zone of
// the three clickable screens and what a click there does; the code pages the screen is shown in.
#include "console/screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "app/program.h"
#include "console/input.h"
#include "console/key_dispatch.h"
#include "fake/fake_platform.h"
#include "platform/code_pages.h"
#include "playlist/folder_chooser.h"
#include "playlist/scan.h"

namespace varlo {
namespace {

// A computer that hibernates, with shutdown.exe where COMSPEC points, so that start-up shows
// nothing and takes no time; C:\Musik holds twelve titles of a minute.
struct Pc : fake::FakePlatform {
    Pc() {
        environment = {"COMSPEC=C:\\W\\cmd.exe"};
        AddFile("C:\\hiberfil.sys", "", kAttrHidden | kAttrSystem);
        AddFile("C:\\W\\shutdown.exe");
        for (std::string name :
             {"Abc - .mp3",
              "Ohne Interpret, dafuer mit einem Titel, der laenger als eine Zeile ist.wav",
              "\374ber - Alpha.ogg", "Regen - Nordwind - Remix.mp3"}) {
            AddMedia("C:\\Musik\\" + name, 60000);
        }
        for (int i = 105; i <= 112; ++i) {
            const std::string n = std::to_string(i).substr(1);
            AddMedia("C:\\Musik\\F" + n + " - Z" + n + ".mp3", 60000);
        }
        currentFolder = "C:\\Musik";
    }
    // The whole program, with the script's items `step` ms apart, until `until` ms.
    void Run(uint64_t until, uint64_t step, const std::vector<std::string>& script) {
        stopAt = until;
        Script(0, step, script);
        EXPECT_THROW(RunProgram(*this, ""), fake::FakeStop);
    }
};

// Interpreter order; a double-click on slot 2 plays the third title, Up scrolls it into slot 1,
// where it stays highlighted; + and M change the two fields. A title too long for the row has
// no centring column: it starts where the output before it ended (the legend row at column 54)
// and runs on into the row below, where its interpreter is written over it.
TEST(Screen, PlaybackScreenInInterpreterOrderScrolled) {
    Pc pc;
    pc.Run(8000, 1000, {"3", "@@16,30", "", "", "", kKeyUp, "+", "m"});
    EXPECT_EQ(pc.Dump(), R"(
╔══════════════════════════>> Varlo <<══════════════════════════════╗
║(O)rdner              gefundene Titel: 12              Sortierung  ║
║(?)                                                      (Z)ufall  ║
║(R)  Volume              Down in           (P)ause       (T)itel   ║
║  (-)  4.5 (+)      (d)    35     (m)         II         (I)nterp. ║
╚═══════════════════════════════════════════════════════════════════╝

 up                                                               Pg
                                                                  up
0)                                                   Ohne Interpret,
dafuer mit einem Titel, der lae(   )als eine Zeile ist
     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -
1)                             über
                               Alpha
     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -
2)                             Regen
                         Nordwind - Remix
     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -
3)                              F05
                                Z05
     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -    Pg
down                                                             down)");
    // 121 is light blue on light grey; everything else is black on light grey.
    EXPECT_EQ(pc.Colours(), "5,59-67:121 13,32-35:121 14,32-36:121");
    EXPECT_EQ(NumberText(-0.0) + NumberText(-15) + NumberText(0.5f), " 0-15 0.5");
    // Every volume (0.5 to 9.99) and Down value, and numbers beyond, as %.7g prints them.
    std::vector<double> values = {-0.5, -2.25, 0.07, 99999.99, 123456.5, 1e7, 16777217.0, 1e-5};
    for (int i = 0; i <= 1000; ++i) values.push_back(i / 100.0f), values.push_back(i);
    for (double value : values) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%.7g",
                      static_cast<double>(static_cast<float>(value)));
        EXPECT_EQ(NumberText(value), (digits[0] == '-' ? "" : " ") + std::string(digits)) << value;
    }
    // In each order only its label is highlighted (Down has scrolled the playing title out of
    // the list). M in the first title counts from the check at start-up: 35 minutes.
    for (const char* order : {"1   35 3,59-66:121", "2   35 4,59-65:121", "3   35 5,59-67:121"}) {
        Pc again;
        again.Run(1000, 0, {std::string(1, order[0]), "m", kKeyDown});
        EXPECT_EQ(again.Text(5, 27, 4) + " " + again.Colours(), order + 2);
    }
}

TEST(Screen, SortPromptInfoPagesAndBackToThePlayback) {
    Pc pc;
    std::string screens[3];
    for (int i = 0; i < 3; ++i)
        pc.At(i == 0 ? 500 : 1500 + 1000 * i, [&, i] { screens[i] = pc.Dump(); });
    // Esc on page 1 only turns the page; the "0" that closes page 2 is dropped, not a skip.
    pc.Run(5000, 1000, {"", "3", "?", kKeyEsc, "0"});
    EXPECT_EQ(screens[0], R"(


 sortierung nach?: 1 Zufall   2 Titel   3 Interpreten
   vorgabe ist 1

                   anderen (O)rdner     (D)ateiendung)");
    EXPECT_EQ(screens[1], R"(

 Varlo Info

Dieses Programm spielt alle im Aufrufverzeichniss befindlichen
Media Dateien ab (mittels mci aufruf).

Die Sortierung erfolgt nur aufgrund des Dateinamens und kann
per Zufall oder Alphabetisch erfolgen.
Der Dateiname sollte wie folgt vorgegeben sein um nach
Interpreten zu sortieren: 'Titel' & ' - ' & 'Interpret'
Alles nach 'Space - Space' wird als Interpret definiert.

Ist die 'Down' Zeit abgelaufen wird nach beenden des
aktuellen Titels der Rechner runtergefahren. Vorzugsweise
wird der Ruhemodus benutzt so das nach einem Neustart das
Programm da weitermachen kann wo es zuvor war.
Durch Aufruf mit Parameter ( z.B. varlo mp3 ) werden nur
dem entsprechende Dateien gefunden.)");
    EXPECT_EQ(screens[2], R"(

Ob und welche Formate wiedergegeben werden entscheidet
das System und die installierten Treiber (Codecs).
Ebenso variiert die Startfenster Darstellung je nach
Betriebsystem. (Bei W7 passend.)
Unter W10 legen sie ein Desktop-icon an und
deaktivieren sie unter Eigenschaften-Optionen das
Feld 'Quick-Edit-Modus' und unter Layout 'Textausgabe
umbrechen' Kreuz auf Feld entfernen.
Mit der Taste 'r' wird der Bildaufbau erneuert.
Mit der Taste 'o' wechseln sie den Ordner .

           by VarloTeam  - ver.1.2 -)");
    // The screen is drawn again; the first title still plays.
    EXPECT_EQ(pc.Text(10, 1, 36) + std::to_string(pc.devices.size()),
              "0)                              Abc 1");
}

// Row 1 goes through OemPrint (the u-umlaut and U-umlaut appear), the names of the list do not
// (the a-umlaut of Windows-1252 shows as the code page 437 character of its byte).
TEST(Screen, FolderChooserPage) {
    fake::FakePlatform p;
    Context ctx(p);
    p.currentFolder = "C:\\\334berraschungen der Woche";
    p.AddFolder(p.currentFolder + "\\M\344rz");
    p.AddFolder(p.currentFolder + "\\Sehr langer Ordnername mit vielen Zeichen");
    p.At(100, [&] {
        EXPECT_EQ(p.Dump(), R"(
 Hier übernehmen >> Überraschungen der W

 up                                                               Pg
0)                              ..                                up
               -           -           -           -
1)                             MΣrz
               -           -           -           -
2)           Sehr langer Ordnername mit vielen Zeichen
               -           -           -           -











                                                                  Pg
down                                                             down)");
    });
    p.KeyAt(200, kKeyEsc);
    FolderChooser(ctx);
}

// The corners of the click zones and cells beside them, as a table of "row,column:what":
// what(row, column) for every cell of the table, in the same form.
// what() has the row and column and the click there as a script item ("@row,column").
std::string Walk(const std::string& cells,
                 const std::function<char(int, int, const std::string&)>& what) {
    std::string got;
    for (size_t at = 0; at < cells.size(); at = cells.find(' ', at) + 1) {
        int r = 0, c = 0;
        std::sscanf(cells.c_str() + at, "%d,%d", &r, &c);
        const std::string cell = cells.substr(at, cells.find(':', at) - at);
        got += cell + ":" + what(r, c, "@" + cell) + " ";
    }
    return got;
}

// The key of a click on the playback screen (u Up, U Page Up, n Down, N Page Down, "." none);
// the slot digits only for a double-click.
TEST(Zones, PlaybackScreenSingleAndDoubleClicks) {
    const std::string kCells =
        "1,1:. 2,1:O 2,3:O 2,4:. 3,1:? 3,3:? 3,4:. 4,1:R 4,3:R 4,4:. 2,59:. 3,58:. 3,59:Z 3,64:Z "
        "3,65:. 4,58:. 4,59:T 4,64:T 4,65:. 5,2:. 5,3:- 5,7:- 5,8:. 5,9:+ 5,16:+ 5,17:. 5,18:. "
        "5,19:D 5,27:D 5,28:. 5,34:. 5,35:M 5,39:M 5,40:. 5,45:. 5,46:P 5,58:P 5,59:I 5,64:I "
        "5,65:. 6,1:. 6,3:. 6,9:. 6,19:. 6,35:. 6,46:. 6,59:. 7,1:u 9,4:u 7,5:. 7,65:. 7,66:U "
        "9,69:U "
        "10,1:0 10,69:0 11,69:0 12,1:. 13,1:1 "
        "14,69:1 15,69:. 16,1:2 17,69:2 18,1:. 19,1:3 20,69:3 21,1:n 22,4:n 21,5:. 21,65:. "
        "21,66:N 22,69:N 9,70:U 23,1:n 23,70:N ";  // a larger terminal: beyond the screen
    std::string single = kCells;                   // a single click on a slot does nothing
    for (size_t at = 0; (at = single.find(':', at) + 1) != 0;)
        if (single[at] >= '0' && single[at] <= '3') single[at] = '.';
    fake::FakePlatform p;
    Context ctx(p);
    for (int event : {1, 2}) {
        EXPECT_EQ(
            Walk(kCells,
                 [&](int r, int c, const std::string&) {
                     // As WaitInput leaves a click (no key) and a left double-click (Enter).
                     ctx.input = {event == 1 ? "" : kKeyEnter, 0, 1, event, c, r - 1};
                     const std::string key = HotZoneKey(ctx);
                     if (key.size() == 2)
                         return "uUnN!"[std::min<size_t>(std::string("HIPQ").find(key[1]), 4)];
                     return key == ctx.input.InputKey ? '.' : key[0];
                 }),
            event == 2 ? kCells : single);
    }
}

// A click, then "x" and Enter: 1 2 3 the sort order, O the chooser (which "x" redraws and Enter
// accepts), D the typed extension ".x"; elsewhere the click is an empty poll and "x" scans.
TEST(Zones, SortPrompt) {
    const std::string kCells =
        "2,18:. 3,17:. 3,18:1 3,27:1 3,28:2 3,38:2 3,39:3 3,54:3 3,55:. 4,54:. 5,41:. 6,17:. "
        "6,18:O 6,35:O 6,36:. 6,40:. 6,41:D 6,54:D 6,55:. 7,18:. ";
    EXPECT_EQ(Walk(kCells,
                   [](int, int, const std::string& click) {
                       fake::FakePlatform p;
                       Context ctx(p);
                       p.AddMedia("C:\\a.mp3", 1000);
                       p.stopAt = 1000;
                       p.Script(0, 100, {click, "x", "\r"});
                       ctx.playlist.SortMode = 0;
                       try {
                           SortPromptAndScan(ctx);
                       } catch (const fake::FakeStop&) {
                       }
                       if (ctx.playlist.SortMode != 0)
                           return static_cast<char>('0' + ctx.playlist.SortMode);
                       if (ctx.playlist.ExtFilter == ".x") return 'D';
                       return ctx.screen.ScreenState == 1 ? 'O' : '.';
                   }),
              kCells);
}

// In C:\Z (sub-folders x and 1 to 9) at FolderTop 3: a click, then Esc. E accepts; u U n N
// scroll to FolderTop 2, 1, 4 and 10; a digit opens the folder in that slot.
TEST(Zones, FolderChooser) {
    const std::string kCells =
        "1,1:E 1,69:E 2,1:. 2,69:. 3,1:u 4,4:u 3,5:1 4,65:1 3,66:U 4,69:U 5,1:2 6,69:2 7,1:3 "
        "16,69:7 17,1:8 18,69:8 19,1:. 20,69:. 21,1:n 22,4:n 21,5:. 22,65:. 21,66:N 22,69:N "
        "3,70:1 22,70:. ";  // a larger terminal: Pg ends at the edge, a slot takes its row
    EXPECT_EQ(Walk(kCells,
                   [](int, int, const std::string& click) {
                       fake::FakePlatform p;
                       Context ctx(p);
                       for (char name : std::string("x123456789"))
                           p.AddFolder("C:\\Z\\" + std::string(1, name));
                       p.currentFolder = "C:\\Z";
                       p.Script(0, 100, {kKeyDown, kKeyDown, click, kKeyEsc});
                       FolderChooser(ctx);
                       const int top = ctx.playlist.FolderTop;
                       return ctx.input.InputKey == kKeyEnter ? 'E'
                              : p.currentFolder != "C:\\Z"    ? p.currentFolder.back()
                              : top >= 1 && top <= 10         ? "?Uu.n?????N"[top]
                                                              : '!';
                   }),
              kCells);
}

// Code page 437: every byte but 0 and the blank a character of its own and no control.
// Windows-1252: every byte survives the way there and back; other characters become "?".
// UTF-8 of one, two and three bytes.
TEST(CodePages, Cp437AndWindows1252) {
    std::u16string all;
    for (int byte = 0; byte < 256; ++byte) {
        const auto b = static_cast<unsigned char>(byte);
        const char16_t c = Cp437ToUnicode(b);
        EXPECT_TRUE(c >= 0x20 && (c < 0x7F || c >= 0xA0)) << byte;
        all += c;
        EXPECT_EQ(static_cast<unsigned char>(UnicodeToWindows1252(Windows1252ToUnicode(b))), b);
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::unique(all.begin(), all.end()) - all.begin(), 255);  // 0 shows as a blank
    EXPECT_EQ(std::u16string({Windows1252ToUnicode(0x80), Windows1252ToUnicode(0x96)}), u"€–");
    EXPECT_EQ(std::string({UnicodeToWindows1252(U'ő'), UnicodeToWindows1252(U'😀'),
                           UnicodeToWindows1252(0x80)}),
              "???");
    std::string utf8;  // where the encoded lengths change
    for (char16_t c : {0x7F, 0x80, 0x7FF, 0x800}) AppendUtf8(utf8, c);
    EXPECT_EQ(utf8, "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80");
}

// The twelve letters the screen converts from names land on the same characters in code page
// 437 as they are in Windows-1252; every other byte stays.
TEST(CodePages, ConvertedNameLettersShowAsThemselves) {
    const std::string letters = "\xFC\xE4\xF6\xC4\xD6\xDC\xE1\xE9\xFA\xF3\xED\xDF";
    for (int byte = 0; byte < 256; ++byte) {
        const auto b = static_cast<unsigned char>(byte);
        const auto c =
            static_cast<unsigned char>(OemConvert(std::string(1, static_cast<char>(b)))[0]);
        EXPECT_EQ(letters.find(static_cast<char>(b)) == std::string::npos
                      ? c == b
                      : Cp437ToUnicode(c) == Windows1252ToUnicode(b),
                  true)
            << byte;
    }
}

}  // namespace
}  // namespace varlo
