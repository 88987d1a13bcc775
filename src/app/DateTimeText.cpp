#include "app/DateTimeText.h"

#include <QLocale>
#include <QRegularExpression>

namespace qm {

QString DateTimeText(const QDateTime& moment) {
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    // The long time format of a Qt locale ends with the zone name; the clock shows local time only.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    timeFormat.replace(zone, QStringLiteral(" "));
    timeFormat = timeFormat.trimmed();
    return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(moment.time(), timeFormat);
}

} // namespace qm
