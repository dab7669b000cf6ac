#pragma once
// Points one XDG folder variable at a fresh temporary folder for the life of the object, so a test
// starts with no settings file (or no documents) of its own and leaves none behind.
#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/TempFolder.h"

namespace orvane::test {

class ScopedFolderVariable {
public:
    explicit ScopedFolderVariable(const char* variable) : variable_(variable), folder_("orvane-scoped") {
        if (const char* old = std::getenv(variable)) {
            old_ = old;
        }
        setenv(variable, folder_.Str().c_str(), 1);
    }
    ~ScopedFolderVariable() {
        if (old_) {
            setenv(variable_.c_str(), old_->c_str(), 1);
        } else {
            unsetenv(variable_.c_str());
        }
    }
    ScopedFolderVariable(const ScopedFolderVariable&) = delete;
    ScopedFolderVariable& operator=(const ScopedFolderVariable&) = delete;

    const std::filesystem::path& Path() const { return folder_.Path(); }

private:
    std::string variable_;
    std::optional<std::string> old_;
    TempFolder folder_;
};

}  // namespace orvane::test
