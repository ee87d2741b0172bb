#pragma once
// A fresh folder for one test under QZ_TEST_TMP (or the system temp folder,
// or a folder given: another file system), removed with everything in it
// by the destructor.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qztest {

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "qz", const std::string& under = "") {
        const char* base = std::getenv("QZ_TEST_TMP");
        std::filesystem::path root = !under.empty()  ? under
                                     : base && *base ? base
                                                     : std::filesystem::temp_directory_path().string();
        std::filesystem::create_directories(root);
        std::string pattern = (root / (prefix + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed under " << root;
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace qztest
