#include "app/AppMain.h"

#include "app/CheckWiring.h"
#include "app/DesktopWiring.h"
#include "app/MainWindow.h"
#include "app/MonitorDataFolder.h"
#include "app/QmApplication.h"
#include "app/SignalWatcher.h"
#include "platform/gui/SingleInstance.h"

#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace qm {

namespace {

// One monitor per user and data folder: a monitor on a folder of its own (a demo, a second set of
// accounts) does not stand in the way of the usual one, and two never share a folder.
QString InstanceKey(const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    const DirOption option = TakeDirOption(rest);
    QString key = QStringLiteral("qmLodestar");
    if (option.dir) {
        std::error_code ec;
        const std::string folder = std::filesystem::weakly_canonical(*option.dir, ec).string();
        key += QLatin1Char('-') + QString::number(std::hash<std::string>{}(folder), 16);
    }
    return key;
}

} // namespace

int RunQuillmere(int argc, char** argv) {
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    // Decided before any window system connection, so a second start creates no window.
    SingleInstance instance(InstanceKey(args));
    const SingleInstance::Role role = instance.acquire();
    if (role == SingleInstance::Role::Secondary) {
        instance.requestShow();
        return 0;
    }
    if (role == SingleInstance::Role::Unprotected) {
        std::cerr << "quillmere: running without the check for a second start: "
                  << instance.unprotectedReason().toStdString() << '\n';
    }

    QCoreApplication::setApplicationName(QStringLiteral("quillmere"));
    QmApplication app(argc, argv);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("E-mail checker"));
    QApplication::setQuitOnLastWindowClosed(false);

    SignalWatcher signalWatcher;
    const QByteArray executable = QFile::encodeName(QCoreApplication::applicationFilePath());
    const std::filesystem::path executablePath(executable.toStdString());
    TmQuillmere window(executablePath);
    ApplyDataFolder(window, ChooseMonitorDataFolder(args, executablePath, InstalledBinDir()));
    QObject::connect(&instance, &SingleInstance::showRequested, &window, &TmQuillmere::RestoreFromTray);
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window, &TmQuillmere::SaveAndQuit);
    instance.listen();
    new DesktopWiring(window, QDBusConnection::sessionBus(), QDBusConnection::systemBus());

    window.show();
    app.exec();
    // A session thread that outlived its grace time must not meet the program's teardown; the
    // settings are saved by now, so such a run ends here.
    if (!window.checkWiring()->Shutdown(std::chrono::milliseconds(500))) {
        std::_Exit(0);
    }
    return 0;
}

} // namespace qm
