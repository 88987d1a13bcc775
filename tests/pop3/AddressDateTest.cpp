#include "pop3/IdMessageDate.h"
#include "pop3/MessageDecoders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

using namespace qm;

TEST(ParseAddress, Forms) {
    const struct {
        const char* text;
        const char* address;
        const char* name;
    } rows[] = {
        {"John <user@host>", "user@host", "John"},
        {"user@host (John)", "user@host", ""},
        {"\"Doe, John\" <jd@host>", "jd@host", "Doe, John"},
        {"postmaster", "postmaster", ""},
        {"", "", ""},
        {"   ", "", ""},
        {"  <a@b>  ", "a@b", ""},
        {"John Smith <js@example.com>", "js@example.com", "John Smith"},
        {"john.doe@host.com", "john.doe@host.com", ""},
        {"<john.doe@host. com>", "john.doe@host.com", ""},
        {"a@b (comment (nested)) ", "a@b", ""},
        {"Name <a@b> (c)", "a@b", "Name"},
        {"\"J \\\"Q\\\" D\" <q@h>", "q@h", "J \"Q\"D"},
        {"\"Quoted only\"", "", "Quoted only"},
        {"(Comment) user@host", "user@host", ""},
        {"Ann\t<ann@h>", "ann@h", "Ann"},
    };
    for (const auto& row : rows) {
        const TIdEMailAddressItem item = ParseAddress(row.text);
        EXPECT_EQ(item.Address, row.address) << row.text;
        EXPECT_EQ(item.Name, row.name) << row.text;
    }
}

TEST(ParseAddress, AtOutsideAddressIsAnError) {
    for (const char* text : {"<a@host1> d@host2", "Name <a@b> x@y"}) {
        try {
            ParseAddress(text);
            ADD_FAILURE() << "no exception for " << text;
        } catch (const EIdEmailParseError& e) {
            EXPECT_STREQ(e.what(), "@ Outside address");
        }
    }
    EXPECT_NO_THROW(ParseAddress("<a@host1> (d@host2)"));
}

TEST(ParseAddressList, SplitsOutsideQuotesAndComments) {
    const struct {
        const char* text;
        std::size_t count;
        const char* lastAddress;
    } rows[] = {
        {"a@b, c@d", 2, "c@d"},
        {"\"x, y\" <a@b>", 1, "a@b"},
        {"(c, d) a@b", 1, "a@b"},
        {"", 0, ""},
        {"<>", 0, ""},
        {"Group: a@b, c@d;", 2, "c@d"},
        {"a@b;; c@d ,", 2, "c@d"},
        {"\"a\\\"; b\" <q@r>", 1, "q@r"},
    };
    for (const auto& row : rows) {
        const TIdEMailAddressList list = ParseAddressList(row.text);
        EXPECT_EQ(list.size(), row.count) << row.text;
        if (!list.empty()) {
            EXPECT_EQ(list.back().Address, row.lastAddress) << row.text;
        }
    }
    EXPECT_THROW(ParseAddressList("ok@x, <a@b> c@d"), EIdEmailParseError);
}

namespace {

double At(int y, int mo, int d, int h, int mi, int s) {
    double value = 0;
    EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, 0}, value));
    return value;
}

constexpr double kMinute = 1.0 / 1440.0;

} // namespace

TEST(MessageDate, DayCountMatchesTheCalendar) {
    EXPECT_EQ(At(1899, 12, 30, 0, 0, 0), 0);
    EXPECT_EQ(At(1900, 1, 1, 0, 0, 0), 2);
    EXPECT_EQ(At(2000, 1, 1, 0, 0, 0), 36526);
    EXPECT_DOUBLE_EQ(At(2000, 1, 1, 12, 0, 0), 36526.5);
    double v = 0;
    EXPECT_FALSE(TryEncodeDateTime({2026, 2, 29, 0, 0, 0, 0}, v));
    EXPECT_TRUE(TryEncodeDateTime({2024, 2, 29, 0, 0, 0, 0}, v));
    const TDateTimeParts back = DecodeDateTime(At(2026, 12, 7, 8, 59, 30));
    EXPECT_EQ(back.Year, 2026);
    EXPECT_EQ(back.Month, 12);
    EXPECT_EQ(back.Day, 7);
    EXPECT_EQ(back.Hour, 8);
    EXPECT_EQ(back.Minute, 59);
    EXPECT_EQ(back.Second, 30);
}

TEST(MessageDate, Forms) {
    const struct {
        const char* text;
        int localOffset;
        double expected;
    } rows[] = {
        {"Tue, 07 Dec 2026 10:00:00 +0300", 60, At(2026, 12, 7, 8, 0, 0)},
        {"Tue, 07 Dec 2026 10:00:00 GMT", 60, At(2026, 12, 7, 11, 0, 0)},
        {"07 Dec 2026 10:00:00 -0130", 0, At(2026, 12, 7, 11, 30, 0)},
        {"07 Dec 2026 10:00:00 +03:00", 0, At(2026, 12, 7, 7, 0, 0)},
        {"07 Dec 2026 10:00:00 +03", 0, At(2026, 12, 7, 10, 0, 0)},
        {"07-Dec-2026 10:00:00 +0000", 0, At(2026, 12, 7, 10, 0, 0)},
        {"Dec 7 10:00:00 2026", 0, At(2026, 12, 7, 10, 0, 0)},
        {"Tue Dec 7 10:00:00 2026", -300, At(2026, 12, 7, 5, 0, 0)},
        {"7 dec 26 10:00 +0000", 0, At(2026, 12, 7, 10, 0, 0)},
        {"7 Dec 99 23:59:59", 0, At(1999, 12, 7, 23, 59, 59)},
        {"Tue, 07 Dec 2026", 0, At(2026, 12, 7, 0, 0, 0)},
        {"  Sat,   5 Jan 2030 1:2:3 +0100  ", 0, At(2030, 1, 5, 0, 2, 3)},
        // Impossible dates and times: the raw value is 0.
        {"", 60, 60 * kMinute},
        {"garbage", 60, 60 * kMinute},
        {"31 Feb 2026 10:00:00 +0300", 0, 0},
        {"07 Dec 2026 25:00:00 +0300", 0, -180 * kMinute},
        {"07 Foo 2026 10:00:00", 0, 0},
    };
    for (const auto& row : rows) {
        EXPECT_NEAR(ParseMessageDate(row.text, row.localOffset), row.expected, 1e-9) << row.text;
    }
}

TEST(MessageDate, MachineOffsetFollowsTheTimeZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "QMT-3", 1);
    tzset();
    EXPECT_EQ(LocalUtcOffsetMinutes(), 180);
    setenv("TZ", "QMT+5:30", 1);
    tzset();
    EXPECT_EQ(LocalUtcOffsetMinutes(), -330);
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}
