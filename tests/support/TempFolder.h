#pragma once
#include <filesystem>
#include <string>

namespace orvane::test {

// A fresh folder under the system temporary folder, removed with everything in it on destruction.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "orvane-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string Str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// The temporary folder that the test main made for the whole run; the XDG folders point into it.
const std::filesystem::path& RunFolder();

}  // namespace orvane::test
