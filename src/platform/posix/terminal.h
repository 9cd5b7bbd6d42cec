// The terminal the player runs in, as its console: input raw and without echo, output on the
// alternate screen without autowrap; and the way back to the terminal as it was (main
// screen, cooked mode, cursor shown, mouse reports off, autowrap on, colours reset) on every
// way the program ends: a normal end, SIGINT (Ctrl+C), SIGTERM, SIGHUP, SIGQUIT, and a crash
// (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL: the terminal first, then the signal's own end).
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
    ~Terminal() { Leave(); }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Raw mode and the alternate screen, and the signal handlers that give them back. False
    // (nothing changed) when the input is not a terminal.
    bool Enter();
    // Gives the terminal back as it was before Enter; nothing when not entered.
    void Leave();

    // Mouse reports (xterm's SGR form, presses, releases and moves with a button held) from
    // now on, also after a stop.
    void ReportMouse();

    // Writes all of bytes, with one write() unless the terminal takes them in parts.
    void Write(std::string_view bytes);
    // Whatever the terminal has sent, without waiting; "" when nothing.
    std::string ReadAvailable();
    // Waits at most timeout for the terminal to send something (or to end, or to fail: a read
    // then tells); a signal ends the wait early. One poll, no read.
    enum class Wait { Input, TimedOut, Interrupted };
    Wait WaitForInput(const timespec& timeout) const;
    // The size as the terminal reports it; nothing when it reports none.
    std::optional<TerminalSize> Size() const;
    // True once after the terminal's size changed or the player came back from a stop.
    static bool TakeRepaint();

  private:
    int input_;
    int output_;
    bool entered_ = false;
};

}  // namespace varlo
