#pragma once
// File-system services. Every path given here is in the program's form and is
// passed through ToNative.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

struct LocalDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const LocalDateTime&) const = default;
};

bool FileExists(const std::string& path);   // a plain file
bool FolderExists(const std::string& path);
// Creates one level; false when it could not be created (parents are not made).
bool CreateFolder(const std::string& path);

// "*" stands for any run of characters and "?" for one character, letter case
// is ignored (ASCII and the Latin-1 accented letters), the mask covers the
// whole name.
bool MatchesMask(const std::string& name, const std::string& mask);
// A name Windows could give a file: not empty, none of \ / : * ? " < > |
// and no control character (0x01-0x1F).
bool IsWindowsFileName(std::string_view name);

// Names (no folder) of the plain, non-hidden files of `folder` that match
// `mask`, ascending, ignoring letter case (names equal but for case in byte
// order). Hidden are names starting with "."; a link to a plain file counts
// as one. A name Windows cannot have (a "\" written on a Linux share, say) is
// never listed: the ERP and the transmitter could not have made it, and a
// path composed from it could lead out of the folder. Throws Error when the
// folder cannot be listed.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& mask);

// Move with replace-existing; false (and the file where it was) on failure.
// Across file systems the file is copied, flushed, renamed into place and
// only then removed from its folder.
bool MoveFileReplace(const std::string& from, const std::string& to);
bool DeleteFile(const std::string& path);
// Rename that never replaces an existing file.
bool RenameFile(const std::string& from, const std::string& to);
// Copy; with failIfExists an existing destination is left alone (false). The
// copy keeps the source's last-write time, as a Windows copy does.
bool CopyFile(const std::string& from, const std::string& to, bool failIfExists);

// A plain file's last write as the file system has it (to the nanosecond)
// and its size: enough to tell whether a file is still being written.
struct FileStamp {
    std::chrono::system_clock::time_point written;
    uint64_t size = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::string& path);

// Last-write time in local time, at the two-second resolution of DOS dates.
std::optional<LocalDateTime> LastWriteTime(const std::string& path);

// First line of a file as raw bytes (up to the first CR or LF, or the end);
// nullopt when the file cannot be opened or read.
std::optional<std::string> ReadFirstLine(const std::string& path);
// The same, but the file is shared with readers only: the read fails while
// another program holds it open for writing, which here means while another
// process holds a POSIX write lock (fcntl F_WRLCK) on it.
std::optional<std::string> ReadFirstLineSharedRead(const std::string& path);

}   // namespace velmora::platform
