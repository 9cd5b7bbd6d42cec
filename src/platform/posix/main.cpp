// varlo: the player in a POSIX terminal, with GStreamer behind the MCI command strings.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "app/program.h"
#include "platform/posix/heap_settings.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/sound/gst_engine.h"

namespace {

// What `varlo --help` prints. The screen's own texts are German; the help is in English, as
// the manual page varlo(1) is (in German: man -L de varlo).
constexpr const char* kUsage =
    "Usage: varlo [EXTENSION]\n"
    "       varlo --help | --version\n"
    "\n"
    "Plays the media files of the current folder one after another on a 69 x 22 screen\n"
    "(in German), in random, title or interpreter order, and after the Down countdown\n"
    "(30 minutes at the start) hibernates or powers off the computer. Every file ending in\n"
    ".mp3 .ape .wav .flac .mp2 .wmv .wma .mid .midi .mov .ogg .mp4 .avi .mpg or .divx is\n"
    "played; with EXTENSION (such as mp3) only the files ending in it.\n"
    "\n"
    "At the sort prompt (random order by itself after about 4 s):\n"
    "  1 2 3            random, title or interpreter order\n"
    "  O                folder chooser\n"
    "  D                type a file extension to look for\n"
    "While a title plays (a click on a label does what its key does):\n"
    "  P                pause with a fade-out; P again continues\n"
    "  + -              volume up, down\n"
    "  D M              Down countdown 5 minutes shorter, longer (at most 360)\n"
    "  0 1 2 3          play the title of that slot of the list next\n"
    "  Up Down PgUp PgDn  scroll the list\n"
    "  Z T I            random, title or interpreter order from the next list on\n"
    "  O                folder chooser: a digit enters a folder, Enter takes the folder\n"
    "                   shown, Esc leaves\n"
    "  R                redraw the screen\n"
    "  ?                two pages of help\n"
    "  Esc              fade out and ask \"Programm beenden ? J/N\"; J or Y ends\n"
    "  Ctrl+C           ends the player at once, anywhere\n"
    "\n"
    "Environment:\n"
    "  VARLO_HIBERNATE_COMMAND  the command that hibernates (systemctl hibernate)\n"
    "  VARLO_POWEROFF_COMMAND   the command that powers off (systemctl poweroff)\n"
    "  VARLO_CAN_HIBERNATE      yes or no: overrides what systemd-logind says\n"
    "  A command is split at blanks; double quotes group.\n"
    "\n"
    "Files:\n"
    "  $XDG_DATA_HOME/varlo/C (~/.local/share/varlo/C)\n"
    "      the player's drive C:, made at start-up: hiberfil.sys when this computer can\n"
    "      hibernate, Windows\\system32\\shutdown.exe, and varlo.log with what the power\n"
    "      commands print\n"
    "  hibernate.link on your desktop (XDG_DESKTOP_DIR, else ~/Desktop)\n"
    "      run instead of hibernating, when it is executable\n"
    "\n"
    "More in varlo(1).\n";

// The two words every program answers, taken before anything looks at the terminal, so that
// `varlo --help | less` works. Only the word alone: any other command line is the extension
// filter of the player, as it always was ("varlo --hlep" looks for files ending in it).
bool AnswerInformationWord(int argc, char** argv) {
    if (argc != 2) return false;
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return true;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::fputs("varlo " VARLO_VERSION "\n", stdout);
        return true;
    }
    return false;
}

// Said where the player was started from: it plays in a terminal only.
int NotATerminal() {
    std::fputs("varlo: standard input and output must be a terminal\n", stderr);
    return 2;
}

// What a run of the player leaves for the end of the program.
struct Played {
    int code;
    std::string screen;  // what the screen showed last, as text
    std::optional<varlo::RefusedSize> refused;
};

}  // namespace

int main(int argc, char** argv) {
    if (AnswerInformationWord(argc, argv)) return std::fflush(stdout) == 0 ? 0 : 1;
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return NotATerminal();
    varlo::ApplyHeapSettings();
    varlo::GstEngine engine;
    varlo::SystemDrive drive(varlo::SystemDriveSettingsFromEnvironment());
    drive.Prepare();
    varlo::Terminal terminal(STDIN_FILENO, STDOUT_FILENO);
    // Entering reads the terminal's modes, which only a terminal has.
    if (!terminal.Enter()) return NotATerminal();
    // Whatever a library prints would land in the middle of the screen: it goes to the
    // drive's log (or nowhere, without one), with the signal that ends the player, while the
    // terminal is the screen. The handlers that note the signal go with the screen.
    const int shownErrors = isatty(STDERR_FILENO) ? fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3) : -1;
    const bool errorsAside = shownErrors != -1;
    if (errorsAside) {
        int errors = drive.OpenLog();
        if (errors == -1) errors = open("/dev/null", O_WRONLY | O_CLOEXEC);
        dup2(errors, STDERR_FILENO);
        close(errors);
        varlo::Terminal::NoteSignalsIn(STDERR_FILENO);
    }
    const Played played = [&] {
        varlo::DesktopBus desktop;  // media keys and idle inhibition, where there is a desktop
        varlo::PosixPlatform platform(engine, terminal, &drive, &desktop);
        const int code = varlo::RunProgram(platform, varlo::CommandTail(argc, argv));
        return Played{code, platform.ScreenText(), platform.SizeRefused()};
    }();
    // A console keeps what the program showed last ("No sound device found!", an error
    // report); the alternate screen goes with the program, so its text follows on the
    // terminal's own screen.
    terminal.Leave(played.screen);
    if (errorsAside) dup2(shownErrors, STDERR_FILENO);
    // The error report says only "Illegal function call": what to do about it goes where the
    // player was started from, and the start failed.
    if (const std::optional<varlo::RefusedSize>& refused = played.refused) {
        std::fprintf(stderr,
                     "varlo: das Terminal hat %d \u00D7 %d Zeichen, Varlo braucht mindestens "
                     "%d \u00D7 %d.\n",
                     refused->found.columns, refused->found.rows, refused->needed.columns,
                     refused->needed.rows);
        return 1;
    }
    return played.code;
}
