// varlo: the player in a POSIX terminal, with GStreamer behind the MCI command strings.
#include <fcntl.h>
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
    varlo::SystemDrive drive(varlo::SystemDriveSettingsFromEnvironment());
    drive.Prepare();
    varlo::Terminal terminal(STDIN_FILENO, STDOUT_FILENO);
    if (!terminal.Enter()) {
        std::fputs("varlo: the terminal cannot be switched to raw input\n", stderr);
        return 2;
    }
    // Whatever a library prints would land in the middle of the screen.
    if (isatty(STDERR_FILENO)) {
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) dup2(quiet, STDERR_FILENO);
    }
    int code = 0;
    std::string last;
    {
        varlo::DesktopBus desktop;  // media keys and idle inhibition, where there is a desktop
        varlo::PosixPlatform platform(engine, terminal, &drive, &desktop);
        code = varlo::RunProgram(platform, varlo::TextToWindows1252(arguments));
        last = platform.ScreenText();
    }
    // A console keeps what the program showed last ("No sound device found!", an error
    // report); the alternate screen goes with the program, so its text follows on the
    // terminal's own screen.
    terminal.Leave();
    std::fputs(last.c_str(), stdout);
    return code;
}
