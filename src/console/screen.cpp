#include "console/screen.h"

#include <string>

namespace varlo {

namespace {

// Box-drawing bytes of code page 437/850.
constexpr char kEdgeVertical = '\xBA';       // ║
constexpr char kEdgeHorizontal = '\xCD';     // ═
constexpr char kCornerTopLeft = '\xC9';      // ╔
constexpr char kCornerTopRight = '\xBB';     // ╗
constexpr char kCornerBottomLeft = '\xC8';   // ╚
constexpr char kCornerBottomRight = '\xBC';  // ╝

constexpr int kFrameTop = 1;
constexpr int kFrameLeft = 1;
constexpr int kFrameRight = 69;
constexpr int kFrameBottom = 6;

constexpr int kSlotCount = 4;
constexpr int kSlotCentre = 34;
constexpr int kSeparatorColumn = 6;
// 29 hyphens with one blank between each two: 57 characters.
constexpr const char* kSeparator = "- - - - - - - - - - - - - - - - - - - - - - - - - - - - -";

// The playing state's legends, which the pause overwrites.
constexpr const char* kDownPauseLegend = "Down in           (P)ause";  // "(P)ause" at 45-51
// "(d)" at columns 22-24, "(m)" at 36-38, the pause symbol "II" at 48-49.
constexpr const char* kDownKeysLegend = "    (d)           (m)         II    ";

// What follows a fixed text of the layout.
enum class Tail {
    None,
    TrackCount,  // TrackCount printed as a number (" 12 ")
    LineBreak,
};

struct LayoutRow {
    int row;
    int column;
    const char* text;
    int highlightMode;  // the SortMode under which the text is highlighted; 0 never
    Tail tail;
};

// The fixed texts of the playback screen, written in this order after the frame.
constexpr LayoutRow kScreenLayout[] = {
    {1, 28, ">> Varlo <<", 0, Tail::None},  // on the top edge
    {2, 24, "gefundene Titel:", 0, Tail::TrackCount},
    {2, 57, "Sortierung", 0, Tail::None},
    {2, 2, "(O)rdner", 0, Tail::LineBreak},
    {3, 2, "(?)", 0, Tail::None},
    {4, 2, "(R)", 0, Tail::None},
    {3, 59, "(Z)ufall", 1, Tail::None},
    {4, 59, "(T)itel", 2, Tail::None},
    {5, 59, "(I)nterp.", 3, Tail::None},
    {8, 1, " up", 0, Tail::None},
    {8, 67, "Pg", 0, Tail::None},
    {9, 67, "up", 0, Tail::None},
    {22, 1, "down", 0, Tail::None},
    {21, 67, "Pg", 0, Tail::None},
    {22, 66, "down", 0, Tail::None},
    {10, 1, "0)", 0, Tail::None},  // slot labels at row 3n + 7
    {13, 1, "1)", 0, Tail::None},
    {16, 1, "2)", 0, Tail::None},
    {19, 1, "3)", 0, Tail::None},
    {4, 6, " Volume", 0, Tail::None},
    {4, 27, kDownPauseLegend, 0, Tail::None},
    {5, 18, kDownKeysLegend, 0, Tail::None},
};

// Centred on column 34; a text of 68 characters or more gets a column below 1, and the
// positioning rule then keeps the column where the previous output ended.
void PrintCentred(Context& ctx, int row, const std::string& text) {
    Locate(ctx, row, kSlotCentre - static_cast<int>(text.size() / 2));
    ctx.screen.OemText = text;
    OemPrint(ctx);
    NewLine(ctx);
}

}  // namespace

void BlankCells(Context& ctx, int row, int column, int count) {
    Locate(ctx, row, column);
    Print(ctx, std::string(static_cast<size_t>(count), ' '));
}

void DrawScreen(Context& ctx) {
    for (int r = kFrameTop; r <= kFrameBottom; ++r) {
        Locate(ctx, r, kFrameLeft);
        Print(ctx, std::string(1, kEdgeVertical));
        Locate(ctx, r, kFrameRight);
        Print(ctx, std::string(1, kEdgeVertical));
    }
    const std::string edge(static_cast<size_t>(kFrameRight - kFrameLeft), kEdgeHorizontal);
    Locate(ctx, kFrameTop, kFrameLeft);
    Print(ctx, edge);
    Locate(ctx, kFrameBottom, kFrameLeft);
    Print(ctx, edge);
    Locate(ctx, kFrameTop, kFrameLeft);
    Print(ctx, std::string(1, kCornerTopLeft));
    Locate(ctx, kFrameBottom, kFrameLeft);
    Print(ctx, std::string(1, kCornerBottomLeft));
    Locate(ctx, kFrameTop, kFrameRight);
    Print(ctx, std::string(1, kCornerTopRight));
    Locate(ctx, kFrameBottom, kFrameRight);
    Print(ctx, std::string(1, kCornerBottomRight));

    for (const LayoutRow& item : kScreenLayout) {
        const bool highlight =
            item.highlightMode != 0 && item.highlightMode == ctx.playlist.SortMode;
        Locate(ctx, item.row, item.column);
        if (highlight) SetHighlightColours(ctx);
        Print(ctx, item.text);
        if (highlight) SetNormalColours(ctx);
        if (item.tail == Tail::TrackCount) PrintNumber(ctx, ctx.playlist.TrackCount);
        if (item.tail == Tail::LineBreak) NewLine(ctx);
    }
    ctx.screen.ScreenState = 2;
}

void DrawListWindow(Context& ctx) {
    static const std::string kNoEntry;
    const PlaylistGroup& list = ctx.playlist;
    for (int n = 1; n <= kSlotCount; ++n) {
        const int e = ctx.media.ListTop + n - 1;
        // ListTop may reach TrackCount (1999), so the last slots can lie past entry 2000.
        const bool held = list.TrackFile.Holds(e);
        const std::string& file = held ? list.TrackFile(e) : kNoEntry;
        const bool playing = held && file == ctx.media.CurrentFile;
        if (playing) SetHighlightColours(ctx);
        PrintCentred(ctx, 3 * n + 7, held ? list.TrackTitle(e) : kNoEntry);
        PrintCentred(ctx, 3 * n + 8, held ? list.TrackInterpreter(e) : kNoEntry);
        if (playing) SetNormalColours(ctx);
        Locate(ctx, 3 * n + 9, kSeparatorColumn);
        PrintLine(ctx, kSeparator);
    }
    ctx.screen.ScreenState = 3;
}

void DrawPlayingLegends(Context& ctx) {
    Locate(ctx, 4, 27);
    Print(ctx, kDownPauseLegend);
    Locate(ctx, 5, 18);
    Print(ctx, kDownKeysLegend);
    RefreshFields(ctx);
}

void RefreshFields(Context& ctx) {
    Locate(ctx, 5, 4);
    Print(ctx, "(-) " + NumberText(ctx.media.Volume / 100.0f) + "  ");
    // After the volume field, whose closing blanks reach column 14 at 9.99.
    Locate(ctx, 5, 13);
    Print(ctx, "(+)");
    Locate(ctx, 5, 27);
    Print(ctx, " " + NumberText(ctx.power.DownRemaining) + "   ");
}

}  // namespace varlo
