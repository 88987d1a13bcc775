#pragma once

// Message dates (RFC 2822 and the older forms '07-Dec-2026' and 'Dec 7 10:00:00 2026') and
// the day-count date-time the program keeps: days since 30 Dec 1899, the time as fraction.

#include <string_view>

namespace qm {

// The local date-time of a "Date" header value. localOffsetMinutes is the machine's offset
// east of UTC (e.g. 60 at UTC+1). An impossible or empty date gives the raw value 0, so the
// result is then just the local offset. Never throws.
double ParseMessageDate(std::string_view text, int localOffsetMinutes);

// The machine's current offset from UTC in minutes east (daylight time as in effect now).
// Throws EIdFailedToRetreiveTimeZoneInfo when it cannot be read.
int LocalUtcOffsetMinutes();

struct TDateTimeParts {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

// Calendar date and time to a day count; false when the date or time is impossible.
bool TryEncodeDateTime(const TDateTimeParts& parts, double& result);
// A day count back to its calendar date and time (rounded to the millisecond).
TDateTimeParts DecodeDateTime(double value);

} // namespace qm
