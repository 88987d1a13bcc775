#include "platform/FileVersion.h"

#include <filesystem>
#include <system_error>

#ifndef QM_VERSION
#error "QM_VERSION must be defined by the build"
#endif

namespace qm {

namespace {
constexpr const char* kSelfExe = "/proc/self/exe";
constexpr const char* kNoVersion = "0.0.0.0";
} // namespace

const char* ProgramVersion() {
    return QM_VERSION;
}

std::string OwnExecutablePath() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink(kSelfExe, ec);
    return ec ? std::string() : path.string();
}

std::string FileVersionOf(const std::string& path) {
    if (path.empty())
        return kNoVersion;
    // Only the running executable carries a version; compare files, not names, so a link or a
    // relative path to it answers the same.
    std::error_code ec;
    if (std::filesystem::equivalent(path, kSelfExe, ec) && !ec)
        return ProgramVersion();
    return kNoVersion;
}

} // namespace qm
