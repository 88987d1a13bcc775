#include "ScratchDir.h"

#include "TestPaths.h"

#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace qm::test {

namespace {

// Removes every folder made by this process when it ends.
class ScratchFolders {
public:
    ~ScratchFolders() {
        for (const std::filesystem::path& dir : m_dirs) {
            std::error_code ignored;
            // A test may have taken the write bit away; give it back so the folder can go.
            std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
            std::filesystem::remove_all(dir, ignored);
        }
    }
    void Add(const std::filesystem::path& dir) {
        const std::lock_guard lock(m_mutex);
        m_dirs.push_back(dir);
    }

private:
    std::mutex m_mutex;
    std::vector<std::filesystem::path> m_dirs;
};

ScratchFolders& Folders() {
    static ScratchFolders folders;
    return folders;
}

} // namespace

std::filesystem::path ScratchDir(std::string_view label) {
    const std::filesystem::path root(QM_TEST_TMP_DIR);
    std::filesystem::create_directories(root);
    std::string name(label);
    for (char& c : name) {
        if (c == '/' || c == ' ') {
            c = '_';
        }
    }
    std::string pattern = (root / (name + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    const std::filesystem::path dir(pattern);
    Folders().Add(dir);
    return dir;
}

} // namespace qm::test
