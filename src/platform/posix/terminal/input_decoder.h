// The bytes a terminal sends for keys and the mouse, turned into the raw input items of the
// Windows console: characters as Windows-1252 bytes, keys without a character as character 0
// and the PC scan code, the mouse as the 4-byte record with column and row (xterm's SGR mouse
// reports). No I/O: the caller feeds what it read and the time it read it.
//
// The terminal sends Esc as the one byte that also starts every sequence. A lone ESC is
// therefore Esc only once a poll at least kEscWait after it found no byte to follow; what
// arrives with it or before such a poll continues it (a sequence split over two reads, or
// Alt + a key). Sequences that mean nothing here are dropped whole, never typed as keys: so
// are the terminal's strings (OSC, DCS, APC, PM, SOS: replies to queries of other programs,
// arriving late), up to their end (BEL, ESC \, an ESC that starts something else, CAN or
// SUB) however they are split, and the 8-bit controls (C1, raw or as UTF-8 characters). A
// string's text is never kept, so no length is too long; one whose end never comes ends
// once the input stood still for kStringWait, as does a C1 sequence or a character whose
// rest never comes. A sequence longer than any key's is dropped whole, its final byte
// included, however it is split.
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
    static constexpr uint32_t kStringWait = 500;       // ms

    // Decodes the bytes read at nowMs (TickCount); none for a read that found nothing.
    void Feed(std::string_view bytes, uint32_t nowMs);
    // The oldest item decoded and not yet taken.
    std::optional<InputItem> Next();
    // The bytes held of an incomplete sequence or character: a few dozen at most, whatever
    // was fed.
    size_t PendingBytes() const { return pending_.size(); }

  private:
    struct Token {
        size_t used = 0;  // bytes taken; 0: the sequence is not complete yet
        std::optional<InputItem> item;
        bool opensString = false;
        bool eightBit = false;  // the string's introducer was a raw C1 byte
        int overlong = 0;       // a sequence too long to keep: the part its rest is dropped from
    };
    Token Parse(std::string_view bytes, uint32_t nowMs);
    Token ParseEscape(std::string_view bytes, uint32_t nowMs);
    // start: the index of the byte after the introducer (ESC [, or CSI as C1); without
    // decode the sequence is only measured, to be dropped.
    Token ParseCsi(std::string_view bytes, size_t start, bool decode, uint32_t nowMs);
    Token ParseC1(std::string_view bytes, unsigned char code, size_t length, uint32_t nowMs);
    // The bytes of an open string up to its end, or all of them; an ESC at the very end
    // stays: the byte after it tells whether it ends the string.
    size_t SkipString(std::string_view bytes);
    std::optional<InputItem> Mouse(std::string_view parameters, bool released, uint32_t nowMs);
    // An incomplete sequence that waited long enough: what it stands for by itself.
    Token Expire(std::string_view bytes) const;
    void Push(InputItem item);

    std::string pending_;  // bytes of an incomplete sequence or character
    uint32_t pendingSince_ = 0;
    bool inString_ = false;
    bool eightBitString_ = false;  // 0x9C (ST) ends it too
    // The rest of an overlong sequence, up to its final byte: 0 none, 1 parameters or
    // intermediates, 2 intermediates, 3 parameters only (SS3).
    int sequenceRest_ = 0;
    std::deque<InputItem> items_;
    int held_ = 0;  // button bits held down: 1 left, 2 right, 4 middle
    struct Press {
        int button = 0;  // 0: no press to pair with
        int column = 0, row = 0;
        uint32_t at = 0;
    } lastPress_;
};

}  // namespace varlo
