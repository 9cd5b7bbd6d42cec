// The two code pages the player lives in, as the platform sides need them: the console's
// screen bytes are code page 437, names and typed characters are Windows-1252. A side turns
// them into the characters of its own system here, and nowhere else.
#pragma once

#include <string>

namespace varlo {

// The character a console shows for a byte of code page 437, box drawing and the glyphs
// below 0x20 included (byte 0 shows as a blank).
char16_t Cp437ToUnicode(unsigned char byte);

// The character of a Windows-1252 byte. The five bytes Windows-1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same number, as Windows
// converts them, so that every byte survives the way there and back.
char16_t Windows1252ToUnicode(unsigned char byte);

// The Windows-1252 byte of a character; "?" when Windows-1252 has none.
char UnicodeToWindows1252(char32_t character);

// The UTF-8 bytes of a character of the tables above (none lies beyond U+FFFF), appended to
// out; for the sides and tools that show the console as UTF-8 text.
void AppendUtf8(std::string& out, char16_t c);

}  // namespace varlo
