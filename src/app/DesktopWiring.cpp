#include "app/DesktopWiring.h"

#include "app/CheckWiring.h"
#include "app/MainWindow.h"
#include "platform/gui/DesktopNotifier.h"
#include "platform/gui/SleepWatcher.h"

#include <QAction>

namespace qm {

namespace {

constexpr std::chrono::seconds kResumeDelay{10};

} // namespace

DesktopWiring::DesktopWiring(TmQuillmere& window, QDBusConnection sessionBus, QDBusConnection systemBus)
    : QObject(&window), m_window(window) {
    m_notifier = new DesktopNotifier(std::move(sessionBus), QStringLiteral("quillmere"),
                                     QStringLiteral("org.quillmere.Quillmere32"), this);
    m_sleep = new SleepWatcher(std::move(systemBus), this);
    m_resumeTimer.setSingleShot(true);
    m_resumeTimer.setInterval(kResumeDelay);

    connect(window.checkWiring(), &CheckWiring::summaryPublished, this, &DesktopWiring::summaryPublished);
    connect(m_notifier, &DesktopNotifier::activated, this, [this] {
        if (QAction* run = m_window.action("aRunMailclient")) {
            run->trigger();
        }
    });
    connect(m_sleep, &SleepWatcher::resumed, this, &DesktopWiring::resumed);
    connect(&m_resumeTimer, &QTimer::timeout, this, &DesktopWiring::resumeCheck);
}

DesktopWiring::~DesktopWiring() = default;

QString DesktopWiring::notificationBody(const std::string& hintText) {
    QString body = CheckWiring::displayText(hintText);
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (body.endsWith(QLatin1Char('\n'))) {
        body.chop(1);
    }
    return body;
}

void DesktopWiring::summaryPublished() {
    if (m_window.checkWiring()->cycle().NoticedMessages() <= 0 || !m_window.NotifyOn()) {
        return;
    }
    m_notifier->setActionLabel(m_window.tr_("Run Mail Client"));
    m_notifier->notify(m_window.statusText(), notificationBody(m_window.HintText()));
}

void DesktopWiring::resumed() {
    if (!m_window.IsExecuting()) {
        return;
    }
    // Connections opened before the sleep are dead; waiting for their time-outs would only delay
    // the check.
    m_window.checkWiring()->cycle().AbortSessions();
    m_window.checkWiring()->resumed();
    m_resumeTimer.start();
}

void DesktopWiring::resumeCheck() {
    if (m_window.IsExecuting()) {
        m_window.checkWiring()->TmTimer();
    }
}

} // namespace qm
