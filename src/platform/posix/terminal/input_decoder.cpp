#include "platform/posix/terminal/input_decoder.h"

#include <charconv>

#include "platform/posix/files/drive_view.h"

namespace varlo {

namespace {

constexpr char kEsc = '\x1b';
constexpr char kBel = '\x07';
constexpr char kCan = '\x18';  // CAN and SUB end a sequence or string, and are themselves
constexpr char kSub = '\x1a';  // nothing
constexpr unsigned char kLastC1 = 0x9F;
constexpr unsigned char kC1Csi = 0x9B;
constexpr unsigned char kC1St = 0x9C;
constexpr unsigned char kC1Ss2 = 0x8E;
constexpr unsigned char kC1Ss3 = 0x8F;
constexpr size_t kMaxSequence = 64;  // longer "sequences" are noise, dropped whole

// Mouse event codes of the raw item.
constexpr char kMouseMove = 1;
constexpr char kMouseDoubleClick = 2;
constexpr char kMousePressed = 4;
constexpr char kMouseReleased = 8;

// The button bit of the console (1 left, 2 right, 4 middle) by the low two bits of an xterm
// mouse report (0 left, 1 middle, 2 right, 3 none).
constexpr int kButtonBits[4] = {1, 4, 2, 0};
constexpr int kReportMotion = 32;
constexpr int kReportWheelOrMore = 64 | 128;  // wheel, and buttons beyond the third

struct StringIntroducer {
    char escFinal;  // ESC and this byte
    unsigned char c1;
};

// The controls that open a string, in their two forms.
constexpr StringIntroducer kStringIntroducers[] = {
    {'P', 0x90},  // DCS
    {'X', 0x98},  // SOS
    {']', 0x9D},  // OSC
    {'^', 0x9E},  // PM
    {'_', 0x9F},  // APC
};

struct KeyRow {
    unsigned char firstScan;  // scan code (set 1) of the row's first key
    const char* plain;        // the characters of the row's keys, unshifted
    const char* shifted;
};

// The US keyboard: Alt + a key that types a character gives character 0 and the key's scan
// code.
constexpr KeyRow kKeyRows[] = {
    {0x02, "1234567890-=", "!@#$%^&*()_+"},   // number row
    {0x10, "qwertyuiop[]", "QWERTYUIOP{}"},   // top letter row
    {0x1E, "asdfghjkl;'`", "ASDFGHJKL:\"~"},  // middle letter row
    {0x2B, "\\zxcvbnm,./", "|ZXCVBNM<>?"},    // bottom letter row
    {0x39, " ", " "},                         // space bar
};

struct ControlKey {
    char byte;
    unsigned char scan;
};

// Alt + a key that sends a control byte.
constexpr ControlKey kAltControlKeys[] = {
    {'\x7f', 0x0E},  // Backspace
    {'\b', 0x0E},    // Backspace (^H)
    {'\t', 0x0F},    // Tab
    {'\r', 0x1C},    // Enter
};

struct LetterKey {
    char final;
    unsigned char scan;
};

// Keys whose CSI or SS3 sequence ends in a letter (modifier parameters ignored).
constexpr LetterKey kLetterKeys[] = {
    {'A', 72},  // Up
    {'B', 80},  // Down
    {'C', 77},  // Right
    {'D', 75},  // Left
    {'H', 71},  // Home
    {'F', 79},  // End
    {'P', 59},  // F1
    {'Q', 60},  // F2
    {'R', 61},  // F3
    {'S', 62},  // F4
};

struct TildeKey {
    int number;
    unsigned char scan;
};

// Keys sent as CSI number "~" (modifier parameters after the number ignored).
constexpr TildeKey kTildeKeys[] = {
    {1, 71},   // Home
    {2, 82},   // Insert
    {3, 83},   // Delete
    {4, 79},   // End
    {5, 73},   // Page Up
    {6, 81},   // Page Down
    {7, 71},   // Home (rxvt)
    {8, 79},   // End (rxvt)
    {11, 59},  // F1
    {12, 60},  // F2
    {13, 61},  // F3
    {14, 62},  // F4
    {15, 63},  // F5
    {17, 64},  // F6
    {18, 65},  // F7
    {19, 66},  // F8
    {20, 67},  // F9
    {21, 68},  // F10
    {23, 87},  // F11
    {24, 88},  // F12
};

constexpr unsigned char kLinuxConsoleF1 = 59;  // ESC [ [ A to E: F1 to F5

bool IsParameter(unsigned char c) {
    return c >= 0x30 && c <= 0x3F;
}
bool IsIntermediate(unsigned char c) {
    return c >= 0x20 && c <= 0x2F;
}
bool IsFinal(unsigned char c) {
    return c >= 0x40 && c <= 0x7E;
}

InputItem Key(std::string bytes) {
    return InputItem{std::move(bytes), 0, 0};
}

InputItem Extended(unsigned char scan) {
    return Key(std::string{'\0', static_cast<char>(scan)});
}

InputItem MouseRecord(char code, int buttons, int column, int row) {
    return InputItem{std::string{'\xff', '\xff', code, static_cast<char>(buttons)}, column, row};
}

bool IsMove(const InputItem& item) {
    return item.bytes.size() == 4 && item.bytes[0] == '\xff' && item.bytes[2] == kMouseMove;
}

std::optional<InputItem> AltKey(char key) {
    for (const KeyRow& row : kKeyRows) {
        for (int i = 0; row.plain[i] != '\0'; ++i) {
            if (row.plain[i] == key || row.shifted[i] == key) return Extended(row.firstScan + i);
        }
    }
    for (const ControlKey& control : kAltControlKeys) {
        if (control.byte == key) return Extended(control.scan);
    }
    return std::nullopt;
}

// The number a parameter string starts with ("3" of "3;5~"); -1 when there is none.
int FirstNumber(std::string_view parameters) {
    int value = -1;
    const auto result =
        std::from_chars(parameters.data(), parameters.data() + parameters.size(), value);
    return result.ec == std::errc() ? value : -1;
}

// "b;x;y" exactly.
bool ThreeNumbers(std::string_view text, int (&values)[3]) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (p == end || *p != ';') return false;
            ++p;
        }
        const auto result = std::from_chars(p, end, values[i]);
        if (result.ec != std::errc()) return false;
        p = result.ptr;
    }
    return p == end;
}

