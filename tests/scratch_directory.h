#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>

// A directory of the test's own under the system's temporary folder, made
// with mkdtemp (on Windows: a new name that no one else made first) and
// removed with everything in it when the object goes.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
#ifdef _WIN32
        std::random_device random;
        for (int tries = 0; tries < 100 && path_.empty(); ++tries) {
            const std::filesystem::path name =
                std::filesystem::temp_directory_path() / ("lumora-test-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(name, error)) {
                path_ = name;
            }
        }
        if (path_.empty()) {
            ADD_FAILURE() << "cannot create a temporary directory";
        }
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "lumora-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a temporary directory";
            return;
        }
        path_ = pattern;
#endif
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};
