#pragma once

#include <QDateTime>
#include <QString>

namespace qm {

// A moment as the window shows it: the locale's short date and long time, without a time zone.
// Main thread only: it keeps the time format it last derived.
QString DateTimeText(const QDateTime& moment);

} // namespace qm
