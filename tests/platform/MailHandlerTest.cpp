// Default mail handler: from the query answer through the data dirs to the program name.
#include "platform/MailHandler.h"

#include "PlatformTestDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm {
namespace {

namespace fs = std::filesystem;

MailHandlerLookup lookupAnswering(std::optional<std::string> answer, std::vector<fs::path> dirs) {
    return {[answer] { return answer; }, std::move(dirs)};
}

struct ExecCase {
    const char* exec;
    const char* program;
};

TEST(MailHandlerTest, ProgramNameFromExec) {
    const ExecCase cases[] = {
        {"thunderbird %u", "thunderbird"},
        {"/usr/bin/evolution %U", "evolution"},
        {"\"/opt/My Mail/bin/mail client\" --compose %u", "mail client"},
        {"'/opt/x y/claws-mail' %u", "claws-mail"},
        {"  kmail  --composer", "kmail"},
        {"geary%u", "geary"},
        {"odd%%name %u", "odd%name"},
        {"%k", ""},
        {"/usr/bin/", ""},
        {"", ""},
        {"   ", ""},
        {"\"unterminated %u", ""},
        {"trailing%", "trailing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exec);
        EXPECT_EQ(ExecProgramName(c.exec), c.program);
    }
}

TEST(MailHandlerTest, DataDirsFromEnvironment) {
    using Dirs = std::vector<fs::path>;
    EXPECT_EQ(XdgDataDirs(test::FakeEnvironment({{"HOME", "/home/u"}})),
              (Dirs{"/home/u/.local/share", "/usr/local/share/", "/usr/share/"}));
    EXPECT_EQ(XdgDataDirs(test::FakeEnvironment(
                  {{"HOME", "/home/u"}, {"XDG_DATA_HOME", "/dh"}, {"XDG_DATA_DIRS", "/a:rel::/b/"}})),
              (Dirs{"/dh", "/a", "/b/"}));
    EXPECT_EQ(
        XdgDataDirs(test::FakeEnvironment({{"HOME", "/home/u"}, {"XDG_DATA_HOME", "rel"}, {"XDG_DATA_DIRS", ""}})),
        (Dirs{"/home/u/.local/share", "/usr/local/share/", "/usr/share/"}));
}

TEST(MailHandlerTest, HandlerFoundInFirstDirThatHasIt) {
    const auto dir = test::FreshTestDir();
    test::WriteFile(dir / "home/applications/mail.desktop", "[Desktop Entry]\nExec=/home/u/bin/mymail %u\n");
    test::WriteFile(dir / "sys/applications/mail.desktop", "[Desktop Entry]\nExec=/usr/bin/sysmail %u\n");
    test::WriteFile(dir / "sys/applications/other.desktop", "[Desktop Entry]\nExec=/usr/bin/other\n");
    const std::vector<fs::path> dirs = {dir / "home", dir / "sys"};
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("mail.desktop\n", dirs)), "mymail");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("other.desktop", dirs)), "other");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("  other.desktop \r\n", dirs)), "other");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("other.desktop;mail.desktop;\n", dirs)), "other");
}

TEST(MailHandlerTest, DashesInTheIdMayBeFolders) {
    const auto dir = test::FreshTestDir();
    test::WriteFile(dir / "share/applications/kde/kmail.desktop", "[Desktop Entry]\nExec=kmail -caption %c\n");
    test::WriteFile(dir / "share/applications/a/b-c/d.desktop", "[Desktop Entry]\nExec=deep\n");
    const std::vector<fs::path> dirs = {dir / "share"};
    EXPECT_EQ(FindDesktopFile("kde-kmail.desktop", dirs), dir / "share/applications/kde/kmail.desktop");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("kde-kmail.desktop", dirs)), "kmail");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("a-b-c-d.desktop", dirs)), "deep");
    EXPECT_EQ(FindDesktopFile("kde-mutt.desktop", dirs), std::nullopt);
}

