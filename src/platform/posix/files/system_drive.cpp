#include "platform/posix/files/system_drive.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "platform/posix/desktop/session_power_off.h"

extern char** environ;

namespace varlo {

namespace {

constexpr const char* kShutdown = "/Windows/system32/shutdown.exe";
constexpr const char* kShutdownInDrive = "Windows/system32/shutdown.exe";
constexpr const char* kShutdownText =
    "Varlo's shutdown.exe: /h runs the hibernate command of this computer, /s its power-off\n"
    "command (VARLO_HIBERNATE_COMMAND, VARLO_POWEROFF_COMMAND; systemctl by default).\n";
constexpr const char* kHibernationFile = "hiberfil.sys";
constexpr const char* kLogFile = "varlo.log";
constexpr int kLogonAnswerTimeout = 2000;    // ms, connection and answer
constexpr int kSessionAnswerTimeout = 5000;  // ms, all session managers together
constexpr auto kWatchStep = std::chrono::milliseconds(10);

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

const passwd* PasswordEntry() {
    return getpwuid(getuid());
}

// XDG_DESKTOP_DIR="$HOME/Schreibtisch" in user-dirs.dirs.
std::string DesktopFromUserDirs(const std::string& configHome, const std::string& home) {
    std::ifstream file(configHome + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(file, line)) {
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
        if (!value.empty() && value[0] == '/') return value;
    }
    return "";
}

bool AskLogindCanHibernate() {
    GError* error = nullptr;
    GDBusConnection* bus = ConnectBus(SystemBusAddress(), kLogonAnswerTimeout);
    if (!bus) return false;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
        "CanHibernate", nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kLogonAnswerTimeout,
        nullptr, &error);
    bool can = false;
    if (reply) {
        const gchar* answer = nullptr;
        g_variant_get(reply, "(&s)", &answer);
        can = g_strcmp0(answer, "yes") == 0;
        g_variant_unref(reply);
    }
    g_clear_error(&error);
    g_object_unref(bus);
    return can;
}

bool MakeFolders(const std::string& path) {
    for (size_t slash = 1; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        const std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool IsFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A folder of the drive: the user's own, writable by nobody else.
bool Trusted(int folder) {
    struct stat info;
    return folder >= 0 && fstat(folder, &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Opens `relative` ("Windows/system32/shutdown.exe") in the drive `folder` without following
// a symlink anywhere on the way, through trusted folders only; -1 otherwise.
int OpenInDrive(const std::string& folder, const std::string& relative, int flags,
                mode_t mode = 0) {
    if (folder.empty()) return -1;
    constexpr int kFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int at = open(folder.c_str(), kFolder);
    for (size_t start = 0; at >= 0;) {
        if (!Trusted(at)) break;
        const size_t slash = relative.find('/', start);
        const std::string name = relative.substr(start, slash - start);
        const int next = slash == std::string::npos
                             ? openat(at, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode)
                             : openat(at, name.c_str(), kFolder);
        close(at);
        if (slash == std::string::npos) return next;
        at = next;
        start = slash + 1;
    }
    if (at >= 0) close(at);
    return -1;
}

void AppendLog(const std::string& folder, const std::string& line) {
    const int log = OpenInDrive(folder, kLogFile, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log < 0) return;
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t written = write(log, text.data(), text.size());
    close(log);
}

std::string Ending(int status) {
    if (WIFEXITED(status)) return ": exit status " + std::to_string(WEXITSTATUS(status));
    return ": ended by signal " + std::to_string(WTERMSIG(status));
}

std::string PathVariable() {
    const char* path = std::getenv("PATH");
    if (path) return path;
    std::string fallback(confstr(_CS_PATH, nullptr, 0), '\0');
    confstr(_CS_PATH, fallback.data(), fallback.size());
    return fallback.c_str();
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

uint32_t WindowsCode(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return kSysFileNotFound;
        case EACCES:
        case EPERM:
            return kSysAccessDenied;
        case ENOMEM:
            return kSysNotEnoughMemory;
        default:
            return kSysInvalidParameter;
    }
}

}  // namespace

std::string NormalPath(std::string_view path) {
    std::string normal;
    size_t start = 0;
    while (start < path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view name = path.substr(start, slash - start);
        if (!name.empty() && name != ".") {
            if (!normal.empty() || path[0] == '/') normal += '/';
            normal += name;
        }
        start = slash + 1;
    }
    if (normal.empty() && !path.empty()) return path[0] == '/' ? "/" : ".";
    return normal;
}

std::optional<std::string> CommandPath(const std::string& word, std::string_view path) {
    if (word.find('/') != std::string::npos) {
        return word[0] == '/' ? std::optional<std::string>(word) : std::nullopt;
    }
    if (word.empty()) return std::nullopt;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t colon = std::min(path.find(':', start), path.size());
        const std::string_view entry = path.substr(start, colon - start);
        start = colon + 1;
        if (entry.empty() || entry[0] != '/') continue;
        const std::string candidate = std::string(entry) + "/" + word;
        if (IsFile(candidate) && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

std::vector<std::string> CommandWords(std::string_view line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        std::string word;
        bool quoted = false;
        for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
            if (line[i] == '"') {
                quoted = !quoted;
            } else {
                word += line[i];
            }
        }
        words.push_back(word);
    }
    return words;
}

SystemDriveSettings SystemDriveSettingsFromEnvironment() {
    const passwd* entry = PasswordEntry();
    std::string home = Env("HOME");
    if (home.empty() && entry && entry->pw_dir) home = entry->pw_dir;
    std::string user = Env("USER");
    if (user.empty() && entry && entry->pw_name) user = entry->pw_name;

    SystemDriveSettings settings;
    std::string dataHome = Env("XDG_DATA_HOME");
    if (dataHome.empty() || dataHome[0] != '/')
        dataHome = home.empty() ? "" : home + "/.local/share";
    if (!dataHome.empty()) settings.folder = NormalPath(dataHome + "/varlo/C");
    std::string configHome = Env("XDG_CONFIG_HOME");
    if (configHome.empty() || configHome[0] != '/') configHome = home + "/.config";
    settings.desktop = Env("XDG_DESKTOP_DIR");
    if (settings.desktop.empty() && !home.empty()) {
        settings.desktop = DesktopFromUserDirs(configHome, home);
    }
    if (settings.desktop.empty() && !home.empty()) settings.desktop = home + "/Desktop";
    settings.user = user;
    const std::string can = Env("VARLO_CAN_HIBERNATE");
    if (can == "yes") settings.canHibernate = true;
    if (can == "no") settings.canHibernate = false;
    settings.hibernateCommand = Env("VARLO_HIBERNATE_COMMAND");
    if (settings.hibernateCommand.empty()) settings.hibernateCommand = "systemctl hibernate";
    settings.powerOffCommand = Env("VARLO_POWEROFF_COMMAND");
    settings.powerOffThroughSession = settings.powerOffCommand.empty();
    if (settings.powerOffCommand.empty()) settings.powerOffCommand = "systemctl poweroff";
    return settings;
}

SystemDrive::SystemDrive(SystemDriveSettings settings) : settings_(std::move(settings)) {
    if (!settings_.folder.empty()) settings_.folder = NormalPath(settings_.folder);
}

void SystemDrive::Mount(DriveView& view) const {
    if (settings_.folder.empty()) return;
    view.Mount("C:\\", settings_.folder);
    if (!settings_.desktop.empty() && !settings_.user.empty()) {
        view.Mount("C:\\Users\\" + Utf8ToWindows1252(settings_.user) + "\\Desktop",
                   settings_.desktop, false);
    }
}

void SystemDrive::Prepare() {
    std::string& c = settings_.folder;
    if (c.empty() || c[0] != '/') {
        c.clear();
        return;
    }
    MakeFolders(c);
    const std::string asked = c;
    char* real = realpath(c.c_str(), nullptr);
    c = real ? real : "";
    free(real);
    const int root = c.empty() ? -1 : open(c.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool trusted = Trusted(root);
    if (root >= 0) close(root);
    if (!trusted) {
        // The power probe then finds no drive; the user learns why when the player has ended.
        std::fprintf(stderr, "varlo: %s %s: no drive C:\n", asked.c_str(),
                     c.empty() ? "cannot be made" : "is not yours alone");
        c.clear();
        return;
    }
    if (!MakeFolders(c + "/Windows/system32")) return;
    MakeFolders(c + "/Users/" + settings_.user);
    const int stub = OpenInDrive(c, kShutdownInDrive, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (stub >= 0) {
        [[maybe_unused]] const ssize_t written = write(stub, kShutdownText, strlen(kShutdownText));
        close(stub);
    }
    const bool can = settings_.canHibernate ? *settings_.canHibernate : AskLogindCanHibernate();
    if (can) close(OpenInDrive(c, kHibernationFile, O_WRONLY | O_CREAT, 0644));
    if (!can) unlink((c + "/" + kHibernationFile).c_str());
}

int SystemDrive::OpenLog() const {
    return OpenInDrive(settings_.folder, kLogFile, O_WRONLY | O_CREAT | O_APPEND, 0644);
}

std::vector<std::string> SystemDrive::Environment(std::vector<std::string> entries) const {
    if (settings_.folder.empty()) return entries;
    const std::pair<const char*, std::string> added[] = {
        {"COMSPEC", "C:\\Windows\\system32\\cmd.exe"},
        {"WINDIR", "C:\\Windows"},
        {"HOMEPATH", "\\Users\\" + Utf8ToWindows1252(settings_.user)},
    };
    for (const auto& [name, value] : added) {
        bool set = false;
        for (const std::string& entry : entries) {
            set = set || Upper(entry.substr(0, entry.find('='))) == name;
        }
        if (!set) entries.push_back(std::string(name) + "=" + value);
    }
    return entries;
}

uint32_t SystemDrive::Start(const std::string& commandLine, const DriveView& view,
                            const std::string& currentPosix) {
    const std::vector<std::string> words = CommandWords(commandLine);
    if (words.empty()) return kSysFileNotFound;
    const std::optional<std::string> program = view.ToPosix(words[0], currentPosix);
    if (!program || !IsFile(*program)) return kSysFileNotFound;
    Log(">> " + Windows1252ToUtf8(commandLine));

    if (!settings_.folder.empty() && *program == settings_.folder + kShutdown) {
        const std::string how = words.size() > 1 ? Upper(words[1]) : "";
        if (how == "/H") return Spawn(CommandWords(settings_.hibernateCommand));
        if (how == "/S") return PowerOff();
        Log("shutdown.exe: nothing to do for \"" + Windows1252ToUtf8(commandLine) + "\"");
        return 0;
    }
    if (EndsWith(Upper(*program), ".CMD") || EndsWith(Upper(*program), ".BAT")) {
        // The command interpreter runs the lines one after the other; the first that fails
        // is the answer, as the power action has only one to give.
        const int fd = open(program->c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return WindowsCode(errno);
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
        close(fd);
        std::istringstream file(text);
        std::string line;
        uint32_t code = 0;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::vector<std::string> lineWords = CommandWords(line);
            if (lineWords.empty()) continue;
            const std::optional<std::string> target = view.ToPosix(lineWords[0], currentPosix);
            if (!target) {
                Log("not found: " + Windows1252ToUtf8(lineWords[0]));
                if (code == 0) code = kSysFileNotFound;
                continue;
            }
            lineWords[0] = *target;
            for (size_t i = 1; i < lineWords.size(); ++i) {
                lineWords[i] = Windows1252ToUtf8(lineWords[i]);
            }
            const uint32_t lineCode = Spawn(lineWords);
            if (code == 0) code = lineCode;
        }
        return code;
    }
    std::vector<std::string> argv = {*program};
    for (size_t i = 1; i < words.size(); ++i) argv.push_back(Windows1252ToUtf8(words[i]));
    return Spawn(argv);
}

uint32_t SystemDrive::PowerOff() {
    if (settings_.powerOffThroughSession) {
        std::string detail;
        const SessionAnswer answer = AskSessionToPowerOff(kSessionAnswerTimeout, detail);
        Log("session manager: " + detail);
        if (answer == SessionAnswer::Accepted) return 0;
        if (answer == SessionAnswer::Refused) return kSysAccessDenied;
    }
    return Spawn(CommandWords(settings_.powerOffCommand));
}

uint32_t SystemDrive::Spawn(const std::vector<std::string>& words) {
    if (words.empty()) return kSysFileNotFound;
    const std::optional<std::string> program = CommandPath(words[0], PathVariable());
    if (!program) {
        Log("cannot start " + words[0] + ": not found on an absolute PATH entry");
        return kSysFileNotFound;
    }
    std::vector<std::string> line = words;
    line[0] = *program;

    // Detached from the player's terminal: no input from it, its output into the log, a
    // session of its own, the signal dispositions of a fresh program, and "/" as its working
    // folder, so that it keeps no music folder or removable medium busy.
    const int log = OpenLog();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    if (log >= 0) {
        posix_spawn_file_actions_adddup2(&files, log, 1);
    } else {
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    posix_spawn_file_actions_addchdir_np(&files, "/");
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t child = 0;
    int error = ENOEXEC;
    // A script without "#!" runs through the shell, as the shell itself would run it.
    for (int attempt = 0; attempt < 2 && error == ENOEXEC; ++attempt) {
        if (attempt == 1) line.insert(line.begin(), "/bin/sh");
        std::vector<char*> argv;
        for (std::string& word : line) argv.push_back(word.data());
        argv.push_back(nullptr);
        error = posix_spawn(&child, argv[0], &files, &attributes, argv.data(), environ);
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    if (log >= 0) close(log);
    if (error != 0) {
        Log("cannot start " + *program + ": " + strerror(error));
        return WindowsCode(error);
    }
    return Watch(child, *program);
}

// A command that ends within the watch has done its work (systemctl returns once logind has
// taken the job) and says by its status whether it could; one still running has started,
// and a thread of its own waits for its end, so that it never lingers as a zombie.
uint32_t SystemDrive::Watch(pid_t child, const std::string& name) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(settings_.watchMilliseconds);
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0 && errno != EINTR) return 0;
        if (std::chrono::steady_clock::now() >= deadline) {
            Log(name + ": still running after the watch of " +
                std::to_string(settings_.watchMilliseconds) + " ms");
            std::thread([child, name, folder = settings_.folder] {
                int late = 0;
                while (waitpid(child, &late, 0) < 0 && errno == EINTR) {
                }
                AppendLog(folder, name + Ending(late) + " (after the watch)");
            }).detach();
            return 0;
        }
        std::this_thread::sleep_for(kWatchStep);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 0;
    Log(name + Ending(status));
    return kSysAccessDenied;
}

void SystemDrive::Log(const std::string& line) const {
    AppendLog(settings_.folder, line);
}

}  // namespace varlo
