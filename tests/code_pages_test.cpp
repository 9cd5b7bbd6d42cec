// The code page tables every platform side converts through.
#include "platform/code_pages.h"

#include <gtest/gtest.h>

#include <set>

#include "console/output.h"

namespace varlo {
namespace {

TEST(CodePages, Cp437ShowsFrameLettersAndControlGlyphs) {
    const std::pair<unsigned char, char16_t> shown[] = {
        {0xC9, u'╔'}, {0xBB, u'╗'}, {0xC8, u'╚'}, {0xBC, u'╝'}, {0xBA, u'║'}, {0xCD, u'═'},
        {0xB3, u'│'}, {0xDB, u'█'}, {0x81, u'ü'}, {0x84, u'ä'}, {0x94, u'ö'}, {0x8E, u'Ä'},
        {0x99, u'Ö'}, {0x9A, u'Ü'}, {0xE1, u'ß'}, {0xA0, u'á'}, {0x80, u'Ç'}, {0x41, u'A'},
        {0x20, u' '}, {0x00, u' '}, {0x01, u'☺'}, {0x1B, u'←'}, {0x7F, u'⌂'}, {0xFF, 0x00A0}};
    for (const auto& [byte, character] : shown) {
        EXPECT_EQ(Cp437ToUnicode(byte), character) << "byte " << int{byte};
    }
    // Every byte but 0 and the blank shows as a character of its own, none of them a control.
    std::set<char16_t> seen;
    for (int byte = 1; byte < 256; ++byte) {
        const char16_t c = Cp437ToUnicode(static_cast<unsigned char>(byte));
        EXPECT_TRUE(c >= 0x20 && (c < 0x7F || c >= 0xA0)) << "byte " << byte;
        seen.insert(c);
    }
    EXPECT_EQ(seen.size(), 255u);
}

TEST(CodePages, Windows1252BothWaysAndQuestionMarkOutside) {
    EXPECT_EQ(Windows1252ToUnicode(0xE4), u'ä');
    EXPECT_EQ(Windows1252ToUnicode(0xDF), u'ß');
    EXPECT_EQ(Windows1252ToUnicode(0x80), u'€');
    EXPECT_EQ(Windows1252ToUnicode(0x96), u'–');
    EXPECT_EQ(Windows1252ToUnicode(0x9F), u'Ÿ');
    EXPECT_EQ(Windows1252ToUnicode(0x0D), u'\r');
    for (int byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(static_cast<unsigned char>(
                      UnicodeToWindows1252(Windows1252ToUnicode(static_cast<unsigned char>(byte)))),
                  byte);
    }
    for (char32_t outside : {U'ő', U'Ł', U'中', U'😀', char32_t{0x2028}, char32_t{0x10FFFF}}) {
        EXPECT_EQ(UnicodeToWindows1252(outside), '?');
    }
}

// The twelve letters the screen converts from names land on the same characters in code page
// 437 as they are in Windows-1252.
TEST(CodePages, ConvertedNameLettersShowAsThemselves) {
    for (unsigned char byte :
         {0xFC, 0xE4, 0xF6, 0xC4, 0xD6, 0xDC, 0xE1, 0xE9, 0xFA, 0xF3, 0xED, 0xDF}) {
        const std::string oem = OemConvert(std::string(1, static_cast<char>(byte)));
        EXPECT_EQ(Cp437ToUnicode(static_cast<unsigned char>(oem[0])), Windows1252ToUnicode(byte))
            << "byte " << int{byte};
    }
}

}  // namespace
}  // namespace varlo
