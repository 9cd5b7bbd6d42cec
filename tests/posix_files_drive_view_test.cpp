// The POSIX file system shown as Windows drives, and names between UTF-8 and Windows-1252.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/posix/files/drive_view.h"

namespace varlo {
namespace {

using S = std::string;

TEST(DriveView, PlayerPathsToPosix) {
    DriveView view;
    view.Mount("C:\\", "/home/anna/.local/share/varlo/C");
    view.Mount("c:\\Users\\anna\\Desktop", "/home/anna/Schreibtisch", false);
    const S cwd = "/home/anna/Musik";
    // path of the player's, then its POSIX path ("-" none)
    const std::tuple<S, S> cases[] = {
        {"Z:\\home\\anna\\Musik\\Rock", "/home/anna/Musik/Rock"},
        {"z:\\", "/"},
        {"\\", "/"},           // the root of the current drive
        {"\\tmp", "/tmp"},     //
        {"..", "/home/anna"},  // relative to the current folder
        {"Rock\\..\\Pop\\.\\a.mp3", "/home/anna/Musik/Pop/a.mp3"},  //
        {"Z:\\\\Musik", "/Musik"},         // a doubled separator counts once
        {"Z:/home//anna/", "/home/anna"},  // "/" separates too
        {"Z:\\..\\..", "/"},               // never past the root
        {"M\xE4rz - S\xFC\xDF.mp3", "/home/anna/Musik/M\xC3\xA4rz - S\xC3\xBC\xC3\x9F.mp3"},
        {"c:\\hiberfil.sys", "/home/anna/.local/share/varlo/C/hiberfil.sys"},
        {"C:", "/home/anna/.local/share/varlo/C"},
        {"C:\\USERS\\Anna\\Desktop\\hibernate.link", "/home/anna/Schreibtisch/hibernate.link"},
        {"C:\\Users\\anna\\Desktop\\..\\x", "/home/anna/.local/share/varlo/C/Users/anna/x"},
        {"D:\\Musik", "-"},  // no such drive
    };
    for (const auto& [windows, posix] : cases) {
        EXPECT_EQ(view.ToPosix(windows, cwd).value_or("-"), posix) << windows;
    }
    // From inside drive C:, "\" is C's root.
    EXPECT_EQ(view.ToPosix("\\x", "/home/anna/.local/share/varlo/C/Windows").value_or("-"),
              "/home/anna/.local/share/varlo/C/x");
}

TEST(DriveView, PosixPathsShownAsDrives) {
    DriveView view;
    view.Mount("C:\\", "/var/lib/varlo/C");
    view.Mount("C:\\Users\\anna\\Desktop", "/home/anna/Desktop", false);
    const std::tuple<S, S> cases[] = {
        {"/", "Z:\\"},
        {"/home/anna/Musik", "Z:\\home\\anna\\Musik"},
        {"/home/anna/Desktop", "Z:\\home\\anna\\Desktop"},  // not shown back through its mount
        {"/var/lib/varlo/C", "C:\\"},
        {"/var/lib/varlo/C/Windows", "C:\\Windows"},
        {"/var/lib/varlo/Cx", "Z:\\var\\lib\\varlo\\Cx"},  // names, not characters, match
        {"/m/\xC3\xBC\xE2\x98\x85", "Z:\\m\\\xFC?"},
    };
    for (const auto& [posix, windows] : cases) EXPECT_EQ(view.ToWindows(posix), windows) << posix;
}

TEST(DriveView, NamesBetweenUtf8AndWindows1252) {
    // UTF-8, then Windows-1252
    const std::tuple<S, S> cases[] = {
        {"Abc - Nordwind.mp3", "Abc - Nordwind.mp3"},
        {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F \xE2\x82\xAC \xE2\x80\x93",
         "\xE4\xF6\xFC\xDF \x80 \x96"},
        {"\xE4\xB8\xAD\xF0\x9F\x98\x80x", "??x"},  // outside Windows-1252: one "?" each
        {"a\\b", "a?b"},                           // a separator on the player's side
        {"\xFF\xC3", "??"},                        // bytes that are no UTF-8
        {"\xC3\x28", "?("},                        // a cut sequence keeps what follows
        {"\xE0\x80\xAF", "???"},                   // overlong
        {"\xED\xA0\x80", "???"},                   // a surrogate
        {"\xF4\x90\x80\x80", "????"},              // above U+10FFFF
        {"\xEF\xBF", "?"},                         // cut at the end
    };
    for (const auto& [utf8, ansi] : cases) EXPECT_EQ(Utf8ToWindows1252(utf8), ansi) << utf8;
    for (int byte = 1; byte < 256; ++byte) {
        const S one(1, static_cast<char>(byte));
        if (byte == '\\') continue;
        EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(one)), one) << byte;
    }
}

}  // namespace
}  // namespace varlo
