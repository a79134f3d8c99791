#include "processors/FileList.h"

#include <string_view>
#include <unordered_set>

#include "platform/FileSystem.h"

namespace velmora {

void FileList::Start(const std::string& folder, const std::string& mask) {
    folder_ = folder;
    mask_ = mask;
    taken_.clear();
    listing_.clear();
    position_ = 0;
    Read();
}

void FileList::Read() {
    std::vector<std::string> fresh = platform::ListFiles(folder_, mask_);
    // Of the names this walk took, only those still in the folder matter
    // from here on: files left behind (skipped, or whose move failed) are
    // stepped past. The names of the snapshot being replaced are not copied
    // one by one as they are handed out, so a backlog's walk holds its
    // listing once, not twice.
    std::unordered_set<std::string_view> present(fresh.begin(), fresh.end());
    std::set<std::string> left;
    for (const std::string& name : taken_)
        if (present.count(name)) left.insert(name);
    for (size_t i = 0; i < position_; ++i)
        if (present.count(listing_[i])) left.insert(listing_[i]);
    taken_ = std::move(left);
    listing_ = std::move(fresh);
    position_ = 0;
    handedOut_ = false;
}

std::string FileList::Next() {
    for (;;) {
        while (position_ < listing_.size()) {
            const std::string& name = listing_[position_++];
            if (!taken_.count(name)) {
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

}   // namespace velmora
