// The file system as the player sees it: the drives of a Windows computer, as Wine shows them.
// Z: is the root of the POSIX file system; further mounts (a folder of the player's own as
// drive C:, say) lie over parts of the drive tree. On the player's side paths are
// Windows-1252 with "\" between the names; on this side UTF-8 with "/".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varlo {

class DriveView {
  public:
    DriveView();

    // windowsFolder ("C:\", "C:\Users\anna\Desktop") shows posixFolder (absolute). With
    // shownBack, a POSIX path inside posixFolder is shown by its place in the mount (a current
    // folder there is "C:\..."); without, only the way from the player's paths leads there.
    void Mount(std::string_view windowsFolder, std::string posixFolder, bool shownBack = true);

    // The POSIX path of a path of the player's, resolved against the current folder (an
    // absolute POSIX path): "X:\..." on a drive, "\..." from the root of the current drive,
    // anything else relative to the current folder. Doubled separators count once, "." and
    // ".." go by name, as Windows takes them. Nothing when the drive is not in the view.
    std::optional<std::string> ToPosix(std::string_view windowsPath,
                                       std::string_view currentPosix) const;

    // The player's path of an absolute POSIX path: "Z:\home\anna", "Z:\" for the root.
    std::string ToWindows(std::string_view posixPath) const;

  private:
    struct WindowsPath {
        char drive;                      // upper case
        std::vector<std::string> names;  // Windows-1252, from the drive's root
    };
    struct MountRow {
        WindowsPath windows;
        std::vector<std::string> posix;  // names from "/"
        bool shownBack;
    };
    static WindowsPath Parse(std::string_view absoluteWindowsPath);
    std::vector<MountRow> mounts_;
};

// A name between the two sides. A character that Windows-1252 lacks, a byte that is not
// UTF-8 and a "\" inside a POSIX name (a separator on the player's side) become "?".
std::string Utf8ToWindows1252(std::string_view utf8);
std::string Windows1252ToUtf8(std::string_view ansi);

}  // namespace varlo
