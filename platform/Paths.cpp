#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

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

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

size_t LastSeparator(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1])) return i - 1;
    return std::string_view::npos;
}

} // namespace

std::string ToNative(std::string_view path) {
    // "\\server\share\rest": Wine keeps UNC shares under dosdevices/unc.
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        std::string rest = SlashesForward(path.substr(2));
        return WinePrefix() + "/dosdevices/unc/" + rest;
    }
    // "X:" or "X:\rest": the drive's entry in dosdevices, named in lower case.
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') {
        char drive = static_cast<char>(path[0] | 0x20);
        std::string native = WinePrefix() + "/dosdevices/" + drive + ":";
        std::string_view rest = path.substr(2);
        if (!rest.empty() && !IsSeparator(rest.front())) native += '/';
        return native + SlashesForward(rest);
    }
    // A native absolute path, a rooted "\folder" and a relative path only
    // change their separators.
    return SlashesForward(path);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

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

void OverrideExecutablePath(const std::string& path) {
    ExecutableOverride() = path;
}

} // namespace velmora::platform
