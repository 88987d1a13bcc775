// The widget tests run inside the monitor's own application object, so its exception filter is
// the one under test.
#include "app/QmApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qm::QmApplication app(argc, argv);
    qm::QmApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
