// The POSIX side's drive C: for the power action: what it holds, where, what it starts.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <array>
#include <csignal>
#include <tuple>

#include "fake/posix/posix_fixtures.h"
#include "fake/scoped_environment.h"
#include "platform/posix/desktop/session_power_off.h"
#include "platform/posix/files/system_drive.h"

namespace varlo {
namespace {

using S = std::string;
using Words = std::vector<S>;

TEST(SystemDrive, CommandWords) {
    const std::pair<S, Words> cases[] = {
        {"C:\\Windows\\system32\\shutdown.exe /h", {"C:\\Windows\\system32\\shutdown.exe", "/h"}},
        {"\"C:\\Users\\Anna M\xFCller\\Desktop\\hibernate.link\"\r",
         {"C:\\Users\\Anna M\xFCller\\Desktop\\hibernate.link\r"}},
        {"  systemctl\thibernate  ", {"systemctl", "hibernate"}},
        {"a\"b c\"d \"\" e", {"ab cd", "", "e"}},
        {"", {}},
    };
    for (const auto& [line, words] : cases) EXPECT_EQ(CommandWords(line), words) << line;
}

// Each setting from its variable, else its default: the password entry for HOME and USER, no
// relative XDG_DATA_HOME, user-dirs.dirs for the desktop; hibernation to systemd but for yes/no.
TEST(SystemDrive, SettingsFromTheEnvironment) {
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    const S home = entry->pw_dir;
    char config[] = "/tmp/varlo-config-XXXXXX";
    ASSERT_NE(mkdtemp(config), nullptr);
    std::ofstream(S(config) + "/user-dirs.dirs")
        << "XDG_MUSIC_DIR=\"$HOME/Musik\"\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
    // a variable, then its value in each of three environments (nullptr: not set)
    const std::array<const char*, 4> environment[] = {
        {"HOME", nullptr, "/home/anna", "/home/anna/"},
        {"USER", nullptr, "anna", "anna"},
        {"XDG_CONFIG_HOME", "/nirgends", config, "relativ"},
        {"XDG_DESKTOP_DIR", nullptr, nullptr, "/d"},
        {"XDG_DATA_HOME", "relativ", "/daten//x/./", "/"},
        {"VARLO_CAN_HIBERNATE", "vielleicht", "yes", "no"},
        {"VARLO_HIBERNATE_COMMAND", nullptr, "/opt/ruhe", nullptr},
        {"VARLO_POWEROFF_COMMAND", nullptr, "/opt/aus --jetzt", nullptr},
    };
    using Settings = std::tuple<S, S, S, std::optional<bool>, S, S, bool>;
    const Settings expected[] = {
        {home + "/.local/share/varlo/C", home + "/Desktop", entry->pw_name, std::nullopt,
         "systemctl hibernate", "systemctl poweroff", true},
        {"/daten/x/varlo/C", "/home/anna/Schreibtisch", "anna", true, "/opt/ruhe",
         "/opt/aus --jetzt", false},
        {"/varlo/C", "/d", "anna", false, "systemctl hibernate", "systemctl poweroff", true},
    };
    fake::ScopedEnvironment variables;
    for (size_t round = 0; round < 3; ++round) {
        for (const auto& row : environment) variables.Set(row[0], row[round + 1]);
        const SystemDriveSettings s = SystemDriveSettingsFromEnvironment();
        EXPECT_EQ(Settings(s.folder, s.desktop, s.user, s.canHibernate, s.hibernateCommand,
                           s.powerOffCommand, s.powerOffThroughSession),
                  expected[round])
            << round;
    }
    EXPECT_EQ(NormalPath("//./") + NormalPath("./") + NormalPath("a//b/"), "/.a/b");
    // Every spelling of the same home gives the same drive.
    variables.Set("XDG_DATA_HOME", nullptr);
    for (const auto& [spelling, folder] : {std::pair<const char*, S>{"/", "/.local/share/varlo/C"},
                                           {"/home/anna/", "/home/anna/.local/share/varlo/C"},
                                           {"/home//anna/./", "/home/anna/.local/share/varlo/C"}}) {
        variables.Set("HOME", spelling);
        EXPECT_EQ(SystemDriveSettingsFromEnvironment().folder, folder) << spelling;
    }
    std::system(("rm -rf " + S(config)).c_str());
}

using fake::Awaited;
using fake::Exists;
const auto Read = fake::ReadFile;

// A drive in a scratch folder; stand-ins that write their name and arguments into ran.log.
struct PowerDrive : ::testing::Test {
    S root;
    SystemDriveSettings settings;
    DriveView view;
    void SetUp() override {
        char folder[] = "/tmp/varlo-drive-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        root = folder;
        settings.folder = root + "/C";
        settings.desktop = root + "/Schreibtisch f\xC3\xBCr alle";
        mkdir(settings.desktop.c_str(), 0755);
        settings.user = "J\xC3\xBCrgen";
        settings.canHibernate = true;
        settings.hibernateCommand = Script("hibernate") + " jetzt";
        settings.powerOffCommand = Script("poweroff");
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }
    // The drive of the settings as they are now, prepared and mounted in `into`.
    SystemDrive Ready(DriveView& into) {
        SystemDrive drive(settings);
        drive.Prepare();
        drive.Mount(into);
        return drive;
    }
    S Script(const S& name, bool executable = true) {
        const S path = root + "/" + name;
        std::ofstream(path) << "#!/bin/sh\necho " << name << " \"$@\" >> " << root << "/ran.log\n";
        chmod(path.c_str(), executable ? 0755 : 0644);
        return path;
    }
};

TEST_F(PowerDrive, PreparedDriveMountsAndEnvironment) {
    SystemDrive drive = Ready(view);
    EXPECT_TRUE(Exists(root + "/C/hiberfil.sys") && Exists(root + "/C/Users/J\xC3\xBCrgen") &&
                Exists(root + "/C/Windows/system32/shutdown.exe"));
    EXPECT_EQ(view.ToPosix("c:\\hiberfil.sys", "/").value_or(""), root + "/C/hiberfil.sys");
    EXPECT_EQ(view.ToPosix("C:\\Users\\J\xFCrgen\\Desktop\\hibernate.link", "/").value_or(""),
              settings.desktop + "/hibernate.link");
    // Variables the environment has already stay as they are, whatever their case.
    EXPECT_EQ(drive.Environment({"PATH=/bin", "homepath=\\x"}),
              Words({"PATH=/bin", "homepath=\\x", "COMSPEC=C:\\Windows\\system32\\cmd.exe",
                     "WINDIR=C:\\Windows"}));
    EXPECT_EQ(drive.Environment({"ComSpec=x", "windir=D:\\W"}),
              Words({"ComSpec=x", "windir=D:\\W", "HOMEPATH=\\Users\\J\xFCrgen"}));
    settings.canHibernate = false;  // the file goes when the computer cannot hibernate
    SystemDrive(settings).Prepare();
    EXPECT_FALSE(Exists(root + "/C/hiberfil.sys"));
    EXPECT_TRUE(Exists(root + "/C/Windows/system32/shutdown.exe"));
}

TEST_F(PowerDrive, ShutdownExeRunsTheHibernateOrPowerOffCommand) {
    SystemDrive drive = Ready(view);
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /h", view, root), 0u);
    EXPECT_EQ(Awaited(root + "/ran.log"), "hibernate jetzt\n");
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /S", view, root), 0u);
    EXPECT_EQ(Awaited(root + "/ran.log", 2), "hibernate jetzt\npoweroff\n");
}

TEST_F(PowerDrive, CommandFileRunsTheLinkOnTheDesktop) {
    SystemDrive drive = Ready(view);
    rename(Script("hibernate.link").c_str(), (settings.desktop + "/hibernate.link").c_str());
    for (const char* name : {"dummi.cmd", "Dummi.Bat"}) {
        std::ofstream(root + "/C/" + name)
            << "\"C:\\Users\\J\xFCrgen\\Desktop\\hibernate.link\"\r\n";
        EXPECT_EQ(drive.Start(S("c:\\") + name, view, root), 0u);
    }
    // Any other program runs as it is, with its arguments.
    EXPECT_EQ(drive.Start("C:\\Users\\J\xFCrgen\\Desktop\\hibernate.link \xE4", view, root), 0u);
    EXPECT_EQ(Awaited(root + "/ran.log", 3),
              "hibernate.link\nhibernate.link\nhibernate.link \xC3\xA4\n");
}

// Nothing is powered off that was not asked for, and what cannot start is a refusal.
TEST_F(PowerDrive, CommandsThatCannotStart) {
    SystemDrive drive = Ready(view);
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\fehlt.exe /s", view, root), 2u);
    EXPECT_EQ(drive.Start("D:\\shutdown.exe /s", view, root), 2u);
    EXPECT_EQ(drive.Start("", view, root), 2u);
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe", view, root), 0u);  // no action
    // A missing program, a link not executable: each line refused, the file with the first's.
    rename(Script("hibernate.link", false).c_str(), (settings.desktop + "/hibernate.link").c_str());
    std::ofstream(root + "/C/dummi.cmd")
        << "D:\\fehlt.exe\r\n\"C:\\Users\\J\xFCrgen\\Desktop\\hibernate.link\"\r\n";
    EXPECT_EQ(drive.Start("c:\\dummi.cmd", view, root), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(Exists(root + "/ran.log"));
    const S log = Read(root + "/C/varlo.log");
    EXPECT_TRUE(log.find("not found: D:\\fehlt.exe") < log.find("cannot start")) << log;
}

// The drive under every spelling of its folder, a symlink in the way included: its
// shutdown.exe runs the power-off command, never the stub itself.
TEST_F(PowerDrive, EverySpellingOfTheFolderIsTheSameDrive) {
    ASSERT_EQ(symlink(root.c_str(), (root + "/link").c_str()), 0);
    const S spellings[] = {root + "/C/", root + "//C", root + "/./C/.", root + "/link/C"};
    for (const S& spelling : spellings) {
        settings.folder = spelling;
        DriveView mounted;
        SystemDrive drive = Ready(mounted);
        EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /s", mounted, "/"), 0u)
            << spelling;
    }
    EXPECT_EQ(Awaited(root + "/ran.log", 4), "poweroff\npoweroff\npoweroff\npoweroff\n");
}

// Within the watch: a command that cannot start or fails is refused, its output in the log; one
// still running counts as started and is reaped later. Children run in "/", not the music folder.
TEST_F(PowerDrive, StartedCommandsAreWatched) {
    settings.watchMilliseconds = 300;
    const std::pair<S, uint32_t> cases[] = {
        {root + "/gibt-es-nicht", 2u},
        {"/bin/sh -c \"echo Zugriff; echo verweigert >&2; exit 1\"", 5u},
        {"/bin/sh -c \"kill -9 $$\"", 5u},
        {"/bin/sh -c \"(pwd; readlink /proc/self/fd/0) > " + root + "/pwd.log\"", 0u},
        {"/bin/sleep 0.6", 0u},
    };
    // The player's input (/dev/zero here, the terminal at home) is no child's.
    const int saved = dup(0), zero = open("/dev/zero", O_RDONLY);
    dup2(zero, 0);
    for (const auto& [command, code] : cases) {
        settings.powerOffCommand = command;
        DriveView mounted;
        SystemDrive drive = Ready(mounted);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /s", mounted, root), code)
            << command;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
    dup2(saved, 0), close(saved), close(zero);
    EXPECT_EQ(Read(root + "/pwd.log"), "/\n/dev/null\n");
    EXPECT_NE(Read(root + "/C/varlo.log").find("Zugriff\nverweigert\n"), S::npos);  // both outputs
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_LE(waitpid(-1, nullptr, WNOHANG), 0);  // no child left unreaped
    // Children the system reaps itself (SIGCHLD ignored) have ended: no wait for the watch.
    settings.watchMilliseconds = 3000;
    settings.powerOffCommand = "/bin/true";
    DriveView mounted;
    SystemDrive drive = Ready(mounted);
    const auto ignored = signal(SIGCHLD, SIG_IGN);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /s", mounted, root), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    signal(SIGCHLD, ignored);
}

// A drive that others could change is no drive at all (and the user is told why); inside it
// no symlink is followed.
TEST_F(PowerDrive, NoDriveThatOthersCouldChange) {
    mkdir(settings.folder.c_str(), 0755);
    chmod(settings.folder.c_str(), 0777);
    testing::internal::CaptureStderr();
    SystemDrive open = Ready(view);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "varlo: " + settings.folder + " is not yours alone: no drive C:\n");
    EXPECT_FALSE(view.ToPosix("C:\\hiberfil.sys", "/").has_value());
    EXPECT_EQ(open.Start("C:\\Windows\\system32\\shutdown.exe /s", view, root), 2u);
    chmod(settings.folder.c_str(), 0755);
    if (getuid() == 0 && chown(settings.folder.c_str(), 12345, 12345) == 0) {
        DriveView other;
        Ready(other);
        EXPECT_FALSE(other.ToPosix("C:\\hiberfil.sys", "/").has_value());
        EXPECT_EQ(chown(settings.folder.c_str(), 0, 0), 0);
    }
    symlink((root + "/hiber").c_str(), (root + "/C/hiberfil.sys").c_str());
    symlink((root + "/log").c_str(), (root + "/C/varlo.log").c_str());
    settings.powerOffCommand = "/bin/sh -c \"readlink /proc/self/fd/2 > " + root + "/out; exit 1\"";
    DriveView mounted;
    SystemDrive drive = Ready(mounted);
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /s", mounted, root), 5u);
    EXPECT_FALSE(Exists(root + "/hiber"));
    EXPECT_FALSE(Exists(root + "/log"));
    EXPECT_EQ(Read(root + "/out"), "/dev/null\n");  // without a log, nowhere
}

// Programs come from absolute PATH entries only: an empty element, "." or a relative entry
// would find them in the current folder, which is the music folder.
TEST_F(PowerDrive, CommandsOnlyFromAbsolutePathEntries) {
    mkdir((root + "/bin").c_str(), 0755);
    rename(Script("aus").c_str(), (root + "/bin/aus").c_str());
    Script("aus", false);
    char* before = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(root.c_str()), 0);
    EXPECT_EQ(CommandPath("aus", ":.:bin"), std::nullopt);
    EXPECT_EQ(CommandPath("aus", ":" + root + "::" + root + "/bin"), root + "/bin/aus");
    EXPECT_EQ(CommandPath("bin/aus", "/usr/bin"), std::nullopt);
    EXPECT_EQ(CommandPath(root + "/aus", ""), root + "/aus");
    EXPECT_EQ(chdir(before), 0);
    free(before);
}

// A session bus that is missing or hangs holds the power-off no longer than it is given.
// Without an address, the bus is the socket in XDG_RUNTIME_DIR.
TEST_F(PowerDrive, SessionBusThatDoesNotAnswer) {
    const int hung = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/bus", root.c_str());
    ASSERT_EQ(bind(hung, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(hung, 4), 0);  // takes connections, never answers
    fake::ScopedEnvironment variables;
    variables.Set("DBUS_SYSTEM_BUS_ADDRESS", nullptr);
    variables.Set("DBUS_SESSION_BUS_ADDRESS", nullptr);
    EXPECT_EQ(SystemBusAddress(), "unix:path=/run/dbus/system_bus_socket");
    for (const S& runtime : {S("relativ"), root + "/C", root}) {
        variables.Set("XDG_RUNTIME_DIR", runtime.c_str());
        EXPECT_EQ(SessionBusAddress(), runtime == root ? "unix:path=" + root + "/bus" : "");
    }
    for (const S& bus : {"unix:path=" + root + "/nichts", S()}) {
        variables.Set("DBUS_SESSION_BUS_ADDRESS", bus.empty() ? nullptr : bus.c_str());
        S detail;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(AskSessionToPowerOff(300, detail), SessionAnswer::None) << bus;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));
    }
    close(hung);
}

}  // namespace
}  // namespace varlo
