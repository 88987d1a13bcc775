#include "app/AppMain.h"

#include "app/CheckWiring.h"
#include "app/MainWindow.h"
#include "app/QmApplication.h"
#include "app/SignalWatcher.h"
#include "platform/gui/SingleInstance.h"

#include <QFile>

#include <cstdlib>
#include <iostream>

namespace qm {

int RunQuillmere(int argc, char** argv) {
    // Decided before any window system connection, so a second start creates no window.
    SingleInstance instance(QStringLiteral("qmLodestar"));
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
    TmQuillmere window(std::filesystem::path(executable.toStdString()));
    QObject::connect(&instance, &SingleInstance::showRequested, &window, &TmQuillmere::RestoreFromTray);
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window, &TmQuillmere::SaveAndQuit);
    instance.listen();

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
