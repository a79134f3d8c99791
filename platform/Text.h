#pragma once
// Text from outside (INI files, database columns, first lines of files) is in
// the "ANSI code page" of a Brazilian Windows; the engine works in UTF-8.
#include <string>
#include <string_view>

namespace velmora::platform {

bool IsValidUtf8(std::string_view bytes);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
// Valid UTF-8 is kept; anything else is read as Windows-1252.
std::string AnsiToUtf8(std::string_view bytes);

// Character (code point) counts on UTF-8 text, so "the last 52 characters" of
// a path with accents means characters, not bytes.
size_t Utf8Length(std::string_view text);
std::string Utf8Right(std::string_view text, size_t count);
std::string Utf8Left(std::string_view text, size_t count);
// 1-based character positions, count characters (clipped at the end).
std::string Utf8Mid(std::string_view text, size_t first, size_t count);

std::string Trim(std::string_view text);         // blanks and control characters
std::string UpperAscii(std::string_view text);   // a..z only

// Letter case ignored the way Windows file names ignore it: ASCII and the
// Latin-1 letters (the accented letters of Portuguese) fold together; bytes
// that are not valid UTF-8 compare as themselves.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// <0, 0, >0; ties broken by nothing (equal ignoring case gives 0).
int CompareIgnoreCase(std::string_view a, std::string_view b);
// The code points of `text` with letter case folded as above; a byte that is
// not part of valid UTF-8 becomes 0xDC00 + byte, so it never equals a letter.
std::u32string FoldCase(std::string_view text);

}   // namespace velmora::platform
