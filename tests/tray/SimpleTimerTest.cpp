#include "tray/SimpleTimer.h"

#include <QTest>

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(SimpleTimer, IntervalZeroNeverStarts) {
    TSimpleTimer timer(0, [](TSimpleTimer&) {});
    EXPECT_FALSE(timer.Start());
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
}

TEST(SimpleTimer, TicksCallTheHandlerUntilStopped) {
    int ticks = 0;
    TSimpleTimer timer(5, [&ticks](TSimpleTimer&) { ++ticks; });
    EXPECT_TRUE(timer.Start());
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 20000);
    timer.Stop();
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
}

TEST(SimpleTimer, IntervalZeroPausesButStaysEnabled) {
    TSimpleTimer timer(1000, [](TSimpleTimer&) {});
    timer.SetEnabled(true);
    timer.SetInterval(0);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
    timer.SetInterval(40);
    EXPECT_TRUE(timer.Running());
    EXPECT_EQ(timer.Interval(), 40u);
}

TEST(SimpleTimer, OneShotStopsAfterItsFirstTick) {
    int ticks = 0;
    TSimpleTimer timer(5, [&ticks](TSimpleTimer& self) {
        ++ticks;
        EXPECT_FALSE(self.Enabled());
    });
    timer.SetOneShot(true);
    timer.Start();
    QTRY_VERIFY_WITH_TIMEOUT(ticks == 1, 20000);
    EXPECT_FALSE(timer.Running());
}

TEST(SimpleTimer, RemovingTheHandlerStopsTheSystemTimer) {
    TSimpleTimer timer(5, [](TSimpleTimer&) {});
    timer.Start();
    timer.SetHandler({});
    EXPECT_FALSE(timer.Running());
    timer.Tick(); // no handler: nothing to call, nothing to crash
}

} // namespace
} // namespace qm
