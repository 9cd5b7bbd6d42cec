#include "platform/posix/sound/mci_interpreter.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

namespace varlo {

namespace {

constexpr uint32_t kMciCannotLoadDriver = 266;
constexpr uint32_t kMciBadTimeFormat = 293;
constexpr uint32_t kFullVolume = 1000;  // MCI's volume scale: 0 silent to 1000 full

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// The word of a command that begins at or after *at, and *at moved past it; false when
// there is none. A word in double quotes may hold blanks (the open command's path); an
// unclosed quote runs to the end.
bool NextWord(std::string_view command, size_t* at, std::string_view* word) {
    size_t i = *at;
    while (i < command.size() && (command[i] == ' ' || command[i] == '\t')) ++i;
    if (i == command.size()) return false;
    if (command[i] == '"') {
        const size_t close = std::min(command.find('"', i + 1), command.size());
        *word = command.substr(i + 1, close - i - 1);
        *at = std::min(close + 1, command.size());
        return true;
    }
    size_t end = i;
    while (end < command.size() && command[end] != ' ' && command[end] != '\t') ++end;
    *word = command.substr(i, end - i);
    *at = end;
    return true;
}

// The words of a command.
std::vector<std::string> Words(std::string_view command) {
    std::vector<std::string> words;
    size_t at = 0;
    std::string_view word;
    while (NextWord(command, &at, &word)) words.emplace_back(word);
    return words;
}

// An open command's quotes: none, or two around its path, the second before a blank or the
// end. A quote anywhere else could end the path early and make the rest of a name keywords
// (no Windows name holds one).
bool QuotesAroundPathOnly(std::string_view command) {
    const size_t first = command.find('"');
    if (first == std::string::npos) return true;
    const size_t verb = command.find_first_not_of(" \t");
    if (command.find_first_not_of(" \t", command.find_first_of(" \t", verb)) != first) return false;
    const size_t second = command.find('"', first + 1);
    if (second == std::string::npos || command.find('"', second + 1) != std::string::npos) {
        return false;
    }
    return second + 1 == command.size() || command[second + 1] == ' ' ||
           command[second + 1] == '\t';
}

// The first words of a command, seen in place: every command but open (the status queries
// of every pass among them) is read without a copy. None of them has more than five words;
// a sixth stands for any number beyond.
class FirstWords {
  public:
    static constexpr size_t kLimit = 6;
    explicit FirstWords(std::string_view command) {
        size_t at = 0;
        while (size_ < kLimit && NextWord(command, &at, &words_[size_])) ++size_;
    }
    size_t size() const { return size_; }
    std::string_view operator[](size_t i) const { return words_[i]; }

  private:
    std::string_view words_[kLimit];
    size_t size_ = 0;
};

// A word equal to an upper-case keyword, whatever its case.
bool IsWord(std::string_view word, std::string_view keyword) {
    if (word.size() != keyword.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != keyword[i]) return false;
    }
    return true;
}

// An unsigned 32-bit number in decimal: digits only.
bool ReadNumber(std::string_view word, uint32_t* value) {
    if (word.empty() || word.size() > 10) return false;
    uint64_t n = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    if (n > UINT32_MAX) return false;
    *value = static_cast<uint32_t>(n);
    return true;
}

void Reply(char* reply, uint32_t replyLength, std::string_view text) {
    if (!reply || replyLength == 0) return;
    const size_t length = std::min<size_t>(text.size(), replyLength - 1);
    std::memcpy(reply, text.data(), length);
    reply[length] = '\0';
}

// The words after the alias, whatever their case, equal to the form given.
bool Is(const FirstWords& words, std::initializer_list<std::string_view> form) {
    if (words.size() != form.size() + 2) return false;
    size_t i = 2;
    for (std::string_view expected : form) {
        if (!IsWord(words[i++], expected)) return false;
    }
    return true;
}

}  // namespace

MciInterpreter::MciInterpreter(MediaEngine& engine, PathResolver resolve)
    : engine_(engine), resolve_(std::move(resolve)) {}

