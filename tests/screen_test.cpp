// The playback screen: the full redraw cell by cell, the list window's centring, wrapping
// and limits, and the two fields of a steady pass.
#include "console/screen.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fake/fake_platform.h"

namespace varlo {
namespace {

constexpr uint16_t kNormal = 0 + 16 * 7;     // black on light grey
constexpr uint16_t kHighlight = 9 + 16 * 7;  // light blue on light grey

// The frame characters as the console shows them (code page 437).
std::string Cp437(const std::string& utf8) {
    static const std::pair<std::string, char> kBox[] = {
        {"║", '\xBA'}, {"═", '\xCD'}, {"╔", '\xC9'}, {"╗", '\xBB'}, {"╚", '\xC8'}, {"╝", '\xBC'},
    };
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        bool box = false;
        for (const auto& [from, to] : kBox) {
            if (utf8.compare(i, from.size(), from) == 0) {
                out += to;
                i += from.size();
                box = true;
                break;
            }
        }
        if (!box) out += utf8[i++];
    }
    return out;
}

struct Screen : ::testing::Test {
    fake::FakePlatform p;
    Context ctx{p};

    void SetUp() override {
        ctx.screen.ColorTable = {2, 0, 7, 9, 5, 8};
        SetNormalColours(ctx);
        ClearScreen(ctx);
        Title(1, "Erster Titel", "Band");
        Title(2, "Zweiter", "");
        Title(3, "Dritter Titel!", "Die Drei");
        Title(4, "Vier", "Quartett");
        Title(5, "F\xFCnf", "Quintett");
        Title(6, "Sechs", "Sextett");
        ctx.playlist.TrackCount = 6;
        ctx.playlist.SortMode = 2;
        ctx.media.Volume = 400;
        ctx.media.ListTop = 1;
        ctx.media.CurrentFile = ctx.playlist.TrackFile(1);
        ctx.power.DownRemaining = 30;
        ctx.screen.ScreenState = 1;
    }
    void Title(int i, const std::string& title, const std::string& interpreter) {
        ctx.playlist.TrackFile(i) = title + " - " + interpreter + ".mp3";
        ctx.playlist.TrackTitle(i) = title;
        ctx.playlist.TrackInterpreter(i) = interpreter;
    }
    // Cells in the highlight colours as (row, column).
    std::set<std::pair<int, int>> Highlighted() const {
        std::set<std::pair<int, int>> cells;
        for (int r = 1; r <= 22; ++r) {
            for (int c = 1; c <= 69; ++c) {
                if (p.AttributeAt(r, c) == kHighlight)
                    cells.insert({r, c});
                else
                    EXPECT_EQ(p.AttributeAt(r, c), kNormal) << r << "," << c;
            }
        }
        return cells;
    }
};

std::set<std::pair<int, int>> Cells(int row, int first, int last) {
    std::set<std::pair<int, int>> cells;
    for (int c = first; c <= last; ++c) cells.insert({row, c});
    return cells;
}

TEST_F(Screen, FullRedrawRowByRow) {
    DrawScreen(ctx);
    EXPECT_EQ(ctx.screen.ScreenState, 2);
    DrawListWindow(ctx);
    EXPECT_EQ(ctx.screen.ScreenState, 3);
    RefreshFields(ctx);
    // Trailing blanks of a row are not written out here.
    const char* kExpected[22] = {
        "╔══════════════════════════>> Varlo <<══════════════════════════════╗",
        "║(O)rdner              gefundene Titel: 6               Sortierung  ║",
        "║(?)                                                      (Z)ufall  ║",
        "║(R)  Volume              Down in           (P)ause       (T)itel   ║",
        "║  (-)  4   (+)      (d)    30     (m)         II         (I)nterp. ║",
        "╚═══════════════════════════════════════════════════════════════════╝",
        "",
        " up                                                               Pg",
        "                                                                  up",
        "0)                         Erster Titel",
        "                               Band",
        "     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -",
        "1)                            Zweiter",
        "",
        "     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -",
        "2)                        Dritter Titel!",
        "                             Die Drei",
        "     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -",
        "3)                             Vier",
        "                             Quartett",
        "     - - - - - - - - - - - - - - - - - - - - - - - - - - - - -    Pg",
        "down                                                             down",
    };
    for (int r = 1; r <= 22; ++r) {
        std::string expected = Cp437(kExpected[r - 1]);
        expected.resize(69, ' ');
        EXPECT_EQ(p.Row(r), expected) << "row " << r;
    }
    // Only the label of the sort order and the playing title's two rows are light blue.
    std::set<std::pair<int, int>> expected = Cells(4, 59, 65);
    expected.merge(Cells(10, 28, 39));
    expected.merge(Cells(11, 32, 35));
    EXPECT_EQ(Highlighted(), expected);
}

TEST_F(Screen, PlayingTitleIsFoundByFileNameInAnySlot) {
    ctx.media.CurrentFile = ctx.playlist.TrackFile(5);
    ctx.media.ListTop = 3;
    DrawListWindow(ctx);
    // Slot 2 holds entry 5: a 4-letter title with ü (0xFC printed as 0x81) from column 32.
    EXPECT_EQ(p.Text(16, 32, 4), "F\x81nf");
    std::set<std::pair<int, int>> expected = Cells(16, 32, 35);
    expected.merge(Cells(17, 30, 37));
    EXPECT_EQ(Highlighted(), expected);

    // Scrolled out of the window: nothing is highlighted.
    ClearScreen(ctx);
    ctx.media.ListTop = 1;
    DrawListWindow(ctx);
    EXPECT_TRUE(Highlighted().empty());
}

TEST_F(Screen, OnlyOneSortLabelIsHighlighted) {
    for (int mode = 1; mode <= 3; ++mode) {
        ClearScreen(ctx);
        ctx.playlist.SortMode = mode;
        DrawScreen(ctx);
        const int row[] = {3, 4, 5};
        const int length[] = {8, 7, 9};
        EXPECT_EQ(Highlighted(), Cells(row[mode - 1], 59, 58 + length[mode - 1])) << mode;
    }
}

TEST_F(Screen, LongTitlesKeepTheColumnWhereOutputEndedAndWrap) {
    const std::string t56(56, 'a');
    const std::string t70(70, 'b');
    Title(1, t70, t56);
    Title(2, "", std::string(70, 'd'));
    DrawScreen(ctx);
    DrawListWindow(ctx);
    // Slot 1 of a full redraw: the legend row ended at column 54; the rest wraps into row 11,
    // where the interpreter (56 characters from column 6) is written afterwards.
    EXPECT_EQ(p.Text(10, 54, 16), std::string(16, 'b'));
    EXPECT_EQ(p.Row(11), "bbbbb" + t56 + std::string(8, ' '));
    // Slot 2: after the line break of slot 1's separator, column 1; wraps into row 15,
    // which the separator then overwrites from column 6.
    EXPECT_EQ(p.Text(14, 1, 69), std::string(69, 'd'));
    EXPECT_EQ(p.Text(15, 1, 1), "d");
}

// Mend: ListTop may reach TrackCount = 1999, and the window then reads entries up to 2002.
TEST_F(Screen, SlotsPastTheArraysShowEmptyRowsAndTheirSeparators) {
    for (int i = 1; i <= 1999; ++i) ctx.playlist.TrackTitle(i) = "T" + std::to_string(i);
    ctx.playlist.TrackTitle(2000) = "left from a longer scan";
    ctx.playlist.TrackCount = 1999;
    ctx.media.ListTop = 1999;
    ASSERT_NO_THROW(DrawListWindow(ctx));
    EXPECT_EQ(p.Text(10, 32, 5), "T1999");
    EXPECT_EQ(p.Text(13, 23, 23), "left from a longer scan");
    for (int row : {16, 17, 19, 20}) EXPECT_EQ(p.Row(row), std::string(69, ' ')) << row;
    for (int row : {12, 15, 18, 21}) EXPECT_EQ(p.Text(row, 6, 3), "- -") << row;
}

TEST_F(Screen, FieldsAtTheirLimits) {
    ctx.media.Volume = 999;
    ctx.power.DownRemaining = 360;
    RefreshFields(ctx);
    // The two blanks after 9.99 reach column 14; "(+)" comes after them and stays whole.
    EXPECT_EQ(p.Text(5, 4, 12), "(-)  9.99(+)");
    EXPECT_EQ(p.Text(5, 27, 8), "  360   ");
    ctx.media.Volume = 50;
    ctx.power.DownRemaining = -5;
    RefreshFields(ctx);
    EXPECT_EQ(p.Text(5, 4, 12), "(-)  0.5 (+)");
    EXPECT_EQ(p.Text(5, 27, 7), " -5    ");
    ctx.media.Volume = 450;
    RefreshFields(ctx);
    EXPECT_EQ(p.Text(5, 4, 9), "(-)  4.5 ");
}

}  // namespace
}  // namespace varlo
