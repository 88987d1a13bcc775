#include "platform/gui/ShellOpen.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

namespace qm {

bool IsAddress(const QString& target) {
    static const QStringList schemes{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto"),
                                     QStringLiteral("file"), QStringLiteral("ftp")};
    const int colon = target.indexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return false;
    }
    return schemes.contains(target.left(colon).toLower());
}

bool ShellOpen(const QString& target) {
    const QString trimmed = target.trimmed();
    if (trimmed.isEmpty()) {
        return false;
    }
    if (IsAddress(trimmed)) {
        if (QDesktopServices::openUrl(QUrl(trimmed))) {
            return true;
        }
        // Some window system plugins cannot open addresses; the desktop's own opener still can.
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        return !opener.isEmpty() && QProcess::startDetached(opener, {trimmed});
    }
    QString program = trimmed;
    if (!program.contains(QLatin1Char('/'))) {
        program = QStandardPaths::findExecutable(program);
        if (program.isEmpty()) {
            return false;
        }
    }
    return QProcess::startDetached(program, {});
}

} // namespace qm
