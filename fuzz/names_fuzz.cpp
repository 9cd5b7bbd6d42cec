// Names: any byte strings, "/" between them, as the names of a folder and of its files. Shown
// in Windows-1252 and back, split into title and interpreter, sorted; and, for one input in
// four, made real: every name shown leads to its own file, and each short name too.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "fake/fake_platform.h"
#include "platform/posix/files/posix_files.h"
#include "playlist/sort.h"

using namespace varlo;

namespace {

void CheckShown(const std::string& name) {
    const std::string shown = Utf8ToWindows1252(name);
    // A name shown as it is converts back to itself; one that cannot shows a "?" for it.
    FUZZ_CHECK(Windows1252ToUtf8(shown) == name || shown.find('?') != std::string::npos);
    std::string ansi = name;  // the bytes as Windows-1252: there and back, "\" aside
    std::replace(ansi.begin(), ansi.end(), '\\', '?');
    FUZZ_CHECK(Utf8ToWindows1252(Windows1252ToUtf8(name)) == ansi);
    const SplitName split = SplitFileName(shown);
    const std::string base = BaseName(shown);
    if (split.hasInterpreter) {
        FUZZ_CHECK(split.title + " - " + split.interpreter == base);
        FUZZ_CHECK(!split.title.empty() && split.title.find(" - ") == std::string::npos);
    } else {
        const size_t first = base.find(" - ");
        FUZZ_CHECK(split.title == base && (first == std::string::npos || first == 0));
    }
}

void CheckFiles(const std::vector<std::string>& names) {
    static std::string root = [] {
        // In memory where there is a tmpfs: a disk's file system creates files slowly.
        char folder[] = "/dev/shm/varlo-names-XXXXXX";
        if (access("/dev/shm", W_OK) != 0) std::strcpy(folder, "/tmp/varlo-names-XXXXXX");
        return std::string(mkdtemp(folder));
    }();
    const bool usable = names[0] != "." && names[0] != ".." && !names[0].empty();
    const std::string folder = root + "/" + (usable ? names[0] : "d");
    if (mkdir(folder.c_str(), 0700) != 0) return;
    std::vector<std::string> made;
    for (size_t i = 1; i < names.size(); ++i) {
        const std::string path = folder + "/" + names[i];
        if (names[i] == "." || names[i] == ".." || names[i].empty()) continue;
        const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (file >= 0) made.push_back(path), close(file);
    }
    PosixFiles files;
    const std::string shownFolder = files.View().ToWindows(folder);
    std::vector<std::string> reached;
    for (const std::string& path : made) {
        const std::string shown =
            shownFolder + "\\" + Utf8ToWindows1252(path.substr(folder.size() + 1));
        std::string shortPath;
        const uint32_t length = files.ShortPathName(shown, shortPath);
        if (shownFolder.find('"') != std::string::npos) {
            FUZZ_CHECK(length == 0);  // the open command could not carry it
            continue;
        }
        if (shown.size() + 12 >= 255) continue;
        FUZZ_CHECK(length == shortPath.size() && length > 0);
        const std::string shortName = shortPath.substr(shownFolder.size() + 1);
        FUZZ_CHECK(
            shortName.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                        "0123456789_-~.") == std::string::npos);
        reached.push_back(files.ToPosix(shortPath).value_or(""));
    }
    for (const std::string& path : made) unlink(path.c_str());
    rmdir(folder.c_str());
    if (reached.size() != made.size()) return;
    std::sort(reached.begin(), reached.end());
    std::sort(made.begin(), made.end());
    FUZZ_CHECK(reached == made);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fake::FakePlatform platform;
    static Context ctx(platform);
    static const bool built = (BuildSortKeyFold(ctx), true);
    (void)built;
    if (size == 0) return 0;
    std::vector<std::string> names(1);
    for (size_t i = 1; i < size && names.size() <= 6; ++i) {
        if (data[i] == '/') {
            names.emplace_back();
        } else if (data[i] != '\0' && names.back().size() < 80) {
            names.back() += static_cast<char>(data[i]);
        }
    }
    for (const std::string& name : names) CheckShown(name);

    PlaylistGroup& pl = ctx.playlist;
    pl.TrackCount = static_cast<int>(names.size());
    for (int i = 1; i <= pl.TrackCount; ++i) pl.TrackFile(i) = Utf8ToWindows1252(names[i - 1]);
    pl.SortMode = data[0] % 3 + 1;
    SortByteOrder(ctx);
    SortPlaylist(ctx);
    std::vector<std::string> sorted, shown;
    for (int i = 1; i <= pl.TrackCount; ++i) {
        sorted.push_back(pl.TrackFile(i));
        shown.push_back(Utf8ToWindows1252(names[static_cast<size_t>(i - 1)]));
        const SplitName split = SplitFileName(pl.TrackFile(i));
        const std::string key = split.hasInterpreter ? split.interpreter.substr(0, 60) : " (ohne)";
        if (i > 1 && pl.SortMode == 2)
            FUZZ_CHECK(FoldCompare(pl.SortKeyFold, sorted[i - 2], sorted[i - 1]) <= 0);
        if (i > 1 && pl.SortMode == 3) {
            const SplitName before = SplitFileName(sorted[i - 2]);
            const std::string keyBefore =
                before.hasInterpreter ? before.interpreter.substr(0, 60) : " (ohne)";
            FUZZ_CHECK(FoldCompare(pl.SortKeyFold, keyBefore, key) <= 0);
        }
        FUZZ_CHECK(pl.TrackInterpreter(i) ==
                   (split.hasInterpreter ? split.interpreter.substr(0, 56) : "(   )"));
    }
    std::sort(sorted.begin(), sorted.end());
    std::sort(shown.begin(), shown.end());
    FUZZ_CHECK(sorted == shown);  // the same names, each once
    if (data[0] % 4 == 0) CheckFiles(names);
    return 0;
}
