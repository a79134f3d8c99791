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
    handedOut_ = false;
}

std::string FileList::Next() {
    for (;;) {
        while (position_ < listing_.size()) {
            const std::string& name = listing_[position_++];
            if (taken_.insert(name).second) {
                handedOut_ = true;
                return name;
            }
        }
        // The snapshot is used up. A listing that brought nothing new ends
        // the walk: the folder was just read and nothing was handled since
        // (an idle pass would otherwise read every empty folder twice).
        if (!handedOut_) return "";
        // Files were handled since that listing: a fresh one brings the
        // files that arrived meanwhile.
        Read();
    }
}

} // namespace velmora
