#include "settings/LogDateTime.h"

#include "pop3/IdMessageDate.h"

#include <algorithm>
#include <ctime>

namespace qm {

namespace {

constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

std::string padded(int value, int width) {
    std::string text = std::to_string(value);
    while (static_cast<int>(text.size()) < width) {
        text.insert(text.begin(), '0');
    }
    return text;
}

// Day of week of a day count (0 Sunday): 30 Dec 1899 was a Saturday.
int dayOfWeek(double value) {
    const long long days = static_cast<long long>(value); // the day part of a negative count is truncated too
    return static_cast<int>(((days + 6) % 7 + 7) % 7);
}

// Whether a pattern asks for AM/PM outside its quoted text; "h" is then a 12-hour clock.
bool hasAmPmMarker(std::string_view pattern) {
    bool quoted = false;
    for (char c : pattern) {
        if (c == '\'') {
            quoted = !quoted;
        } else if (!quoted && (c == 'A' || c == 'a')) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string FormatDateTimePattern(double value, std::string_view pattern) {
    const TDateTimeParts p = DecodeDateTime(value);
    const bool twelveHour = hasAmPmMarker(pattern);
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            const std::size_t close = pattern.find('\'', i + 1);
            if (close == i + 1) {
                out += '\'';
                i += 2;
                continue;
            }
            const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
            out.append(pattern.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) {
            ++run;
        }
        const int h12 = p.Hour % 12 == 0 ? 12 : p.Hour % 12;
        switch (c) {
        case 'd':
            run = std::min<std::size_t>(run, 4);
            out += run == 1   ? std::to_string(p.Day)
                   : run == 2 ? padded(p.Day, 2)
                   : run == 3 ? std::string(kDayNames[dayOfWeek(value)]).substr(0, 3)
                              : std::string(kDayNames[dayOfWeek(value)]);
            break;
        case 'M':
            run = std::min<std::size_t>(run, 4);
            out += run == 1   ? std::to_string(p.Month)
                   : run == 2 ? padded(p.Month, 2)
                   : run == 3 ? std::string(kMonthNames[(p.Month + 11) % 12]).substr(0, 3)
                              : std::string(kMonthNames[(p.Month + 11) % 12]);
            break;
        case 'y':
            if (run >= 4) {
                run = 4;
                out += padded(p.Year, 4);
            } else if (run >= 2) {
                run = 2;
                out += padded(p.Year % 100, 2);
            } else {
                out += c;
            }
            break;
        case 'h':
        case 'H':
            run = std::min<std::size_t>(run, 2);
            out += run == 1 ? std::to_string(c == 'h' && twelveHour ? h12 : p.Hour)
                            : padded(c == 'h' && twelveHour ? h12 : p.Hour, 2);
            break;
        case 'm':
            run = std::min<std::size_t>(run, 2);
            out += run == 1 ? std::to_string(p.Minute) : padded(p.Minute, 2);
            break;
        case 's':
            run = std::min<std::size_t>(run, 2);
            out += run == 1 ? std::to_string(p.Second) : padded(p.Second, 2);
            break;
        case 'z':
            run = run >= 3 ? 3 : 1;
            out += run == 3 ? padded(p.Millisecond, 3) : std::to_string(p.Millisecond);
            break;
        case 'A':
        case 'a': {
            const bool upper = c == 'A';
            const bool full = i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p');
            run = full ? 2 : 1;
            const std::string marker = p.Hour < 12 ? "AM" : "PM";
            out += upper ? marker : std::string(p.Hour < 12 ? "am" : "pm");
            break;
        }
        case 't':
            break; // time zone names are not written
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
    return out;
}

std::string FormatLogDateTime(double value, const DateTimeFormat& format) {
    const TDateTimeParts p = DecodeDateTime(value);
    std::string text = FormatDateTimePattern(value, format.shortDate);
    if (p.Hour != 0 || p.Minute != 0 || p.Second != 0 || p.Millisecond != 0) {
        text += ' ';
        text += FormatDateTimePattern(value, format.longTime);
    }
    // A pattern ending in a dropped time zone leaves a blank behind.
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

DateTimeToText MakeDateTimeToText(DateTimeFormat format) {
    return [format = std::move(format)](double value) { return FormatLogDateTime(value, format); };
}

double CurrentLocalDateTime() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    ::localtime_r(&now.tv_sec, &local);
    TDateTimeParts parts;
    parts.Year = local.tm_year + 1900;
    parts.Month = local.tm_mon + 1;
    parts.Day = local.tm_mday;
    parts.Hour = local.tm_hour;
    parts.Minute = local.tm_min;
    parts.Second = local.tm_sec > 59 ? 59 : local.tm_sec; // a leap second is not a valid time here
    parts.Millisecond = static_cast<int>(now.tv_nsec / 1000000);
    double value = 0;
    TryEncodeDateTime(parts, value);
    return value;
}

} // namespace qm
