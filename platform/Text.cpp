#include "platform/Text.h"

namespace velmora::platform {

namespace {

// Windows-1252 from 0x80 to 0x9F. The five holes of the code page (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as
// Windows itself converts them.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Length of the well-formed UTF-8 sequence at bytes[i], or 0 when there is
// none there (overlong forms, surrogates and values above U+10FFFF are not
// well-formed).
size_t SequenceLength(std::string_view bytes, size_t i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    unsigned char lead = b(i);
    if (lead < 0x80) return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF;   // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) return 0;
    if (b(i + 1) < low || b(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    return length;
}

// The code point at bytes[i], advancing i; a byte that does not start a
// well-formed sequence stands for itself as 0xDC00 + byte.
char32_t NextCodePoint(std::string_view bytes, size_t& i) {
    size_t length = SequenceLength(bytes, i);
    auto lead = static_cast<unsigned char>(bytes[i]);
    if (length == 0) {
        ++i;
        return 0xDC00 + lead;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
    i += length;
    return c;
}

char32_t FoldCodePoint(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    switch (c) {
    case 0x0152: return 0x0153;   // Œ
    case 0x0160: return 0x0161;   // Š
    case 0x017D: return 0x017E;   // Ž
    case 0x0178: return 0x00FF;   // Ÿ
    default: return c;
    }
}

// Byte offset of the code point that starts `count` code points into text.
size_t OffsetOfCharacter(std::string_view text, size_t count) {
    size_t i = 0;
    while (i < text.size() && count > 0) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
        --count;
    }
    return i;
}

}   // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        size_t length = SequenceLength(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string AnsiToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) out += ch;
        else if (b < 0xA0) AppendUtf8(out, kCp1252High[b - 0x80]);
        else AppendUtf8(out, b);   // 0xA0..0xFF are Latin-1
    }
    return out;
}

size_t Utf8Length(std::string_view text) {
    size_t count = 0;
    for (char ch : text)
        if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80) ++count;
    return count;
}

std::string Utf8Right(std::string_view text, size_t count) {
    size_t length = Utf8Length(text);
    if (count >= length) return std::string(text);
    return std::string(text.substr(OffsetOfCharacter(text, length - count)));
}

std::string Utf8Left(std::string_view text, size_t count) {
    return std::string(text.substr(0, OffsetOfCharacter(text, count)));
}

std::string Utf8Mid(std::string_view text, size_t first, size_t count) {
    if (first < 1) first = 1;   // a start before the first character starts at it
    size_t begin = OffsetOfCharacter(text, first - 1);
    std::string_view rest = text.substr(begin);
    return std::string(rest.substr(0, OffsetOfCharacter(rest, count)));
}

std::string Trim(std::string_view text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return out;
}

std::u32string FoldCase(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) out += FoldCodePoint(NextCodePoint(text, i));
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return FoldCase(a) == FoldCase(b); }

int CompareIgnoreCase(std::string_view a, std::string_view b) { return FoldCase(a).compare(FoldCase(b)); }

}   // namespace velmora::platform
