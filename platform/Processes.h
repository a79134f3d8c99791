#pragma once
// Processes: the check whether a program runs, and starting outside programs.
// Programs are always started with an argument vector, never through a shell.
#include <optional>
#include <string>
#include <vector>

namespace velmora::platform {

// Walks /proc. An entry matches when the file-name part of its executable
// path, or of its first command-line argument, equals `exeName` ignoring case
// (an ERP under Wine shows C:\velmora\velmoraEmpresa.exe there), or when the
// whole name does; a name of up to 15 bytes also matches the kernel's short
// name of the process.
bool IsProcessRunning(const std::string& exeName);

// Splits a parameter text the way Windows splits a command line: blanks
// separate, double quotes group blanks and are removed, a doubled quote inside
// quotes is a quote, and backslashes count only in front of a quote (2n give
// n and the quote groups, 2n+1 give n and a literal quote).
std::vector<std::string> SplitCommandLine(const std::string& parameters);

// Starts `program` (program form, resolved through ToNative) with the
// arguments of `parameters`, in `workingFolder` (empty: the current one), and
// does not wait. A Windows executable (starts with "MZ") goes through `wine`
// when it is installed; a bare name is looked up on PATH. A working folder
// that does not exist leaves the program in the current one. The program is
// detached (never our zombie) and its outcome is not reported. Returns its
// pid, or -1 when it could not be started.
int StartProgram(const std::string& program, const std::string& parameters, const std::string& workingFolder);

// Runs a program (found on PATH) with these arguments, standard input from
// /dev/null, and returns what it wrote to its standard output; nullopt when
// it could not be started or did not end with exit code 0.
std::optional<std::string> CaptureProgramOutput(const std::vector<std::string>& arguments);

// "<host>.<pid>": tells this process apart from every other one on this and
// other machines (for names of files in a folder that several share).
std::string ProcessTag();

// Opens a file with the desktop's default application ("explorer <path>" on
// Windows, xdg-open here) and does not wait. False when no opener could be
// started (no xdg-open on PATH, or it would not run); whether the desktop
// then finds a program for the file is not known here.
bool OpenWithDefaultApplication(const std::string& path);

}   // namespace velmora::platform
