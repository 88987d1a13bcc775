#include "settings/LogDateTime.h"

#include "pop3/IdMessageDate.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

double At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
    double value = 0;
    EXPECT_TRUE(TryEncodeDateTime(TDateTimeParts{year, month, day, hour, minute, second, ms}, value));
    return value;
}

TEST(LogDateTime, PatternTable) {
    const struct {
        double value;
        const char* pattern;
        const char* text;
    } cases[] = {
        {At(2026, 12, 7, 14, 5, 9), "dd.MM.yyyy", "07.12.2026"},
        {At(2026, 3, 4), "M/d/yy", "3/4/26"},
        {At(2026, 3, 4), "d.M.yyyy", "4.3.2026"},
        {At(2026, 12, 7), "dddd, d MMMM yyyy", "Monday, 7 December 2026"},
        {At(2026, 12, 7), "ddd d MMM", "Mon 7 Dec"},
        {At(1899, 12, 30), "dddd", "Saturday"},
        {At(2026, 12, 7), "d 'de' MMMM", "7 de December"},
        {At(2026, 12, 7), "yyyy''MM", "2026'12"},
        {At(2026, 1, 1, 14, 5, 9), "HH:mm:ss", "14:05:09"},
        {At(2026, 1, 1, 14, 5, 9), "H:m:s", "14:5:9"},
        {At(2026, 1, 1, 14, 5, 9), "h:mm:ss AP", "2:05:09 PM"},
        {At(2026, 1, 1, 0, 0, 1), "hh:mm:ss ap", "12:00:01 am"},
        {At(2026, 1, 1, 12, 0, 0), "h:mm A", "12:00 PM"},
        {At(2026, 1, 1, 9, 0, 0), "h:mm", "9:00"}, // no AM/PM marker: 24-hour clock
        {At(2026, 1, 1, 21, 0, 0), "h:mm", "21:00"},
        {At(2026, 1, 1, 21, 0, 0), "h 'at' mm", "21 at 00"}, // an "a" in quoted text is no AM/PM marker
        {At(2026, 1, 1, 1, 2, 3, 45), "HH:mm:ss.zzz", "01:02:03.045"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDateTimePattern(c.value, c.pattern), c.text) << c.pattern;
    }
}

TEST(LogDateTime, TimeLeftOutExactlyAtMidnight) {
    const DateTimeFormat format{"dd.MM.yyyy", "HH:mm:ss"};
    EXPECT_EQ(FormatLogDateTime(At(2026, 12, 7), format), "07.12.2026");
    EXPECT_EQ(FormatLogDateTime(At(2026, 12, 7, 0, 0, 1), format), "07.12.2026 00:00:01");
    EXPECT_EQ(FormatLogDateTime(At(2026, 12, 7, 0, 0, 0, 1), format), "07.12.2026 00:00:00");
    EXPECT_EQ(FormatLogDateTime(At(2026, 12, 7, 23, 59, 59), {"M/d/yyyy", "h:mm:ss AP t"}), "12/7/2026 11:59:59 PM");
    EXPECT_EQ(MakeDateTimeToText(format)(At(2026, 12, 7, 8, 30)), "07.12.2026 08:30:00");
}

TEST(LogDateTime, CurrentTimeIsAPlausibleDayCount) {
    // 1 Jan 2020 is day 43831; anything earlier means the clock conversion is broken.
    EXPECT_GT(CurrentLocalDateTime(), 43831.0);
}

} // namespace
} // namespace qm
