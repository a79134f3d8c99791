#pragma once
// INI files read with the Windows profile-file rules the ERP relies on:
// section and key names ignore letter case, the first match wins, blanks
// around names and values are trimmed, one pair of surrounding double quotes
// is removed from a value, lines starting with ";" are comments, and a missing
// file, section or key reads as the default. Values are decoded from ANSI.
#include <string>

namespace velmora::platform {

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue = "");

} // namespace velmora::platform
