#include "fake/fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace varlo::fake {

namespace {

constexpr int kRows = 22;
constexpr int kColumns = 69;

// MCI error numbers the simulated device answers with.
constexpr uint32_t kMciInvalidDevice = 263;
constexpr uint32_t kMciUnrecognised = 274;
constexpr uint32_t kMciFileNotFound = 275;
constexpr uint32_t kMciCannotOpen = 277;
constexpr uint32_t kMciDuplicateAlias = 289;

std::vector<std::string> SplitPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    std::vector<std::string> parts;
    std::istringstream in(path);
    for (std::string part; std::getline(in, part, '\\');) parts.push_back(part);
    return parts;
}

std::string Parent(const std::string& absolute) {
    const size_t slash = absolute.rfind('\\');
    if (slash == std::string::npos || absolute.size() <= 3) return "";
    return slash == 2 ? absolute.substr(0, 3) : absolute.substr(0, slash);
}

std::string LastComponent(const std::string& absolute) {
    const size_t slash = absolute.rfind('\\');
    return slash == std::string::npos ? absolute : absolute.substr(slash + 1);
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

std::string Upper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

FakePlatform::FakePlatform() : grid_(kRows, std::vector<Cell>(kColumns)) {
    Node root;
    root.folder = true;
    root.attributes = kAttrDirectory;
    nodes_["C:\\"] = root;
    displayName_["C:\\"] = "C:\\";
}

// --- Input script. ---

void FakePlatform::Schedule(uint64_t at, InputItem item) {
    auto later = std::upper_bound(input_.begin(), input_.end(), at,
                                  [](uint64_t t, const ScheduledInput& s) { return t < s.first; });
    input_.insert(later, {at, std::move(item)});
}

void FakePlatform::KeyAt(uint64_t at, const std::string& item) {
    Schedule(at, {item, 0, 0});
}

void FakePlatform::KeysAt(uint64_t at, const std::string& keys) {
    for (char c : keys) KeyAt(at, std::string(1, c));
}

void FakePlatform::MouseAt(uint64_t at, int row, int column, int eventCode, int buttons) {
    std::string record = {'\xff', '\xff', static_cast<char>(eventCode), static_cast<char>(buttons)};
    Schedule(at, {record, column, row});
}

void FakePlatform::ClickAt(uint64_t at, int row, int column, int buttons) {
    MouseAt(at, row, column, 4, buttons);
    MouseAt(at, row, column, 8, buttons);
}

// As a console reports a double-click: press, release, the double-click, release.
void FakePlatform::DoubleClickAt(uint64_t at, int row, int column, int buttons) {
    ClickAt(at, row, column, buttons);
    MouseAt(at, row, column, 2, buttons);
    MouseAt(at, row, column, 8, buttons);
}

void FakePlatform::Script(uint64_t at, uint64_t step, const std::vector<std::string>& items) {
    for (const std::string& item : items) {
        int row = 0, column = 0;
        if (std::sscanf(item.c_str(), "@@%d,%d", &row, &column) == 2) {
            DoubleClickAt(at, row, column);
        } else if (std::sscanf(item.c_str(), "@!%d,%d", &row, &column) == 2) {
            DoubleClickAt(at, row, column, 2);
        } else if (std::sscanf(item.c_str(), "@%d,%d", &row, &column) == 2) {
            ClickAt(at, row, column);
        } else if (item.size() == 1 || (item.size() == 2 && item[0] == '\0')) {
            KeyAt(at, item);
        } else {
            KeysAt(at, item);
        }
        at += step;
    }
}

void FakePlatform::RemoteAt(uint64_t at, RemoteCommand command, int volume) {
    InputItem item;
    item.remote = command;
    item.volume = volume;
    Schedule(at, item);
}

InputItem FakePlatform::ReadInputItem() {
    if (input_.empty() || input_.front().first > now) return {};
    InputItem item = input_.front().second;
    input_.pop_front();
    return item;
}

// --- Folder tree. ---

std::string FakePlatform::Absolute(const std::string& path) const {
    std::string drive = currentFolder.substr(0, 2);
    std::string rest;
    if (path.size() >= 2 && path[1] == ':') {
        drive = path.substr(0, 2);
        rest = path.substr(2);
    } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
        rest = path;
    } else {
        rest = currentFolder.substr(2) + "\\" + path;
    }
    std::vector<std::string> kept;
    for (const auto& part : SplitPath(rest)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!kept.empty()) kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    std::string result = Upper(drive);
    if (kept.empty()) return result + "\\";
    for (const auto& part : kept) result += "\\" + part;
    return result;
}

