#include "platform/posix/system_drive.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

extern char** environ;

namespace varlo {

namespace {

constexpr const char* kShutdown = "/Windows/system32/shutdown.exe";
constexpr const char* kShutdownText =
    "Varlo's shutdown.exe: /h runs the hibernate command of this computer, /s its power-off\n"
    "command (VARLO_HIBERNATE_COMMAND, VARLO_POWEROFF_COMMAND; systemctl by default).\n";
constexpr const char* kHibernationFile = "/hiberfil.sys";
constexpr const char* kLogFile = "/varlo.log";
constexpr int kLogonAnswerTimeout = 2000;  // ms

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
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
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
    if (!dataHome.empty()) settings.folder = dataHome + "/varlo/C";
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
    if (settings.powerOffCommand.empty()) settings.powerOffCommand = "systemctl poweroff";
    return settings;
}

SystemDrive::SystemDrive(SystemDriveSettings settings) : settings_(std::move(settings)) {}

void SystemDrive::Mount(DriveView& view) const {
    if (settings_.folder.empty()) return;
    view.Mount("C:\\", settings_.folder);
    if (!settings_.desktop.empty() && !settings_.user.empty()) {
        view.Mount("C:\\Users\\" + Utf8ToWindows1252(settings_.user) + "\\Desktop",
                   settings_.desktop, false);
    }
}

void SystemDrive::Prepare() {
    const std::string& c = settings_.folder;
    if (c.empty() || !MakeFolders(c + "/Windows/system32")) return;
    MakeFolders(c + "/Users/" + settings_.user);
    if (!IsFile(c + kShutdown)) std::ofstream(c + kShutdown) << kShutdownText;
    const bool can = settings_.canHibernate ? *settings_.canHibernate : AskLogindCanHibernate();
    const std::string hibernation = c + kHibernationFile;
    if (can && !IsFile(hibernation)) std::ofstream(hibernation).flush();
    if (!can) unlink(hibernation.c_str());
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
    for (auto child = children_.begin(); child != children_.end();) {
        child = waitpid(*child, nullptr, WNOHANG) != 0 ? children_.erase(child) : child + 1;
    }
    const std::vector<std::string> words = CommandWords(commandLine);
    if (words.empty()) return kSysFileNotFound;
    const std::optional<std::string> program = view.ToPosix(words[0], currentPosix);
    if (!program || !IsFile(*program)) return kSysFileNotFound;
    Log(">> " + Windows1252ToUtf8(commandLine));

    if (!settings_.folder.empty() && *program == settings_.folder + kShutdown) {
        const std::string how = words.size() > 1 ? Upper(words[1]) : "";
        if (how == "/H") return Spawn(CommandWords(settings_.hibernateCommand));
        if (how == "/S") return Spawn(CommandWords(settings_.powerOffCommand));
        Log("shutdown.exe: nothing to do for \"" + Windows1252ToUtf8(commandLine) + "\"");
        return 0;
    }
    if (EndsWith(Upper(*program), ".CMD") || EndsWith(Upper(*program), ".BAT")) {
        // The command interpreter has started: what its lines do is theirs, as on Windows.
        std::ifstream file(*program, std::ios::binary);
        if (!file) return kSysAccessDenied;
        std::string line;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::vector<std::string> lineWords = CommandWords(line);
            if (lineWords.empty()) continue;
            const std::optional<std::string> target = view.ToPosix(lineWords[0], currentPosix);
            if (!target) {
                Log("not found: " + Windows1252ToUtf8(lineWords[0]));
                continue;
            }
            lineWords[0] = *target;
            for (size_t i = 1; i < lineWords.size(); ++i) {
                lineWords[i] = Windows1252ToUtf8(lineWords[i]);
            }
            if (Spawn(lineWords) != 0) Log("cannot start " + lineWords[0]);
        }
        return 0;
    }
    std::vector<std::string> argv = {*program};
    for (size_t i = 1; i < words.size(); ++i) argv.push_back(Windows1252ToUtf8(words[i]));
    return Spawn(argv);
}

uint32_t SystemDrive::Spawn(const std::vector<std::string>& words) {
    if (words.empty()) return kSysFileNotFound;
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    // Detached from the player's terminal: no input from it, its output into the log, a
    // session of its own, and the signal dispositions of a fresh program.
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    const std::string log = settings_.folder.empty() ? "/dev/null" : settings_.folder + kLogFile;
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
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
    const int error = posix_spawnp(&child, argv[0], &files, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    if (error != 0) {
        Log("cannot start " + words[0] + ": " + std::to_string(error));
        return WindowsCode(error);
    }
    children_.push_back(child);
    return 0;
}

void SystemDrive::Log(const std::string& line) const {
    if (settings_.folder.empty()) return;
    std::ofstream(settings_.folder + kLogFile, std::ios::app) << line << "\n";
}

}  // namespace varlo
