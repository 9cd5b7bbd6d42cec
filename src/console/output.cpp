#include "console/output.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace varlo {

namespace {

struct OemRow {
    unsigned char ansi;  // Windows-1252
    unsigned char oem;   // code page 437/850
};

// The twelve accented letters that OemPrint converts for the console.
constexpr OemRow kOemTable[] = {
    {0xFC, 0x81},  // ü
    {0xE4, 0x84},  // ä
    {0xF6, 0x94},  // ö
    {0xC4, 0x8E},  // Ä
    {0xD6, 0x99},  // Ö
    {0xDC, 0x9A},  // Ü
    {0xE1, 0xA0},  // á
    {0xE9, 0x82},  // é
    {0xFA, 0xA3},  // ú
    {0xF3, 0xA2},  // ó
    {0xED, 0xA1},  // í
    {0xDF, 0xE1},  // ß
};

uint16_t Attribute(int foreground, int background) {
    return static_cast<uint16_t>(foreground + 16 * background);
}

}  // namespace

void Locate(Context& ctx, int row, int column) {
    ctx.platform.SetCursor(row, column);
}

void Print(Context& ctx, std::string_view text) {
    if (!text.empty()) ctx.platform.WriteText(text);
}

void NewLine(Context& ctx) {
    ctx.platform.SetCursor(ctx.platform.CursorRow() + 1, 1);
}

void PrintLine(Context& ctx, std::string_view text) {
    Print(ctx, text);
    NewLine(ctx);
}

void ClearScreen(Context& ctx) {
    ctx.platform.ClearScreen();
}

void SetNormalColours(Context& ctx) {
    ctx.platform.SetTextAttribute(Attribute(ctx.screen.ColorTable[1], ctx.screen.ColorTable[2]));
}

void SetHighlightColours(Context& ctx) {
    ctx.platform.SetTextAttribute(Attribute(ctx.screen.ColorTable[3], ctx.screen.ColorTable[2]));
}

std::string NumberText(double value) {
    // Single precision holds 7 significant digits; "%.7g" (general, precision 7) drops
    // trailing zeros. Values below 1 keep their leading zero (" 0.5").
    const double single = static_cast<float>(value);
    char digits[32];
    char* end = digits;
    // Every pass prints the volume and the Down value, and printf's way to 7 digits is slow
    // with the caches cold after a sleep. A float times 100 is exact in a double; when that is
    // whole, the number has at most two decimals, and below 10^5 at most 7 digits, which
    // %.7g prints as they are: written here directly.
    const double hundredths = single * 100;
    if (hundredths == std::trunc(hundredths) && std::fabs(single) < 1e5) {
        const auto whole = static_cast<int64_t>(std::fabs(hundredths));
        if (hundredths < 0) *end++ = '-';
        end = std::to_chars(end, digits + sizeof digits, whole / 100).ptr;
        if (whole % 100 != 0) {
            *end++ = '.';
            *end++ = static_cast<char>('0' + whole % 100 / 10);
            if (whole % 10 != 0) *end++ = static_cast<char>('0' + whole % 10);
        }
    } else {
        end = std::to_chars(digits, digits + sizeof digits, single, std::chars_format::general, 7)
                  .ptr;
    }
    std::string text(digits, end);
    if (text == "-0") text.assign(1, '0');
    if (text[0] != '-') text.insert(text.begin(), ' ');
    return text;
}

void PrintNumber(Context& ctx, double value) {
    Print(ctx, NumberText(value) + " ");
}

std::string OemConvert(std::string_view ansi) {
    std::string out(ansi);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        for (const auto& row : kOemTable) {
            if (row.ansi == byte) {
                c = static_cast<char>(row.oem);
                break;
            }
        }
    }
    return out;
}

void OemPrint(Context& ctx) {
    Print(ctx, OemConvert(ctx.screen.OemText));
    ctx.screen.OemText.clear();
}

}  // namespace varlo
