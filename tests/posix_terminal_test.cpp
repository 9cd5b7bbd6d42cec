// The console's cells on a VT terminal: colours, changed cells only, no scrolling, cursor;
// and a terminal that stops reading.
#include <gtest/gtest.h>
#include <termios.h>

#include <csignal>
#include <future>
#include <tuple>

#include "fake/posix/posix_fixtures.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/terminal/cell_screen.h"

namespace varlo {
namespace {

using namespace std::chrono_literals;
using S = std::string;

std::string Render(CellScreen& screen) {
    std::string out;
    screen.Render(out);
    return out;
}

TEST(CellScreen, ConsoleColoursAsSgr) {
    // Windows colour bits: 1 blue, 2 green, 4 red, 8 bright; attribute = fg + 16 * bg
    const std::pair<uint16_t, const char*> cases[] = {
        {0x79, "94;47"}, {0x70, "30;47"},  {0x07, "37;40"},
        {0x0F, "97;40"}, {0xF0, "30;107"}, {0x14, "31;44"},
        {0x2E, "93;42"}, {0x8D, "95;100"}, {CellScreen::kTerminalColours, "0"},
    };
    for (const auto& [attribute, sgr] : cases) {
        EXPECT_EQ(CellScreen::SgrColours(attribute), sgr) << attribute;
    }
    // The console's own colours where the terminal takes more than its palette: highlight,
    // normal text, and both ends of the table.
    const ColourDepth depths[] = {TerminalColourDepth("truecolor", "xterm-256color"),
                                  TerminalColourDepth("24bit", nullptr),
                                  TerminalColourDepth(nullptr, "xterm-256color"),
                                  TerminalColourDepth("", "tmux-256color"),
                                  TerminalColourDepth("yes", "xterm"),
                                  TerminalColourDepth(nullptr, nullptr)};
    std::string sgr;
    for (ColourDepth depth : depths) {
        for (uint16_t attribute : {0x79, 0x70, 0x0F}) {
            sgr += CellScreen::SgrColours(attribute, depth) + (attribute == 0x0F ? "\n" : " ");
        }
    }
    EXPECT_EQ(sgr,
              "38;2;59;120;255;48;2;204;204;204 38;2;12;12;12;48;2;204;204;204 "
              "38;2;242;242;242;48;2;12;12;12\n"
              "38;2;59;120;255;48;2;204;204;204 38;2;12;12;12;48;2;204;204;204 "
              "38;2;242;242;242;48;2;12;12;12\n"
              "38;5;69;48;5;252 38;5;232;48;5;252 38;5;255;48;5;232\n"
              "38;5;69;48;5;252 38;5;232;48;5;252 38;5;255;48;5;232\n"
              "94;47 30;47 97;40\n94;47 30;47 97;40\n");
}

TEST(CellScreen, WritesOnlyChangedCellsAndNeverScrolls) {
    CellScreen s(4, 2);
    EXPECT_EQ(Render(s), "\x1b[0m\x1b[H\x1b[2J\x1b[?25h");
    s.ShowCursor(false);
    s.SetAttribute(0x70);
    s.Clear();
    EXPECT_EQ(Render(s), "\x1b[30;47m    \x1b[2;1H    \x1b[?25l");
    EXPECT_EQ(s.Text(), "");
    // The bottom-right cells, in code page 437: the text goes on in the same row.
    s.SetCursor(2, 3);
    s.SetAttribute(0x79);
    s.Write("\xC9\xCD");
    EXPECT_EQ(s.CursorRow() * 10 + s.CursorColumn(), 21);
    EXPECT_EQ(Render(s), "\x1b[2;3H\x1b[94;47m\xE2\x95\x94\xE2\x95\x90");
    EXPECT_EQ(s.Text(), "\n  \xE2\x95\x94\xE2\x95\x90\n");  // blank rows above stay
    s.SetCursor(2, 3);
    s.Write("\xC9\xCD");
    EXPECT_EQ(Render(s), "");
    // Outside the screen one coordinate stays.
    s.SetCursor(0, 2);
    s.SetCursor(1, 5);
    s.SetAttribute(0x70);
    s.Write("a\x01");
    EXPECT_EQ(Render(s), "\x1b[1;2H\x1b[30;47ma\xE2\x98\xBA");
    // A shown cursor goes where the player's is.
    s.ShowCursor(true);
    s.SetCursor(2, 1);
    EXPECT_EQ(Render(s), "\x1b[?25h\x1b[2;1H");
    // After a resize of the terminal everything is drawn anew.
    s.Invalidate();
    EXPECT_EQ(Render(s),
              "\x1b[0m\x1b[H\x1b[2J\x1b[30;47m a\xE2\x98\xBA \x1b[2;1H  \x1b[94;47m\xE2\x95\x94"
              "\xE2\x95\x90\x1b[?25h\x1b[2;1H");
    // A few unchanged cells between two changed ones are written again, not jumped over.
    s.SetAttribute(0x70);
    s.SetCursor(1, 1);
    s.Write("b");
    s.SetCursor(1, 4);
    s.Write("c");
    EXPECT_EQ(Render(s),
              "\x1b[1;1H\x1b[30;47mba\xE2\x98\xBA"
              "c\x1b[2;1H");
    EXPECT_EQ(s.Text(),
              "ba\xE2\x98\xBA"
              "c\n  \xE2\x95\x94\xE2\x95\x90\n");
    // The next row's first cell is no gap to bridge.
    s.SetCursor(1, 1);
    s.Write("d");
    s.SetCursor(2, 1);
    s.Write("e");
    EXPECT_EQ(Render(s), "\x1b[1;1Hd\x1b[2;1He");
}

using fake::NoEngine;
using fake::Pty;
using fake::ReadPty;

constexpr char kTaken[] = "\x1b[?1049h\x1b[?7l";
constexpr char kGivenBack[] =
    "\x18\x1b[0m\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l\x1b[?25h\x1b[?7h\x1b[?1049l";

// Raw input and the alternate screen while the player runs; then the terminal as it was: its
// modes, its size, its own screen, and nothing lost that it was sent.
TEST(Terminal, TakenAndGivenBackAsItWas) {
    Pty pty;
    termios before, raw, after;
    tcgetattr(pty.slave, &before);
    Terminal terminal(pty.slave, pty.slave);
    pty.Resize(0, 24);  // a terminal without a size
    EXPECT_FALSE(terminal.Size().has_value());
    pty.Resize(80, 24);
    ASSERT_TRUE(terminal.Enter());
    tcgetattr(pty.slave, &raw);
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), tcflag_t{ISIG});  // Ctrl+C stays a signal
    EXPECT_EQ((raw.c_iflag & (ICRNL | IXON)) | (raw.c_oflag & OPOST), 0u);
    EXPECT_EQ(raw.c_cc[VMIN] + raw.c_cc[VTIME], 0);  // a read never waits
    // While one handler gives the terminal back, the others wait.
    struct sigaction handler {};
    sigaction(SIGTERM, nullptr, &handler);
    EXPECT_TRUE(sigismember(&handler.sa_mask, SIGINT) && sigismember(&handler.sa_mask, SIGTSTP) &&
                sigismember(&handler.sa_mask, SIGHUP) && sigismember(&handler.sa_mask, SIGRTMIN));
    terminal.ReportMouse();
    terminal.RequestSize(69, 22);
    EXPECT_FALSE(Terminal::TakeRepaint());
    raise(SIGWINCH);
    EXPECT_TRUE(Terminal::TakeRepaint() && !Terminal::TakeRepaint());
    EXPECT_TRUE(terminal.Write("a") && terminal.Write("bc"));
    NoEngine engine;
    PosixPlatform(engine, terminal).WriteText("d");  // its last screen shows
    // Keys come whole, also after a wait that a signal cut short.
    EXPECT_EQ(write(pty.master, "k\x1b[A", 4), 4);
    EXPECT_EQ(terminal.WaitForInput(timespec{2, 0}), Terminal::Wait::Input);
    errno = EINTR;
    EXPECT_EQ(terminal.ReadAvailable(), "k\x1b[A");
    terminal.Leave("Ende");
    tcgetattr(pty.slave, &after);
    EXPECT_EQ(std::tie(after.c_iflag, after.c_oflag, after.c_lflag),
              std::tie(before.c_iflag, before.c_oflag, before.c_lflag));
    EXPECT_EQ(ReadPty(pty.master, 50), S(kTaken) + "\x1b[?1002h\x1b[?1006h\x1b[8;22;69tabc" +
                                           "\x1b[0m\x1b[H\x1b[2Jd\x1b[?25h" + kGivenBack +
                                           "\x1b[8;24;80tEnde");
}

