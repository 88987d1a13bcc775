// One QApplication for all tests of the executable, created before the first test runs.
#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // Never reach for a real display or session bus from a unit test, however it was started.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
            qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
        static int argc = 1;
        static char name[] = "tray_test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

} // namespace
