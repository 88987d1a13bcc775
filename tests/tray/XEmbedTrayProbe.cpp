// A small tray program for the X11 tray test: docks a tray icon with its popup hint and menu,
// and reports on standard output what happens to it, one event per line.
#include "tray/TextTrayIcon.h"
#include "tray/TrayHintController.h"
#include "tray/TrayResources.h"
#include "tray/XEmbedTrayBackend.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

void report(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class VisibilityReporter : public QObject {
public:
    explicit VisibilityReporter(QByteArray name) : m_name(std::move(name)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show) {
            // Reported once the window is really up, with the native window it ended up with.
            QTimer::singleShot(0, widget, [this, widget] {
                if (widget->isVisible())
                    report(m_name + "_SHOWN " + QByteArray::number(widget->windowHandle()->winId()));
            });
        } else if (event->type() == QEvent::Hide)
            report(m_name + "_HIDDEN");
        return false;
    }

private:
    QByteArray m_name;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The tray host may still be starting; the icon only docks where a tray runs.
    QElapsedTimer waited;
    waited.start();
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    while (x11 && !qEnvironmentVariableIsSet("QM_PROBE_WINDOW") && !qm::XEmbedTrayBackend::trayManagerPresent() &&
           waited.elapsed() < 20000)
        QThread::msleep(50);

    qm::TTextTrayIcon icon(nullptr, qm::TrayBackendKind::Automatic);
    report("PLATFORM " + QGuiApplication::platformName().toLatin1());
    const qm::TrayBackendKind kind = icon.BackendKind();
    report(kind == qm::TrayBackendKind::XEmbed           ? "BACKEND xembed"
           : kind == qm::TrayBackendKind::StatusNotifier ? "BACKEND statusnotifier"
                                                         : "BACKEND systemtray");
    icon.ApplyStartupText();
    report("TEXT_ICON " + QByteArray::number(icon.Icon().width()));
    icon.SetIconList(qm::ImagesFromIcons({QIcon(QPixmap::fromImage(qm::TrayImagesIm1().value(0)))}));
    report("ENVELOPE " + QByteArray::number(icon.Icon().width()));
    icon.SetIconList(qm::TrayImagesIm1());
    icon.SetWantEnterExitEvents(true);
    icon.SetShowHint(false);
    icon.SetHint(QStringLiteral("stopped"));

    QMenu menu;
    menu.addAction(QStringLiteral("Restore"));
    QObject::connect(menu.addAction(QStringLiteral("Check mail")), &QAction::triggered, [] { report("CHECK_MAIL"); });
    QAction* runClient = menu.addAction(QStringLiteral("Run mail client"));
    menu.setDefaultAction(runClient);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Exit"), &app, &QApplication::quit);
    QObject::connect(runClient, &QAction::triggered, [] { report("DEFAULT_ITEM"); });
    QObject::connect(&menu, &QMenu::aboutToShow, [] { report("MENU_SHOWN"); });
    QObject::connect(&menu, &QMenu::aboutToHide, [] { report("MENU_HIDDEN"); });
    icon.SetPopupMenu(&menu);

    qm::TrayHintController hint(
        [] { return QStringLiteral("in total 3 messages:\rmail.example.org: 2 new\rpop.example.net: 1 new"); });
    hint.Attach(icon);
    hint.AttachMenu(menu);
    VisibilityReporter hintReporter("HINT");
    hint.HintWindow().installEventFilter(&hintReporter);

    QObject::connect(&icon, &qm::TCoolTrayIcon::OnMouseUp, [](Qt::MouseButton button) {
        report("CLICK " + QByteArray::number(static_cast<int>(button)));
    });
    // Told on standard input whether there is news, as the monitor tells its icon after a check.
    QSocketNotifier told(0, QSocketNotifier::Read);
    QObject::connect(&told, &QSocketNotifier::activated, [&icon, &told] {
        char line[64] = {};
        if (!std::fgets(line, sizeof line, stdin)) {
            told.setEnabled(false);
            return;
        }
        // news: the animated envelope; quiet: the plain one; stopped: the envelope with the cross.
        const QByteArray told = QByteArray(line).trimmed();
        const bool news = told == "news";
        icon.SetShowHint(!news);
        icon.SetHoverText(news ? QStringLiteral("mail.example.org: 2 new") : QString());
        icon.SetIconList(told == "stopped" ? qm::TrayImagesStopped() : qm::TrayImagesIm1());
        icon.SetCycleIcons(news);
        report("TOLD " + told);
    });
    QObject::connect(&icon, &qm::TCoolTrayIcon::OnMouseEnter, [] { report("ENTER"); });
    QObject::connect(&icon, &qm::TCoolTrayIcon::OnMouseExit, [] { report("EXIT"); });
    QObject::connect(&icon, &qm::TCoolTrayIcon::Docked, [&icon](bool docked) {
        report(docked ? "DOCKED " + QByteArray::number(icon.NativeWindow()) : QByteArray("UNDOCKED"));
    });
    icon.SetCycleInterval(150);
    icon.SetCycleIcons(true);
    icon.SetIconVisible(true);
    QWidget window; // with QM_PROBE_WINDOW set: hidden every 100 ms, each change of what that does reported
    QTimer again;
    QObject::connect(&again, &QTimer::timeout, [&, hidden = QByteArray()]() mutable {
        icon.RestoreFromTray();
        icon.HideToTray();
        const QByteArray now = window.isVisible() ? (window.isMinimized() ? "minimized" : "shown") : "hidden";
        if (now != hidden)
            report("HIDE " + (hidden = now));
    });
    if (qEnvironmentVariableIsSet("QM_PROBE_WINDOW")) {
        icon.SetMainWindow(&window);
        again.start(100);
    }
    return app.exec();
}
