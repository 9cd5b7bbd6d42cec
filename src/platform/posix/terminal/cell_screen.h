// The console's screen on a VT terminal: the cells the player writes (code page 437 bytes and
// console attributes) and what the terminal shows of them. Render gives the bytes that bring
// the terminal to the cells: only the cells that changed, each character as UTF-8 through
// the code page 437 table, each attribute as SGR colours, then the cursor. The terminal runs
// without autowrap, so no cell, the bottom-right one included, ever scrolls it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varlo {

// How the console's 16 colours reach the terminal. As palette entries 0 to 15 each terminal's
// theme recolours them (light blue on light grey can come out pale blue on pale grey); as
// colours of their own they look as on Windows, in the colours of its console.
enum class ColourDepth : uint8_t {
    Palette16,   // SGR 30-37, 90-97 and 40-47, 100-107: the theme's colours
    Palette256,  // the nearest colours of xterm's 256-colour cube and grey ramp (16 to 255)
    Direct,      // 24-bit colours
};

// What the terminal's environment says it takes: Direct for COLORTERM "truecolor" or "24bit",
// Palette256 for a TERM ending in "256color", else Palette16. Null: the variable is not set.
ColourDepth TerminalColourDepth(const char* colorterm, const char* term);

class CellScreen {
  public:
    // The colours the terminal starts with, before the player sets any: SGR 0. Windows
    // starts its console in light grey on black, which most terminals' own colours are.
    static constexpr uint16_t kTerminalColours = 0xFFFF;

    CellScreen(int columns, int rows);

    // The player's part of the terminal: cells beyond the old size are blank in the
    // terminal's colours, the cursor stays inside.
    void Resize(int columns, int rows);
    int Columns() const { return columns_; }
    int Rows() const { return rows_; }

    // From the next Render on; the cells already shown keep their colours until redrawn.
    void SetColourDepth(ColourDepth depth) { depth_ = depth; }

    // The console's operations, as the platform seam describes them.
    void SetAttribute(uint16_t attribute) { attribute_ = attribute; }
    void Clear();
    void SetCursor(int row, int column);
    int CursorRow() const { return row_ + 1; }
    int CursorColumn() const { return column_ + 1; }
    void Write(std::string_view bytes);
    void ShowCursor(bool visible) { cursorVisible_ = visible; }

    // The terminal shows something else now (it was resized, or the program comes back from
    // a stop): the next Render clears it and draws every cell.
    void Invalidate();
    // Appends what the terminal needs to show the cells and the cursor; nothing when it
    // shows them already.
    void Render(std::string& out);

    // The characters of the cells as UTF-8 lines, blanks at the ends of rows and the blank
    // rows at the bottom left out.
    std::string Text() const;

    // SGR parameters of a console attribute: "94;47" for light blue on light grey in the
    // terminal's palette, "38;5;69;48;5;252" in 256 colours, "38;2;59;120;255;48;2;204;204;204"
    // in 24-bit colours.
    static std::string SgrColours(uint16_t attribute, ColourDepth depth = ColourDepth::Palette16);

  private:
    static constexpr int kGapLimit = 4;  // unchanged cells written rather than skipped

    struct Cell {
        unsigned char ch = ' ';
        uint16_t attribute = kTerminalColours;
        bool operator==(const Cell&) const = default;
    };

    // The cell at row, column (0-based) is unchanged, but the terminal's cursor stands on it
    // and a changed cell follows closely in the same row.
    bool BridgesGap(int row, int column) const;

    int columns_, rows_;
    std::vector<Cell> cells_;  // row by row
    std::vector<Cell> shown_;  // what the terminal shows; valid while known_
    bool known_ = false;
    bool changed_ = true;  // cells written since the last Render
    uint16_t attribute_ = kTerminalColours;
    ColourDepth depth_ = ColourDepth::Palette16;
    int row_ = 0, column_ = 0;  // the player's cursor, 0-based
    bool cursorVisible_ = true;
    // The terminal's state as the last Render left it; -1: not known.
    int shownCursorVisible_ = -1;
    int terminalRow_ = -1, terminalColumn_ = -1;
    int terminalAttribute_ = -1;
};

}  // namespace varlo
