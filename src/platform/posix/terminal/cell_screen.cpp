#include "platform/posix/terminal/cell_screen.h"

#include <algorithm>

#include "platform/code_pages.h"

namespace varlo {

namespace {

// The ANSI colour number (1 red, 2 green, 4 blue) of a console colour's low three bits
// (1 blue, 2 green, 4 red); bit 8 of the console colour is the bright half of the palette.
constexpr int kAnsiColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};
constexpr int kBright = 8;

void MoveTo(std::string& out, int row, int column) {
    out += "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
}

}  // namespace

CellScreen::CellScreen(int columns, int rows)
    : columns_(columns), rows_(rows), cells_(static_cast<size_t>(columns) * rows) {}

std::string CellScreen::SgrColours(uint16_t attribute) {
    if (attribute == kTerminalColours) return "0";
    const int foreground = attribute & 0xF;
    const int background = (attribute >> 4) & 0xF;
    const int fg = ((foreground & kBright) ? 90 : 30) + kAnsiColour[foreground & 7];
    const int bg = ((background & kBright) ? 100 : 40) + kAnsiColour[background & 7];
    return std::to_string(fg) + ";" + std::to_string(bg);
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
                    out += "\x1b[" + SgrColours(cell.attribute) + "m";
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
