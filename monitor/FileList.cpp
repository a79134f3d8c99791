#include "monitor/FileList.h"

#include "platform/FileSystem.h"

namespace velmora {

void FileList::Start(const std::string& folder, const std::string& mask) {
    folder_ = folder;
    mask_ = mask;
    taken_.clear();
    Read();
}

void FileList::Read() {
    listing_ = platform::ListFiles(folder_, mask_);
    position_ = 0;
}

std::string FileList::Next() {
    for (int pass = 0; pass < 2; ++pass) {
        while (position_ < listing_.size()) {
            const std::string& name = listing_[position_++];
            if (taken_.insert(name).second) return name;
        }
        // The snapshot is used up: a fresh listing brings the files that
        // arrived meanwhile; one with nothing new ends the walk.
        if (pass == 0) Read();
    }
    return "";
}

} // namespace velmora
