#include "platform/posix/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace varlo {

namespace {

// The alternate screen (the shell's screen comes back as it was), no autowrap.
constexpr char kEnterScreen[] = "\x1b[?1049h\x1b[?7l";
// Button-event tracking (presses, releases, moves with a button held) in the SGR form.
constexpr char kMouseOn[] = "\x1b[?1002h\x1b[?1006h";
// CAN first: it ends a sequence that a write cut off. Then colours, mouse reports (every mode
// a program may have left on), cursor, autowrap, and the main screen.
constexpr char kLeaveScreen[] =
    "\x18\x1b[0m\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l\x1b[?25h\x1b[?7h\x1b[?1049l";

struct SignalRow {
    int signal;
    void (*handler)(int);
    int flags;
};

// What the signal handlers need, in the one place they can reach. Written by Enter before the
// handlers are installed; the flags are read and written by the handlers.
struct SharedTerminal {
    int input = -1;
    int output = -1;
    termios saved{};
    termios raw{};
    volatile sig_atomic_t entered = 0;  // between Enter and Leave
    volatile sig_atomic_t applied = 0;  // raw mode and the alternate screen in force
    volatile sig_atomic_t mouse = 0;
    volatile sig_atomic_t repaint = 0;
};
SharedTerminal g_terminal;

// Async-signal-safe from here to the handlers.
void WriteAll(int fd, const char* bytes, size_t length) {
    while (length > 0) {
        const ssize_t written = write(fd, bytes, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;  // the terminal is gone
        bytes += written;
        length -= static_cast<size_t>(written);
    }
}

void Apply() {
    tcsetattr(g_terminal.input, TCSANOW, &g_terminal.raw);
    WriteAll(g_terminal.output, kEnterScreen, sizeof kEnterScreen - 1);
    if (g_terminal.mouse) WriteAll(g_terminal.output, kMouseOn, sizeof kMouseOn - 1);
    g_terminal.applied = 1;
}

void Restore() {
    if (!g_terminal.applied) return;
    g_terminal.applied = 0;
    WriteAll(g_terminal.output, kLeaveScreen, sizeof kLeaveScreen - 1);
    tcsetattr(g_terminal.input, TCSANOW, &g_terminal.saved);
    // Mouse reports still under way must not reach the shell as typed text.
    tcflush(g_terminal.input, TCIFLUSH);
}

void SetHandler(int signal, void (*handler)(int), int flags, struct sigaction* old = nullptr) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, old);
}

// The end of the program by a signal: the terminal first, then the signal's own action (a
// crash still dumps its core, the shell still sees the signal).
void OnEnd(int signal) {
    const int saved = errno;
    Restore();
    SetHandler(signal, SIG_DFL, 0);
    raise(signal);  // delivered once this handler returns
    errno = saved;
}

void OnStop(int signal) {
    const int saved = errno;
    Restore();
    SetHandler(signal, SIG_DFL, 0);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(signal);  // the process stops here; SIGCONT takes the terminal again
    SetHandler(signal, OnStop, 0);
    // An orphaned process group does not stop: the player goes on at once.
    if (g_terminal.entered && !g_terminal.applied) {
        Apply();
        g_terminal.repaint = 1;
    }
    errno = saved;
}

void OnContinue(int) {
    const int saved = errno;
    if (g_terminal.entered) {
        Apply();
        g_terminal.repaint = 1;
    }
    errno = saved;
}

void OnResize(int) {
    g_terminal.repaint = 1;
}

// The signals the terminal is taken back on, and how.
constexpr SignalRow kSignals[] = {
    {SIGINT, OnEnd, 0},                 // Ctrl+C
    {SIGQUIT, OnEnd, 0},                // Ctrl+backslash
    {SIGTERM, OnEnd, 0},                //
    {SIGHUP, OnEnd, 0},                 // the terminal closed
    {SIGSEGV, OnEnd, 0},                // crashes
    {SIGBUS, OnEnd, 0},                 //
    {SIGFPE, OnEnd, 0},                 //
    {SIGILL, OnEnd, 0},                 //
    {SIGABRT, OnEnd, 0},                // also std::terminate
    {SIGTSTP, OnStop, 0},               // Ctrl+Z
    {SIGCONT, OnContinue, SA_RESTART},  // fg, bg, or kill -CONT
    {SIGWINCH, OnResize, SA_RESTART},   // the terminal's size changed
};
constexpr size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction g_previous[kSignalCount];

termios RawMode(termios mode) {
    mode.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    // ISIG stays: Ctrl+C, Ctrl+\ and Ctrl+Z are signals (see the header).
    mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
    mode.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    mode.c_cflag |= CS8;
    // A read returns at once, with what is there.
    mode.c_cc[VMIN] = 0;
    mode.c_cc[VTIME] = 0;
    return mode;
}

}  // namespace

bool Terminal::Enter() {
    if (entered_) return true;
    termios saved;
    if (tcgetattr(input_, &saved) != 0) return false;
    g_terminal.input = input_;
    g_terminal.output = output_;
    g_terminal.saved = saved;
    g_terminal.raw = RawMode(saved);
    g_terminal.mouse = 0;
    g_terminal.repaint = 0;
    g_terminal.entered = 1;
    for (size_t i = 0; i < kSignalCount; ++i) {
        SetHandler(kSignals[i].signal, kSignals[i].handler, kSignals[i].flags, &g_previous[i]);
    }
    Apply();
    entered_ = true;
    return true;
}

void Terminal::Leave() {
    if (!entered_) return;
    g_terminal.entered = 0;
    Restore();
    for (size_t i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i].signal, &g_previous[i], nullptr);
    entered_ = false;
}

void Terminal::ReportMouse() {
    if (entered_ && !g_terminal.mouse) {
        g_terminal.mouse = 1;
        Write(kMouseOn);
    }
}

void Terminal::Write(std::string_view bytes) {
    WriteAll(output_, bytes.data(), bytes.size());
}

std::string Terminal::ReadAvailable() {
    std::string bytes;
    char buffer[4096];
    pollfd ready{input_, POLLIN, 0};
    while (poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
        const ssize_t n = read(input_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
        if (static_cast<size_t>(n) < sizeof buffer) break;  // all there was: no second poll
    }
    return bytes;
}

Terminal::Wait Terminal::WaitForInput(const timespec& timeout) const {
    pollfd ready{input_, POLLIN, 0};
    const int result = ppoll(&ready, 1, &timeout, nullptr);
    if (result == 0) return Wait::TimedOut;
    if (result < 0 && errno == EINTR) return Wait::Interrupted;
    // Input, or a poll that failed: the read that follows tells.
    return Wait::Input;
}

std::optional<TerminalSize> Terminal::Size() const {
    winsize size{};
    if (ioctl(output_, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
        return std::nullopt;
    }
    return TerminalSize{size.ws_col, size.ws_row};
}

bool Terminal::TakeRepaint() {
    if (!g_terminal.repaint) return false;
    g_terminal.repaint = 0;
    return true;
}

}  // namespace varlo
