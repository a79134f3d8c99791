#pragma once
// FileListBox1: the hidden list the processors walk a folder with.
//
// The walk handles files in ascending name order (letter case ignored) and
// must also take a matching file that arrives while it runs. Reading the
// folder again after every file would make a backlog of N files cost N
// listings of up to N names; instead the list keeps the snapshot it read,
// hands out its names in order, and reads the folder again only when the
// snapshot is used up. The names taken in this walk that are still in the
// folder at a fresh listing (left behind: skipped, or their move failed) are
// remembered and stepped past; a fresh listing with nothing else ends the
// walk, so the walk always ends.
#include <set>
#include <string>
#include <vector>

namespace velmora {

class FileList {
public:
    // Sets the mask and the folder and reads the listing (a fresh walk).
    void Start(const std::string& folder, const std::string& mask);
    // The next name of this walk not taken yet, or "" when there is none.
    std::string Next();
    const std::string& Folder() const { return folder_; }
    const std::string& Mask() const { return mask_; }

private:
    void Read();
    std::string folder_, mask_;
    std::vector<std::string> listing_;
    size_t position_ = 0;
    bool handedOut_ = false;        // a name of the current listing was handed out
    std::set<std::string> taken_;   // taken earlier and still in the folder
};

}   // namespace velmora
