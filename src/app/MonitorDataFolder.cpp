#include "app/MonitorDataFolder.h"

#include "app/MainWindow.h"

#include <QApplication>
#include <QMessageBox>

#include <iostream>

namespace qm {

MonitorDataFolder ChooseMonitorDataFolder(const std::vector<std::string>& args, const std::filesystem::path& executable,
                                          const std::filesystem::path& installBinDir) {
    std::vector<std::string> rest = args;
    const DirOption option = TakeDirOption(rest);
    MonitorDataFolder choice;
    choice.folder = ChooseDataFolder(executable, option.dir, installBinDir, SystemEnvironment());
    if (!option.error.empty()) {
        choice.folder.error = option.error;
        return choice;
    }
    PrepareDataFolder(choice.folder, true);
    if (option.dir) {
        // Autostart must bring the monitor back to the same folder.
        choice.autoStartArgs = {"--dir", std::filesystem::absolute(*option.dir).lexically_normal().string()};
    }
    return choice;
}

std::string UnusableDataFolderText(const DataFolder& folder) {
    return folder.error + ". The monitor runs with the default settings and writes no settings or list file.";
}

void ApplyDataFolder(TmQuillmere& window, const MonitorDataFolder& choice) {
    window.setDataFolder(choice.folder.path, choice.folder.usable(), choice.autoStartArgs);
    if (choice.folder.usable()) {
        return;
    }
    const std::string text = UnusableDataFolderText(choice.folder);
    std::cerr << "quillmere: " << text << std::endl;
    auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(),
                                QString::fromStdString(text), QMessageBox::Ok, &window);
    box->setObjectName(QStringLiteral("DataFolderWarning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace qm
