// The player's program as it is started: its two information words, its refusals, and the
// terminal given back when it ends.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <barrier>
#include <csignal>

#include "fake/posix/posix_fixtures.h"
#include "platform/posix/heap_settings.h"

namespace varlo {
namespace {

using S = std::string;
using fake::BlockAfter;

// What --help prints is what the README shows of it; --version says the version of the
// manual pages and of the package. Any other command line is the player's.
TEST(Program, InformationWordsAgreeWithTheDocuments) {
    const auto Started = [](const S& line) { return fake::RunPlayer(VARLO_PLAYER, line); };
    const fake::Ran help = Started("--help"), version = Started("--version");
    EXPECT_EQ(help.code + version.code, 0);
    EXPECT_EQ(help.out, BlockAfter(fake::ReadFile(VARLO_SOURCE_DIR "/README.md"),
                                   "as `varlo --help` prints it"));
    ASSERT_GT(version.out.size(), 7u);
    const S number = version.out.substr(6, version.out.size() - 7);
    EXPECT_EQ(version.out, "varlo " + number + "\n");
    for (const char* page : {"/dist/varlo.1", "/dist/varlo.de.1"}) {
        EXPECT_NE(fake::ReadFile(VARLO_SOURCE_DIR + S(page)).find("\"varlo " + number), S::npos);
    }
    EXPECT_EQ(fake::ReadFile(VARLO_SOURCE_DIR "/debian/changelog").rfind("varlo (" + number, 0),
              0u);
    // The player, not a word: not in a terminal, it says so on standard error.
    EXPECT_EQ(Started("--help me < /dev/null 2>&1").out,
              "varlo: standard input and output must be a terminal\n");
    EXPECT_EQ(Started("< /dev/null 2> /dev/null").code, 2);
    EXPECT_EQ(Started("--help > /dev/full").code, 1);  // a help that could not be written
}

// A terminal smaller than the screen: the player takes it, asks it for 69 x 22, and when it
// stays small shows the error report until a key; then gives the terminal back as it was,
// its size too, and says on standard error what it needs. The drive C: is made on the way.
TEST(Program, ATerminalTooSmallIsGivenBackAndTheReasonShown) {
    const S reason =
        "varlo: das Terminal hat 40 \xC3\x97 10 Zeichen, Varlo braucht mindestens "
        "69 \xC3\x97 22.";
    fake::StartedPlayer player(VARLO_PLAYER);
    ASSERT_TRUE(player.Shows("call<<")) << player.shown;
    EXPECT_EQ(player.Ended("x"), 1);
    const S& shown = player.shown;
    EXPECT_EQ(shown.rfind("\x1b[?1049h\x1b[?7l\x1b[0m\x1b[H\x1b[2J", 0), 0u);
    EXPECT_NE(shown.find("\x1b[8;22;69t\x1b[?1002h\x1b[?1006h"), S::npos);  // and the mouse
    EXPECT_TRUE(shown.ends_with(
        "\x1b[?1049l\x1b[8;10;40t>>Fehler: 5 , 0 ,Illegal function call<<\r\n" + reason + "\r\n"))
        << shown;
    EXPECT_TRUE(fake::Exists(player.folder + "/varlo/C/Windows/system32/shutdown.exe"));

    // Standard error elsewhere keeps the reason.
    fake::StartedPlayer elsewhere(VARLO_PLAYER, true);
    ASSERT_TRUE(elsewhere.Shows("call<<"));
    EXPECT_EQ(elsewhere.Ended("x"), 1);
    EXPECT_EQ(fake::ReadFile(elsewhere.folder + "/errors"), reason + "\n");
}

// A player ended by a signal while it shows the screen gives the terminal back whole and
// notes the signal in the drive's log, not on the screen; then ends by that signal.
TEST(Program, ASignalEndingThePlayerIsNotedInTheLog) {
    fake::StartedPlayer player(VARLO_PLAYER);
    ASSERT_TRUE(player.Shows("call<<"));
    kill(player.pid, SIGTERM);
    EXPECT_EQ(player.Ended(), 128 + SIGTERM);
    EXPECT_TRUE(
        player.shown.ends_with("\x18\x1b[0m\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l"
                               "\x1b[?25h\x1b[?7h\x1b[?1049l\x1b[8;10;40t"))
        << player.shown;
    EXPECT_EQ(fake::ReadFile(player.folder + "/varlo/C/varlo.log"), "varlo: ended by signal 15\n");
}

// The heap as the player sets it: threads share two arenas, and a large block after a far
// larger one freed is still mapped, given back whole. 0 when so.
int HeapAsSet() {
    ApplyHeapSettings();
    std::barrier together(4);
    void* blocks[3] = {};
    std::vector<std::jthread> threads;
    for (void*& block : blocks) {
        threads.emplace_back([&] { block = std::malloc(64), together.arrive_and_wait(); });
    }
    together.arrive_and_wait();
    char* info = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&info, &length);
    malloc_info(0, out), std::fclose(out);
    const bool twoArenas =
        S(info).find("<heap nr=\"1\"") != S::npos && S(info).find("<heap nr=\"2\"") == S::npos;
    std::free(info);
    for (void* block : blocks) std::free(block);
    void* volatile large = std::malloc(8500000);  // volatile: not left out by the compiler
    std::free(large);
    // The block comes from the system, not from what is left at the heap's top.
    void* volatile top = std::malloc(mallinfo2().keepcost - 64);
    const size_t mapped = mallinfo2().hblks;
    void* volatile block = std::malloc(128 * 1024 + 16);
    return twoArenas && top && block && mallinfo2().hblks == mapped + 1 ? 0 : 1;
}

// Seen in a process as fresh as the player's, with glibc's heap (not the sanitizers').
TEST(Program, HeapSettingsForTheNight) {
    if (dlsym(RTLD_DEFAULT, "__asan_init")) GTEST_SKIP() << "not glibc's heap";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(HeapAsSet()), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace varlo
