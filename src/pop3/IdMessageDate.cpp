// Message dates: RFC 2822 'Tue, 07 Dec 2026 10:00:00 +0300' and the older forms
// '07-Dec-2026' and 'Dec 7 10:00:00 2026'.

#include "pop3/IdMessageDate.h"

#include "pop3/IdMessageExceptions.h"
#include "pop3/MessageDecoders.h"
#include "text/AsciiText.h"

#include <cmath>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

namespace qm {
namespace {

constexpr std::string_view kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr std::string_view kDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text[0]) <= ' ') {
        text.remove_prefix(1);
    }
    return text;
}

// A decimal integer with an optional sign and leading blanks, nothing after it.
std::optional<long long> ToInt(std::string_view text) {
    text = TrimLeft(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 12) {
        return std::nullopt;
    }
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

int MonthOf(std::string_view token) {
    if (token.size() != 3) {
        return 0;
    }
    const std::string upper = AsciiUpper(token);
    for (int m = 0; m < 12; ++m) {
        if (upper == kMonths[m]) {
            return m + 1;
        }
    }
    return 0;
}

// Takes the text up to sep (removing it) and trims the left side of what remains.
std::string_view TakePart(std::string_view& rest, char sep) {
    const std::size_t at = rest.find(sep);
    std::string_view part = rest.substr(0, at);
    rest = at == std::string_view::npos ? std::string_view() : TrimLeft(rest.substr(at + 1));
    return part;
}

bool IsLeap(long long y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(long long y, long long m) {
    static constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDaysIn[m - 1];
}

// Days from 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

constexpr long long kDay0FromUnix = -25569; // 1899-12-30 in days from 1970-01-01

} // namespace

bool TryEncodeDateTime(const TDateTimeParts& p, double& result) {
    if (p.Year < 1 || p.Year > 9999 || p.Month < 1 || p.Month > 12 || p.Day < 1 ||
        p.Day > DaysInMonth(p.Year, p.Month) || p.Hour < 0 || p.Hour > 23 || p.Minute < 0 || p.Minute > 59 ||
        p.Second < 0 || p.Second > 59 || p.Millisecond < 0 || p.Millisecond > 999) {
        return false;
    }
    const double date = static_cast<double>(DaysFromCivil(p.Year, p.Month, p.Day) - kDay0FromUnix);
    const double time = (p.Hour * 3600000.0 + p.Minute * 60000.0 + p.Second * 1000.0 + p.Millisecond) / 86400000.0;
    // Before day 0 the time still counts forward within the day, away from zero.
    result = date < 0 ? date - time : date + time;
    return true;
}

TDateTimeParts DecodeDateTime(double value) {
    TDateTimeParts parts;
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) {
        return parts;
    }
    long long days = static_cast<long long>(std::trunc(value));
    long long ms = std::llround(std::fabs(value - static_cast<double>(days)) * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += value < 0 ? -1 : 1;
    }
    CivilFromDays(days + kDay0FromUnix, parts.Year, parts.Month, parts.Day);
    parts.Hour = static_cast<int>(ms / 3600000);
    parts.Minute = static_cast<int>(ms / 60000 % 60);
    parts.Second = static_cast<int>(ms / 1000 % 60);
    parts.Millisecond = static_cast<int>(ms % 1000);
    return parts;
}

double ParseMessageDate(std::string_view text, int localOffsetMinutes) {
    std::string_view s = TrimControls(text);
    double raw = 0;
    std::string_view zone;
    if (!s.empty()) {
        bool failed = false;
        const std::string head = AsciiUpper(s.substr(0, 3));
        for (std::string_view d : kDays) {
            if (head == d) {
                const std::size_t space = s.find(' ');
                s = TrimLeft(space == std::string_view::npos ? s : s.substr(space + 1));
                break;
            }
        }
        const std::size_t dash = s.find('-');
        const std::size_t space = s.find(' ');
        const char sep =
            dash != std::string_view::npos && dash >= 1 && space != std::string_view::npos && space > dash ? '-' : ' ';
        int month = 0;
        long long day = 1;
        if (MonthOf(s.substr(0, s.find(sep))) != 0) {
            month = MonthOf(TakePart(s, sep));
            day = ToInt(TakePart(s, sep)).value_or(1);
        } else {
            day = ToInt(TakePart(s, sep)).value_or(1);
            month = MonthOf(TakePart(s, sep));
        }
        const std::string_view yearToken = TakePart(s, ' ');
        long long year = ToInt(yearToken).value_or(1900);
        if (year == 1900) {
            // A time written before the year ('Dec 7 10:00:00 2026'): the year is what follows.
            year = ToInt(s).value_or(1900);
            s = yearToken;
        }
        if (year >= 0 && year < 80) {
            year += 2000;
        } else if (year >= 80 && year <= 99) {
            year += 1900;
        }
        TDateTimeParts parts;
        parts.Year = static_cast<int>(std::max<long long>(std::min<long long>(year, 100000), -100000));
        parts.Month = month;
        parts.Day = static_cast<int>(std::max<long long>(std::min<long long>(day, 100000), -100000));
        double date = 0;
        failed = !TryEncodeDateTime(parts, date);
        if (!failed && s.find(':') != std::string_view::npos) {
            std::string_view timeText = TakePart(s, ' ');
            long long hms[3] = {0, 0, 0};
            for (long long& v : hms) {
                v = ToInt(TakePart(timeText, ':')).value_or(0);
            }
            if (hms[0] < 0 || hms[0] > 23 || hms[1] < 0 || hms[1] > 59 || hms[2] < 0 || hms[2] > 59) {
                failed = true;
            } else {
                const double time = (hms[0] * 3600.0 + hms[1] * 60.0 + hms[2]) / 86400.0;
                date = date < 0 ? date - time : date + time;
            }
        }
        zone = TrimLeft(s);
        raw = failed ? 0 : date;
    }

    double zoneOffset = 0;
    if (zone.size() > 4) {
        const std::string_view z = TrimControls(zone).substr(0, 5);
        if (z.size() == 5 && (z[0] == '+' || z[0] == '-')) {
            const long long hours = ToInt(z.substr(1, 2)).value_or(0);
            const long long minutes = ToInt(z.substr(3, 2)).value_or(0);
            zoneOffset = (static_cast<double>(hours) * 60.0 + static_cast<double>(minutes)) / 1440.0;
            if (z[0] == '-') {
                zoneOffset = -zoneOffset;
            }
        }
    }
    return raw - zoneOffset + localOffsetMinutes / 1440.0;
}

int LocalUtcOffsetMinutes() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) {
        throw EIdFailedToRetreiveTimeZoneInfo();
    }
    return static_cast<int>(local.tm_gmtoff / 60);
}

} // namespace qm
