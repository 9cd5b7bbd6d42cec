// The file functions of the platform seam on a POSIX file system shown as Windows drives
// (DriveView: "/" is Z:\), with the answers and error codes Windows gives.
//
// Names reach the player in Windows-1252, where a character it lacks (or a byte that is not
// UTF-8) became "?". Such a name cannot be converted back, so the attribute query and the
// change of folder look for the entry it came from: the first of its folder, in name order,
// whose converted name is the same. The player lists every entry it shows that way, and an
// entry it listed must never end in an error report. The short path does not look: a title
// of such a name cannot be opened, as a name outside the ANSI code page on Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/drive_view.h"

namespace varlo {

class PosixFiles {
  public:
    explicit PosixFiles(DriveView view = DriveView()) : view_(std::move(view)) {}

    // GetShortPathNameA: the path itself when it names something (short names are not kept
    // on POSIX file systems).
    uint32_t ShortPathName(const std::string& path, std::string& shortPath);
    // FindFirstFileA / FindNextFileA: "*" or "*.*" after a folder (or alone: the current
    // folder) lists it, "." and ".." first (not at the root), then every entry sorted by name
    // without case, as NTFS returns them; any other pattern is one path.
    std::vector<FolderEntry> SearchFolder(const std::string& pattern);
    // GetFileAttributesA: folder 0x10, file 0x20, anything else (FIFO, socket, device, a link
    // to nothing) system 0x04, which the player never opens; a name with a leading dot hidden.
    std::optional<uint32_t> FileAttributes(const std::string& path, uint32_t* error);
    std::string CurrentFolder();
    uint32_t ChangeFolder(const std::string& path);
    uint32_t WriteTextFile(const std::string& path, const std::string& bytes);

    // The POSIX path of a path of the player's, its names taken as written; what MCI opens.
    std::optional<std::string> ToPosix(const std::string& path);

    const DriveView& View() const { return view_; }
    // The current folder's POSIX path (the last one known while it has been removed).
    std::string WorkingFolder();

  private:
    // The POSIX path. Names the path shares with the current folder are the current
    // folder's own; with findEntries, a name with "?" that names nothing is the entry it was
    // converted from.
    std::optional<std::string> Resolve(const std::string& path, bool findEntries);

    DriveView view_;
    std::string lastWorkingFolder_ = "/";  // while the current folder has been removed
};

}  // namespace varlo
