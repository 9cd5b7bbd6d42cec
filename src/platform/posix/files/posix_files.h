// The file functions of the platform seam on a POSIX file system shown as Windows drives
// (DriveView: "/" is Z:\), with the answers and error codes Windows gives.
//
// Names reach the player in Windows-1252, where a character it lacks (or a byte that is not
// UTF-8, or a "\") became "?". Such a name cannot be converted back, and several entries of
// one folder may show the same, so this side keeps the real names behind what it showed:
// - the attribute query answers from the last listing, the n-th query of a shown name after
//   it with the n-th entry of that name, as the player walks a listing; an entry gone since
//   the listing keeps what the listing found;
// - the short path hands each real file a short name of its own, as Windows hands out 8.3
//   names: plain characters, no blank, no quote, so the open command carries it whole and no
//   name can make it open another file. The n-th short path asked of a shown name is that of
//   its n-th file, so that a list holding the name k times plays each of the k files;
// - a change of folder into a shown name takes the first folder of that name.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/files/drive_view.h"

namespace varlo {

class PosixFiles {
  public:
    explicit PosixFiles(DriveView view = DriveView()) : view_(std::move(view)) {}

    // GetShortPathNameA: the folder as written and the file's short name: the name itself
    // when it is a plain 8.3 name, else one made up and kept for the file (ToPosix resolves
    // it). 0 when the path names nothing or its folder holds a quote.
    uint32_t ShortPathName(const std::string& path, std::string& shortPath);
    // FindFirstFileA / FindNextFileA: "*" or "*.*" after a folder (or alone: the current
    // folder) lists it, "." and ".." first (not at the root), then every entry sorted by name
    // without case, as NTFS returns them; any other pattern is one path.
    std::vector<FolderEntry> SearchFolder(const std::string& pattern);
    // GetFileAttributesA: folder 0x10, file 0x20, anything else (FIFO, socket, device, a link
    // to nothing) system 0x04, which the player never opens; a name with a leading dot hidden.
    // A name of the last folder listed: as the listing found it.
    std::optional<uint32_t> FileAttributes(const std::string& path, uint32_t* error);
    std::string CurrentFolder();
    uint32_t ChangeFolder(const std::string& path);
    uint32_t WriteTextFile(const std::string& path, const std::string& bytes);

    // The POSIX path of a path of the player's, its names taken as written where they name
    // something (a name with "?" that does not: the entry it shows), as ShortPathName took
    // the folder of the short path it handed out; what MCI opens.
    std::optional<std::string> ToPosix(const std::string& path);

    const DriveView& View() const { return view_; }
    // The current folder's POSIX path (the last one known while it has been removed).
    std::string WorkingFolder();

    // An entry of a folder: its name on this side and as the player sees it.
    struct Listed {
        std::string posixName;
        FolderEntry entry;
    };

  private:
    // The POSIX path. Names the path shares with the current folder are the current
    // folder's own; a short name handed out is its file; a name with "?" that names nothing
    // is the entry it was converted from (a folder where there is one).
    std::optional<std::string> Resolve(const std::string& path);
    std::string ShortName(const std::string& folder, const std::string& posixName);

    DriveView view_;
    std::string lastWorkingFolder_ = "/";  // while the current folder has been removed
    // The last folder listed: its POSIX path, entries, and for each shown name the indices
    // of its entries and how often its attributes were asked since.
    std::string listedFolder_;
    std::vector<Listed> listed_;
    std::map<std::string, std::vector<size_t>> listedByName_;
    std::map<std::string, size_t> attributeQueries_;
    // Short paths asked, by POSIX folder + "/" + shown name.
    std::map<std::string, uint64_t> shortQueries_;
    std::map<std::string, std::string> shortNames_;    // POSIX path: its short name
    std::map<std::string, std::string> shortTargets_;  // POSIX folder + "/" + short: real name
};

}  // namespace varlo
