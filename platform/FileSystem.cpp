#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/UniqueFd.h"

namespace velmora::platform {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

bool StatIs(const std::string& path, mode_t type) {
    struct stat st {};
    return stat(ToNative(path).c_str(), &st) == 0 && (st.st_mode & S_IFMT) == type;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// A temporary file in the destination's folder: hidden, so that no listing
// takes it for a result file while it is being written, and removed again
// unless Release() hands it over to a rename.
class TempFile {
public:
    explicit TempFile(const std::string& nativeDestination) {
        std::string folder = FolderWithSeparatorOf(nativeDestination);
        path_ = (folder.empty() ? std::string("./") : folder) + ".velmora-XXXXXX";
        fd_ = UniqueFd(mkostemp(path_.data(), O_CLOEXEC));
        if (!fd_) path_.clear();
    }
    ~TempFile() {
        fd_.Reset();
        if (!path_.empty()) unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    explicit operator bool() const { return static_cast<bool>(fd_); }
    int Fd() const { return fd_.Get(); }
    const std::string& Path() const { return path_; }
    bool CloseFd() { return fd_.Close(); }
    void Release() { path_.clear(); }

private:
    std::string path_;
    UniqueFd fd_;
};

// Copies a plain file into a temporary file beside `nativeTo`, with the
// source's permissions and times (a Windows copy keeps the last-write time,
// and the update check compares exactly that), flushed to disk. The caller
// renames it into place.
bool CopyIntoTemp(const std::string& nativeFrom, TempFile& temp) {
    UniqueFd source(open(nativeFrom.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source || !temp) return false;
    struct stat st {};
    if (fstat(source.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;

    char buffer[65536];
    for (;;) {
        ssize_t got = read(source.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) break;
        if (!WriteAll(temp.Fd(), buffer, static_cast<size_t>(got))) return false;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (fchmod(temp.Fd(), st.st_mode & 07777) != 0) return false;
    if (futimens(temp.Fd(), times) != 0) return false;
    if (fsync(temp.Fd()) != 0) return false;
    return temp.CloseFd();
}

// rename(2) that fails instead of replacing an existing destination.
bool RenameNoReplace(const std::string& nativeFrom, const std::string& nativeTo) {
    if (renameat2(AT_FDCWD, nativeFrom.c_str(), AT_FDCWD, nativeTo.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // The file system cannot rename without replacing: a hard link fails on
    // an existing name just as well.
    if (link(nativeFrom.c_str(), nativeTo.c_str()) != 0) return false;
    if (unlink(nativeFrom.c_str()) != 0) {
        unlink(nativeTo.c_str());
        return false;
    }
    return true;
}

bool LockSharedRead(int fd) {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;   // the whole file
    // Open-file-description locks conflict with write locks of other
    // processes and of other descriptors of our own; classic locks are the
    // fallback on kernels without them.
    if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
    if (errno != EINVAL) return false;
    return fcntl(fd, F_SETLK, &lock) == 0;
}

std::optional<std::string> ReadLine(int fd) {
    std::string line;
    char buffer[4096];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) return line;
        std::string_view chunk(buffer, static_cast<size_t>(got));
        size_t end = chunk.find_first_of("\r\n");
        if (end != std::string_view::npos) {
            line.append(chunk.substr(0, end));
            return line;
        }
        line.append(chunk);
    }
}

}   // namespace

bool IsWindowsFileName(std::string_view name) {
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || std::strchr("\\/:*?\"<>|", c)) return false;
    }
    return !name.empty();
}

bool FileExists(const std::string& path) { return StatIs(path, S_IFREG); }

bool FolderExists(const std::string& path) { return StatIs(path, S_IFDIR); }

bool CreateFolder(const std::string& path) { return mkdir(ToNative(path).c_str(), 0777) == 0; }

bool MatchesMask(const std::string& name, const std::string& mask) {
    const std::u32string n = FoldCase(name);
    const std::u32string m = FoldCase(mask);
    // Greedy match that backtracks to the last "*" seen; linear in practice.
    size_t ni = 0, mi = 0;
    size_t starMask = std::u32string::npos, starName = 0;
    while (ni < n.size()) {
        if (mi < m.size() && m[mi] == U'*') {
            starMask = mi++;
            starName = ni;
        } else if (mi < m.size() && (m[mi] == U'?' || m[mi] == n[ni])) {
            ++mi;
            ++ni;
        } else if (starMask != std::u32string::npos) {
            mi = starMask + 1;
            ni = ++starName;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == U'*') ++mi;
    return mi == m.size();
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& mask) {
    const std::string native = ToNative(folder);
    UniqueDir dir(opendir(native.c_str()));
    if (!dir) {
        int error = errno;
        throw Error("Cannot list the folder " + folder + ": " + std::strerror(error));
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name.empty() || name.front() == '.') continue;   // hidden, and "." / ".."
        if (!IsWindowsFileName(name)) continue;
        if (!MatchesMask(name, mask)) continue;
        struct stat st {};
        if (fstatat(dirfd(dir.get()), entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int order = CompareIgnoreCase(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

bool MoveFileReplace(const std::string& from, const std::string& to) {
    const std::string nativeFrom = ToNative(from);
    const std::string nativeTo = ToNative(to);
    if (rename(nativeFrom.c_str(), nativeTo.c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    // Another file system: the copy appears at the destination in one step,
    // and the source goes only once the copy is safely there.
    TempFile temp(nativeTo);
    if (!CopyIntoTemp(nativeFrom, temp)) return false;
    if (rename(temp.Path().c_str(), nativeTo.c_str()) != 0) return false;
    temp.Release();
    return unlink(nativeFrom.c_str()) == 0;
}

bool DeleteFile(const std::string& path) { return unlink(ToNative(path).c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
    const std::string nativeFrom = ToNative(from);
    const std::string nativeTo = ToNative(to);
    if (RenameNoReplace(nativeFrom, nativeTo)) return true;
    if (errno != EXDEV) return false;
    TempFile temp(nativeTo);
    if (!CopyIntoTemp(nativeFrom, temp)) return false;
    if (!RenameNoReplace(temp.Path(), nativeTo)) return false;
    temp.Release();
    if (unlink(nativeFrom.c_str()) != 0) {
        unlink(nativeTo.c_str());
        return false;
    }
    return true;
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    const std::string nativeFrom = ToNative(from);
    const std::string nativeTo = ToNative(to);
    if (failIfExists && access(nativeTo.c_str(), F_OK) == 0) return false;
    TempFile temp(nativeTo);
    if (!CopyIntoTemp(nativeFrom, temp)) return false;
    bool placed =
        failIfExists ? RenameNoReplace(temp.Path(), nativeTo) : rename(temp.Path().c_str(), nativeTo.c_str()) == 0;
    if (!placed) return false;
    temp.Release();
    return true;
}

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (stat(ToNative(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    FileStamp stamp;
    stamp.written =
        std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    stamp.size = static_cast<uint64_t>(st.st_size);
    return stamp;
}

std::optional<LocalDateTime> LastWriteTime(const std::string& path) {
    struct stat st {};
    if (stat(ToNative(path).c_str(), &st) != 0) return std::nullopt;
    std::tm local{};
    if (!localtime_r(&st.st_mtime, &local)) return std::nullopt;
    LocalDateTime when;
    when.year = local.tm_year + 1900;
    when.month = local.tm_mon + 1;
    when.day = local.tm_mday;
    when.hour = local.tm_hour;
    when.minute = local.tm_min;
    when.second = local.tm_sec & ~1;   // DOS dates count seconds in pairs
    return when;
}

std::optional<std::string> ReadFirstLine(const std::string& path) {
    UniqueFd fd(open(ToNative(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    return ReadLine(fd.Get());
}

std::optional<std::string> ReadFirstLineSharedRead(const std::string& path) {
    UniqueFd fd(open(ToNative(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    // A writer marks the file with a write lock; while it holds one the
    // marker is being written and must not be read. Our read lock goes with
    // the descriptor.
    if (!LockSharedRead(fd.Get())) return std::nullopt;
    return ReadLine(fd.Get());
}

}   // namespace velmora::platform
