// The POSIX file system through the Windows file functions, names Windows-1252 lacks too.
#include "platform/posix/files/posix_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <tuple>

#include "fake/fake_platform.h"
#include "media/mci.h"
#include "platform/posix/sound/mci_interpreter.h"

namespace varlo {
namespace {

using S = std::string;

const S kMiddle = "\xE4\xB8\xAD";  // 中, a folder: "?" to the player
const S kSun = "\xE6\x97\xA5";     // 日, a file: "?" too, after 中 in name order

class PosixFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/varlo-files-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        root_ = folder;
        for (const S& name : {S("Musik"), S(".hdir"), kMiddle}) mkdir(Path(name).c_str(), 0755);
        for (const S& name : {S("b.mp3"), S("Alpha - x.mp3"), S("_z.mp3"), S("\xC3\xA4.mp3"),
                              S(".hidden"), kSun, S("x\xFF.mp3"), kMiddle + "/a b.mp3"}) {
            std::ofstream(Path(name)) << "data";
        }
        mkfifo(Path("fifo").c_str(), 0644);
        ASSERT_EQ(symlink("nowhere", Path("dangling").c_str()), 0);
        previous_ = getcwd(nullptr, 0);
        ASSERT_EQ(chdir(root_.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previous_), 0);
        free(previous_);
        std::system(("rm -rf " + root_).c_str());
    }
    S Path(const S& name) const { return root_ + "/" + name; }
    S Listing(const S& pattern) {
        S text;
        for (const FolderEntry& e : files.SearchFolder(pattern)) {
            char attributes[8];
            snprintf(attributes, sizeof attributes, ":%X ", e.attributes);
            text += e.name + attributes;
        }
        return text;
    }
    S root_;
    char* previous_ = nullptr;
    PosixFiles files;
};

TEST_F(PosixFilesTest, ListsSortedByNameWithoutCaseWithWindowsAttributes) {
    const S listing =
        ".:10 ..:10 .hdir:12 .hidden:22 ?:10 ?:20 Alpha - x.mp3:20 b.mp3:20 dangling:4 "
        "fifo:4 Musik:10 x?.mp3:20 _z.mp3:20 \xE4.mp3:20 ";
    EXPECT_EQ(Listing("*.*"), listing);
    EXPECT_EQ(Listing(files.CurrentFolder() + "\\*"), listing);
    EXPECT_EQ(Listing("b.mp3") + Listing("missing"), "b.mp3:20 ");
    EXPECT_NE(files.SearchFolder("Z:\\*.*").at(0).name, ".");  // a root has no "." and ".."
}

TEST_F(PosixFilesTest, AttributesAndErrorCodesFindTheEntriesOfConvertedNames) {
    // path, then attributes or "e" and the error code
    const std::tuple<S, S> cases[] = {
        {"Musik", "10"},    {files.CurrentFolder() + "\\MUSIK\\..\\Musik", "10"},
        {"?", "10"},       // the first entry, in name order, whose name converts to "?"
        {"x?.mp3", "20"},  // a name that is not UTF-8
        {"\xE4.mp3", "20"}, {"fifo", "4"},
        {"missing", "e2"},  {"missing\\x", "e3"},
        {"b.mp3\\x", "e3"}, {"Q:\\x", "e3"},  // no such drive
    };
    for (const auto& [path, expected] : cases) {
        uint32_t error = 0;
        const auto attributes = files.FileAttributes(path, &error);
        char text[16];
        snprintf(text, sizeof text, attributes ? "%X" : "e%u", attributes ? *attributes : error);
        EXPECT_EQ(text, expected) << path;
    }
    EXPECT_EQ(files.ChangeFolder("b.mp3"), 267u);
    EXPECT_EQ(files.ChangeFolder("missing"), 2u);
    EXPECT_EQ(files.ChangeFolder("missing\\x"), 3u);
}

