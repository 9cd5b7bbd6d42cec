// The POSIX side's drive C: for the power action: what it holds, the environment that leads
// there, and the command lines it starts.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <tuple>

#include "platform/posix/session_power_off.h"
#include "platform/posix/system_drive.h"

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

// Without HOME and USER the password entry stands in; a relative XDG_DATA_HOME counts as
// unset; an answer other than yes or no leaves hibernation to systemd.
TEST(SystemDrive, SettingsFromTheEnvironment) {
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    const S home = entry->pw_dir, user = entry->pw_name;
    const std::pair<const char*, const char*> environment[] = {
        {"HOME", nullptr},
        {"USER", nullptr},
        {"XDG_CONFIG_HOME", "/nirgends"},
        {"XDG_DESKTOP_DIR", nullptr},
        {"VARLO_CAN_HIBERNATE", "vielleicht"},
        {"VARLO_HIBERNATE_COMMAND", nullptr},
        {"VARLO_POWEROFF_COMMAND", "/opt/aus --jetzt"},
    };
    std::vector<std::pair<S, std::optional<S>>> saved;
    for (const char* name :
         {"HOME", "USER", "XDG_CONFIG_HOME", "XDG_DESKTOP_DIR", "XDG_DATA_HOME",
          "VARLO_CAN_HIBERNATE", "VARLO_HIBERNATE_COMMAND", "VARLO_POWEROFF_COMMAND"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<S>(value) : std::nullopt);
    }
    for (const char* dataHome : {"/daten", "relativ"}) {
        for (const auto& [name, value] : environment) {
            value ? setenv(name, value, 1) : unsetenv(name);
        }
        setenv("XDG_DATA_HOME", dataHome, 1);
        const SystemDriveSettings settings = SystemDriveSettingsFromEnvironment();
        EXPECT_EQ(settings.folder,
                  dataHome[0] == '/' ? "/daten/varlo/C" : home + "/.local/share/varlo/C");
        EXPECT_EQ(settings.desktop, home + "/Desktop");
        EXPECT_EQ(settings.user, user);
        EXPECT_FALSE(settings.canHibernate.has_value());
        EXPECT_EQ(settings.hibernateCommand, "systemctl hibernate");
        EXPECT_EQ(settings.powerOffCommand, "/opt/aus --jetzt");
    }
    // Every spelling of the same folder gives the same drive.
    const std::tuple<const char*, const char*, S> spellings[] = {
        {"/", nullptr, "/.local/share/varlo/C"},
        {"/home/anna/", nullptr, "/home/anna/.local/share/varlo/C"},
        {"/home//anna/./", nullptr, "/home/anna/.local/share/varlo/C"},
        {"/home/anna", "/daten//x/./", "/daten/x/varlo/C"},
        {"/home/anna", "/", "/varlo/C"},
    };
    for (const auto& [home, dataHome, folder] : spellings) {
        setenv("HOME", home, 1);
        dataHome ? setenv("XDG_DATA_HOME", dataHome, 1) : unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(SystemDriveSettingsFromEnvironment().folder, folder) << home;
    }
    for (const auto& [name, value] : saved) {
        value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
}

S Read(const S& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

bool Exists(const S& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// What the started stand-ins wrote, once there are `lines` lines (they run on their own).
S Awaited(const S& path, size_t lines = 1) {
    for (int i = 0; i < 200; ++i) {
        const S text = Read(path);
        if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Read(path);
}

// A drive in a scratch folder; stand-ins that write their name and arguments into ran.log.
struct PowerDrive : ::testing::Test {
    S root;
    SystemDriveSettings settings;
    DriveView view;
    void SetUp() override {
        char folder[] = "/tmp/varlo-drive-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        root = folder;
        mkdir((root + "/Schreibtisch mit L\xC3\xBC"
                      "cke")
                  .c_str(),
              0755);
        settings.folder = root + "/C";
        settings.desktop = root +
                           "/Schreibtisch mit L\xC3\xBC"
                           "cke";
        settings.user = "J\xC3\xBCrgen";
        settings.canHibernate = true;
        settings.hibernateCommand = Script("hibernate") + " jetzt";
        settings.powerOffCommand = Script("poweroff");
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }
    S Script(const S& name, bool executable = true) {
        const S path = root + "/" + name;
        std::ofstream(path) << "#!/bin/sh\necho " << name << " \"$@\" >> " << root << "/ran.log\n";
        chmod(path.c_str(), executable ? 0755 : 0644);
        return path;
    }
};

TEST_F(PowerDrive, PreparedDriveMountsAndEnvironment) {
    SystemDrive drive(settings);
    drive.Prepare();
    drive.Mount(view);
    EXPECT_TRUE(Exists(root + "/C/hiberfil.sys"));
    EXPECT_TRUE(Exists(root + "/C/Windows/system32/shutdown.exe"));
    EXPECT_EQ(view.ToPosix("c:\\hiberfil.sys", "/").value_or(""), root + "/C/hiberfil.sys");
    EXPECT_EQ(view.ToPosix("C:\\Users\\J\xFCrgen\\Desktop\\hibernate.link", "/").value_or(""),
              settings.desktop + "/hibernate.link");
    EXPECT_EQ(drive.Environment({"PATH=/bin", "windir=D:\\W"}),
              Words({"PATH=/bin", "windir=D:\\W", "COMSPEC=C:\\Windows\\system32\\cmd.exe",
                     "HOMEPATH=\\Users\\J\xFCrgen"}));
    settings.canHibernate = false;  // the file goes when the computer cannot hibernate
    SystemDrive(settings).Prepare();
    EXPECT_FALSE(Exists(root + "/C/hiberfil.sys"));
    EXPECT_TRUE(Exists(root + "/C/Windows/system32/shutdown.exe"));
}

TEST_F(PowerDrive, ShutdownExeRunsTheHibernateOrPowerOffCommand) {
    SystemDrive drive(settings);
    drive.Prepare();
    drive.Mount(view);
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /h", view, root), 0u);
    EXPECT_EQ(Awaited(root + "/ran.log"), "hibernate jetzt\n");
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /S", view, root), 0u);
    EXPECT_EQ(Awaited(root + "/ran.log", 2), "hibernate jetzt\npoweroff\n");
}

TEST_F(PowerDrive, CommandFileRunsTheLinkOnTheDesktop) {
    SystemDrive drive(settings);
    drive.Prepare();
    drive.Mount(view);
    rename(Script("hibernate.link").c_str(), (settings.desktop + "/hibernate.link").c_str());
    std::ofstream(root + "/C/dummi.cmd") << "\"C:\\Users\\J\xFCrgen\\Desktop\\hibernate.link\"\r\n";
    EXPECT_EQ(drive.Start("c:\\dummi.cmd", view, root), 0u);
    EXPECT_EQ(Awaited(root + "/ran.log"), "hibernate.link\n");
}

// Nothing is powered off that was not asked for, and what cannot start is a refusal.
TEST_F(PowerDrive, CommandsThatCannotStart) {
    settings.powerOffCommand = root + "/gibt-es-nicht";
    SystemDrive drive(settings);
    drive.Prepare();
    drive.Mount(view);
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /s", view, root), 2u);
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\fehlt.exe /s", view, root), 2u);
    EXPECT_EQ(drive.Start("D:\\shutdown.exe /s", view, root), 2u);
    EXPECT_EQ(drive.Start("", view, root), 2u);
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe", view, root), 0u);  // no action
    // A link that is not executable: the command file's line is refused, and so is the file.
    rename(Script("hibernate.link", false).c_str(), (settings.desktop + "/hibernate.link").c_str());
    std::ofstream(root + "/C/dummi.cmd") << "\"C:\\Users\\J\xFCrgen\\Desktop\\hibernate.link\"\r\n";
    EXPECT_EQ(drive.Start("c:\\dummi.cmd", view, root), 5u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(Exists(root + "/ran.log"));
    EXPECT_NE(Read(root + "/C/varlo.log").find("cannot start"), S::npos);
}

// The drive under every spelling of its folder, a symlink in the way included: its
// shutdown.exe runs the power-off command, never the stub itself.
TEST_F(PowerDrive, EverySpellingOfTheFolderIsTheSameDrive) {
    ASSERT_EQ(symlink(root.c_str(), (root + "/link").c_str()), 0);
    const S spellings[] = {root + "/C/", root + "//C", root + "/./C/.", root + "/link/C"};
    for (const S& spelling : spellings) {
        settings.folder = spelling;
        SystemDrive drive(settings);
        drive.Prepare();
        DriveView mounted;
        drive.Mount(mounted);
        EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /s", mounted, "/"), 0u)
            << spelling;
    }
    EXPECT_EQ(Awaited(root + "/ran.log", 4), "poweroff\npoweroff\npoweroff\npoweroff\n");
}

// What the power-off command does within the watch decides: one that cannot start or that
// fails is refused, with its output in the log; one still running counts as started and is
// reaped once it ends. Children run in "/", away from the music folder.
TEST_F(PowerDrive, StartedCommandsAreWatched) {
    settings.watchMilliseconds = 300;
    const std::pair<S, uint32_t> cases[] = {
        {root + "/gibt-es-nicht", 2u},
        {"/bin/sh -c \"echo Zugriff verweigert; exit 1\"", 5u},
        {"/bin/sh -c \"kill -9 $$\"", 5u},
        {"/bin/sh -c \"pwd > " + root + "/pwd.log\"", 0u},
        {"/bin/sleep 0.6", 0u},
    };
    for (const auto& [command, code] : cases) {
        settings.powerOffCommand = command;
        SystemDrive drive(settings);
        drive.Prepare();
        DriveView mounted;
        drive.Mount(mounted);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /s", mounted, root), code)
            << command;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
    EXPECT_EQ(Read(root + "/pwd.log"), "/\n");
    EXPECT_NE(Read(root + "/C/varlo.log").find("Zugriff verweigert"), S::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_LE(waitpid(-1, nullptr, WNOHANG), 0);  // no child left unreaped
}

// A drive that others could change is no drive at all; inside it no symlink is followed.
TEST_F(PowerDrive, NoDriveThatOthersCouldChange) {
    mkdir(settings.folder.c_str(), 0755);
    chmod(settings.folder.c_str(), 0777);
    SystemDrive open(settings);
    open.Prepare();
    open.Mount(view);
    EXPECT_FALSE(view.ToPosix("C:\\hiberfil.sys", "/").has_value());
    EXPECT_EQ(open.Start("C:\\Windows\\system32\\shutdown.exe /s", view, root), 2u);
    chmod(settings.folder.c_str(), 0755);
    if (getuid() == 0 && chown(settings.folder.c_str(), 12345, 12345) == 0) {
        DriveView other;
        SystemDrive foreign(settings);
        foreign.Prepare();
        foreign.Mount(other);
        EXPECT_FALSE(other.ToPosix("C:\\hiberfil.sys", "/").has_value());
        EXPECT_EQ(chown(settings.folder.c_str(), 0, 0), 0);
    }
    symlink((root + "/hiber").c_str(), (root + "/C/hiberfil.sys").c_str());
    symlink((root + "/log").c_str(), (root + "/C/varlo.log").c_str());
    settings.powerOffCommand = "/bin/sh -c \"echo nein; exit 1\"";
    SystemDrive drive(settings);
    drive.Prepare();
    DriveView mounted;
    drive.Mount(mounted);
    EXPECT_EQ(drive.Start("C:\\Windows\\system32\\shutdown.exe /s", mounted, root), 5u);
    EXPECT_FALSE(Exists(root + "/hiber"));
    EXPECT_FALSE(Exists(root + "/log"));
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
TEST_F(PowerDrive, SessionBusThatDoesNotAnswer) {
    const int hung = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/bus", root.c_str());
    ASSERT_EQ(bind(hung, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(hung, 4), 0);  // takes connections, never answers
    const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const S before = saved ? saved : "";
    for (const S& bus : {"unix:path=" + root + "/nichts", "unix:path=" + root + "/bus"}) {
        setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
        S detail;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(AskSessionToPowerOff(300, detail), SessionAnswer::None) << bus;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));
    }
    saved ? setenv("DBUS_SESSION_BUS_ADDRESS", before.c_str(), 1)
          : unsetenv("DBUS_SESSION_BUS_ADDRESS");
    close(hung);
}

}  // namespace
}  // namespace varlo
