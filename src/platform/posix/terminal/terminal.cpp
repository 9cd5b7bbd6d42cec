#include "platform/posix/terminal/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace varlo {

namespace {

constexpr int kNoEpoll = -2;  // Terminal::epoll_ when epoll cannot wait for the input

// The alternate screen (the shell's screen comes back as it was), no autowrap.
constexpr char kEnterScreen[] = "\x1b[?1049h\x1b[?7l";
// Button-event tracking (presses, releases, moves with a button held) in the SGR form.
constexpr char kMouseOn[] = "\x1b[?1002h\x1b[?1006h";
// CAN first: it ends a sequence that a write cut off. Then colours, mouse reports (every mode
// a program may have left on), cursor, autowrap, and the main screen.
constexpr char kLeaveScreen[] =
    "\x18\x1b[0m\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l\x1b[?25h\x1b[?7h\x1b[?1049l";

// The terminal's state as the handlers see it: restored, taken (raw mode and the alternate
// screen in force), or being switched between the two by one thread.
enum TerminalState : int { kRestored, kApplied, kBusy };
constexpr int kBusyWaits = 500;  // ms that an end waits for another thread's switch

struct Sequence {
    char bytes[32];
    volatile sig_atomic_t length = 0;
};

// What the signal handlers need, in the one place they can reach. Written by Enter before the
// handlers are installed; the flags are read and written by the handlers.
struct SharedTerminal {
    int input = -1;
    int output = -1;       // the writer: never blocks
    int outputFlags = -1;  // the output's file status flags to put back; -1: not changed
    termios saved{};
    termios raw{};
    Sequence resize;                    // the player's size request
    Sequence unresize;                  // the size before it
    volatile sig_atomic_t entered = 0;  // between Enter and Leave
    volatile sig_atomic_t mouse = 0;
    volatile sig_atomic_t repaint = 0;
    volatile sig_atomic_t notes = -1;  // where an ending signal is noted
    std::atomic<int> state{kRestored};
    sigset_t handled;  // blocked while one of the handlers runs
};
SharedTerminal g_terminal;
static_assert(std::atomic<int>::is_always_lock_free, "the handlers switch the state");

// Async-signal-safe from here to the handlers.

// The bytes written without waiting.
size_t WriteSome(int fd, const char* bytes, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t written = write(fd, bytes + done, length - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;  // full, or the terminal is gone
        done += static_cast<size_t>(written);
    }
    return done;
}

void Send(const char* bytes, size_t length) {
    WriteSome(g_terminal.output, bytes, length);
}

void Send(const Sequence& sequence) {
    Send(sequence.bytes, static_cast<size_t>(sequence.length));
}

// From one state to kBusy; false when the terminal was not in it.
bool Begin(int from) {
    return g_terminal.state.compare_exchange_strong(from, kBusy);
}

void Apply() {
    if (!Begin(kRestored)) return;
    if (g_terminal.outputFlags >= 0) {
        fcntl(g_terminal.output, F_SETFL, g_terminal.outputFlags | O_NONBLOCK);
    }
    tcsetattr(g_terminal.input, TCSANOW, &g_terminal.raw);
    Send(kEnterScreen, sizeof kEnterScreen - 1);
    if (g_terminal.mouse) Send(kMouseOn, sizeof kMouseOn - 1);
    Send(g_terminal.resize);
    g_terminal.state = kApplied;
}

void Restore() {
    for (int waited = 0; !Begin(kApplied); ++waited) {
        // Another thread switches the terminal right now: the end waits for it, briefly.
        if (g_terminal.state != kBusy || waited == kBusyWaits) return;
        const timespec millisecond{0, 1000000};
        nanosleep(&millisecond, nullptr);
    }
    constexpr size_t kLeaveLength = sizeof kLeaveScreen - 1;
    if (WriteSome(g_terminal.output, kLeaveScreen, kLeaveLength) < kLeaveLength) {
        // Nobody reads the terminal: what it holds unread goes, the way back gets through.
        tcflush(g_terminal.output, TCOFLUSH);
        Send(kLeaveScreen, kLeaveLength);
    }
    Send(g_terminal.unresize);
    tcsetattr(g_terminal.input, TCSANOW, &g_terminal.saved);
    // Mouse reports still under way must not reach the shell as typed text.
    tcflush(g_terminal.input, TCIFLUSH);
    if (g_terminal.outputFlags >= 0) fcntl(g_terminal.output, F_SETFL, g_terminal.outputFlags);
    g_terminal.state = kRestored;
}

void SetHandler(int signal, void (*handler)(int), int flags, struct sigaction* old = nullptr) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    action.sa_mask = g_terminal.handled;
    sigaction(signal, &action, old);
}

void Note(int signal) {
    const int fd = g_terminal.notes;
    if (fd < 0) return;
    char line[] = "varlo: ended by signal   \n";
    char* digit = line + sizeof "varlo: ended by signal " - 1;
    if (signal >= 10) *digit++ = static_cast<char>('0' + signal / 10 % 10);
    *digit++ = static_cast<char>('0' + signal % 10);
    *digit++ = '\n';
    WriteSome(fd, line, static_cast<size_t>(digit - line));
}

