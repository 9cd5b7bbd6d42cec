// What the tests of the POSIX side share: stand-in engines, media files written on the spot,
// a pseudo terminal, and waits on things that happen on threads or in other processes.
// Header-only: the fake platform's library is built for Windows too. It brings the standard
// and POSIX headers the tests that include it share.
#pragma once

#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fake/scoped_environment.h"
#include "platform/posix/sound/media_engine.h"
#include "platform/posix/terminal/input_decoder.h"

namespace varlo::fake {

// An item as text: "a" a character ("<13>" below a blank or above "~"), "#72" character 0 and a
// scan code, "M4/1@30,11" a mouse record (event code / buttons @ column,row).
inline std::string Describe(const InputItem& item) {
    const std::string& b = item.bytes;
    if (b.size() == 4 && b[0] == '\xff') {
        return "M" + std::to_string(b[2]) + "/" + std::to_string(b[3]) + "@" +
               std::to_string(item.column) + "," + std::to_string(item.row);
    }
    if (b.size() == 2 && b[0] == '\0') return "#" + std::to_string(static_cast<uint8_t>(b[1]));
    std::string text;
    for (char c : b) {
        const auto u = static_cast<uint8_t>(c);
        text += u >= 0x20 && u < 0x7F ? std::string(1, c) : "<" + std::to_string(u) + ">";
    }
    return text;
}

// Reads at the given times (ms); the items decoded, blank-separated.
inline std::string Decode(InputDecoder& decoder,
                          const std::vector<std::pair<uint32_t, std::string>>& reads) {
    std::string items;
    for (const auto& [at, bytes] : reads) {
        decoder.Feed(bytes, at);
        while (auto item = decoder.Next()) items += (items.empty() ? "" : " ") + Describe(*item);
    }
    return items;
}

// A computer without sound: nothing opens, no output device.
struct NoEngine : MediaEngine {
    std::unique_ptr<MediaStream> Open(const std::string&, uint32_t*) override { return nullptr; }
    uint32_t AudioOutputCount() override { return 0; }
};

// No sound either; what the other side of a pty (`watched`) was sent before each open, in
// `shown`.
struct WatchingEngine : NoEngine {
    explicit WatchingEngine(int watched) : watched(watched) {}
    std::unique_ptr<MediaStream> Open(const std::string&, uint32_t*) override;
    int watched;
    std::string shown;
};

// Streams of 60 s standing at 1.234 s; every call is written down, "; "-separated. Paths
// holding "broken" cannot be played (internal error 277).
struct ScriptedEngine : MediaEngine {
    std::string calls;
    void Note(const std::string& call) { calls += (calls.empty() ? "" : "; ") + call; }
    struct Stream : MediaStream {
        ScriptedEngine& e;
        explicit Stream(ScriptedEngine& engine) : e(engine) {}
        bool Play() override { return e.Note("play"), true; }
        bool Stop() override { return e.Note("stop"), true; }
        bool Seek(uint32_t ms) override { return e.Note("seek " + std::to_string(ms)), true; }
        std::optional<uint32_t> Length() override { return 60000; }
        std::optional<uint32_t> Position() override { return 1234; }
        bool SetVolume(double v) override {
            char text[32];
            std::snprintf(text, sizeof text, "volume %g", v);
            return e.Note(text), true;
        }
    };
    std::unique_ptr<MediaStream> Open(const std::string& path, uint32_t* error) override {
        Note("open " + path);
        *error = path.find("broken") != std::string::npos ? 277 : 0;
        return *error == 0 ? std::make_unique<Stream>(*this) : nullptr;
    }
    uint32_t AudioOutputCount() override { return 1; }
};

// A 16-bit WAV file of `rate` samples a second: silent (`tone` 0) or a quiet tone.
inline std::string WriteWav(const std::string& path, uint32_t milliseconds, uint32_t channels = 1,
                            int tone = 1000, uint32_t rate = 8000) {
    const uint32_t samples = rate * milliseconds / 1000, frame = 2 * channels,
                   bytes = samples * frame,
                   header[] = {0x46464952, 36 + bytes,   0x45564157,
                               0x20746d66, 16,           channels << 16 | 1,
                               rate,       rate * frame, 16u << 16 | frame,
                               0x61746164, bytes};
    std::string data(bytes, '\0');
    for (uint32_t i = 0; tone != 0 && i < samples * channels; ++i) {
        const auto v = static_cast<uint16_t>(tone * std::sin(i / channels * 0.3));
        data[2 * i] = static_cast<char>(v & 0xFF), data[2 * i + 1] = static_cast<char>(v >> 8);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(header), sizeof header)
        .write(data.data(), bytes);
    return path;
}

// A silent WAV file of its own in a folder of its own, gone with the object.
struct SilentWav {
    explicit SilentWav(uint32_t seconds, uint32_t rate = 8000, uint32_t channels = 1)
        : folder("/tmp/varlo-engine-XXXXXX") {
        path = WriteWav(std::string(mkdtemp(folder.data())) + "/Still.wav", seconds * 1000,
                        channels, 0, rate);
    }
    ~SilentWav() { std::remove(path.c_str()), rmdir(folder.c_str()); }
    std::string folder, path;
};

inline std::string ReadFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

inline bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// What another process wrote into `path`, once there are `lines` lines (2 s at most).
inline std::string Awaited(const std::string& path, size_t lines = 1) {
    for (int i = 0; i < 200; ++i) {
        const std::string text = ReadFile(path);
        if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadFile(path);
}

// How long a call took, in ms.
template <typename F>
long Took(F call) {
    const auto start = std::chrono::steady_clock::now();
    call();
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

// The threads of the engine's streams, once those still closing have had 3 s to end.
template <typename Engine>
size_t ThreadsLeft(const Engine& engine) {
    for (int i = 0; i < 150 && engine.StreamThreads() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return engine.StreamThreads();
}

// The player's passes: a question every 20 ms for the given time.
template <typename F>
void Passes(int milliseconds, F pass) {
    for (int at = 0; at < milliseconds; at += 20) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pass();
    }
}

// What a shell command line printed on standard output, and its exit code (-1: no exit).
struct Ran {
    int code;
    std::string out;
};
inline Ran RunShell(const std::string& line) {
    FILE* pipe = popen(line.c_str(), "r");
    Ran ran{-1, ""};
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) ran.out.append(buffer, n);
    const int status = pclose(pipe);
    ran.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

// The environment that keeps a started player away from every bus and sound server.
inline const std::vector<std::string> kNoBusNoServer = {
    "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent",
    "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent", "PULSE_SERVER=unix:/nonexistent"};

// A program (the built player) run by the shell in /tmp with `rest` of its command line
// (arguments, redirections), away from every bus and sound server.
inline Ran RunPlayer(const char* program, const std::string& rest) {
    std::string line = "cd /tmp && env";
    for (const std::string& setting : kNoBusNoServer) line += " " + setting;
    return RunShell(line + " '" + program + "' " + rest);
}

// The text of the fenced block that follows the first line holding `marker` in `text`.
inline std::string BlockAfter(const std::string& text, const std::string& marker) {
    const size_t start = text.find("```", text.find(marker));
    const size_t body = text.find('\n', start) + 1;
    return text.substr(body, text.find("```", body) - body);
}

// What the other side of a pty (or a pipe) has to read, within ms of quiet.
inline std::string ReadPty(int master, int ms) {
    std::string bytes;
    char buffer[65536];
    pollfd ready{master, POLLIN, 0};
    for (ssize_t n; poll(&ready, 1, ms) > 0 && (n = read(master, buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

inline std::unique_ptr<MediaStream> WatchingEngine::Open(const std::string&, uint32_t*) {
    shown = ReadPty(watched, 20);
    return nullptr;
}

// A pseudo terminal, 80 x 24 unless resized: the player's side is the slave.
struct Pty {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    int slave = (grantpt(master), unlockpt(master), open(ptsname(master), O_RDWR | O_NOCTTY));
    Pty() { Resize(80, 24); }
    void Resize(unsigned short columns, unsigned short rows) {
        const winsize size{rows, columns, 0, 0};
        ioctl(master, TIOCSWINSZ, &size);
    }
    // A terminal that follows a size request: once `request` is sent (or 5 s without it),
    // it takes the size. Reads what the player sends until then.
    std::thread Follow(std::string request, unsigned short columns, unsigned short rows) {
        return std::thread([this, request, columns, rows] {
            std::string sent;
            for (int i = 0; i < 1000 && sent.find(request) == std::string::npos; ++i)
                sent += ReadPty(master, 5);
            Resize(columns, rows);
        });
    }
    ~Pty() { close(slave), close(master); }
};

// A program (the built player) on a 40 x 10 pty of its own as its controlling terminal, in a
// folder of its own that is also its XDG_DATA_HOME, away from every bus and sound server.
// Its standard error is the pty, or the file "errors" in the folder when `errorsToFile`.
// Ended and its folder removed with the object.
struct StartedPlayer {
    Pty pty;
    std::string folder = "/tmp/varlo-player-XXXXXX";
    pid_t pid = -1;
    std::string shown;  // what the pty showed so far
    explicit StartedPlayer(const char* program, bool errorsToFile = false) {
        pty.Resize(40, 10);
        if (!mkdtemp(folder.data())) return;
        // Under the sanitizers: GLib's own buffer for the whole process is not a leak.
        std::ofstream(folder + "/glib.supp") << "leak:libglib-2.0.so\n";
        std::vector<std::string> settings = kNoBusNoServer;
        settings.push_back("XDG_DATA_HOME=" + folder);
        settings.push_back("LSAN_OPTIONS=print_suppressions=0:suppressions=" + folder +
                           "/glib.supp");
        const std::string errors = folder + "/errors";
        pid = fork();
        if (pid != 0) return;
        setsid();
        ioctl(pty.slave, TIOCSCTTY, 0);
        for (int fd = 0; fd < 3; ++fd) dup2(pty.slave, fd);
        if (errorsToFile) dup2(open(errors.c_str(), O_WRONLY | O_CREAT, 0644), 2);
        for (const std::string& setting : settings) putenv(strdup(setting.c_str()));
        if (chdir(folder.c_str()) == 0) execl(program, "varlo", nullptr);
        _exit(127);
    }
    // Reads the pty until it showed `text` (6 s at most); whether it did.
    bool Shows(const std::string& text) {
        for (int i = 0; i < 300 && shown.find(text) == std::string::npos; ++i)
            shown += ReadPty(pty.master, 20);
        return shown.find(text) != std::string::npos;
    }
    // Types `key` (if any), waits for the end (5 s at most; one that hangs ends with the pty,
    // on its hang-up) and reads what the pty still showed: the exit code, 128 + the signal
    // that ended it, or -1.
    int Ended(const char* key = "") {
        if (write(pty.master, key, strlen(key)) < 0) return -1;
        int status = 0;
        pid_t ended = 0;
        for (int i = 0; i < 500 && (ended = waitpid(pid, &status, WNOHANG)) == 0; ++i)
            usleep(10000);
        shown += ReadPty(pty.master, 50);
        if (ended != pid) return -1;
        pid = -1;
        return WIFEXITED(status)     ? WEXITSTATUS(status)
               : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                     : -1;
    }
    ~StartedPlayer() {
        if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        std::system(("rm -rf " + folder).c_str());
    }
};

// A dbus-daemon of the test's own as the session and the system bus while the object lives.
struct PrivateBus {
    PrivateBus() {
        FILE* daemon = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        char address[512] = "";
        if (std::fscanf(daemon, "%511s %d", address, &pid) != 2) pid = 0;
        pclose(daemon);
        variables.Set("DBUS_SESSION_BUS_ADDRESS", address);
        variables.Set("DBUS_SYSTEM_BUS_ADDRESS", address);
    }
    ~PrivateBus() {
        if (pid > 0) kill(pid, SIGTERM);
    }
    int pid = 0;
    ScopedEnvironment variables;
};

// A call to the player's MPRIS object, made on another thread as a client makes it (retried
// until the name is taken) while the player's thread runs serve(); the reply as GLib prints
// it, "" for none within 5 s.
inline std::string CallMpris(const std::function<void()>& serve, const char* interface,
                             const char* method, GVariant* parameters = nullptr) {
    std::string printed;
    std::atomic<bool> done{false};
    std::thread caller([&] {
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        GVariant* reply = nullptr;
        if (parameters) g_variant_ref_sink(parameters);
        for (int tries = 0; bus && tries < 100 && !reply; ++tries, g_usleep(20000)) {
            reply = g_dbus_connection_call_sync(
                bus, "org.mpris.MediaPlayer2.varlo", "/org/mpris/MediaPlayer2", interface, method,
                parameters ? g_variant_ref(parameters) : nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE,
                2000, nullptr, nullptr);
        }
        if (gchar* text = reply ? g_variant_print(reply, FALSE) : nullptr) {
            printed = text;
            g_free(text);
        }
        if (reply) g_variant_unref(reply);
        if (parameters) g_variant_unref(parameters);
        if (bus) g_object_unref(bus);
        done = true;
    });
    for (int pass = 0; pass < 500 && !done; ++pass) {
        serve();
        g_usleep(10000);
    }
    caller.join();
    return printed;
}

// A connection of its own to the private bus (see PrivateBus).
inline GDBusConnection* ConnectedToPrivateBus() {
    return g_dbus_connection_new_for_address_sync(
        std::getenv("DBUS_SESSION_BUS_ADDRESS"),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
}

// Runs this thread's GLib main context until `done` (3 s at most).
inline void Iterated(const std::function<bool()>& done) {
    for (int i = 0; i < 300 && !done(); ++i)
        g_main_context_iteration(nullptr, FALSE), g_usleep(10000);
}

// A stand-in for a desktop's service on the private bus (a session manager, logind, the
// portal): it owns `name` and answers every call with success, its body `answer` if given (or
// with `error`), noting path, interface, method and arguments, one call a line.
struct SessionManager {
    SessionManager(const char* name, const char* error = nullptr, GVariant* answer = nullptr)
        : error(error), answer(answer ? g_variant_ref_sink(answer) : nullptr) {
        bus = ConnectedToPrivateBus();
        g_dbus_connection_add_filter(bus, Filter, this, nullptr);
        GVariant* owned = g_dbus_connection_call_sync(
            bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", name, 4), nullptr, G_DBUS_CALL_FLAGS_NONE, 2000,
            nullptr, nullptr);
        if (owned) g_variant_unref(owned);
    }
    ~SessionManager() {
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
        if (answer) g_variant_unref(answer);
    }
    static GDBusMessage* Filter(GDBusConnection* bus, GDBusMessage* message, gboolean incoming,
                                gpointer self) {
        auto* manager = static_cast<SessionManager*>(self);
        if (!incoming ||
            g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL)
            return message;
        GVariant* body = g_dbus_message_get_body(message);
        gchar* arguments = body ? g_variant_print(body, FALSE) : g_strdup("()");
        {
            std::lock_guard<std::mutex> lock(manager->guard);
            manager->asked += std::string(g_dbus_message_get_path(message)) + " " +
                              g_dbus_message_get_interface(message) + "." +
                              g_dbus_message_get_member(message) + " " + arguments + "\n";
        }
        g_free(arguments);
        GDBusMessage* reply = manager->error
                                  ? g_dbus_message_new_method_error(message, manager->error, "Nein")
                                  : g_dbus_message_new_method_reply(message);
        if (manager->answer && !manager->error) g_dbus_message_set_body(reply, manager->answer);
        g_dbus_connection_send_message(bus, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr,
                                       nullptr);
        g_object_unref(reply);
        g_object_unref(message);
        return nullptr;
    }
    std::string Asked() {
        std::lock_guard<std::mutex> lock(guard);
        return asked;
    }
    const char* error;
    GVariant* answer;
    GDBusConnection* bus;
    std::mutex guard;
    std::string asked;
};

}  // namespace varlo::fake