Node* FakePlatform::Find(const std::string& path) {
    const std::string absolute = Absolute(path);
    auto it = nodes_.find(Upper(absolute));
    if (it != nodes_.end()) return &it->second;
    // An 8.3 name stands for its long name in the same folder.
    const std::string parent = Parent(absolute);
    const std::string name = Upper(LastComponent(absolute));
    for (const auto& child : Children(parent)) {
        const std::string full = parent.size() > 3 ? parent + "\\" + child : parent + child;
        Node& node = nodes_.at(Upper(full));
        if (!node.shortName.empty() && Upper(node.shortName) == name) return &node;
    }
    return nullptr;
}

void FakePlatform::AddFolder(const std::string& path, uint32_t attributes) {
    const std::string absolute = Absolute(path);
    const std::string parent = Parent(absolute);
    if (!parent.empty() && !Find(parent)) AddFolder(parent);
    const std::string key = Upper(absolute);
    if (!nodes_.count(key)) order_[Upper(parent)].push_back(LastComponent(absolute));
    Node node;
    node.folder = true;
    node.attributes = attributes | kAttrDirectory;
    nodes_[key] = node;
    displayName_[key] = absolute;
}

void FakePlatform::AddFile(const std::string& path, const std::string& content,
                           uint32_t attributes) {
    const std::string absolute = Absolute(path);
    const std::string parent = Parent(absolute);
    if (!Find(parent)) AddFolder(parent);
    const std::string key = Upper(absolute);
    if (!nodes_.count(key)) order_[Upper(parent)].push_back(LastComponent(absolute));
    Node node;
    node.attributes = attributes;
    node.content = content;
    nodes_[key] = node;
    displayName_[key] = absolute;
}

void FakePlatform::AddMedia(const std::string& path, uint32_t lengthMs, bool playable) {
    AddFile(path, "media");
    Node* node = Find(path);
    node->playable = playable;
    node->lengthMs = lengthMs;
}

void FakePlatform::Remove(const std::string& path) {
    const std::string key = Upper(Absolute(path));
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        if (it->first == key || it->first.rfind(key + "\\", 0) == 0) {
            order_.erase(it->first);
            it = nodes_.erase(it);
        } else {
            ++it;
        }
    }
    auto& siblings = order_[Upper(Parent(Absolute(path)))];
    const std::string name = Upper(LastComponent(Absolute(path)));
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [&](const std::string& s) { return Upper(s) == name; }),
                   siblings.end());
}

std::vector<std::string> FakePlatform::Children(const std::string& folder) const {
    auto it = order_.find(Upper(Absolute(folder)));
    return it == order_.end() ? std::vector<std::string>{} : it->second;
}

std::vector<FolderEntry> FakePlatform::SearchFolder(const std::string& pattern) {
    std::vector<FolderEntry> entries;
    const size_t star = pattern.find('*');
    if (star == std::string::npos) {
        if (Node* node = Find(pattern)) {
            entries.push_back({LastComponent(Absolute(pattern)), node->attributes});
        }
        return entries;
    }
    const std::string folder = Absolute(star == 0 ? std::string(".") : pattern.substr(0, star));
    Node* node = Find(folder);
    if (!node || !node->folder) return entries;
    if (folder.size() > 3) {
        entries.push_back({".", kAttrDirectory});
        entries.push_back({"..", kAttrDirectory});
    }
    for (const auto& name : Children(folder)) {
        const std::string child = folder.size() > 3 ? folder + "\\" + name : folder + name;
        entries.push_back({name, nodes_.at(Upper(child)).attributes});
    }
    return entries;
}

std::optional<uint32_t> FakePlatform::FileAttributes(const std::string& path, uint32_t* error) {
    for (const auto& [refused, code] : attributeErrors) {
        if (Upper(Absolute(refused)) != Upper(Absolute(path))) continue;
        if (error) *error = code;
        return std::nullopt;
    }
    if (Node* node = Find(path)) return node->attributes;
    if (error) *error = Find(Parent(Absolute(path))) ? kSysFileNotFound : kSysPathNotFound;
    return std::nullopt;
}

uint32_t FakePlatform::ChangeFolder(const std::string& path) {
    Node* node = Find(path);
    if (!node) return kSysFileNotFound;
    if (!node->folder) return kSysDirectory;
    currentFolder = displayName_.at(Upper(Absolute(path)));
    return 0;
}

