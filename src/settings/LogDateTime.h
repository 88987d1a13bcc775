#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qm {

// Turns a local date-time (days since 30 Dec 1899, time as fraction) into log text.
using DateTimeToText = std::function<std::string(double)>;

// The locale's short date and long time patterns, in the pattern language of QLocale:
// d dd ddd dddd, M MM MMM MMMM, yy yyyy, h hh H HH, m mm, s ss, z zzz, AP A ap a, t (dropped),
// 'quoted text' and '' for a quote. Day and month names are English.
struct DateTimeFormat {
    std::string shortDate = "dd.MM.yyyy";
    std::string longTime = "HH:mm:ss";
};

// One pattern applied to a date-time.
std::string FormatDateTimePattern(double value, std::string_view pattern);
// Short date, a space and long time; the time is left out when it is exactly midnight.
std::string FormatLogDateTime(double value, const DateTimeFormat& format);
DateTimeToText MakeDateTimeToText(DateTimeFormat format);

// The machine's current local date-time as a day count.
double CurrentLocalDateTime();

} // namespace qm
