// The terminal's input decoder: any bytes, split anywhere. The first byte steers: where the
// pieces are cut, and which byte that cannot begin a character is put in front.
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "check.h"
#include "platform/posix/files/drive_view.h"
#include "platform/posix/terminal/input_decoder.h"

using namespace varlo;

namespace {

using Item = std::tuple<std::string, int, int>;

// The items of pieces read at one moment, then of a poll long after.
std::vector<Item> Decode(std::string_view bytes, size_t piece) {
    InputDecoder decoder;
    std::vector<Item> items;
    auto take = [&] {
        FUZZ_CHECK(decoder.PendingBytes() < 128);
        while (auto item = decoder.Next()) items.emplace_back(item->bytes, item->column, item->row);
    };
    for (size_t at = 0; at < bytes.size(); at += piece) {
        decoder.Feed(bytes.substr(at, piece), 1000);
        take();
    }
    decoder.Feed({}, 1000 + InputDecoder::kStringWait);
    take();
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<Item> whole = Decode(bytes, bytes.size() + 1);
    FUZZ_CHECK(Decode(bytes, data[0] % 7 + 1) == whole);
    for (const auto& [key, column, row] : whole) {
        FUZZ_CHECK(key.size() == 1 || (key.size() == 2 && key[0] == '\0') ||
                   (key.size() == 4 && key[0] == '\xff' && column > 0 && row > 0));
    }

    // A byte that cannot begin a character is dropped alone: what follows it counts as it is.
    const unsigned char lead = data[0] < 0x80 ? 0xA0 + data[0] % 0x22 : 0xF5 + data[0] % 11;
    FUZZ_CHECK(Decode(std::string(1, static_cast<char>(lead)) + bytes, bytes.size() + 2) == whole);

    // Text typed: every character that Windows-1252 has comes back as its byte.
    std::string typed, utf8;
    for (char c : bytes) {
        const std::string character = Windows1252ToUtf8(std::string(1, c));
        const auto byte = static_cast<unsigned char>(c);
        // Controls, and the five undefined bytes, which stand for C1 controls, type nothing.
        if (byte < 0x20 || byte == 0x7F ||
            (character[0] == '\xc2' && static_cast<unsigned char>(character[1]) <= 0x9F)) {
            continue;
        }
        typed += c;
        utf8 += character;
    }
    std::vector<Item> keys;
    for (char c : typed) keys.emplace_back(std::string(1, c), 0, 0);
    FUZZ_CHECK(Decode(utf8, data[0] % 5 + 1) == keys);

    // A terminal's string types nothing, whatever it holds, in both forms; then keys again.
    std::string body, body8;
    for (char c : bytes) {
        if (c == '\x07' || c == '\x1b' || c == '\x18' || c == '\x1a') continue;
        body += c;
        if (c != '\x9c') body8 += c;
    }
    const std::vector<Item> a{{"a", 0, 0}};
    FUZZ_CHECK(Decode("\x1b]" + body + "\x1b\\a", data[0] % 3 + 1) == a);
    FUZZ_CHECK(Decode("\x1bP" + body +
                          "\x07"
                          "a",
                      bytes.size() + 9) == a);
    FUZZ_CHECK(Decode("\x90" + body8 +
                          "\x9c"
                          "a",
                      data[0] % 4 + 1) == a);
    return 0;
}
