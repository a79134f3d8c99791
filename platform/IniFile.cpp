#include "platform/IniFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string_view>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/UniqueFd.h"

namespace velmora::platform {

namespace {

// The whole file, or nothing when it cannot be opened or read (a missing
// file, a folder, no permission all read as "no file").
std::optional<std::string> ReadWholeFile(const std::string& nativePath) {
    UniqueFd fd(open(nativePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    std::string content;
    char buffer[8192];
    for (;;) {
        ssize_t got = read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) return content;
        content.append(buffer, static_cast<size_t>(got));
    }
}

// The next line of `text` from `pos` (CR LF, LF or a lone CR ends it).
std::string_view NextLine(std::string_view text, size_t& pos) {
    size_t begin = pos;
    size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string_view::npos) {
        pos = text.size();
        return text.substr(begin);
    }
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    return text.substr(begin, end - begin);
}

// One pair of matching quotes around a value goes, as the profile services
// drop it; a lone quote or unmatched ones stay.
std::string Unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue) {
    std::optional<std::string> raw = ReadWholeFile(ToNative(file));
    if (!raw) return defaultValue;

    // The ERP writes its INI files in the ANSI code page; the whole file is
    // decoded at once so that one encoding applies to every line.
    // A byte-order mark goes before decoding: the rest may still be ANSI.
    std::string_view bytes = *raw;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::string text = AnsiToUtf8(bytes);
    std::string_view view = text;

    const std::string wantedSection = Trim(section);
    const std::string wantedKey = Trim(key);
    bool inSection = false;
    for (size_t pos = 0; pos < view.size();) {
        std::string line = Trim(NextLine(view, pos));
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            std::string name = Trim(std::string_view(line).substr(1, close == std::string::npos ? std::string::npos : close - 1));
            // A later section of the same name is searched too: the first
            // key found in any of them wins.
            inSection = EqualsIgnoreCase(name, wantedSection);
            continue;
        }
        if (!inSection) continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        if (!EqualsIgnoreCase(Trim(std::string_view(line).substr(0, equals)), wantedKey)) continue;
        return Unquote(Trim(std::string_view(line).substr(equals + 1)));
    }
    return defaultValue;
}

} // namespace velmora::platform