uint32_t FakePlatform::WriteTextFile(const std::string& path, const std::string& bytes) {
    const std::string absolute = Absolute(path);
    Node* parent = Find(Parent(absolute));
    if (!parent) return kSysPathNotFound;
    if (!parent->writable) return kSysAccessDenied;
    if (Node* existing = Find(absolute); existing && existing->folder) return kSysAccessDenied;
    AddFile(absolute, bytes);
    fileWrites.emplace_back(absolute, bytes);
    return 0;
}

uint32_t FakePlatform::ShortPathName(const std::string& path, std::string& shortPath) {
    Node* node = Find(path);
    if (!node) return 0;
    if (node->shortName.empty()) {
        shortPath = path;
    } else {
        const size_t slash = path.rfind('\\');
        shortPath = (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + node->shortName;
    }
    return static_cast<uint32_t>(shortPath.size());
}

// --- Console. ---

void FakePlatform::ClearScreen() {
    for (auto& row : grid_) std::fill(row.begin(), row.end(), Cell{' ', attribute});
    cursorRow = 1;
    cursorColumn = 1;
}

void FakePlatform::SetCursor(int row, int column) {
    if (row >= 1 && row <= kRows) cursorRow = row;
    if (column >= 1 && column <= kColumns) cursorColumn = column;
}

void FakePlatform::WriteText(std::string_view bytes) {
    ++writeCount;
    if (logWrites) writes.push_back({now, cursorRow, cursorColumn, std::string(bytes)});
    for (char c : bytes) {
        grid_[cursorRow - 1][cursorColumn - 1] = Cell{static_cast<unsigned char>(c), attribute};
        if (++cursorColumn > kColumns) {
            cursorColumn = 1;
            if (cursorRow < kRows) ++cursorRow;
        }
    }
}

std::string FakePlatform::Row(int row) const {
    std::string text;
    for (const Cell& cell : grid_[row - 1]) text += static_cast<char>(cell.ch);
    return text;
}

std::vector<std::string> FakePlatform::Screen() const {
    std::vector<std::string> rows;
    for (int r = 1; r <= kRows; ++r) rows.push_back(Row(r));
    return rows;
}

std::string FakePlatform::ScreenText() const {
    std::string text;
    for (int r = 1; r <= kRows; ++r) {
        std::string row = Row(r);
        row.erase(row.find_last_not_of(' ') + 1);
        text += row + "\n";
    }
    return text;
}

// --- MCI. ---

void FakePlatform::Advance(Device& device) const {
    if (device.playing) {
        const uint64_t position = device.positionMs + (now - device.since);
        device.positionMs = static_cast<uint32_t>(std::min<uint64_t>(position, device.lengthMs));
        if (device.positionMs >= device.lengthMs) device.playing = false;
    }
    device.since = now;
}

Device* FakePlatform::Open() {
    if (devices.size() != 1) return nullptr;
    Advance(devices.begin()->second);
    return &devices.begin()->second;
}

std::string FakePlatform::MciTrace(const std::string& verbs, uint64_t from, uint64_t to) const {
    std::string out;
    uint64_t first = 0;
    for (const auto& [at, c, result] : mciLog) {
        const std::string verb = c.substr(0, c.find(' '));
        if (at < from || at >= to ||
            (" " + verbs + " ").find(" " + verb + " ") == std::string::npos) {
            continue;
        }
        std::string arg = c.find(' ') == c.rfind(' ') ? "" : c.substr(c.rfind(' '));
        if (verb == "open") {
            arg = c.substr(4, c.rfind(" type MPEGVideo") - 4);
            arg.erase(std::remove(arg.begin(), arg.end(), '"'), arg.end());
        }
        if (out.empty()) first = at;
        out += (out.empty() ? "" : "; ") + std::to_string(at - first) + " " + verb + arg;
    }
    return out;
}

std::string FakePlatform::Written(int row, int column, uint64_t from) const {
    for (const auto& w : writes) {
        if (w.at >= from && w.row == row && w.column == column) return w.bytes;
    }
    return "(none)";
}

std::string FakePlatform::NextMci() {
    if (mciRead >= mciLog.size()) return "";
    return mciLog[mciRead++].command;
}

uint32_t FakePlatform::MciSendString(std::string_view view, char* reply, uint32_t replyLength) {
    const std::string command(view);
    std::string answer;
    uint32_t result = 0;
    std::optional<uint32_t> hooked = mciHook ? mciHook(command) : std::nullopt;
    if (hooked) {
        result = *hooked;
    } else {
        result = MciDevice(command, answer);
    }
    if (reply && replyLength > 0) {
        const size_t n = std::min<size_t>(answer.size(), replyLength - 1);
        std::memcpy(reply, answer.data(), n);
        reply[n] = '\0';
    }
    const MciRecord record{now, command, result};
    ++mciCount;
    if (onMci) onMci(record);
    if (logMci) mciLog.push_back(record);
    maxOpenDevices = std::max(maxOpenDevices, devices.size());
    return result;
}

uint32_t FakePlatform::MciDevice(const std::string& command, std::string& reply) {
    if (command.rfind("open ", 0) == 0) {
        const std::string tail = " type MPEGVideo alias ";
        const size_t at = command.rfind(tail);
        if (at == std::string::npos) return kMciUnrecognised;
        std::string path = command.substr(5, at - 5);
        const std::string alias = command.substr(at + tail.size());
        if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
            path = path.substr(1, path.size() - 2);
        } else if (path.find(' ') != std::string::npos) {
            return kMciFileNotFound;  // unquoted, MCI takes the text up to the blank
        }
        if (devices.count(alias)) return kMciDuplicateAlias;
        Node* node = Find(path);
        if (!node || node->folder) return kMciFileNotFound;
        if (!node->playable) return kMciCannotOpen;
        Device device;
        device.path = Absolute(path);
        device.lengthMs = node->lengthMs;
        device.since = now;
        devices[alias] = device;
        return 0;
    }
    std::istringstream words(command);
    std::string verb, alias;
    words >> verb >> alias;
    std::string rest;
    std::getline(words, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    auto it = devices.find(alias);
    if (it == devices.end()) return kMciInvalidDevice;
    Device& device = it->second;
    Advance(device);
    auto number = [](const std::string& text,
                     const std::string& prefix) -> std::optional<uint32_t> {
        if (text.rfind(prefix + " ", 0) != 0) return std::nullopt;
        const std::string digits = text.substr(prefix.size() + 1);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        return static_cast<uint32_t>(std::stoul(digits));
    };
    // The status items and volume settings of the device, by the words that name them.
    const std::pair<const char*, uint32_t Device::*> kItems[] = {
        {"length", &Device::lengthMs},    {"position", &Device::positionMs},
        {"volume", &Device::volume},      {"left volume", &Device::left},
        {"right volume", &Device::right},
    };
    if (verb == "set" && rest == "time format ms") return 0;
    if ((verb == "play" || verb == "resume" || verb == "stop") && rest.empty()) {
        device.playing = verb != "stop" && device.positionMs < device.lengthMs;
        return 0;
    }
    if (verb == "close" && rest.empty()) return devices.erase(it), 0;
    if (verb == "seek" && (rest == "to start" || number(rest, "to"))) {
        device.positionMs = rest == "to start" ? 0 : std::min(*number(rest, "to"), device.lengthMs);
        device.playing = false;
        return 0;
    }
    for (const auto& [words, member] : kItems) {
        if (verb == "status" && rest == words) {
            if (mciStatusFails) return kMciCannotOpen;
            reply = std::to_string(device.*member);
            return 0;
        }
        if (auto value = number(rest, std::string(words) + " to"); verb == "setaudio" && value) {
            if (member != &Device::lengthMs && member != &Device::positionMs) {
                device.*member = *value;
                return 0;
            }
        }
    }
    return kMciUnrecognised;
}

// --- Time. ---

LocalTime FakePlatform::Now() {
    LocalTime t = clockBase;
    uint64_t seconds =
        now / 1000 + static_cast<uint64_t>(t.second) + 60ULL * t.minute + 3600ULL * t.hour;
    uint64_t days = seconds / 86400;
    seconds %= 86400;
    t.hour = static_cast<int>(seconds / 3600);
    t.minute = static_cast<int>(seconds / 60 % 60);
    t.second = static_cast<int>(seconds % 60);
    while (days > 0) {
        --days;
        if (++t.day > DaysInMonth(t.year, t.month)) {
            t.day = 1;
            if (++t.month > 12) {
                t.month = 1;
                ++t.year;
            }
        }
    }
    return t;
}

void FakePlatform::Sleep(uint32_t milliseconds) {
    now += milliseconds;
    while (!actions_.empty() && actions_.begin()->first <= now) {
        auto action = std::move(actions_.begin()->second);
        actions_.erase(actions_.begin());
        action();
    }
    if (now > stopAt) throw FakeStop{};
}

}  // namespace varlo::fake
