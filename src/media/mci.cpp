#include "media/mci.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace varlo {

namespace {

constexpr uint32_t kReplyLength = 16;
constexpr size_t kAliasDigits = 8;
constexpr size_t kLongestItem = 12;  // "right volume"

// An alias as eight upper-case hexadecimal digits ("%08X"), by hand: two go into every
// pass's status queries, where printf's cost stood out. Returns the end.
char* AliasDigits(uint32_t alias, char* out) {
    for (size_t i = kAliasDigits; i-- > 0; alias >>= 4) out[i] = "0123456789ABCDEF"[alias & 0xF];
    return out + kAliasDigits;
}
constexpr size_t kShortPathBuffer = 255;

uint32_t Send(Platform& p, const std::string& command) {
    return p.MciSendString(command, nullptr, 0);
}

// One status query, "status <alias> <item>": the reply buffer is cleared, read up to its
// first zero character. Two go out in every pass: the command is put together in place.
uint32_t Query(Platform& p, uint32_t alias, std::string_view item) {
    constexpr std::string_view kVerb = "status ";
    char command[kVerb.size() + kAliasDigits + 1 + kLongestItem];
    char* end = std::copy(kVerb.begin(), kVerb.end(), command);
    end = AliasDigits(alias, end);
    *end++ = ' ';
    end = std::copy(item.begin(), item.begin() + std::min(item.size(), kLongestItem), end);
    char reply[kReplyLength] = {};
    if (p.MciSendString(std::string_view(command, static_cast<size_t>(end - command)), reply,
                        kReplyLength) != 0) {
        return 0;
    }
    return ReplyNumber(std::string(reply, strnlen(reply, kReplyLength)));
}

std::string Number(uint32_t value) {
    return std::to_string(value);
}

// The path as it goes into the open command. A path that still holds a blank (8.3 names
// switched off on the volume, so the short form is the long path) or a tab (a folder's name
// on a POSIX disk) is put in double quotes: unquoted, MCI would cut it there and every
// "Title - Interpreter" name would fail.
std::string OpenPath(const std::string& shortPath) {
    if (shortPath.find_first_of(" \t") == std::string::npos) return shortPath;
    return "\"" + shortPath + "\"";
}

}  // namespace

std::string AliasText(uint32_t alias) {
    std::string text(kAliasDigits, '0');
    AliasDigits(alias, text.data());
    return text;
}

uint32_t ReplyNumber(const std::string& reply) {
    size_t i = 0;
    while (i < reply.size() && (reply[i] == ' ' || reply[i] == '\t' || reply[i] == '\n')) ++i;
    // The decimal number at the front: sign, digits, fraction, exponent. Anything else
    // (hexadecimal, "inf", words) is not a number here.
    const size_t start = i;
    auto digits = [&] {
        const size_t from = i;
        while (i < reply.size() && std::isdigit(static_cast<unsigned char>(reply[i]))) ++i;
        return i - from;
    };
    if (i < reply.size() && (reply[i] == '+' || reply[i] == '-')) ++i;
    size_t mantissa = digits();
    // The answer of every pass, digits alone, is read without the floating-point path, which
    // reads up to 15 digits exactly as well.
    if (mantissa > 0 && mantissa <= 15 && i - start == mantissa &&
        (i == reply.size() || (reply[i] != '.' && reply[i] != 'e' && reply[i] != 'E'))) {
        uint64_t whole = 0;
        for (size_t d = start; d < i; ++d)
            whole = whole * 10 + static_cast<uint64_t>(reply[d] - '0');
        return static_cast<uint32_t>(whole);
    }
    if (i < reply.size() && reply[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return 0;
    size_t end = i;
    if (i < reply.size() && (reply[i] == 'e' || reply[i] == 'E')) {
        ++i;
        if (i < reply.size() && (reply[i] == '+' || reply[i] == '-')) ++i;
        if (digits() > 0) end = i;
    }
    const double value = std::strtod(reply.substr(start, end - start).c_str(), nullptr);
    if (!std::isfinite(value)) return 0;
    // Nearest whole number, low 32 bits (two's complement for a negative reply).
    const double rounded = std::nearbyint(std::fmod(value, 4294967296.0));
    return static_cast<uint32_t>(static_cast<int64_t>(rounded));
}

uint32_t MciOpen(Platform& p, const std::string& path) {
    std::string shortPath;
    if (p.ShortPathName(path, shortPath) == 0) return 0;
    if (shortPath.size() > kShortPathBuffer) shortPath.resize(kShortPathBuffer);
    const uint32_t alias = p.TickCount();
    const std::string name = AliasText(alias);
    const uint32_t result =
        Send(p, "open " + OpenPath(shortPath) + " type MPEGVideo alias " + name);
    Send(p, "set " + name + " time format ms");
    return result == 0 ? alias : 0;
}

uint32_t MciPlay(Platform& p, uint32_t alias) {
    return Send(p, "play " + AliasText(alias));
}

uint32_t MciRewind(Platform& p, uint32_t alias) {
    Send(p, "stop " + AliasText(alias));
    return Send(p, "seek " + AliasText(alias) + " to start");
}

uint32_t MciStop(Platform& p, uint32_t alias) {
    return Send(p, "stop " + AliasText(alias));
}

uint32_t MciResume(Platform& p, uint32_t alias) {
    return Send(p, "resume " + AliasText(alias));
}

uint32_t MciClose(Platform& p, uint32_t& alias) {
    const uint32_t result = Send(p, "close " + AliasText(alias));
    alias = 0;
    return result;
}

uint32_t MciSeek(Platform& p, uint32_t alias, uint32_t position) {
    return Send(p, "seek " + AliasText(alias) + " to " + Number(position));
}

uint32_t MciSetVolume(Platform& p, uint32_t alias, uint32_t volume) {
    return Send(p, "setaudio " + AliasText(alias) + " volume to " + Number(volume));
}

uint32_t MciSetLeftVolume(Platform& p, uint32_t alias, uint32_t volume) {
    return Send(p, "setaudio " + AliasText(alias) + " left volume to " + Number(volume));
}

uint32_t MciSetRightVolume(Platform& p, uint32_t alias, uint32_t volume) {
    return Send(p, "setaudio " + AliasText(alias) + " right volume to " + Number(volume));
}

uint32_t MciLength(Platform& p, uint32_t alias) {
    return Query(p, alias, "length");
}

uint32_t MciPosition(Platform& p, uint32_t alias) {
    return Query(p, alias, "position");
}

uint32_t MciVolume(Platform& p, uint32_t alias) {
    return Query(p, alias, "volume");
}

uint32_t MciLeftVolume(Platform& p, uint32_t alias) {
    return Query(p, alias, "left volume");
}

uint32_t MciRightVolume(Platform& p, uint32_t alias) {
    return Query(p, alias, "right volume");
}

uint32_t WaveOutDeviceCount(Platform& p) {
    return p.WaveOutDeviceCount();
}

}  // namespace varlo
