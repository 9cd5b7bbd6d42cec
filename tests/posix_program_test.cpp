// The player's program as it is started: its two information words, its refusals, and the
// terminal given back when it ends.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "fake/posix/posix_fixtures.h"

namespace varlo {
namespace {

using S = std::string;
using fake::BlockAfter;
using fake::Ran;

// The player run by the shell with `redirections`, away from every bus and sound server.
Ran Started(const S& arguments, const S& redirections = "") {
    return fake::RunShell(
        "cd /tmp && env DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "
        "PULSE_SERVER=unix:/nonexistent '" VARLO_PLAYER "' " +
        arguments + " " + redirections);
}

// What --help prints is what the README shows of it; --version says the version of the
// manual pages and of the package. Any other command line is the player's.
TEST(Program, InformationWordsAgreeWithTheDocuments) {
    const Ran help = Started("--help"), version = Started("--version");
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
    EXPECT_EQ(Started("--help me", "< /dev/null 2>&1").out,
              "varlo: standard input and output must be a terminal\n");
    EXPECT_EQ(Started("", "< /dev/null 2> /dev/null").code, 2);
}

// A terminal smaller than the screen: the player takes it, asks it for 69 x 22, and when it
// stays small shows the error report until a key; then gives the terminal back as it was,
// its size too, and says on standard error, which was the terminal all along, what it needs.
TEST(Program, ATerminalTooSmallIsGivenBackAndTheReasonShown) {
    fake::Pty pty;
    pty.Resize(40, 10);
    char folder[] = "/tmp/varlo-program-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const pid_t player = fork();
    if (player == 0) {
        setsid();
        ioctl(pty.slave, TIOCSCTTY, 0);
        for (int fd = 0; fd < 3; ++fd) dup2(pty.slave, fd);
        if (chdir(folder) == 0) {
            setenv("XDG_DATA_HOME", folder, 1);
            setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
            setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent", 1);
            setenv("PULSE_SERVER", "unix:/nonexistent", 1);
            // Under the sanitizers: GLib's own buffer for the whole process is not a leak.
            std::ofstream("glib.supp") << "leak:libglib-2.0.so\n";
            setenv("LSAN_OPTIONS",
                   ("print_suppressions=0:suppressions=" + S(folder) + "/glib.supp").c_str(), 1);
            execl(VARLO_PLAYER, "varlo", nullptr);
        }
        _exit(127);
    }
    S shown;
    for (int i = 0; i < 300 && shown.find("call<<") == S::npos; ++i) {
        shown += fake::ReadPty(pty.master, 20);
    }
    ASSERT_EQ(write(pty.master, "x", 1), 1);
    int status = 0;  // a player that hangs ends with the pty, on its hang-up
    for (int i = 0; i < 500 && waitpid(player, &status, WNOHANG) == 0; ++i) usleep(10000);
    shown += fake::ReadPty(pty.master, 50);
    std::system(("rm -rf " + S(folder)).c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    const S report = ">>Fehler: 5 , 0 ,Illegal function call<<";
    EXPECT_EQ(shown.rfind("\x1b[?1049h\x1b[?7l\x1b[0m\x1b[H\x1b[2J", 0), 0u);
    const size_t back = shown.find("\x1b[?1049l");
    ASSERT_NE(back, S::npos) << shown;
    EXPECT_NE(shown.find("\x1b[8;22;69t"), S::npos);
    EXPECT_EQ(shown.substr(back),
              "\x1b[?1049l\x1b[8;10;40t" + report +
                  "\r\nvarlo: das Terminal hat 40 \xC3\x97 10 Zeichen, Varlo braucht mindestens "
                  "69 \xC3\x97 22.\r\n");
}

}  // namespace
}  // namespace varlo
