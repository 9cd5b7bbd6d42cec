// varlo: the player in a POSIX terminal, with GStreamer behind the MCI command strings.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/program.h"
#include "platform/posix/gst_engine.h"
#include "platform/posix/posix_platform.h"

int main(int argc, char** argv) {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        std::fputs("varlo: standard input and output must be a terminal\n", stderr);
        return 2;
    }
    // As Windows hands it over: the whole text after the program name.
    std::string arguments;
    for (int i = 1; i < argc; ++i) arguments += (i > 1 ? " " : "") + std::string(argv[i]);
    varlo::GstEngine engine;
    varlo::SystemDriveSettings settings = varlo::SystemDriveSettingsFromEnvironment();
    const std::string log = settings.folder.empty() ? "" : settings.folder + "/varlo.log";
    varlo::SystemDrive drive(std::move(settings));
    drive.Prepare();
    varlo::Terminal terminal(STDIN_FILENO, STDOUT_FILENO);
    if (!terminal.Enter()) {
        std::fputs("varlo: the terminal cannot be switched to raw input\n", stderr);
        return 2;
    }
    // Whatever a library prints would land in the middle of the screen: it goes to the
    // drive's log, with the signal that ends the player, while the terminal is the screen.
    const int shownErrors = isatty(STDERR_FILENO) ? fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3) : -1;
    if (shownErrors >= 0) {
        if (!log.empty()) mkdir(log.substr(0, log.rfind('/')).c_str(), 0700);
        constexpr int kLog = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
        int errors = log.empty() ? -1 : open(log.c_str(), kLog, 0600);
        if (errors >= 0) varlo::Terminal::NoteSignalsIn(STDERR_FILENO);
        if (errors < 0) errors = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (errors >= 0 && dup2(errors, STDERR_FILENO) >= 0) close(errors);
    }
    int code = 0;
    std::string last;
    {
        varlo::PosixPlatform platform(engine, terminal, &drive);
        code = varlo::RunProgram(platform, varlo::TextToWindows1252(arguments));
        last = platform.ScreenText();
    }
    // A console keeps what the program showed last ("No sound device found!", an error
    // report); the alternate screen goes with the program, so its text follows on the
    // terminal's own screen.
    terminal.Leave(last);
    varlo::Terminal::NoteSignalsIn(-1);
    if (shownErrors >= 0) dup2(shownErrors, STDERR_FILENO);
    return code;
}
