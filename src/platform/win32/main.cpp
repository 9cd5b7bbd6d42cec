// varlo.exe: the player on the Windows console.
#include "app/program.h"
#include "platform/win32/win32_platform.h"

int main() {
    varlo::Win32Platform platform;
    return varlo::RunProgram(platform, varlo::ArgumentText(GetCommandLineA()));
}
