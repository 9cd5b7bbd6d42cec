// Playlist benchmark: the time from the folder search to a sorted, split playlist (scan, the
// byte-order sort and SortPlaylist) for 100, 1000 and 2500 media names, in random, title and
// interpreter order, against the in-memory fake and against a real folder on disk. Target:
// every figure below 20 ms. A folder of 2500 names stores its first 1999.
//
// The disk figures use std::filesystem's directory walk over a temporary folder: Windows' own
// FindFirstFileA/FindNextFileA is not measured here.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fake/fake_platform.h"
#include "playlist/random.h"
#include "playlist/scan.h"
#include "playlist/sort.h"

namespace {

namespace fs = std::filesystem;
using varlo::Context;

constexpr int kSizes[] = {100, 1000, 2500};
constexpr int kRepeats = 15;

// The fake platform with the folder search served by the real file system.
class DiskPlatform : public varlo::fake::FakePlatform {
  public:
    explicit DiskPlatform(fs::path folder) : folder_(std::move(folder)) {}

    std::vector<varlo::FolderEntry> SearchFolder(const std::string&) override {
        std::vector<varlo::FolderEntry> entries = {{".", varlo::kAttrDirectory},
                                                   {"..", varlo::kAttrDirectory}};
        for (const auto& item : fs::directory_iterator(folder_)) {
            entries.push_back({item.path().filename().string(),
                               item.is_directory() ? varlo::kAttrDirectory : varlo::kAttrArchive});
        }
        return entries;
    }

  private:
    fs::path folder_;
};

// Media names in no particular order, with interpreters, umlauts and a few other files.
std::vector<std::string> Names(int count) {
    constexpr const char* kExtensions[] = {".mp3", ".ogg", ".flac", ".wma", ".MP3", ".midi"};
    varlo::Random rng;
    rng.Seed(static_cast<uint32_t>(count));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        std::string name = "Titel " + std::to_string(rng.Draw(1000000));
        if (i % 7 == 0)
            name =
                "\xDC"
                "ber " +
                name;
        if (i % 5 != 0) name += " - Band " + std::to_string(rng.Draw(300));
        if (i % 11 == 0) name += " - Remix";
        names.push_back(name + "_" + std::to_string(i) + kExtensions[i % 6]);
    }
    names.push_back("cover.jpg");
    names.push_back("liesmich.txt");
    return names;
}

// Median milliseconds of scan, byte-order sort and SortPlaylist in mode.
double Measure(varlo::Platform& platform, int mode, int* stored) {
    std::vector<double> times;
    for (int r = 0; r < kRepeats; ++r) {
        Context ctx(platform);
        varlo::BuildSortKeyFold(ctx);
        ctx.playlist.SortMode = mode;
        ctx.playlist.Rng.Seed(12u * 34u * 21u);
        const auto start = std::chrono::steady_clock::now();
        varlo::ScanCurrentFolder(ctx);
        varlo::SortByteOrder(ctx);
        varlo::SortPlaylist(ctx);
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        *stored = ctx.playlist.TrackCount;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    std::printf("playlist: scan + byte-order sort + SortPlaylist, median of %d runs, ms\n",
                kRepeats);
    std::printf("%-6s %6s %6s %10s %10s %10s\n", "source", "names", "stored", "random", "title",
                "interp.");
    bool within = true;
    for (const int size : kSizes) {
        const std::vector<std::string> names = Names(size);

        varlo::fake::FakePlatform memory;
        memory.logWrites = false;
        memory.AddFolder("C:\\Musik");
        memory.currentFolder = "C:\\Musik";
        for (const auto& name : names) memory.AddFile("C:\\Musik\\" + name);

        const fs::path folder =
            fs::temp_directory_path() /
            ("varlo_bench_" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directory(folder);
        for (const auto& name : names) std::ofstream(folder / name).put('x');
        DiskPlatform disk(folder);
        disk.logWrites = false;

        struct Source {
            const char* label;
            varlo::Platform* platform;
        };
        for (const Source& source : {Source{"fake", &memory}, Source{"disk", &disk}}) {
            int stored = 0;
            double ms[3];
            for (int mode = 1; mode <= 3; ++mode) {
                ms[mode - 1] = Measure(*source.platform, mode, &stored);
                within = within && ms[mode - 1] < 20.0;
            }
            std::printf("%-6s %6d %6d %10.3f %10.3f %10.3f\n", source.label, size, stored, ms[0],
                        ms[1], ms[2]);
        }
        fs::remove_all(folder);
    }
    std::printf("%s\n", within ? "all below 20 ms" : "SOME FIGURES AT OR ABOVE 20 ms");
    return 0;
}
