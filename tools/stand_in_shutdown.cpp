// A stand-in for the system's shutdown.exe: appends its own command line as one line to the
// file named by VARLO_STAND_IN_LOG (else stand_in_shutdown.log beside the program) and exits
// with code 0, so that tests can see the power command without powering anything off.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

int main() {
    char log[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("VARLO_STAND_IN_LOG", log, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        length = GetModuleFileNameA(nullptr, log, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return 1;
        std::string path(log, length);
        path = path.substr(0, path.rfind('\\') + 1) + "stand_in_shutdown.log";
        lstrcpynA(log, path.c_str(), MAX_PATH);
    }
    HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    const std::string line = std::string(GetCommandLineA()) + "\r\n";
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size() ? 0 : 1;
}
