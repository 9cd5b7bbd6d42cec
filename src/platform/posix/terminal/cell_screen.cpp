#include "platform/posix/terminal/cell_screen.h"

#include <algorithm>
#include <array>

#include "platform/code_pages.h"

namespace varlo {

namespace {

// The ANSI colour number (1 red, 2 green, 4 blue) of a console colour's low three bits
// (1 blue, 2 green, 4 red); bit 8 of the console colour is the bright half of the palette.
constexpr int kAnsiColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};
constexpr int kBright = 8;

struct Rgb {
    int red, green, blue;
};

// The Windows console's own colours (Windows 10's default table), by console colour number.
constexpr Rgb kConsoleColours[16] = {
    {0x0C, 0x0C, 0x0C},  // 0 black
    {0x00, 0x37, 0xDA},  // 1 blue
    {0x13, 0xA1, 0x0E},  // 2 green
    {0x3A, 0x96, 0xDD},  // 3 cyan
    {0xC5, 0x0F, 0x1F},  // 4 red
    {0x88, 0x17, 0x98},  // 5 magenta
    {0xC1, 0x9C, 0x00},  // 6 yellow
    {0xCC, 0xCC, 0xCC},  // 7 light grey
    {0x76, 0x76, 0x76},  // 8 dark grey
    {0x3B, 0x78, 0xFF},  // 9 light blue
    {0x16, 0xC6, 0x0C},  // 10 light green
    {0x61, 0xD6, 0xD6},  // 11 light cyan
    {0xE7, 0x48, 0x56},  // 12 light red
    {0xB4, 0x00, 0x9E},  // 13 light magenta
    {0xF9, 0xF1, 0xA5},  // 14 light yellow
    {0xF2, 0xF2, 0xF2},  // 15 white
};

// xterm's colour n of 16 to 255: a 6 x 6 x 6 cube (16 to 231), then 24 greys.
constexpr Rgb Xterm256(int n) {
    constexpr int kLevels[6] = {0, 95, 135, 175, 215, 255};
    if (n >= 232) return {8 + 10 * (n - 232), 8 + 10 * (n - 232), 8 + 10 * (n - 232)};
    n -= 16;
    return {kLevels[n / 36], kLevels[n / 6 % 6], kLevels[n % 6]};
}

// The nearest of xterm's colours 16 to 255 (0 to 15 are the theme's) by squared distance.
constexpr int Nearest256(Rgb c) {
    int best = 16;
    long bestDistance = -1;
    for (int n = 16; n <= 255; ++n) {
        const Rgb x = Xterm256(n);
        const long d = long{x.red - c.red} * (x.red - c.red) +
                       long{x.green - c.green} * (x.green - c.green) +
                       long{x.blue - c.blue} * (x.blue - c.blue);
        if (bestDistance < 0 || d < bestDistance) best = n, bestDistance = d;
    }
    return best;
}

// The console colours' nearest, worked out by the compiler.
constexpr std::array<int, 16> kNearest256 = [] {
    std::array<int, 16> nearest{};
    for (int colour = 0; colour < 16; ++colour)
        nearest[colour] = Nearest256(kConsoleColours[colour]);
    return nearest;
}();

// One colour as SGR parameters; base 30 for the foreground, 40 for the background.
std::string ColourSgr(int colour, int base, ColourDepth depth) {
    const Rgb c = kConsoleColours[colour];
    switch (depth) {
        case ColourDepth::Direct:
            return std::to_string(base + 8) + ";2;" + std::to_string(c.red) + ";" +
                   std::to_string(c.green) + ";" + std::to_string(c.blue);
        case ColourDepth::Palette256:
            return std::to_string(base + 8) + ";5;" + std::to_string(kNearest256[colour]);
        case ColourDepth::Palette16:
            break;
    }
    return std::to_string(((colour & kBright) ? base + 60 : base) + kAnsiColour[colour & 7]);
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

void MoveTo(std::string& out, int row, int column) {
    out += "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
}

}  // namespace

CellScreen::CellScreen(int columns, int rows)
    : columns_(columns), rows_(rows), cells_(static_cast<size_t>(columns) * rows) {}

ColourDepth TerminalColourDepth(const char* colorterm, const char* term) {
    const std::string_view colours = colorterm ? colorterm : "";
    if (colours == "truecolor" || colours == "24bit") return ColourDepth::Direct;
    if (term && EndsWith(term, "256color")) return ColourDepth::Palette256;
    return ColourDepth::Palette16;
}

std::string CellScreen::SgrColours(uint16_t attribute, ColourDepth depth) {
    if (attribute == kTerminalColours) return "0";
    return ColourSgr(attribute & 0xF, 30, depth) + ";" +
           ColourSgr((attribute >> 4) & 0xF, 40, depth);
}

void CellScreen::Resize(int columns, int rows) {
    if (columns == columns_ && rows == rows_) return;
    std::vector<Cell> cells(static_cast<size_t>(columns) * rows);
    for (int r = 0; r < std::min(rows, rows_); ++r) {
        for (int c = 0; c < std::min(columns, columns_); ++c) {
            cells[static_cast<size_t>(r) * columns + c] =
                cells_[static_cast<size_t>(r) * columns_ + c];
        }
    }
    cells_ = std::move(cells);
    columns_ = columns;
    rows_ = rows;
    row_ = std::min(row_, rows - 1);
    column_ = std::min(column_, columns - 1);
    Invalidate();
}

void CellScreen::Clear() {
    std::fill(cells_.begin(), cells_.end(), Cell{' ', attribute_});
    row_ = 0;
    column_ = 0;
    changed_ = true;
}

void CellScreen::SetCursor(int row, int column) {
    if (row >= 1 && row <= rows_) row_ = row - 1;
    if (column >= 1 && column <= columns_) column_ = column - 1;
}

void CellScreen::Write(std::string_view bytes) {
    // The fields the player writes on every pass mostly hold what they held: only a real
    // change makes the next Render look at the cells.
    for (char c : bytes) {
        Cell& cell = cells_[static_cast<size_t>(row_) * columns_ + column_];
        const Cell written{static_cast<unsigned char>(c), attribute_};
        if (!(cell == written)) {
            cell = written;
            changed_ = true;
        }
        if (++column_ == columns_) {
            column_ = 0;
            if (row_ < rows_ - 1) ++row_;
        }
    }
}

std::string CellScreen::Text() const {
    std::string text, blankRows;
    for (int r = 0; r < rows_; ++r) {
        std::string row;
        int end = columns_;
        while (end > 0 && cells_[static_cast<size_t>(r) * columns_ + end - 1].ch == ' ') --end;
        for (int c = 0; c < end; ++c) {
            AppendUtf8(row, Cp437ToUnicode(cells_[static_cast<size_t>(r) * columns_ + c].ch));
        }
        if (row.empty()) {
            blankRows += "\n";
        } else {
            text += blankRows + row + "\n";
            blankRows.clear();
        }
    }
    return text;
}

void CellScreen::Invalidate() {
    known_ = false;
    changed_ = true;
    shownCursorVisible_ = -1;
    terminalRow_ = terminalColumn_ = -1;
    terminalAttribute_ = -1;
}

bool CellScreen::BridgesGap(int row, int column) const {
    // Writing a few unchanged cells again is shorter than a cursor move past them, and keeps
    // a text with blanks in one piece.
    if (row != terminalRow_ || column != terminalColumn_) return false;
    const int end = std::min(columns_, column + 1 + kGapLimit);
    for (int c = column + 1; c < end; ++c) {
        const size_t i = static_cast<size_t>(row) * columns_ + c;
        if (!(cells_[i] == shown_[i])) return true;
    }
    return false;
}

void CellScreen::Render(std::string& out) {
    if (!known_) {
        // Everything beyond the player's cells too: a terminal that grew keeps old text there.
        out += "\x1b[0m\x1b[H\x1b[2J";
        shown_.assign(cells_.size(), Cell{});
        terminalAttribute_ = kTerminalColours;
        terminalRow_ = terminalColumn_ = 0;
        known_ = true;
    }
    if (changed_) {
        for (int r = 0; r < rows_; ++r) {
            for (int c = 0; c < columns_; ++c) {
                const size_t i = static_cast<size_t>(r) * columns_ + c;
                const Cell& cell = cells_[i];
                if (cell == shown_[i] && !BridgesGap(r, c)) continue;
                if (r != terminalRow_ || c != terminalColumn_) MoveTo(out, r, c);
                if (cell.attribute != terminalAttribute_) {
                    out += "\x1b[" + SgrColours(cell.attribute, depth_) + "m";
                    terminalAttribute_ = cell.attribute;
                }
                AppendUtf8(out, Cp437ToUnicode(cell.ch));
                shown_[i] = cell;
                terminalRow_ = r;
                // At the right margin the terminal's cursor stays; where exactly is asked anew.
                terminalColumn_ = c + 1 < columns_ ? c + 1 : -1;
            }
        }
        changed_ = false;
    }
    const int visible = cursorVisible_ ? 1 : 0;
    if (visible != shownCursorVisible_) {
        out += cursorVisible_ ? "\x1b[?25h" : "\x1b[?25l";
        shownCursorVisible_ = visible;
    }
    // A shown cursor stands where the player's is, for typed text to appear there.
    if (cursorVisible_ && (terminalRow_ != row_ || terminalColumn_ != column_)) {
        MoveTo(out, row_, column_);
        terminalRow_ = row_;
        terminalColumn_ = column_;
    }
}

}  // namespace varlo
