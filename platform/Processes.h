#pragma once
// Processes: the check whether a program runs, and starting outside programs.
// Programs are always started with an argument vector, never through a shell.
#include <string>
#include <vector>

namespace velmora::platform {

// Walks /proc. An entry matches when the file-name part of its executable
// path, or of its first command-line argument, equals `exeName` ignoring case
// (an ERP under Wine shows C:\velmora\velmoraEmpresa.exe there), or when the
// whole name does.
bool IsProcessRunning(const std::string& exeName);

// Splits a parameter text the way Windows splits a command line: blanks
// separate, double quotes group blanks and are removed.
std::vector<std::string> SplitCommandLine(const std::string& parameters);

// Starts `program` (program form, resolved through ToNative) with the
// arguments of `parameters`, in `workingFolder` (empty: the current one), and
// does not wait. A Windows executable (starts with "MZ") goes through `wine`
// when it is installed. The outcome is not reported. Returns the child's pid
// or -1.
int StartProgram(const std::string& program, const std::string& parameters,
                 const std::string& workingFolder);

// Opens a file with the desktop's default application ("explorer <path>").
void OpenWithDefaultApplication(const std::string& path);

} // namespace velmora::platform