std::optional<InputItem> LetterKeyItem(char final) {
    for (const LetterKey& key : kLetterKeys) {
        if (key.final == final) return Extended(key.scan);
    }
    return std::nullopt;
}

}  // namespace

void InputDecoder::Feed(std::string_view bytes, uint32_t nowMs) {
    if (!bytes.empty()) {
        pending_.append(bytes);
        pendingSince_ = nowMs;
    }
    const uint32_t idle = bytes.empty() ? nowMs - pendingSince_ : 0;
    if ((inString_ || sequenceRest_ != 0) && idle >= kStringWait) {
        // Its end was lost on the way.
        inString_ = false;
        sequenceRest_ = 0;
        pending_.clear();
    }
    size_t done = 0;
    while (done < pending_.size()) {
        const std::string_view rest = std::string_view(pending_).substr(done);
        if (inString_) {
            done += SkipString(rest);
            if (inString_ && done < pending_.size()) break;
            continue;
        }
        if (sequenceRest_ != 0) {
            size_t i = 0;
            for (; i < rest.size(); ++i) {
                if (IsParameter(rest[i]) && sequenceRest_ != 2) continue;
                if (!IsIntermediate(rest[i]) || sequenceRest_ == 3) break;
                sequenceRest_ = 2;
            }
            done += i;
            if (i == rest.size()) break;
            if (IsFinal(rest[i])) ++done;  // any other byte counts on its own
            sequenceRest_ = 0;
            continue;
        }
        Token token = Parse(rest, nowMs);
        if (token.used == 0) {
            // Only an ESC may be a key by itself; the rest of a C1 sequence or a character
            // may come later.
            if (idle < (rest[0] == kEsc ? kEscWait : kStringWait)) break;
            token = Expire(rest);
        }
        done += token.used;
        if (token.opensString) {
            inString_ = true;
            eightBitString_ = token.eightBit;
        }
        sequenceRest_ = token.overlong;
        if (token.item) Push(std::move(*token.item));
    }
    pending_.erase(0, done);
}

