// The monitor on a data folder of its choice: files read and written there only, autostart
// repeating --dir, and a folder it cannot use leaving the run on defaults with nothing written.
#include "AppTestSupport.h"

#include "app/MonitorDataFolder.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    if (fs::is_directory(dir)) {
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::unique_ptr<TmQuillmere> startOn(const AppFolder& folder, const std::vector<std::string>& args) {
    auto window = std::make_unique<TmQuillmere>(folder.executable());
    ApplyDataFolder(*window, ChooseMonitorDataFolder(args, folder.executable(), "/nonexistent/bin"));
    window->show();
    TmQuillmere* raw = window.get();
    if (!waitFor([raw] { return raw->refreshTimer()->isActive(); })) {
        return nullptr;
    }
    return window;
}

TEST(MonitorDataFolder, GivenFolderHoldsEveryFile) {
    AppFolder folder;
    const fs::path data = folder.path() / "data";
    fs::create_directory(data);
    writeFile(data / "quillmere.ini", "[Main]\r\nInterval=7\r\n");
    const auto before = listing(folder.path());
    auto window = startOn(folder, {"--dir", data.string()});
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->value(), 7);
    window->SaveSettings();
    EXPECT_EQ(listing(data), (std::vector<std::string>{"antiSpamList.txt", "antiSpamSbjList.txt", "quillmere.ini"}));
    EXPECT_NE(readFile(data / "quillmere.ini").find("Interval=7\r\n"), std::string::npos);
    EXPECT_EQ(listing(folder.path()), before);

    // The autostart entry starts the monitor on the same folder.
    window->findChild<QCheckBox*>(QStringLiteral("cbAutoLoad"))->setChecked(true);
    EXPECT_EQ(window->autoStartCommand(),
              (std::vector<std::string>{folder.executable().string(), "--dir", data.string()}));
    EXPECT_TRUE(window->IsAutoStartRegistered());
    const std::string entry = readFile(folder.configHome() / "autostart" / "quillmere.desktop");
    EXPECT_NE(entry.find(" --dir "), std::string::npos) << entry;
}

TEST(MonitorDataFolder, UnusableFolderRunsOnDefaultsAndWritesNothing) {
    const struct {
        const char* name;
        std::vector<std::string> args; // {missing} a folder that does not exist
    } rows[] = {{"missing folder", {"--dir", "{missing}"}}, {"no folder named", {"--dir"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AppFolder folder;
        const fs::path missing = folder.path() / "missing";
        std::vector<std::string> args = row.args;
        for (auto& arg : args) {
            if (arg == "{missing}") {
                arg = missing.string();
            }
        }
        const auto before = listing(folder.path());
        auto window = startOn(folder, args);
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(window->dataFolderUsable());
        auto* warning = window->findChild<QMessageBox*>(QStringLiteral("DataFolderWarning"));
        ASSERT_NE(warning, nullptr);
        EXPECT_TRUE(warning->text().endsWith(
            QStringLiteral("The monitor runs with the default settings and writes no settings or list file.")));
        EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->value(), 5);
        window->SaveSettings();
        EXPECT_EQ(listing(folder.path()), before);
        EXPECT_FALSE(fs::exists(missing));
    }
}

} // namespace
} // namespace qm::test
