// The bytes a terminal sends for keys and the mouse, turned into the raw input items of the
// Windows console: characters as Windows-1252 bytes, keys without a character as character 0
// and the PC scan code, the mouse as the 4-byte record with column and row (xterm's SGR mouse
// reports). No I/O: the caller feeds what it read and the time it read it.
//
// The terminal sends Esc as the one byte that also starts every sequence. A lone ESC is
// therefore Esc only once a poll at least kEscWait after it found no byte to follow; what
// arrives with it or before such a poll continues it (a sequence split over two reads, or
// Alt + a key). Sequences that mean nothing here are dropped whole, never typed as keys.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace varlo {

class InputDecoder {
  public:
    static constexpr uint32_t kEscWait = 50;           // ms
    static constexpr uint32_t kDoubleClickTime = 500;  // ms from one press to the next

    // Decodes the bytes read at nowMs (TickCount); none for a read that found nothing.
    void Feed(std::string_view bytes, uint32_t nowMs);
    // The oldest item decoded and not yet taken.
    std::optional<InputItem> Next();

  private:
    struct Token {
        size_t used = 0;  // bytes taken; 0: the sequence is not complete yet
        std::optional<InputItem> item;
    };
    Token Parse(std::string_view bytes, uint32_t nowMs);
    Token ParseEscape(std::string_view bytes, uint32_t nowMs);
    Token ParseCsi(std::string_view bytes, uint32_t nowMs);
    std::optional<InputItem> Mouse(std::string_view parameters, bool released, uint32_t nowMs);
    // An incomplete sequence that waited long enough: what it stands for by itself.
    Token Expire(std::string_view bytes) const;
    void Push(InputItem item);

    std::string pending_;  // bytes of an incomplete sequence or character
    uint32_t pendingSince_ = 0;
    std::deque<InputItem> items_;
    int held_ = 0;  // button bits held down: 1 left, 2 right, 4 middle
    struct Press {
        int button = 0;  // 0: no press to pair with
        int column = 0, row = 0;
        uint32_t at = 0;
    } lastPress_;
};

}  // namespace varlo
