// The POSIX file system through the Windows file functions: listing order, attributes, error
// codes, and names that Windows-1252 cannot hold.
#include "platform/posix/posix_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <tuple>

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
    EXPECT_EQ(files.ShortPathName("x?.mp3", shortPath), 0u);  // not looked for: not opened
    EXPECT_EQ(files.ShortPathName("b.mp3", shortPath), 5u);
    EXPECT_EQ(shortPath, "b.mp3");
    EXPECT_EQ(files.ShortPathName("missing", shortPath), 0u);

    ASSERT_EQ(files.ChangeFolder("?"), 0u);
    EXPECT_EQ(files.CurrentFolder().substr(files.CurrentFolder().size() - 2), "\\?");
    EXPECT_EQ(files.ShortPathName("a b.mp3", shortPath), 7u);
    EXPECT_EQ(files.ToPosix(files.CurrentFolder() + "\\a b.mp3").value_or(""),
              Path(kMiddle + "/a b.mp3"));
    EXPECT_EQ(Listing("*.*"), ".:10 ..:10 a b.mp3:20 ");
    ASSERT_EQ(files.ChangeFolder(".."), 0u);
    EXPECT_EQ(Listing("b.mp3"), "b.mp3:20 ");
}

TEST_F(PosixFilesTest, WritesATextFile) {
    EXPECT_EQ(files.WriteTextFile("out.cmd", "\"x\"\r\n"), 0u);
    EXPECT_EQ(files.WriteTextFile(files.CurrentFolder() + "\\out.cmd", "ab"), 0u);
    std::ifstream written(Path("out.cmd"));
    EXPECT_EQ(S(std::istreambuf_iterator<char>(written), {}), "ab");
    EXPECT_EQ(files.WriteTextFile("missing\\out.cmd", "x"), 3u);
    EXPECT_EQ(files.WriteTextFile("Musik", "x"), 5u);
    EXPECT_EQ(files.WriteTextFile("a?.cmd", "x"), 123u);
}

}  // namespace
}  // namespace varlo
