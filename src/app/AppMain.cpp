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
#include <string>
#include <vector>

namespace qm {

int RunQuillmere(int argc, char** argv) {
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    // Decided before any window system connection, so a second start creates no window.
    SingleInstance instance(QStringLiteral("qmLodestar"));
    if (instance.acquire() == SingleInstance::Role::Secondary) {
        instance.requestShow();
        return 0;
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
