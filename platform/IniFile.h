#pragma once
// INI files read with the Windows profile-file rules the ERP relies on:
// section and key names ignore letter case, the first match wins, blanks
// around names and values are trimmed, one pair of surrounding quotes (double,
// or single as Windows also accepts) is removed from a value, lines starting
// with ";" are comments, and a missing file, section or key reads as the
// default. A section that appears twice is searched in both places. Values are
// decoded from ANSI; a UTF-8 byte-order mark is skipped; CR LF or LF ends lines.
#include <string>

namespace velmora::platform {

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue = "");

} // namespace velmora::platform
