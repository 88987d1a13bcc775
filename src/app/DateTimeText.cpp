#include "app/DateTimeText.h"

#include <QLocale>
#include <QRegularExpression>

namespace qm {

QString DateTimeText(const QDateTime& moment) {
    const QLocale locale = QLocale::system();
    // The long time format of a Qt locale ends with the zone name; the clock shows local time only.
    // The clock asks every second: the zone is taken out again only when the format changes.
    static QString longFormat;
    static QString timeFormat;
    if (const QString format = locale.timeFormat(QLocale::LongFormat); format != longFormat || timeFormat.isEmpty()) {
        static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
        longFormat = format;
        timeFormat = QString(format).replace(zone, QStringLiteral(" ")).trimmed();
    }
    return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(moment.time(), timeFormat);
}

} // namespace qm
