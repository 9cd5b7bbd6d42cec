// Console output helpers, used by every screen.
#pragma once

#include <string>
#include <string_view>

#include "app/context.h"

namespace varlo {

// Cursor to row, column (1-based), with the positioning rule: a coordinate outside the
// screen leaves that coordinate where it is.
void Locate(Context& ctx, int row, int column);
// Writes text at the cursor, no line break.
void Print(Context& ctx, std::string_view text);
// Line break: cursor to column 1 of the next row (the last row stays the last row).
void NewLine(Context& ctx);
void PrintLine(Context& ctx, std::string_view text);
// Blanks in the current colours, and the current colours for the next clear.
void ClearScreen(Context& ctx);
void SetNormalColours(Context& ctx);     // ColorTable(1) on ColorTable(2)
void SetHighlightColours(Context& ctx);  // ColorTable(3) on ColorTable(2)

// A number as it goes into a command string or a field: a leading blank (or minus sign),
// at most 7 significant digits, no trailing zeros, no trailing blank ("4", "4.5", "9.99").
std::string NumberText(double value);
// A number as the console prints it: NumberText plus one trailing blank (" 30 ").
void PrintNumber(Context& ctx, double value);

// Prints OemText with the twelve accented Windows-1252 letters mapped to code page 437/850,
// then empties OemText.
void OemPrint(Context& ctx);
// The mapping itself, as one simultaneous byte substitution.
std::string OemConvert(std::string_view ansi);

}  // namespace varlo