// The end of the program by a signal: the terminal first, then the signal's own action (a
// crash still dumps its core, the shell still sees the signal).
void OnEnd(int signal) {
    const int saved = errno;
    Restore();
    Note(signal);
    SetHandler(signal, SIG_DFL, 0);
    raise(signal);  // delivered once this handler returns
    errno = saved;
}

void OnPipe(int) {}

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
    if (g_terminal.entered) {
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

struct SignalRow {
    int signal;
    void (*handler)(int);
    int flags;
};

// The signals the terminal is taken back on, and how; the real-time signals, whose default
// action ends the program too, are taken as SIGTERM is.
constexpr SignalRow kSignals[] = {
    {SIGINT, OnEnd, 0},     // Ctrl+C
    {SIGQUIT, OnEnd, 0},    // Ctrl+backslash
    {SIGTERM, OnEnd, 0},    //
    {SIGHUP, OnEnd, 0},     // the terminal closed
    {SIGSEGV, OnEnd, 0},    // crashes
    {SIGBUS, OnEnd, 0},     //
    {SIGFPE, OnEnd, 0},     //
    {SIGILL, OnEnd, 0},     //
    {SIGABRT, OnEnd, 0},    // also std::terminate
    {SIGTRAP, OnEnd, 0},    //
    {SIGSYS, OnEnd, 0},     // a system call refused by a filter
    {SIGXCPU, OnEnd, 0},    // limits
    {SIGXFSZ, OnEnd, 0},    //
    {SIGUSR1, OnEnd, 0},    // signals the player has no use for
    {SIGUSR2, OnEnd, 0},    //
    {SIGALRM, OnEnd, 0},    //
    {SIGVTALRM, OnEnd, 0},  //
    {SIGPROF, OnEnd, 0},    //
    {SIGIO, OnEnd, 0},      //
#ifdef SIGPWR
    {SIGPWR, OnEnd, 0},  // power failure
#endif
#ifdef SIGSTKFLT
    {SIGSTKFLT, OnEnd, 0},  //
#endif
    {SIGPIPE, OnPipe, 0},               // the write fails instead; children get the default
    {SIGTSTP, OnStop, 0},               // Ctrl+Z
    {SIGCONT, OnContinue, SA_RESTART},  // fg, bg, or kill -CONT
    {SIGWINCH, OnResize, SA_RESTART},   // the terminal's size changed
};
constexpr int kSignalSlots = 65;  // signal numbers, real-time ones included
struct sigaction g_previous[kSignalSlots];
bool g_installed[kSignalSlots];

// Every signal of the table and the real-time ones, with its handler, in order.
template <typename Visit>
void ForEachSignal(Visit visit) {
    for (const SignalRow& row : kSignals) visit(row.signal, row.handler, row.flags);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX && signal < kSignalSlots; ++signal) {
        visit(signal, OnEnd, 0);
    }
}

// A writer of the terminal of its own, which never waits: a file description apart from the
// output's, whose mode the shell shares. Where the terminal cannot be opened again, the
// output itself, non-blocking until the terminal is given back.
int OpenWriter(int output) {
    char name[256];
    if (ttyname_r(output, name, sizeof name) == 0) {
        const int writer = open(name, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0) return writer;
    }
    g_terminal.outputFlags = fcntl(output, F_GETFL);  // made non-blocking by Apply
    return output;
}

void Format(Sequence& sequence, int columns, int rows) {
    sequence.length = 0;
    const int length =
        std::snprintf(sequence.bytes, sizeof sequence.bytes, "\x1b[8;%d;%dt", rows, columns);
    if (length > 0 && static_cast<size_t>(length) < sizeof sequence.bytes) {
        sequence.length = length;
    }
}

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
    sigemptyset(&g_terminal.handled);
    ForEachSignal([](int signal, auto, int) { sigaddset(&g_terminal.handled, signal); });
    // This thread switches the terminal; a signal now waits until the switch is done.
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &g_terminal.handled, &before);
    g_terminal.input = input_;
    g_terminal.outputFlags = -1;
    g_terminal.output = writer_ = OpenWriter(output_);
    g_terminal.saved = saved;
    g_terminal.raw = RawMode(saved);
    g_terminal.resize.length = 0;
    g_terminal.unresize.length = 0;
    g_terminal.mouse = 0;
    g_terminal.repaint = 0;
    g_terminal.entered = 1;
    // Only signals left to their default: one ignored from the start (nohup) stays ignored,
    // one a library handles stays the library's.
    ForEachSignal([](int signal, void (*handler)(int), int flags) {
        struct sigaction& previous = g_previous[signal];
        g_installed[signal] = sigaction(signal, nullptr, &previous) == 0 &&
                              (previous.sa_flags & SA_SIGINFO) == 0 &&
                              previous.sa_handler == SIG_DFL;
        if (g_installed[signal]) SetHandler(signal, handler, flags);
    });
    Apply();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    entered_ = true;
    stalled_ = cut_ = false;
    return true;
}

