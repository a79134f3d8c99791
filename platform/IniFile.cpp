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

// UTF-16 text (after its byte-order mark) as UTF-8. A surrogate without its
// partner becomes U+FFFD, and an odd last byte is dropped, as Notepad does.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    auto unit = [&](size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (char32_t(a) << 8 | b) : (char32_t(b) << 8 | a);
    };
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

// The file's text as UTF-8, told by its first bytes as the Windows profile
// services tell it: FF FE is Notepad's "Unicode" (UTF-16 LE), FE FF its big
// endian one, EF BB BF UTF-8; anything else is the ANSI code page. The ERP
// writes ANSI, but a person who edits a file may save it otherwise.
std::string DecodeIniText(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) return Utf16ToUtf8(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF")) return Utf16ToUtf8(bytes.substr(2), true);
    // After a UTF-8 mark the rest is still read by the ANSI rule (valid UTF-8
    // is kept as it is): an editor may have put the mark before ANSI text.
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    return AnsiToUtf8(bytes);
}

// One pair of matching quotes around a value goes, as the profile services
// drop it; a lone quote or unmatched ones stay.
std::string Unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

}   // namespace

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
    std::optional<std::string> raw = ReadWholeFile(ToNative(file));
    if (!raw) return defaultValue;

    // The whole file is decoded at once so that one encoding applies to
    // every line.
    const std::string text = DecodeIniText(*raw);
    std::string_view view = text;

    const std::string wantedSection = Trim(section);
    const std::string wantedKey = Trim(key);
    bool inSection = false;
    for (size_t pos = 0; pos < view.size();) {
        std::string line = Trim(NextLine(view, pos));
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            std::string name =
                Trim(std::string_view(line).substr(1, close == std::string::npos ? std::string::npos : close - 1));
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

}   // namespace velmora::platform
