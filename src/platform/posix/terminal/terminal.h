// The terminal the player runs in, as its console: input raw and without echo, output on the
// alternate screen without autowrap; and the way back to the terminal as it was (main
// screen, cooked mode, cursor shown, mouse reports off, autowrap on, colours reset, the size
// it had before the player asked for another) on every way the program ends: a normal end,
// and every signal whose default action ends the program (Ctrl+C, SIGTERM, SIGHUP, a crash,
// SIGUSR1, SIGALRM, ...: the terminal first, then the signal's own end). Signals the program
// was started with ignored stay ignored, as do those a library handles. The way back is taken once,
// whatever signals come during it; a write to a closed pipe or socket (SIGPIPE) fails instead of
// ending the player.
//
// No write ever waits for the terminal: one that nobody reads (a dead SSH link, a hung
// terminal) loses what it cannot take, and the player goes on. The way back then drops what
// the terminal holds unread, the player's screen, to get through.
//
// Ctrl+C and Ctrl+\ stay signals: they end the player with the terminal restored. Ctrl+Z
// stops it as any program: the terminal is restored for the shell, and taken again, with
// everything drawn anew, when the player continues (SIGCONT). A change of the terminal's
// size (SIGWINCH) has everything drawn anew too.
//
// One Terminal may be entered at a time: the signal handlers reach its state through the
// process's one record of it.
#pragma once

#include <time.h>

#include <optional>
#include <string>
#include <string_view>

namespace varlo {

struct TerminalSize {
    int columns = 0;
    int rows = 0;
};

class Terminal {
  public:
    // Nothing is done to the terminal yet; the file descriptors stay open after.
    Terminal(int input, int output) : input_(input), output_(output) {}
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Raw mode and the alternate screen, and the signal handlers that give them back. False
    // (nothing changed) when the input is not a terminal.
    bool Enter();
    // Gives the terminal back as it was before Enter, then writes text on its own screen
    // as far as it takes it without waiting; nothing when not entered.
    void Leave(std::string_view text = {});

    // Mouse reports (xterm's SGR form, presses, releases and moves with a button held) from
    // now on, also after a stop.
    void ReportMouse();

    // Writes what the terminal takes now, without waiting; false when bytes were dropped.
    // From then on it takes nothing until it has read what it holds (Writable); what it is
    // sent next begins with CAN, which ends a sequence cut off.
    bool Write(std::string_view bytes);
    bool Writable();
    // xterm's request for a text area of columns x rows; the size before it comes back with
    // the terminal, and the request again after a stop. Terminals that do not take it keep
    // their size.
    void RequestSize(int columns, int rows);
    // Where a signal that ends the program is noted from now on (a log; -1: nowhere).
    static void NoteSignalsIn(int fd);
    // Whatever the terminal has sent, without waiting; "" when nothing.
    std::string ReadAvailable();
    // Waits at most timeout for the terminal to send something (or to end, or to fail: a read
    // then tells), when it is watched, and for another descriptor to become readable, when
    // one is given (-1: none); a signal ends the wait early. One poll, no read.
    enum class Wait { Input, Other, TimedOut, Interrupted };
    Wait WaitForInput(const timespec& timeout, bool watched = true, int other = -1);
    // The size as the terminal reports it; nothing when it reports none.
    std::optional<TerminalSize> Size() const;
    // True once after the terminal's size changed or the player came back from a stop.
    static bool TakeRepaint();

  private:
    // Puts the descriptors of a wait into the epoll set; false where epoll cannot wait for
    // them (a regular file, say), and from then on.
    bool Watch(bool watched, int other);

    int input_;
    int output_;
    int writer_ = -1;  // the output, never blocking; -1 while not entered
    bool entered_ = false;
    bool stalled_ = false;  // bytes were dropped and the terminal has not read since
    bool cut_ = false;      // the next write begins with CAN
    // The waits' descriptors stay in an epoll set from one wait to the next: polling a
    // terminal asks its line discipline twice per wait, epoll only when it woke.
    int epoll_ = -1;  // kNoEpoll: ppoll instead
    bool epollInput_ = false;
    int epollOther_ = -1;
};

}  // namespace varlo
