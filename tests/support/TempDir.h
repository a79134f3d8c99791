#pragma once
// A real temporary folder, removed with everything in it at the end.
#include <filesystem>
#include <string>

namespace velmora::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Native path with a trailing "/".
    std::string str() const { return path_.string() + "/"; }
    // Writes a file (parents created) and returns its full path.
    std::string Write(const std::string& relative, const std::string& content) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::filesystem::path path_;
};

}   // namespace velmora::test
