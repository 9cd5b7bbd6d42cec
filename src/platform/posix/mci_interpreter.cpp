#include "platform/posix/mci_interpreter.h"

#include <algorithm>
#include <cstring>
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

// The words of a command; a word in double quotes may hold blanks (the open command's path).
// An unclosed quote runs to the end.
std::vector<std::string> Words(const std::string& command) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < command.size()) {
        if (command[i] == ' ' || command[i] == '\t') {
            ++i;
            continue;
        }
        if (command[i] == '"') {
            const size_t close = command.find('"', i + 1);
            const size_t end = close == std::string::npos ? command.size() : close;
            words.push_back(command.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        size_t end = i;
        while (end < command.size() && command[end] != ' ' && command[end] != '\t') ++end;
        words.push_back(command.substr(i, end - i));
        i = end;
    }
    return words;
}

// An open command's quotes: none, or two around its path, the second before a blank or the
// end. A quote anywhere else could end the path early and make the rest of a name keywords
// (no Windows name holds one).
bool QuotesAroundPathOnly(const std::string& command) {
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

// An unsigned 32-bit number in decimal: digits only.
bool ReadNumber(const std::string& word, uint32_t* value) {
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

void Reply(char* reply, uint32_t replyLength, const std::string& text) {
    if (!reply || replyLength == 0) return;
    const size_t length = std::min<size_t>(text.size(), replyLength - 1);
    std::memcpy(reply, text.data(), length);
    reply[length] = '\0';
}

// The words after the alias, upper-cased, equal to one of the forms given.
bool Is(const std::vector<std::string>& words, std::initializer_list<const char*> form) {
    if (words.size() != form.size() + 2) return false;
    size_t i = 2;
    for (const char* expected : form) {
        if (Upper(words[i++]) != expected) return false;
    }
    return true;
}

}  // namespace

MciInterpreter::MciInterpreter(MediaEngine& engine, PathResolver resolve)
    : engine_(engine), resolve_(std::move(resolve)) {}

uint32_t MciInterpreter::Send(const std::string& command, char* reply, uint32_t replyLength) {
    Reply(reply, replyLength, "");
    const std::vector<std::string> words = Words(command);
    if (words.empty()) return kMciUnrecognizedCommand;
    const std::string verb = Upper(words[0]);

    if (verb == "OPEN") {
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

    static const char* const kVerbs[] = {"SET",  "SETAUDIO", "PLAY",   "RESUME",
                                         "STOP", "SEEK",     "STATUS", "CLOSE"};
    bool known = false;
    for (const char* v : kVerbs) known = known || verb == v;
    if (!known) return kMciUnrecognizedCommand;
    if (words.size() < 2) return kMciMissingParameter;
    const std::string alias = Upper(words[1]);
    const auto found = streams_.find(alias);
    if (found == streams_.end()) return kMciInvalidDeviceName;
    MediaStream& stream = *found->second;

    if (verb == "SET") {
        if (Is(words, {"TIME", "FORMAT", "MS"}) || Is(words, {"TIME", "FORMAT", "MILLISECONDS"})) {
            return kMciOk;
        }
        if (words.size() == 5 && Upper(words[2]) == "TIME" && Upper(words[3]) == "FORMAT") {
            return kMciBadTimeFormat;
        }
        return words.size() == 2 ? kMciMissingParameter : kMciUnrecognizedKeyword;
    }
    if (verb == "SETAUDIO") {
        // setaudio <alias> volume to <0..1000>
        if (words.size() != 5 || Upper(words[2]) != "VOLUME" || Upper(words[3]) != "TO") {
            return words.size() == 2 ? kMciMissingParameter : kMciUnrecognizedKeyword;
        }
        uint32_t volume = 0;
        if (!ReadNumber(words[4], &volume)) return kMciBadInteger;
        if (volume > kFullVolume) return kMciOutOfRange;
        if (!stream.SetVolume(static_cast<double>(volume) / kFullVolume)) return kMciInternal;
        volumes_[alias] = volume;
        return kMciOk;
    }
    if (verb == "PLAY" || verb == "RESUME") {
        if (words.size() != 2) return kMciUnrecognizedKeyword;
        return stream.Play() ? kMciOk : kMciInternal;
    }
    if (verb == "STOP") {
        if (words.size() != 2) return kMciUnrecognizedKeyword;
        return stream.Stop() ? kMciOk : kMciInternal;
    }
    if (verb == "SEEK") {
        // seek <alias> to start | to <ms>: the device is stopped there.
        if (words.size() == 2 || (words.size() == 3 && Upper(words[2]) == "TO")) {
            return kMciMissingParameter;
        }
        if (words.size() != 4 || Upper(words[2]) != "TO") return kMciUnrecognizedKeyword;
        uint32_t position = 0;
        if (Upper(words[3]) != "START") {
            if (!ReadNumber(words[3], &position)) return kMciBadInteger;
            const std::optional<uint32_t> length = stream.Length();
            if (length && position > *length) return kMciOutOfRange;
        }
        if (!stream.Stop()) return kMciInternal;
        return stream.Seek(position) ? kMciOk : kMciInternal;
    }
    if (verb == "STATUS") {
        if (words.size() == 2) return kMciMissingParameter;
        std::optional<uint32_t> value;
        if (Is(words, {"LENGTH"})) {
            value = stream.Length();
        } else if (Is(words, {"POSITION"})) {
            value = stream.Position();
        } else if (Is(words, {"VOLUME"})) {
            value = volumes_[alias];
        } else {
            return kMciUnrecognizedKeyword;
        }
        if (!value) return kMciInternal;
        Reply(reply, replyLength, std::to_string(*value));
        return kMciOk;
    }
    // CLOSE
    if (words.size() != 2) return kMciUnrecognizedKeyword;
    streams_.erase(found);
    volumes_.erase(alias);
    return kMciOk;
}

}  // namespace varlo
