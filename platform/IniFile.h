#pragma once
// INI files read with the Windows profile-file rules the ERP relies on:
// section and key names ignore letter case, the first match wins, blanks
// around names and values are trimmed, one pair of surrounding quotes (double,
// or single as Windows also accepts) is removed from a value, lines starting
// with ";" are comments, and a missing file, section or key reads as the
// default. A section that appears twice is searched in both places. The text
// is UTF-16 (little or big endian) after the byte-order mark FF FE or FE FF,
// and otherwise read by the ANSI rule (valid UTF-8 kept, anything else
// Windows-1252), a UTF-8 byte-order mark skipped; CR LF or LF ends lines.
#include <string>

namespace velmora::platform {

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultValue = "");

}   // namespace velmora::platform