TEST(MailHandlerTest, IdsThatAreNotPlainFileNamesAreRefused) {
    const auto dir = test::FreshTestDir();
    test::WriteFile(dir / "secret.desktop", "[Desktop Entry]\nExec=leak\n");
    test::WriteFile(dir / "share/applications/x/keep", "");
    const std::vector<fs::path> dirs = {dir / "share"};
    const char* ids[] = {
        "../../secret.desktop", "x-..-..-..-secret.desktop", "/etc/passwd.desktop", ".desktop", "mail", "",
        ".hidden.desktop"};
    for (const char* id : ids) {
        SCOPED_TRACE(id);
        EXPECT_EQ(FindDesktopFile(id, dirs), std::nullopt);
    }
    EXPECT_EQ(FindDesktopFile(std::string(300, 'a') + ".desktop", dirs), std::nullopt);
}

TEST(MailHandlerTest, AnythingMissingGivesEmpty) {
    const auto dir = test::FreshTestDir();
    test::WriteFile(dir / "share/applications/noexec.desktop", "[Desktop Entry]\nName=Mail\n");
    test::WriteFile(dir / "share/applications/emptyexec.desktop", "[Desktop Entry]\nExec=\n");
    test::WriteFile(dir / "share/applications/broken.desktop", "\xff\xfe garbage without groups");
    fs::create_directories(dir / "share/applications/folder.desktop");
    const std::vector<fs::path> dirs = {dir / "share"};
    EXPECT_EQ(DefaultMailHandler(lookupAnswering(std::nullopt, dirs)), "");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("", dirs)), "");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("\n", dirs)), "");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("missing.desktop", dirs)), "");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("noexec.desktop", dirs)), "");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("emptyexec.desktop", dirs)), "");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("broken.desktop", dirs)), "");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("folder.desktop", dirs)), "");
    EXPECT_EQ(DefaultMailHandler(lookupAnswering("noexec.desktop", {})), "");
    EXPECT_EQ(DefaultMailHandler(MailHandlerLookup{}), "");
}

// Points the XDG variables of this process at a test folder for the length of a test, with the
// desktop detection variables removed so xdg-mime uses its desktop-neutral lookup.
class ScopedXdgEnvironment {
public:
    explicit ScopedXdgEnvironment(const fs::path& root) {
        set("HOME", root.string());
        set("XDG_CONFIG_HOME", (root / "cfg").string());
        set("XDG_CONFIG_DIRS", (root / "nocfg").string());
        set("XDG_DATA_HOME", (root / "data").string());
        set("XDG_DATA_DIRS", (root / "nodata").string());
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "KDE_SESSION_VERSION",
                                 "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "XDG_SESSION_DESKTOP"})
            set(name, std::nullopt);
    }
    ~ScopedXdgEnvironment() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            apply(it->first, it->second);
    }
    ScopedXdgEnvironment(const ScopedXdgEnvironment&) = delete;
    ScopedXdgEnvironment& operator=(const ScopedXdgEnvironment&) = delete;

private:
    void set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name.c_str());
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        apply(name, value);
    }
    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST(MailHandlerTest, RealQueryFindsTheConfiguredHandler) {
    const auto dir = test::FreshTestDir();
    test::WriteFile(dir / "cfg/mimeapps.list", "[Default Applications]\nx-scheme-handler/mailto=testmail.desktop\n");
    test::WriteFile(dir / "data/applications/testmail.desktop",
                    "[Desktop Entry]\nType=Application\nName=Test mail\n"
                    "Exec=\"/opt/Test Mail/testmail\" %u\nMimeType=x-scheme-handler/mailto;\n");
    const ScopedXdgEnvironment env(dir);
    EXPECT_EQ(DefaultMailHandler(), "testmail");
}

TEST(MailHandlerTest, RealQueryWithoutHandlerGivesEmpty) {
    const auto dir = test::FreshTestDir();
    test::WriteFile(dir / "data/applications/viewer.desktop",
                    "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\nMimeType=text/plain;\n");
    const ScopedXdgEnvironment env(dir);
    EXPECT_EQ(DefaultMailHandler(), "");
}

} // namespace
} // namespace qm