size_t InputDecoder::SkipString(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == kBel || c == kCan || c == kSub ||
            (eightBitString_ && static_cast<unsigned char>(c) == kC1St)) {
            inString_ = false;
            return i + 1;
        }
        if (c == kEsc) {
            if (i + 1 == bytes.size()) return i;
            inString_ = false;
            return bytes[i + 1] == '\\' ? i + 2 : i;
        }
    }
    return bytes.size();
}

std::optional<InputItem> InputDecoder::Next() {
    if (items_.empty()) return std::nullopt;
    InputItem item = std::move(items_.front());
    items_.pop_front();
    return item;
}

void InputDecoder::Push(InputItem item) {
    // Only the last of several moves in a row matters: the player takes one item per poll.
    if (IsMove(item) && !items_.empty() && IsMove(items_.back())) {
        items_.back() = std::move(item);
    } else {
        items_.push_back(std::move(item));
    }
}

InputDecoder::Token InputDecoder::Parse(std::string_view bytes, uint32_t nowMs) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead == kEsc) return ParseEscape(bytes, nowMs);
    if (lead == 0x7F || lead == '\b') return {1, Key("\b")};
    if (lead == 0) return {1, std::nullopt};
    if (lead < 0x80) return {1, Key(std::string(1, bytes[0]))};
    if (lead <= kLastC1) return ParseC1(bytes, lead, 1, nowMs);
    // A character in UTF-8: its bytes are checked here, its value converted by the one
    // converter of names, which gives one byte for a valid character.
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0) return {1, std::nullopt};
    for (size_t i = 1; i < length; ++i) {
        if (i == bytes.size()) return {};
        const auto next = static_cast<unsigned char>(bytes[i]);
        if (next < 0x80 || next > 0xBF) return {i, std::nullopt};
    }
    const auto second = static_cast<unsigned char>(bytes[1]);
    if (lead == 0xC2 && second <= kLastC1) {
        // A C1 control as a character: as the control itself, never a "?" typed.
        Token token = ParseC1(bytes, second, 2, nowMs);
        token.eightBit = false;
        return token;
    }
    std::string ansi = Utf8ToWindows1252(bytes.substr(0, length));
    if (ansi.size() != 1) return {length, std::nullopt};  // overlong or a surrogate
    return {length, Key(std::move(ansi))};
}

InputDecoder::Token InputDecoder::ParseEscape(std::string_view bytes, uint32_t nowMs) {
    if (bytes.size() < 2) return {};
    const char next = bytes[1];
    if (next == '[') return ParseCsi(bytes, 2, true, nowMs);
    for (const StringIntroducer& introducer : kStringIntroducers) {
        if (next == introducer.escFinal) return {2, std::nullopt, true};
    }
    if (next == '\\') return {2, std::nullopt};  // the end of a string whose start was lost
    if (next == 'O') {
        // SS3: F1 to F4, and the cursor keys in application mode; modifier digits allowed.
        size_t i = 2;
        while (i < bytes.size() && i < kMaxSequence && IsParameter(bytes[i])) ++i;
        if (i == bytes.size()) return {};
        if (IsParameter(bytes[i])) return {i, std::nullopt, false, false, 3};
        if (!IsFinal(bytes[i])) return {i, std::nullopt};
        return {i + 1, LetterKeyItem(bytes[i])};
    }
    if (next == kEsc) {
        // ESC before a sequence: the key with Alt, which gives the same item.
        if (bytes.size() < 3) return {};
        if (bytes[2] == '[' || bytes[2] == 'O') {
            // A mouse report has no Alt: the ESC before it is the Esc key.
            if (bytes[2] == '[' && bytes.size() > 3 && bytes[3] == '<') {
                return {1, Key(std::string(1, kEsc))};
            }
            Token token = ParseEscape(bytes.substr(1), nowMs);
            if (token.used > 0) ++token.used;
            return token;
        }
        return {1, Key(std::string(1, kEsc))};
    }
    if (static_cast<unsigned char>(next) >= 0x80) {
        // Alt + a character the US layout has no key for: nothing, the character included.
        const Token character = Parse(bytes.substr(1), nowMs);
        if (character.used == 0) return {};
        return {character.used + 1, std::nullopt, character.opensString, character.eightBit,
                character.overlong};
    }
    return {2, AltKey(next)};
}