void Terminal::Leave(std::string_view text) {
    if (!entered_) return;
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &g_terminal.handled, &before);
    g_terminal.entered = 0;
    Restore();
    const int flags = fcntl(writer_, F_GETFL);
    fcntl(writer_, F_SETFL, flags | O_NONBLOCK);
    WriteSome(writer_, text.data(), text.size());
    fcntl(writer_, F_SETFL, flags);
    ForEachSignal([](int signal, auto, int) {
        if (g_installed[signal]) sigaction(signal, &g_previous[signal], nullptr);
        g_installed[signal] = false;
    });
    if (writer_ != output_) close(writer_);
    writer_ = -1;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    entered_ = false;
}

void Terminal::ReportMouse() {
    if (entered_ && !g_terminal.mouse) {
        g_terminal.mouse = 1;
        Write(kMouseOn);
    }
}

bool Terminal::Writable() {
    if (!stalled_) return true;
    pollfd ready{writer_, POLLOUT, 0};
    if (poll(&ready, 1, 0) <= 0 || (ready.revents & (POLLERR | POLLHUP)) != 0 ||
        (ready.revents & POLLOUT) == 0) {
        return false;
    }
    stalled_ = false;
    cut_ = true;
    return true;
}

bool Terminal::Write(std::string_view bytes) {
    const int fd = writer_ >= 0 ? writer_ : output_;
    if (!Writable()) return false;
    std::string cut;
    if (cut_) {
        // The write that was dropped may have taken the mouse reports with it.
        cut = std::string("\x18") + (g_terminal.mouse ? kMouseOn : "") + std::string(bytes);
        bytes = cut;
        cut_ = false;
    }
    if (WriteSome(fd, bytes.data(), bytes.size()) == bytes.size()) return true;
    stalled_ = true;
    return false;
}

void Terminal::RequestSize(int columns, int rows) {
    const std::optional<TerminalSize> before = Size();
    if (!before || !entered_) return;
    if (g_terminal.unresize.length == 0) Format(g_terminal.unresize, before->columns, before->rows);
    Format(g_terminal.resize, columns, rows);
    Write(std::string_view(g_terminal.resize.bytes, static_cast<size_t>(g_terminal.resize.length)));
}

void Terminal::NoteSignalsIn(int fd) {
    g_terminal.notes = fd;
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

Terminal::~Terminal() {
    Leave();
    if (epoll_ >= 0) close(epoll_);
}

bool Terminal::Watch(bool watched, int other) {
    if (epoll_ == -1) epoll_ = epoll_create1(EPOLL_CLOEXEC);
    if (epoll_ < 0) {
        epoll_ = kNoEpoll;
        return false;
    }
    auto change = [this](int operation, int fd) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        return epoll_ctl(epoll_, operation, fd, &event) == 0;
    };
    bool usable = true;
    if (watched != epollInput_) {
        usable = watched ? change(EPOLL_CTL_ADD, input_) : (change(EPOLL_CTL_DEL, input_), true);
        epollInput_ = watched && usable;
    }
    if (usable && other != epollOther_) {
        if (epollOther_ >= 0) change(EPOLL_CTL_DEL, epollOther_);
        epollOther_ = -1;
        usable = other < 0 || change(EPOLL_CTL_ADD, other);
        if (usable) epollOther_ = other;
    }
    if (!usable) {
        close(epoll_);
        epoll_ = kNoEpoll;
    }
    return usable;
}

Terminal::Wait Terminal::WaitForInput(const timespec& timeout, bool watched, int other) {
    if (epoll_ != kNoEpoll && Watch(watched, other)) {
        epoll_event events[2];
        const int result = epoll_pwait2(epoll_, events, 2, &timeout, nullptr);
        if (result == 0) return Wait::TimedOut;
        if (result < 0 && errno == EINTR) return Wait::Interrupted;
        if (result > 0) {
            for (int i = 0; i < result; ++i) {
                if (events[i].data.fd == input_) return Wait::Input;
            }
            return Wait::Other;
        }
        // A kernel without epoll_pwait2: ppoll from now on.
        if (errno != ENOSYS) return watched ? Wait::Input : Wait::Interrupted;
        close(epoll_);
        epoll_ = kNoEpoll;
    }
    pollfd ready[2];
    nfds_t count = 0;
    if (watched) ready[count++] = pollfd{input_, POLLIN, 0};
    if (other >= 0) ready[count++] = pollfd{other, POLLIN, 0};
    const int result = ppoll(ready, count, &timeout, nullptr);
    if (result == 0) return Wait::TimedOut;
    if (result < 0 && errno == EINTR) return Wait::Interrupted;
    if (result > 0 && (!watched || ready[0].revents == 0)) return Wait::Other;
    // Input, or a poll that failed: the read that follows tells.
    return watched ? Wait::Input : Wait::Interrupted;
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
