// The POSIX side's drive C: for the power action: what it holds, the environment that leads
// there, and the command lines it starts.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

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
    // A link that is not executable: the command file ran, its line could not.
    rename(Script("hibernate.link", false).c_str(), (settings.desktop + "/hibernate.link").c_str());
    std::ofstream(root + "/C/dummi.cmd") << "\"C:\\Users\\J\xFCrgen\\Desktop\\hibernate.link\"\r\n";
    EXPECT_EQ(drive.Start("c:\\dummi.cmd", view, root), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(Exists(root + "/ran.log"));
    EXPECT_NE(Read(root + "/C/varlo.log").find("cannot start"), S::npos);
}

}  // namespace
}  // namespace varlo