TEST_F(PosixFilesTest, InsideAFolderOfAConvertedNameRelativeAndAbsolutePathsWork) {
    S shortPath;
    EXPECT_EQ(files.ShortPathName("b.mp3", shortPath), 5u);  // an 8.3 name is its own
    EXPECT_EQ(shortPath, "b.mp3");
    EXPECT_EQ(files.ShortPathName("missing", shortPath), 0u);

    ASSERT_EQ(files.ChangeFolder("?"), 0u);
    EXPECT_EQ(files.CurrentFolder().substr(files.CurrentFolder().size() - 2), "\\?");
    EXPECT_NE(files.ShortPathName(files.CurrentFolder() + "\\a b.mp3", shortPath), 0u);
    EXPECT_EQ(shortPath, files.CurrentFolder() + "\\AB~1.MP3");
    EXPECT_EQ(files.ToPosix(shortPath).value_or(""), Path(kMiddle + "/a b.mp3"));
    EXPECT_EQ(files.ToPosix(files.CurrentFolder() + "\\a b.mp3"), files.ToPosix("AB~1.MP3"));
    EXPECT_EQ(Listing("*.*"), ".:10 ..:10 a b.mp3:20 ");
    ASSERT_EQ(files.ChangeFolder(".."), 0u);
    EXPECT_EQ(Listing("b.mp3"), "b.mp3:20 ");
    // A short path through a folder shown as "?" leads back; a folder with a quote has none.
    EXPECT_NE(files.ShortPathName(files.CurrentFolder() + "\\?\\a b.mp3", shortPath), 0u);
    EXPECT_EQ(files.ToPosix(shortPath).value_or(""), Path(kMiddle + "/a b.mp3"));
    mkdir(Path("Fol\"der").c_str(), 0755);
    std::ofstream(Path("Fol\"der/a.mp3")) << "data";
    EXPECT_EQ(files.ShortPathName("Fol\"der\\a.mp3", shortPath), 0u);
}

TEST_F(PosixFilesTest, WritesATextFile) {
    EXPECT_EQ(files.WriteTextFile("out.cmd", "\"x\"\r\n"), 0u);
    errno = EINTR;  // as a wait that a signal cut short leaves it
    EXPECT_EQ(files.WriteTextFile(files.CurrentFolder() + "\\out.cmd", "ab"), 0u);
    std::ifstream written(Path("out.cmd"));
    EXPECT_EQ(S(std::istreambuf_iterator<char>(written), {}), "ab");
    EXPECT_EQ(files.WriteTextFile("missing\\out.cmd", "x"), 3u);
    EXPECT_EQ(files.WriteTextFile("Musik", "x"), 5u);
    EXPECT_EQ(files.WriteTextFile("a?.cmd", "x"), 123u);
    // A link in the command file's place is refused and what it points to stays as it was.
    ASSERT_EQ(symlink(Path("out.cmd").c_str(), Path("link.cmd").c_str()), 0);
    EXPECT_EQ(files.WriteTextFile("link.cmd", "x"), 5u);
    std::ifstream target(Path("out.cmd"));
    EXPECT_EQ(S(std::istreambuf_iterator<char>(target), {}), "ab");
}

// The player's open of a title (short path, open command) over these files; the engine
// notes the paths it is given and plays none.
struct FilesPlatform : fake::FakePlatform, MediaEngine {
    PosixFiles files;
    std::multiset<S> opened;
    MciInterpreter mci{*this, [this](const S& path) { return files.ToPosix(path); }};
    uint32_t ShortPathName(const S& path, S& shortPath) override {
        return files.ShortPathName(path, shortPath);
    }
    uint32_t MciSendString(std::string_view command, char* reply, uint32_t length) override {
        return mci.Send(command, reply, length);
    }
    std::unique_ptr<MediaStream> Open(const S& path, uint32_t* error) override {
        opened.insert(path);
        return *error = kMciInternal, nullptr;
    }
    uint32_t AudioOutputCount() override { return 1; }
};

