#pragma once
// The program composes paths as text in the Windows form ("\" separators,
// joined by concatenation), because that is how the ERP stores them. Before a
// path reaches the operating system it goes through ToNative.
#include <string>
#include <string_view>

namespace velmora::platform {

// "\" becomes "/"; "X:\..." resolves through the Wine drive map
// ($WINEPREFIX, default ~/.wine, folder dosdevices, entry "x:" in lower case);
// "\\server\share\..." through dosdevices/unc/server/share. Below the drive's
// or the share's folder letter case is matched as Wine matches it: a name
// that exists as written is taken, otherwise the one of its folder that
// equals it ignoring case (EqualsIgnoreCase); the first name with no match
// (a folder still to be made, a file not there yet) and all after it stay as
// written. A native absolute path is used as it is and a relative path stays
// relative, both without any matching.
std::string ToNative(std::string_view path);

// Both "\" and "/" separate folders here.
bool IsSeparator(char c);
// The part after the last separator (the whole text when there is none).
std::string FileNameOf(std::string_view path);
// Everything before the last separator, without it ("" when there is none).
std::string FolderOf(std::string_view path);
// Everything up to and including the last separator ("" when there is none).
std::string FolderWithSeparatorOf(std::string_view path);

// The user's home folder (HOME, else the password database); "" when unknown.
std::string HomeFolder();

// Full native path of the running program.
std::string ExecutablePath();
// Lets tests pretend the program runs from somewhere else ("" resets).
void OverrideExecutablePath(const std::string& path);

}   // namespace velmora::platform
