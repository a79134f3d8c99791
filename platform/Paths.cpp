#include "platform/Paths.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Text.h"

namespace velmora::platform {

namespace {

std::string& ExecutableOverride() {
    static std::string path;
    return path;
}

// The Wine prefix whose dosdevices folder holds the drive map. Read on every
// call: the environment is the only configuration it has.
std::string WinePrefix() {
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
    return HomeFolder() + "/.wine";
}

std::string SlashesForward(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

size_t LastSeparator(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1])) return i - 1;
    return std::string_view::npos;
}

// --- Letter case below a drive or a share ---------------------------------
//
// Windows and Wine find "C:\MDFe\Retorno" when the folder on disk is
// "c:\mdfe\retorno": below the drive each name is taken as it is when it
// exists and otherwise matched ignoring letter case against what its folder
// holds. The ERP stores paths typed by people, so the monitor resolves them
// the same way; otherwise it would look at (and create) a parallel tree.

// What tells one state of a folder from another: a rename, a removal or a new
// entry changes the modification time, and a folder replaced by another of
// the same name has another inode.
struct FolderStamp {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    timespec changed{};

    static FolderStamp Of(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_mtim, st.st_ctim}; }
    bool operator==(const FolderStamp& other) const {
        return device == other.device && inode == other.inode && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
               changed.tv_nsec == other.changed.tv_nsec;
    }
};

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool ReadNames(const std::string& folder, std::vector<std::string>& names) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return false;
    while (const dirent* entry = readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    return true;
}

// The name of `names` that equals `wanted` ignoring letter case; the exact
// one first, then the lowest in byte order, so the answer never depends on
// the order the folder lists them in.
std::optional<std::string> Pick(const std::vector<std::string>& names, std::string_view wanted) {
    const std::string* best = nullptr;
    for (const std::string& name : names) {
        // Every pair of letters folded together is encoded in the same number
        // of bytes, so names of another length never match.
        if (name.size() != wanted.size()) continue;
        if (name == wanted) return name;
        if (EqualsIgnoreCase(name, wanted) && (!best || name < *best)) best = &name;
    }
    if (!best) return std::nullopt;
    return *best;
}

// Folder contents read for the case-blind look-ups, kept while the folder's
// stamp stays the same. The stamp comes from the stat the look-up takes
// anyway to learn that the folder exists. A folder whose entries changed
// within the last moments is read again every time: its modification time
// has the kernel's coarse clock, and a second change in the same tick would
// not show.
class FolderNames {
public:
    std::optional<std::string> Find(const std::string& folder, const struct stat& st, std::string_view wanted) {
        const FolderStamp stamp = FolderStamp::Of(st);
        {
            std::lock_guard lock(mutex_);
            if (auto it = entries_.find(folder); it != entries_.end() && it->second.stamp == stamp)
                return Pick(it->second.names, wanted);
        }
        std::vector<std::string> names;
        if (!ReadNames(folder, names)) return std::nullopt;
        std::optional<std::string> found = Pick(names, wanted);
        std::lock_guard lock(mutex_);
        if (names.size() <= kMaxNames && Settled(st)) {
            if (entries_.size() >= kMaxFolders) entries_.clear();
            entries_[folder] = Entry{stamp, std::move(names)};
        } else {
            entries_.erase(folder);
        }
        return found;
    }

private:
    // Big folders (a return folder with a backlog) change all the time and
    // would only hold memory; they are read when needed.
    static constexpr size_t kMaxNames = 2048;
    static constexpr size_t kMaxFolders = 256;

    static bool Settled(const struct stat& st) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        auto ms = [](const timespec& t) { return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000; };
        return ms(now) - ms(st.st_mtim) > 100;
    }

    struct Entry {
        FolderStamp stamp;
        std::vector<std::string> names;
    };
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
};

FolderNames& Names() {
    static FolderNames names;
    return names;
}

