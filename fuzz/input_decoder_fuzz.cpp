// The terminal's input decoder: any bytes, split anywhere; the first byte steers the cuts.
#include <string>
#include <tuple>
#include <vector>

#include "check.h"
#include "platform/posix/files/drive_view.h"
#include "platform/posix/terminal/input_decoder.h"

using namespace varlo;
using Items = std::vector<std::tuple<std::string, int, int>>;

// The items of pieces read at one moment, then of a poll long after; the state stays small.
static Items Decode(std::string_view bytes, size_t piece) {
    varlo::InputDecoder decoder;
    Items items;
    for (size_t at = 0;; at += piece) {
        const bool end = at >= bytes.size();
        decoder.Feed(end ? "" : bytes.substr(at, piece), end ? 2000 : 1000);
        FUZZ_CHECK(decoder.PendingBytes() < 128);
        if (!end) continue;
        // Taken at the end: moves in a row waiting to be taken are one move.
        while (auto item = decoder.Next()) items.emplace_back(item->bytes, item->column, item->row);
        return items;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Items whole = Decode(bytes, bytes.size() + 1);
    FUZZ_CHECK(Decode(bytes, data[0] % 7 + 1) == whole);
    // A byte that cannot begin a character is dropped alone: what follows counts as it is.
    const int lead = data[0] < 0x80 ? 0xA0 + data[0] % 0x22 : 0xF5 + data[0] % 11;
    FUZZ_CHECK(Decode(static_cast<char>(lead) + bytes, size + 1) == whole);
    // Typed text: every character of Windows-1252 but the controls comes back as its byte.
    std::string utf8, body, body8;
    Items typed;
    for (char c : bytes) {
        const std::string character = Windows1252ToUtf8(std::string(1, c));
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F &&
            (character[0] != '\xC2' || static_cast<unsigned char>(character[1]) > 0x9F)) {
            utf8 += character, typed.emplace_back(std::string(1, c), 0, 0);
        }
        if (c == '\a' || c == '\x1b' || c == '\x18' || c == '\x1a') continue;
        body += c, body8 += c == '\x9c' ? "" : std::string(1, c);
    }
    FUZZ_CHECK(Decode(utf8, data[0] % 5 + 1) == typed);
    // A terminal's string types nothing, whatever it holds, in every form; then keys again.
    const Items a{{"a", 0, 0}};
    FUZZ_CHECK(Decode("\x1b]" + body + "\x1b\\a", data[0] % 3 + 1) == a);
    FUZZ_CHECK(Decode("\x1bP" + body + "\aa", size + 9) == a);
    FUZZ_CHECK(Decode("\x90" + body8 +
                          "\x9c"
                          "a",
                      data[0] % 4 + 1) == a);
    return 0;
}
