#include "platform/posix/files/drive_view.h"

#include <algorithm>

#include "platform/code_pages.h"

namespace varlo {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpperDrive(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows compares names without case; A to Z and the Latin-1 letters are enough here.
std::string Folded(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7)) {
            c = static_cast<char>(byte - 0x20);
        }
    }
    return out;
}

// Appends the names of path to names: "." stays, ".." takes one back (never past the root).
// Windows takes "/" as a separator too; POSIX only "/", a "\" belongs to the name there.
void AddNames(std::vector<std::string>& names, std::string_view path, bool windows) {
    size_t i = 0;
    while (i <= path.size()) {
        size_t end = i;
        while (end < path.size() && path[end] != '/' && !(windows && path[end] == '\\')) ++end;
        const std::string_view name = path.substr(i, end - i);
        if (name == "..") {
            if (!names.empty()) names.pop_back();
        } else if (!name.empty() && name != ".") {
            names.emplace_back(name);
        }
        i = end + 1;
    }
}

std::vector<std::string> PosixNames(std::string_view posixPath) {
    std::vector<std::string> names;
    AddNames(names, posixPath, false);
    return names;
}

}  // namespace

DriveView::DriveView() {
    Mount("Z:\\", "/");
}

void DriveView::Mount(std::string_view windowsFolder, std::string posixFolder, bool shownBack) {
    mounts_.push_back(MountRow{Parse(windowsFolder), PosixNames(posixFolder), shownBack});
}

DriveView::WindowsPath DriveView::Parse(std::string_view path) {
    WindowsPath parsed{'Z', {}};
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
        parsed.drive = UpperDrive(path[0]);
        path.remove_prefix(2);
    }
    AddNames(parsed.names, path, true);
    return parsed;
}

std::optional<std::string> DriveView::ToPosix(std::string_view windowsPath,
                                              std::string_view currentPosix) const {
    const WindowsPath current = Parse(ToWindows(currentPosix));
    WindowsPath target = current;
    if (windowsPath.size() >= 2 && IsDriveLetter(windowsPath[0]) && windowsPath[1] == ':') {
        // "X:name" counts from X's root: there is one current folder, not one per drive.
        target = Parse(windowsPath);
    } else if (!windowsPath.empty() && IsSeparator(windowsPath[0])) {
        target.names.clear();
        AddNames(target.names, windowsPath, true);
    } else {
        AddNames(target.names, windowsPath, true);
    }
    // The mount deepest in the tree that holds the path.
    const MountRow* best = nullptr;
    for (const MountRow& mount : mounts_) {
        const auto& prefix = mount.windows.names;
        if (mount.windows.drive != target.drive || prefix.size() > target.names.size()) continue;
        if (best && best->windows.names.size() >= prefix.size()) continue;
        if (std::equal(prefix.begin(), prefix.end(), target.names.begin(),
                       [](const std::string& a, const std::string& b) {
                           return Folded(a) == Folded(b);
                       })) {
            best = &mount;
        }
    }
    if (!best) return std::nullopt;
    std::string posix;
    for (const std::string& name : best->posix) posix += "/" + name;
    for (size_t i = best->windows.names.size(); i < target.names.size(); ++i) {
        posix += "/" + Windows1252ToUtf8(target.names[i]);
    }
    return posix.empty() ? "/" : posix;
}

std::string DriveView::ToWindows(std::string_view posixPath) const {
    const std::vector<std::string> names = PosixNames(posixPath);
    const MountRow* best = nullptr;
    for (const MountRow& mount : mounts_) {
        if (!mount.shownBack || mount.posix.size() > names.size()) continue;
        if (best && best->posix.size() >= mount.posix.size()) continue;
        if (std::equal(mount.posix.begin(), mount.posix.end(), names.begin())) best = &mount;
    }
    // Z: shows "/" and is always there, so some mount holds every absolute path.
    std::string windows(1, best->windows.drive);
    windows += ":";
    for (const std::string& name : best->windows.names) windows += "\\" + name;
    for (size_t i = best->posix.size(); i < names.size(); ++i) {
        windows += "\\" + Utf8ToWindows1252(names[i]);
    }
    return windows.size() == 2 ? windows + "\\" : windows;
}

std::string Utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        size_t length = 0;
        char32_t c = 0;
        unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
        if (lead < 0x80) {
            length = 1, c = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, c = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;   // no overlong forms
            if (lead == 0xED) high = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, c = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
        }
        // An invalid sequence becomes one "?" for as much of it as could have been valid.
        size_t used = 1;
        while (length > 0 && used < length && i + used < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + used]);
            if (next < low || next > high) break;
            c = (c << 6) | (next & 0x3F);
            low = 0x80, high = 0xBF;
            ++used;
        }
        if (length == 0 || used < length) {
            out += '?';
        } else {
            out += c == '\\' ? '?' : UnicodeToWindows1252(c);
        }
        i += used;
    }
    return out;
}

std::string Windows1252ToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) AppendUtf8(out, Windows1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace varlo
