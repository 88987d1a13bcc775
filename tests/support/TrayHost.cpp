#include "TrayHost.h"

#include <QDeadlineTimer>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace qm::test {

bool TrayHost::start(const QProcessEnvironment& env) {
    m_env = env;
    m_failure.clear();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        m_process.setProcessEnvironment(m_env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("trayer"),
                        {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                         QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                         QStringLiteral("--height"), QStringLiteral("24")});
        if (!m_process.waitForStarted(20000)) {
            m_failure = QStringLiteral("trayer does not start: ") + m_process.errorString();
            return false;
        }
        QDeadlineTimer limit(20000);
        while (m_process.state() == QProcess::Running && !limit.hasExpired()) {
            if (ownsSelection())
                return true;
            QThread::msleep(50);
        }
        m_failure +=
            QStringLiteral("try %1: trayer %2, said \"%3\"; ")
                .arg(attempt)
                .arg(m_process.state() == QProcess::Running ? QStringLiteral("never took the tray")
                                                            : QStringLiteral("quit with %1").arg(m_process.exitCode()))
                .arg(QString::fromLocal8Bit(m_process.readAll()).trimmed());
        kill();
    }
    return false;
}

void TrayHost::kill() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(20000);
    }
}

bool TrayHost::ownsSelection() const {
    const QByteArray display = m_env.value(QStringLiteral("DISPLAY")).toLocal8Bit();
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(display.constData(), &screen);
    bool owned = false;
    if (!xcb_connection_has_error(connection)) {
        const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.constData()), nullptr);
        if (atom && atom->atom != XCB_ATOM_NONE) {
            xcb_get_selection_owner_reply_t* owner =
                xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
            owned = owner && owner->owner != XCB_WINDOW_NONE;
            std::free(owner);
        }
        std::free(atom);
    }
    xcb_disconnect(connection);
    return owned;
}

} // namespace qm::test
