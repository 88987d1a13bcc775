#include "app/AppMain.h"

#include "app/MainWindow.h"
#include "app/QmApplication.h"
#include "app/SignalWatcher.h"
#include "platform/gui/SingleInstance.h"

#include <QFile>

namespace qm {

int RunQuillmere(int argc, char** argv) {
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
    TmQuillmere window(std::filesystem::path(executable.toStdString()));
    QObject::connect(&instance, &SingleInstance::showRequested, &window, &TmQuillmere::RestoreFromTray);
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window, &TmQuillmere::SaveAndQuit);
    instance.listen();

    window.show();
    app.exec();
    return 0;
}

} // namespace qm
