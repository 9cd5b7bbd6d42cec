// Names: any bytes, "/" between them, as a folder's name and its files'. Shown in
// Windows-1252 and back, split into title and interpreter, sorted; and for one input in four
// made real: each file's short name, got by the name shown, leads back to that file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "check.h"
#include "fake/fake_platform.h"
#include "platform/posix/files/posix_files.h"
#include "playlist/sort.h"

using namespace varlo;
using Names = std::vector<std::string>;

static void CheckFiles(const Names& names) {
    static const std::string root = [] {  // in memory: a disk creates files slowly
        char folder[] = "/dev/shm/varlo-names-XXXXXX";
        return std::string(mkdtemp(folder) ? folder : "/tmp");
    }();
    const std::string folder = root + "/d" + names[0];
    Names made, reached;
    for (size_t i = 1; mkdir(folder.c_str(), 0700) == 0 && i < names.size(); ++i) {
        const int file = open((folder + "/" + names[i]).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (file >= 0) made.push_back(folder + "/" + names[i]), close(file);
    }
    PosixFiles files;
    const std::string shownFolder = files.View().ToWindows(folder) + "\\";
    const bool quoted = shownFolder.find('"') != std::string::npos;
    for (const std::string& path : made) {
        std::string shortPath, name = Utf8ToWindows1252(path.substr(folder.size() + 1));
        const uint32_t length = files.ShortPathName(shownFolder + name, shortPath);
        FUZZ_CHECK(!quoted || length == 0);  // no open command could carry it
        if (length == 0) continue;
        FUZZ_CHECK(shortPath.find_first_of(" \"?", shownFolder.size()) == std::string::npos);
        reached.push_back(files.ToPosix(shortPath).value_or(""));
    }
    std::sort(made.begin(), made.end());
    std::sort(reached.begin(), reached.end());
    FUZZ_CHECK(reached == made || quoted || shownFolder.size() + 80 >= 255);
    for (const std::string& path : made) unlink(path.c_str());
    rmdir(folder.c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fake::FakePlatform platform;
    static Context ctx(platform);
    static const int built = (BuildSortKeyFold(ctx), 0);
    Names names(1);
    for (size_t i = 1; i < size && names.size() <= 6 && built == 0; ++i) {
        if (data[i] == '/') names.emplace_back();
        if (data[i] != '/' && data[i] != '\0' && names.back().size() < 80) names.back() += data[i];
    }
    PlaylistGroup& pl = ctx.playlist;
    pl.TrackCount = static_cast<int>(names.size());
    Names shown;
    for (const std::string& name : names) {
        // Shown whole it converts back, else it shows "?"; bytes as Windows-1252 go and come.
        shown.push_back(Utf8ToWindows1252(name));
        FUZZ_CHECK(Windows1252ToUtf8(shown.back()) == name || shown.back().find('?') != name.npos);
        std::string ansi = name;
        std::replace(ansi.begin(), ansi.end(), '\\', '?');
        FUZZ_CHECK(Utf8ToWindows1252(Windows1252ToUtf8(name)) == ansi);
        pl.TrackFile(static_cast<int>(shown.size())) = shown.back();
    }
    pl.SortMode = size % 3 + 1;
    SortByteOrder(ctx);
    SortPlaylist(ctx);
    Names sorted;
    std::string lastKey;
    for (int i = 1; i <= pl.TrackCount; ++i) {
        sorted.push_back(pl.TrackFile(i));
        const SplitName split = SplitFileName(pl.TrackFile(i));
        const std::string base = BaseName(pl.TrackFile(i));
        const size_t cut = base.find(" - ");
        FUZZ_CHECK(split.hasInterpreter == (cut != base.npos && cut > 0));
        FUZZ_CHECK(split.hasInterpreter ? split.title.size() == cut &&
                                              split.title + " - " + split.interpreter == base
                                        : split.title == base);
        const std::string key = pl.SortMode == 2       ? sorted.back()
                                : split.hasInterpreter ? split.interpreter.substr(0, 60)
                                                       : " (ohne)";
        FUZZ_CHECK(pl.SortMode == 1 || i == 1 || FoldCompare(pl.SortKeyFold, lastKey, key) <= 0);
        lastKey = key;
    }
    std::sort(sorted.begin(), sorted.end());
    std::sort(shown.begin(), shown.end());
    FUZZ_CHECK(sorted == shown);  // every name, each once
    if (size > 0 && data[0] % 4 == 0) CheckFiles(names);
    return 0;
}
