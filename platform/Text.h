#pragma once
// Text from outside (INI files, database columns, first lines of files) is in
// the "ANSI code page" of a Brazilian Windows; the engine works in UTF-8.
#include <string>
#include <string_view>

namespace velmora::platform {

bool IsValidUtf8(std::string_view bytes);
// Valid UTF-8 is kept; anything else is read as Windows-1252.
std::string AnsiToUtf8(std::string_view bytes);

// Character (code point) counts on UTF-8 text, so "the last 52 characters" of
// a path with accents means characters, not bytes.
size_t Utf8Length(std::string_view text);
std::string Utf8Right(std::string_view text, size_t count);
std::string Utf8Left(std::string_view text, size_t count);
// 1-based character positions, count characters (clipped at the end).
std::string Utf8Mid(std::string_view text, size_t first, size_t count);

std::string Trim(std::string_view text);          // blanks and control characters
std::string UpperAscii(std::string_view text);    // a..z only

} // namespace velmora::platform
