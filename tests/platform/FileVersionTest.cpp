// The version answered for this executable and for any other file.
#include "platform/FileVersion.h"

#include "PlatformTestDir.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

namespace fs = std::filesystem;

TEST(FileVersionTest, OwnExecutableHasTheProgramVersion) {
    const std::string own = OwnExecutablePath();
    ASSERT_FALSE(own.empty());
    EXPECT_TRUE(fs::path(own).is_absolute());
    EXPECT_STREQ(ProgramVersion(), "2.6.0.0");
    EXPECT_EQ(FileVersionOf(own), "2.6.0.0");
}

TEST(FileVersionTest, SameFileUnderAnotherName) {
    const auto dir = test::FreshTestDir();
    fs::create_symlink(OwnExecutablePath(), dir / "link");
    EXPECT_EQ(FileVersionOf((dir / "link").string()), "2.6.0.0");
    const auto relative = fs::relative(OwnExecutablePath(), fs::current_path());
    EXPECT_EQ(FileVersionOf(relative.string()), "2.6.0.0");
}

TEST(FileVersionTest, OtherFilesHaveNoVersion) {
    const auto dir = test::FreshTestDir();
    fs::copy_file(OwnExecutablePath(), dir / "copy");
    test::WriteFile(dir / "text", "2.6.0.0");
    const std::string others[] = {
        (dir / "copy").string(), (dir / "text").string(), (dir / "missing").string(), dir.string(), "",
        "/proc/self/exe/x"};
    for (const auto& path : others) {
        SCOPED_TRACE(path);
        EXPECT_EQ(FileVersionOf(path), "0.0.0.0");
    }
}

} // namespace
} // namespace qm