uint32_t MciInterpreter::Send(std::string_view command, char* reply, uint32_t replyLength) {
    Reply(reply, replyLength, "");
    const FirstWords cmd(command);
    if (cmd.size() == 0) return kMciUnrecognizedCommand;
    const std::string_view verb = cmd[0];

    if (IsWord(verb, "OPEN")) {
        const std::vector<std::string> words = Words(command);
        // open <path> type MPEGVideo alias <alias>, the two pairs in either order, each once
        if (words.size() < 2) return kMciMissingParameter;
        if (!QuotesAroundPathOnly(command)) return kMciUnrecognizedKeyword;
        std::optional<std::string> type, alias;
        for (size_t i = 2; i < words.size(); i += 2) {
            const std::string keyword = Upper(words[i]);
            if (keyword != "TYPE" && keyword != "ALIAS") return kMciUnrecognizedKeyword;
            std::optional<std::string>& value = keyword == "TYPE" ? type : alias;
            if (value) return kMciUnrecognizedKeyword;
            if (i + 1 >= words.size()) return kMciMissingStringArgument;
            value = words[i + 1];
        }
        if (!alias || alias->empty()) return kMciMissingParameter;
        if (Upper(type.value_or("")) != "MPEGVIDEO") return kMciCannotLoadDriver;
        if (streams_.count(Upper(*alias))) return kMciDuplicateAlias;
        const std::optional<std::string> path = resolve_(words[1]);
        if (!path) return kMciFileNotFound;
        uint32_t error = kMciInternal;
        std::unique_ptr<MediaStream> stream = engine_.Open(*path, &error);
        if (!stream) return error != kMciOk ? error : kMciInternal;
        stream->SetVolume(1.0);
        volumes_[Upper(*alias)] = kFullVolume;
        streams_[Upper(*alias)] = std::move(stream);
        return kMciOk;
    }

    static constexpr std::string_view kVerbs[] = {"SET",  "SETAUDIO", "PLAY",   "RESUME",
                                                  "STOP", "SEEK",     "STATUS", "CLOSE"};
    bool known = false;
    for (std::string_view v : kVerbs) known = known || IsWord(verb, v);
    if (!known) return kMciUnrecognizedCommand;
    if (cmd.size() < 2) return kMciMissingParameter;
    const std::string alias = Upper(std::string(cmd[1]));  // eight digits: no heap
    const auto found = streams_.find(alias);
    if (found == streams_.end()) return kMciInvalidDeviceName;
    MediaStream& stream = *found->second;

    if (IsWord(verb, "SET")) {
        if (Is(cmd, {"TIME", "FORMAT", "MS"}) || Is(cmd, {"TIME", "FORMAT", "MILLISECONDS"})) {
            return kMciOk;
        }
        if (cmd.size() == 5 && IsWord(cmd[2], "TIME") && IsWord(cmd[3], "FORMAT")) {
            return kMciBadTimeFormat;
        }
        return cmd.size() == 2 ? kMciMissingParameter : kMciUnrecognizedKeyword;
    }
    if (IsWord(verb, "SETAUDIO")) {
        // setaudio <alias> volume to <0..1000>
        if (cmd.size() != 5 || !IsWord(cmd[2], "VOLUME") || !IsWord(cmd[3], "TO")) {
            return cmd.size() == 2 ? kMciMissingParameter : kMciUnrecognizedKeyword;
        }
        uint32_t volume = 0;
        if (!ReadNumber(cmd[4], &volume)) return kMciBadInteger;
        if (volume > kFullVolume) return kMciOutOfRange;
        if (!stream.SetVolume(static_cast<double>(volume) / kFullVolume)) return kMciInternal;
        volumes_[alias] = volume;
        return kMciOk;
    }
    if (IsWord(verb, "PLAY") || IsWord(verb, "RESUME")) {
        if (cmd.size() != 2) return kMciUnrecognizedKeyword;
        return stream.Play() ? kMciOk : kMciInternal;
    }
    if (IsWord(verb, "STOP")) {
        if (cmd.size() != 2) return kMciUnrecognizedKeyword;
        return stream.Stop() ? kMciOk : kMciInternal;
    }
    if (IsWord(verb, "SEEK")) {
        // seek <alias> to start | to <ms>: the device is stopped there.
        if (cmd.size() == 2 || (cmd.size() == 3 && IsWord(cmd[2], "TO"))) {
            return kMciMissingParameter;
        }
        if (cmd.size() != 4 || !IsWord(cmd[2], "TO")) return kMciUnrecognizedKeyword;
        uint32_t position = 0;
        if (!IsWord(cmd[3], "START")) {
            if (!ReadNumber(cmd[3], &position)) return kMciBadInteger;
            const std::optional<uint32_t> length = stream.Length();
            if (length && position > *length) return kMciOutOfRange;
        }
        if (!stream.Stop()) return kMciInternal;
        return stream.Seek(position) ? kMciOk : kMciInternal;
    }
    if (IsWord(verb, "STATUS")) {
        if (cmd.size() == 2) return kMciMissingParameter;
        std::optional<uint32_t> value;
        if (Is(cmd, {"LENGTH"})) {
            value = stream.Length();
        } else if (Is(cmd, {"POSITION"})) {
            value = stream.Position();
        } else if (Is(cmd, {"VOLUME"})) {
            value = volumes_[alias];
        } else {
            return kMciUnrecognizedKeyword;
        }
        if (!value) return kMciInternal;
        char digits[10];
        const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, *value);
        Reply(reply, replyLength, std::string_view(digits, static_cast<size_t>(end.ptr - digits)));
        return kMciOk;
    }
    // CLOSE
    if (cmd.size() != 2) return kMciUnrecognizedKeyword;
    streams_.erase(found);
    volumes_.erase(alias);
    return kMciOk;
}

}  // namespace varlo