bool StatFolder(const std::string& path, struct stat& st) {
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// `native` is a native path whose first `fixed` bytes are the drive's or the
// share's folder. Below it, the first name that does not exist as written is
// matched ignoring case, and so is every name after it; a name with no match
// ends the work and the rest stays as written.
std::string MatchLetterCase(const std::string& native, size_t fixed) {
    struct stat st {};
    if (stat(native.c_str(), &st) == 0) return native;   // everything exists as written

    // The names below the fixed part: [begin, end) of each, empty ones left out.
    struct Span {
        size_t begin, end;
    };
    std::vector<Span> spans;
    for (size_t pos = fixed; pos < native.size();) {
        size_t slash = native.find('/', pos);
        if (slash == std::string::npos) slash = native.size();
        if (slash > pos) spans.push_back({pos, slash});
        pos = slash + 1;
    }
    if (spans.empty()) return native;

    auto folderBefore = [&](size_t i) {
        size_t end = spans[i].begin;
        while (end > 1 && native[end - 1] == '/') --end;
        return native.substr(0, end);
    };
    // The deepest folder that exists as written.
    size_t first = spans.size();
    struct stat folderStat {};
    while (first > 0) {
        --first;
        if (StatFolder(folderBefore(first), folderStat)) break;
        if (first == 0) return native;   // not even the drive exists
    }

    std::string folder = folderBefore(first);
    std::string out = native.substr(0, spans[first].begin);
    size_t done = spans[first].begin;   // native[done..] is still to be copied
    for (size_t i = first; i < spans.size(); ++i) {
        const std::string_view name = std::string_view(native).substr(spans[i].begin, spans[i].end - spans[i].begin);
        // "." and ".." are not names in a folder; what follows stays as written.
        if (name == "." || name == "..") break;
        std::string found(name);
        std::string candidate = folder + "/" + found;
        struct stat candidateStat {};
        const bool last = i + 1 == spans.size();
        bool exact =
            i != first && (last ? lstat(candidate.c_str(), &candidateStat) == 0 : StatFolder(candidate, candidateStat));
        if (!exact) {
            std::optional<std::string> match = Names().Find(folder, folderStat, name);
            if (!match) break;
            found = std::move(*match);
            candidate = folder + "/" + found;
            if (!last && !StatFolder(candidate, candidateStat)) break;
        }
        out.append(native, done, spans[i].begin - done);
        out += found;
        done = spans[i].end;
        folder = std::move(candidate);
        folderStat = candidateStat;
    }
    out.append(native, done, std::string::npos);
    return out;
}

}   // namespace

std::string ToNative(std::string_view path) {
    // "\\server\share\rest": Wine keeps UNC shares under dosdevices/unc.
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        std::string native = WinePrefix() + "/dosdevices/unc/";
        const size_t unc = native.size();
        native += SlashesForward(path.substr(2));
        // Names below the share are matched as on a drive.
        size_t server = native.find('/', unc);
        size_t share = server == std::string::npos ? server : native.find('/', server + 1);
        if (share == std::string::npos) return native;
        return MatchLetterCase(native, share + 1);
    }
    // "X:" or "X:\rest": the drive's entry in dosdevices, named in lower case.
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') {
        char drive = static_cast<char>(path[0] | 0x20);
        std::string native = WinePrefix() + "/dosdevices/" + drive + ":";
        const size_t fixed = native.size();
        std::string_view rest = path.substr(2);
        if (!rest.empty() && !IsSeparator(rest.front())) native += '/';
        native += SlashesForward(rest);
        return MatchLetterCase(native, fixed);
    }
    // A native absolute path, a rooted "\folder" and a relative path only
    // change their separators: there is no drive below which to match.
    return SlashesForward(path);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string FileNameOf(std::string_view path) {
    size_t last = LastSeparator(path);
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string FolderOf(std::string_view path) {
    size_t last = LastSeparator(path);
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last));
}

std::string FolderWithSeparatorOf(std::string_view path) {
    size_t last = LastSeparator(path);
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "";
}

std::string ExecutablePath() {
    if (!ExecutableOverride().empty()) return ExecutableOverride();
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

void OverrideExecutablePath(const std::string& path) { ExecutableOverride() = path; }

}   // namespace velmora::platform