TEST(PosixConsole, ATerminalNobodyReadsNeverHoldsThePlayerAndIsDrawnAnewWhenReadAgain) {
    Pty pty;
    const int master = pty.master, slave = pty.slave;
    fcntl(slave, F_SETFL, O_NONBLOCK);
    pty.Resize(69, 10);
    // A signal ignored from the start (nohup) stays ignored; one at its default ends the player.
    std::signal(SIGHUP, SIG_IGN);
    Terminal terminal(slave, slave);
    ASSERT_TRUE(terminal.Enter());
    struct sigaction hup, usr1;
    sigaction(SIGHUP, nullptr, &hup);
    sigaction(SIGUSR1, nullptr, &usr1);
    EXPECT_TRUE(hup.sa_handler == SIG_IGN && usr1.sa_handler != SIG_DFL);
    fake::WatchingEngine engine(master);  // an open sees what the terminal was sent before
    auto platform = std::make_unique<PosixPlatform>(engine, terminal);
    // The player's size is asked of the terminal, its place not; a terminal that stays
    // smaller is refused after 150 ms to follow, its size kept for the way back; one that
    // follows is taken at once.
    platform->MoveConsoleWindow(10, 20);
    EXPECT_GE(fake::Took([&] { EXPECT_EQ(platform->SetConsoleSize(100, 22), 87u); }), 150);
    const S asked = ReadPty(master, 50);
    EXPECT_TRUE(asked.find("\x1b[3;") == S::npos && asked.find("\x1b[8;22;100t") != S::npos);
    const auto refused = platform->SizeRefused();
    ASSERT_TRUE(refused);
    EXPECT_EQ(std::tuple(refused->found.columns, refused->found.rows, refused->needed.columns,
                         refused->needed.rows),
              std::tuple(69, 10, 100, 22));
    std::thread follower = pty.Follow("\x1b[8;22;69t", 69, 22);
    EXPECT_LT(fake::Took([&] { EXPECT_EQ(platform->SetConsoleSize(69, 22), 0u); }), 140);
    follower.join();
    EXPECT_EQ(platform->SetConsoleSize(69, 22), 0u);  // the screen grew with it; now unasked
    platform->WriteText("abc");
    platform->MciSendString("open a.mp3 type MPEGVideo alias 1", nullptr, 0);
    EXPECT_TRUE(engine.shown.find("abc") != S::npos && engine.shown.find("\x1b[8;") == S::npos);
    platform->WriteText("def"), platform->SearchFolder("*.mp3");  // shown while it searches
    EXPECT_NE(ReadPty(master, 20).find("def"), S::npos);
    platform->WriteText("ghi"), platform->ReadInputItem();  // and before a look at the keys
    EXPECT_NE(ReadPty(master, 20).find("ghi"), S::npos);
    // A terminal resized while the player sleeps is drawn anew before the sleep ends.
    std::thread resize([sleeper = pthread_self()] {
        std::this_thread::sleep_for(50ms);
        pthread_kill(sleeper, SIGWINCH);
    });
    platform->Sleep(200);
    resize.join();
    EXPECT_NE(ReadPty(master, 20).find("\x1b[2Jabcdefghi"), S::npos);
    // Screens far beyond what the pty holds; a write that waits would hang this thread.
    const auto screens = [&](int count) {
        for (int i = 0; i < count; ++i) {
            platform->SetCursor(1, 1);
            platform->WriteText(std::string(22 * 69, i % 2 ? 'x' : 'o'));
            platform->Sleep(0);
        }
    };
    auto player = std::async(std::launch::async, screens, 300);
    EXPECT_EQ(player.wait_for(3s), std::future_status::ready) << "held by the terminal";
    while (player.wait_for(0s) != std::future_status::ready) ReadPty(master, 10);
    // Read again: the screen comes whole, after a CAN for the sequence cut off.
    ReadPty(master, 50);
    platform->Sleep(0);
    const std::string redrawn = ReadPty(master, 50);
    EXPECT_EQ(redrawn.substr(0, 12), "\x18\x1b[0m\x1b[H\x1b[2J") << redrawn;
    EXPECT_EQ(std::count(redrawn.begin(), redrawn.end(), 'x'), 22 * 69);
    // Full again, to the last byte, then the way back: it gets through.
    screens(100);
    while (write(slave, "x", 1) == 1) continue;
    platform.reset();
    terminal.Leave();
    EXPECT_NE(ReadPty(master, 50).find("\x1b[?1049l"), std::string::npos);
    std::signal(SIGHUP, SIG_DFL);
}

}  // namespace
}  // namespace varlo