InputDecoder::Token InputDecoder::ParseCsi(std::string_view bytes, size_t start, bool decode,
                                           uint32_t nowMs) {
    if (bytes.size() <= start) return {};
    if (bytes[start] == '[') {
        // The Linux console's F1 to F5.
        if (bytes.size() <= start + 1) return {};
        const char key = bytes[start + 1];
        if (decode && key >= 'A' && key <= 'E') {
            return {start + 2, Extended(kLinuxConsoleF1 + (key - 'A'))};
        }
        return {start + 2, std::nullopt};
    }
    size_t i = start;
    while (i < bytes.size() && IsParameter(bytes[i])) ++i;
    const std::string_view parameters = bytes.substr(start, i - start);
    const size_t intermediates = i;
    while (i < bytes.size() && IsIntermediate(bytes[i])) ++i;
    if (i == bytes.size()) {
        if (i <= kMaxSequence) return {};
        return {i, std::nullopt, false, false, i > intermediates ? 2 : 1};
    }
    const char final = bytes[i];
    // A byte that cannot stand in a sequence breaks it off; that byte counts on its own.
    if (!IsFinal(final)) return {i, std::nullopt};
    const Token dropped{i + 1, std::nullopt};
    if (i != intermediates || !decode || i > kMaxSequence) return dropped;
    if (!parameters.empty() && parameters[0] == '<') {
        if (final != 'M' && final != 'm') return dropped;
        return {i + 1, Mouse(parameters.substr(1), final == 'm', nowMs)};
    }
    // Other private parameters are replies to queries nobody asked here.
    if (!parameters.empty() && parameters[0] >= '<') return dropped;
    if (final == '~') {
        const int number = FirstNumber(parameters);
        for (const TildeKey& key : kTildeKeys) {
            if (key.number == number) return {i + 1, Extended(key.scan)};
        }
        return dropped;
    }
    if (final == 'Z') return {i + 1, Key("\t")};  // Shift + Tab types a tab on Windows
    return {i + 1, LetterKeyItem(final)};
}

InputDecoder::Token InputDecoder::ParseC1(std::string_view bytes, unsigned char code, size_t length,
                                          uint32_t nowMs) {
    // A terminal sends these only when asked to (8-bit controls), which the player never
    // does: whatever they carry is someone else's.
    if (code == kC1Csi) return ParseCsi(bytes, length, false, nowMs);
    if (code == kC1Ss2 || code == kC1Ss3) {
        return bytes.size() > length ? Token{length + 1, std::nullopt} : Token{};
    }
    for (const StringIntroducer& introducer : kStringIntroducers) {
        if (code == introducer.c1) return {length, std::nullopt, true, true};
    }
    return {length, std::nullopt};
}

std::optional<InputItem> InputDecoder::Mouse(std::string_view parameters, bool released,
                                             uint32_t nowMs) {
    int values[3];
    if (!ThreeNumbers(parameters, values)) return std::nullopt;
    const int report = values[0];
    const int column = values[1];
    const int row = values[2];
    if (report < 0 || column < 1 || row < 1 || (report & kReportWheelOrMore) != 0) {
        return std::nullopt;
    }
    const int button = kButtonBits[report & 3];
    if ((report & kReportMotion) != 0) {
        held_ = button == 0 ? 0 : held_ | button;
        return MouseRecord(kMouseMove, held_, column, row);
    }
    if (button == 0) return std::nullopt;
    if (released) {
        held_ &= ~button;
        return MouseRecord(kMouseReleased, button, column, row);
    }
    held_ |= button;
    // As Windows reports it: the second press takes the place of a press.
    if (lastPress_.button == button && lastPress_.column == column && lastPress_.row == row &&
        nowMs - lastPress_.at < kDoubleClickTime) {
        lastPress_ = Press{};
        return MouseRecord(kMouseDoubleClick, held_, column, row);
    }
    lastPress_ = Press{button, column, row, nowMs};
    return MouseRecord(kMousePressed, button, column, row);
}

InputDecoder::Token InputDecoder::Expire(std::string_view bytes) const {
    if (bytes[0] == kEsc && (bytes.size() == 1 || bytes[1] == kEsc)) {
        return {1, Key(std::string(1, kEsc))};
    }
    // "ESC [" and "ESC O" that went no further were Alt + [ and Alt + O.
    if (bytes.size() == 2 && bytes[0] == kEsc) return {2, AltKey(bytes[1])};
    return {bytes.size(), std::nullopt};
}

}  // namespace varlo