TEST_F(PosixFilesTest, EveryNameLinuxAllowsOpensItsOwnFileAndNoOther) {
    // Two pairs that show the same ("?ód? - K.mp3", "????.mp3"), Windows' forbidden bytes,
    // and a name that tries to make the open command take b.mp3.
    for (const char* name :
         {"Łódź - K.mp3", "Śódź - K.mp3", "Ночь.mp3", "День.mp3", "Song \"Live\" - Band.mp3",
          "b.mp3\" type mpegvideo alias \"x.mp3", "a:b.mp3", "AC\\DC.mp3", "<|>*\x01.mp3"}) {
        std::ofstream(Path(name)) << "data";
    }
    FilesPlatform p;
    for (int round = 0; round < 2; ++round) {  // a second cycle opens each file once more
        for (const FolderEntry& entry : p.files.SearchFolder("*.*")) {
            if (entry.name.ends_with(".mp3")) MciOpen(p, entry.name);
        }
    }
    EXPECT_EQ(std::set<S>(p.opened.begin(), p.opened.end()).size(), 14u);  // every .mp3
    for (const S& path : p.opened) EXPECT_EQ(p.opened.count(path), 2u) << path;
    // A quote that ends the path early, or a keyword given twice, opens nothing.
    for (const char* command :
         {"open \"b.mp3\" type mpegvideo alias \"x.mp3\" type MPEGVideo alias 7",
          "open b.mp3 type MPEGVideo alias 8 alias 9", "open \"b.mp3\"x alias 9"}) {
        EXPECT_EQ(p.mci.Send(command, nullptr, 0), kMciUnrecognizedKeyword) << command;
    }
    EXPECT_EQ(p.opened.size(), 28u);
}

TEST_F(PosixFilesTest, TheChooserReadsAFolderFromItsListingWhateverTheNames) {
    // 2000 files, then 3 folders in name order, all "???" to the player.
    auto letter = [](int k) {
        return S(k < 16 ? "\xD0" : "\xD1") + char(k < 16 ? 0xB0 + k : 0x70 + k);
    };
    mkdir(Path("cyr").c_str(), 0755);
    for (int i = 0; i < 2000; ++i) {
        std::ofstream(Path("cyr/" + letter(i / 1024) + letter(i / 32 % 32) + letter(i % 32)));
    }
    for (const char* name : {"яяа", "яяб", "яяв"}) mkdir(Path(S("cyr/") + name).c_str(), 0755);
    ASSERT_EQ(files.ChangeFolder("cyr"), 0u);
    // A key of the chooser: list, then ask each entry's attributes; entries gone since the
    // listing keep what it found.
    const auto start = std::chrono::steady_clock::now();
    const std::vector<FolderEntry> listing = files.SearchFolder("*.*");
    rmdir(Path("cyr/яяа").c_str()), unlink(Path("cyr/ааа").c_str());
    int folders = 0;
    for (const FolderEntry& entry : listing) {
        const auto attributes = files.FileAttributes(entry.name, nullptr);
        ASSERT_TRUE(attributes) << entry.name;
        folders += (*attributes & kAttrDirectory) != 0;
    }
    const std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
    std::printf("a chooser key in 2000 Cyrillic names: %.1f ms\n", ms.count());
    EXPECT_LT(ms.count(), 1000.0);
    EXPECT_EQ(folders, 5);  // ".", ".." and the three
    // "???" enters the first folder there is; with none left the change is refused.
    ASSERT_EQ(files.ChangeFolder("???"), 0u);
    EXPECT_EQ(files.WorkingFolder(), Path("cyr/яяб"));
    ASSERT_EQ(files.ChangeFolder(".."), 0u);
    rmdir(Path("cyr/яяб").c_str()), rmdir(Path("cyr/яяв").c_str());
    EXPECT_NE(files.ChangeFolder("???"), 0u);
}

}  // namespace
}  // namespace varlo
