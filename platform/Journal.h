#pragma once
// The monitor's journal: what it did and why it stopped, in plain text files
// the support desk can read after the fact. The window shows only the last
// state; the journal keeps the history. Writing to it never fails the caller:
// a journal that cannot be written is simply not written.
#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::platform::journal {

// Opens the journal in $XDG_STATE_HOME/velmoraMonitorMDFe/ (default
// ~/.local/state/velmoraMonitorMDFe/), creating the folder; rotating files
// monitor.log, monitor.1.log, ... of about 1 MB each, 4 files at most.
void Open();
void OpenAt(const std::string& folder);   // the same in a given folder (tests)
std::string Folder();                     // where it writes; "" when closed
std::string DefaultFolder();              // the XDG rule above
// One line: local time to the millisecond, then the text. Never throws,
// never blocks for long; a line written while closed, or that cannot be
// written (disk full, folder gone, no permission), is dropped.
void Write(std::string_view line);
void Close();   // flushes and closes

namespace detail {
// OpenAt with another size at which the current file is rotated, so that the
// rotation can be seen without writing megabytes.
void OpenAt(const std::string& folder, std::size_t fileBytes);
}   // namespace detail

}   // namespace velmora::platform::journal
