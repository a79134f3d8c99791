#pragma once
// An owned POSIX file descriptor, closed when it goes out of scope. Used by
// the POSIX back end only; the rest of the program never sees descriptors.
#include <unistd.h>

#include <utility>

namespace velmora::platform {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now and tells whether the close succeeded (for writes whose
    // errors only show at close).
    bool Close() {
        if (fd_ < 0) return true;
        int rc = ::close(std::exchange(fd_, -1));
        return rc == 0;
    }
    void Reset() { Close(); }

private:
    int fd_ = -1;
};

}   // namespace velmora::platform
