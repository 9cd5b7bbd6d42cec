#include "platform/posix/files/posix_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/code_pages.h"

namespace varlo {

namespace {

constexpr uint32_t kShortPathBuffer = 255;
constexpr uint32_t kSysGenFailure = 31;  // "a device attached to the system is not functioning"

struct ErrnoRow {
    int error;
    uint32_t code;
};

// errno values and the Windows error codes they are reported as. ENOENT and ENOTDIR depend
// on which name of the path is missing and are decided apart; anything else is a general
// failure ("Device I/O error" to the player).
constexpr ErrnoRow kErrnoCodes[] = {
    {EACCES, kSysAccessDenied},       //
    {EPERM, kSysAccessDenied},        //
    {EISDIR, kSysAccessDenied},       // a folder opened as a file
    {EROFS, kSysWriteProtect},        //
    {ETXTBSY, kSysSharingViolation},  //
    {EBUSY, kSysSharingViolation},    //
    {ENOSPC, kSysDiskFull},           //
    {EDQUOT, kSysDiskFull},           //
    {EFBIG, kSysDiskFull},            //
    {ENOMEM, kSysNotEnoughMemory},    //
    {ENAMETOOLONG, kSysInvalidName},  //
    {ELOOP, kSysPathNotFound},        // links in a circle
    {EINVAL, kSysInvalidParameter},   //
    {ENXIO, kSysNotReady},            // a device without its medium
    {ENODEV, kSysNotReady},           //
};

struct FoldRow {
    char16_t lower;
    char16_t upper;
};

// Lower-case letters of Windows-1252 outside a-z and U+00E0 to U+00FE, with their capitals.
constexpr FoldRow kFoldExtras[] = {
    {0x0161, 0x0160},  // š
    {0x0153, 0x0152},  // œ
    {0x017E, 0x017D},  // ž
    {0x00FF, 0x0178},  // ÿ
};

bool IsDirectory(const std::string& posix) {
    struct stat info;
    return stat(posix.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& posix) {
    struct stat info;
    return lstat(posix.c_str(), &info) == 0;
}

std::string Parent(const std::string& posix) {
    const size_t slash = posix.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : posix.substr(0, slash);
}

std::string LastName(const std::string& posix) {
    return posix.substr(posix.rfind('/') + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::vector<std::string> Names(const std::string& posix) {
    std::vector<std::string> names;
    size_t start = 1;
    while (start < posix.size()) {
        const size_t end = std::min(posix.find('/', start), posix.size());
        if (end > start) names.push_back(posix.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// The Windows code of a failed call on posix, errno as the call left it.
uint32_t SystemCode(int error, const std::string& posix) {
    if (error == ENOENT) return IsDirectory(Parent(posix)) ? kSysFileNotFound : kSysPathNotFound;
    if (error == ENOTDIR) return Exists(posix) ? kSysDirectory : kSysPathNotFound;
    for (const ErrnoRow& row : kErrnoCodes) {
        if (row.error == error) return row.code;
    }
    return kSysGenFailure;
}

uint32_t Attributes(const std::string& name, const struct stat& info) {
    uint32_t attributes = S_ISDIR(info.st_mode)   ? kAttrDirectory
                          : S_ISREG(info.st_mode) ? kAttrArchive
                                                  : kAttrSystem;
    if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= kAttrHidden;
    return attributes;
}

// The name as NTFS orders it: its characters in upper case.
std::u16string SortKey(const std::string& ansi) {
    std::u16string key;
    for (char byte : ansi) {
        char16_t c = Windows1252ToUnicode(static_cast<unsigned char>(byte));
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c -= 0x20;
        for (const FoldRow& row : kFoldExtras) {
            if (c == row.lower) c = row.upper;
        }
        key += c;
    }
    return key;
}

// Every entry of folder but "." and "..", sorted by name as NTFS returns them; names equal
// without case keep the order of their bytes.
std::vector<PosixFiles::Listed> ListFolder(const std::string& folder) {
    struct Keyed {
        PosixFiles::Listed listed;
        std::u16string key;
    };
    std::vector<Keyed> keyed;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return {};
    while (const dirent* found = readdir(dir.get())) {
        const std::string name = found->d_name;
        if (name == "." || name == "..") continue;
        struct stat info;
        // A link counts as what it leads to; a link to nothing as neither file nor folder.
        if (fstatat(dirfd(dir.get()), found->d_name, &info, 0) != 0 &&
            fstatat(dirfd(dir.get()), found->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // gone since readdir
        }
        const std::string ansi = Utf8ToWindows1252(name);
        keyed.push_back(Keyed{{name, FolderEntry{ansi, Attributes(name, info)}}, SortKey(ansi)});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return a.key != b.key ? a.key < b.key : a.listed.posixName < b.listed.posixName;
    });
    std::vector<PosixFiles::Listed> listed;
    listed.reserve(keyed.size());
    for (Keyed& k : keyed) listed.push_back(std::move(k.listed));
    return listed;
}

// Windows keeps a name as its own short name when it is one already: 1 to 8 plain
// characters, then a dot and 1 to 3 more, or none.
bool IsPlainShortName(const std::string& name) {
    const size_t dot = name.find('.');
    const size_t stem = std::min(dot, name.size());
    const size_t extension = dot == std::string::npos ? 1 : name.size() - dot - 1;
    if (stem == 0 || stem > 8 || extension == 0 || extension > 3) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!plain && i != dot) return false;
    }
    return true;
}

// At most limit of the letters and digits of text, in upper case: what a short name keeps.
std::string PlainPart(std::string_view text, size_t limit) {
    std::string part;
    for (char c : text) {
        if (part.size() == limit) break;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) part += c;
    }
    return part;
}

bool IsListPattern(const std::string& name) {
    return name == "*" || name == "*.*";
}

}  // namespace

std::string PosixFiles::WorkingFolder() {
    char buffer[PATH_MAX];
    if (getcwd(buffer, sizeof buffer)) lastWorkingFolder_ = buffer;
    return lastWorkingFolder_;
}

std::optional<std::string> PosixFiles::Resolve(const std::string& path) {
    const std::string current = WorkingFolder();
    const std::optional<std::string> converted = view_.ToPosix(path, current);
    if (!converted) return std::nullopt;
    const std::vector<std::string> names = Names(*converted);
    const std::vector<std::string> currentNames = Names(current);
    std::string posix = "/";
    size_t i = 0;
    // ToPosix saw the current folder through its converted names, as the player does.
    for (; i < names.size() && i < currentNames.size(); ++i) {
        if (names[i] != Windows1252ToUtf8(Utf8ToWindows1252(currentNames[i]))) break;
        posix = Join(posix, currentNames[i]);
    }
    for (; i < names.size(); ++i) {
        std::string next = Join(posix, names[i]);
        if (const auto handedOut = shortTargets_.find(next); handedOut != shortTargets_.end()) {
            next = Join(posix, handedOut->second);
        } else if (names[i].find('?') != std::string::npos && !Exists(next)) {
            const std::string ansi = Utf8ToWindows1252(names[i]);
            std::optional<std::string> found;
            for (const Listed& listed : ListFolder(posix)) {
                if (listed.entry.name != ansi) continue;
                if (!found) found = listed.posixName;
                if ((listed.entry.attributes & kAttrDirectory) != 0) {
                    found = listed.posixName;
                    break;
                }
            }
            if (found) next = Join(posix, *found);
        }
        posix = std::move(next);
    }
    return posix;
}

std::optional<std::string> PosixFiles::ToPosix(const std::string& path) {
    // A short path's folder as ShortPathName found it, "?" names included.
    return Resolve(path);
}

std::string PosixFiles::ShortName(const std::string& folder, const std::string& posixName) {
    const std::string shown = Utf8ToWindows1252(posixName);
    if (IsPlainShortName(shown) && Windows1252ToUtf8(shown) == posixName) return shown;
    const std::string path = Join(folder, posixName);
    if (const auto known = shortNames_.find(path); known != shortNames_.end()) return known->second;
    // As Windows makes them: six characters of the name, "~", a number that no other name of
    // the folder has, and three characters of the extension.
    const size_t dot = shown.rfind('.');
    std::string stem = PlainPart(shown.substr(0, dot), 6);
    if (stem.empty()) stem = "_";
    const std::string extension =
        dot == std::string::npos ? "" : PlainPart(std::string_view(shown).substr(dot + 1), 3);
    for (uint32_t number = 1;; ++number) {
        const std::string tail = "~" + std::to_string(number);
        std::string candidate = stem.substr(0, 8 - std::min<size_t>(tail.size(), 7)) + tail;
        if (!extension.empty()) candidate += "." + extension;
        const std::string taken = Join(folder, candidate);
        if (shortTargets_.count(taken) != 0 || Exists(taken)) continue;
        shortTargets_[taken] = posixName;
        shortNames_[path] = candidate;
        return candidate;
    }
}

uint32_t PosixFiles::ShortPathName(const std::string& path, std::string& shortPath) {
    if (path.empty() || path.size() >= kShortPathBuffer) return 0;
    const size_t slash = path.find_last_of("\\/");
    const std::string folderPath = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = path.substr(folderPath.size());
    // A quote in a folder would end the open command's path; no Windows name holds one.
    if (folderPath.find('"') != std::string::npos) return 0;
    const std::optional<std::string> folder =
        folderPath.empty() ? WorkingFolder() : Resolve(folderPath);
    if (!folder) return 0;
    std::string found;
    if (name.empty() || name == "." || name == "..") {
        const std::optional<std::string> posix = Resolve(path);
        if (!posix || !IsDirectory(*posix)) return 0;
        found = path;
    } else if (name.find('?') == std::string::npos &&
               Exists(Join(*folder, Windows1252ToUtf8(name)))) {
        found = folderPath + ShortName(*folder, Windows1252ToUtf8(name));
    } else {
        // A shown name: the entries that show it take their turns.
        std::vector<std::string> entries;
        for (const Listed& listed : ListFolder(*folder)) {
            if (listed.entry.name == name) entries.push_back(listed.posixName);
        }
        if (entries.empty()) return 0;
        const uint64_t turn = shortQueries_[Join(*folder, name)]++;
        found = folderPath + ShortName(*folder, entries[turn % entries.size()]);
    }
    if (found.size() >= kShortPathBuffer) return 0;
    shortPath = std::move(found);
    return static_cast<uint32_t>(shortPath.size());
}

std::vector<FolderEntry> PosixFiles::SearchFolder(const std::string& pattern) {
    std::vector<FolderEntry> entries;
    const size_t slash = pattern.find_last_of("\\/");
    const std::string last = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (!IsListPattern(last)) {
        const std::optional<std::string> posix = Resolve(pattern);
        struct stat info;
        if (posix && !pattern.empty() && stat(posix->c_str(), &info) == 0) {
            const std::string name = LastName(*posix);
            entries.push_back(FolderEntry{Utf8ToWindows1252(name), Attributes(name, info)});
        }
        return entries;
    }
    const std::string folderPath = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
    const std::optional<std::string> folder =
        folderPath.empty() ? WorkingFolder() : Resolve(folderPath);
    if (!folder || !IsDirectory(*folder)) return entries;
    if (*folder != "/") {
        entries.push_back(FolderEntry{".", kAttrDirectory});
        entries.push_back(FolderEntry{"..", kAttrDirectory});
    }
    listedFolder_ = *folder;
    listed_ = ListFolder(*folder);
    listedByName_.clear();
    attributeQueries_.clear();
    for (size_t i = 0; i < listed_.size(); ++i) {
        listedByName_[listed_[i].entry.name].push_back(i);
        entries.push_back(listed_[i].entry);
    }
    return entries;
}

std::optional<uint32_t> PosixFiles::FileAttributes(const std::string& path, uint32_t* error) {
    if (path.find_first_of("\\/") == std::string::npos && !listedFolder_.empty() &&
        listedFolder_ == WorkingFolder()) {
        if (const auto found = listedByName_.find(path); found != listedByName_.end()) {
            const std::vector<size_t>& indices = found->second;
            return listed_[indices[attributeQueries_[path]++ % indices.size()]].entry.attributes;
        }
    }
    const std::optional<std::string> posix = Resolve(path);
    struct stat info;
    uint32_t code = kSysPathNotFound;  // a drive that is not there
    if (posix) {
        if (stat(posix->c_str(), &info) == 0) return Attributes(LastName(*posix), info);
        code = SystemCode(errno, *posix);
    }
    if (error) *error = code;
    return std::nullopt;
}

std::string PosixFiles::CurrentFolder() {
    return view_.ToWindows(WorkingFolder());
}

uint32_t PosixFiles::ChangeFolder(const std::string& path) {
    const std::optional<std::string> posix = Resolve(path);
    if (!posix) return kSysPathNotFound;
    if (chdir(posix->c_str()) != 0) return SystemCode(errno, *posix);
    lastWorkingFolder_ = *posix;
    return 0;
}

uint32_t PosixFiles::WriteTextFile(const std::string& path, const std::string& bytes) {
    // The folder as any path; the new name as written, where "?" is no character of a name.
    const size_t slash = path.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name.find_first_of("?*") != std::string::npos) return kSysInvalidName;
    const std::optional<std::string> folder =
        slash == std::string::npos ? WorkingFolder() : Resolve(path.substr(0, slash + 1));
    if (!folder) return kSysPathNotFound;
    const std::string posix = Join(*folder, Windows1252ToUtf8(name));
    // Never through a link: a link planted in place of the command file would have the
    // player write over whatever it points to.
    const int file =
        open(posix.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (file < 0 && errno == ELOOP) return kSysAccessDenied;
    if (file < 0) return SystemCode(errno, posix);
    uint32_t code = 0;
    size_t done = 0;
    while (done < bytes.size() && code == 0) {
        const ssize_t written = write(file, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) code = SystemCode(errno, posix);
        if (written == 0) code = kSysHandleDiskFull;
        if (written > 0) done += static_cast<size_t>(written);
    }
    if (close(file) != 0 && code == 0) code = SystemCode(errno, posix);
    return code;
}

}  // namespace varlo
