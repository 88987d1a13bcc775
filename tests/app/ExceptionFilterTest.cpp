// Errors that reach the event loop: dropped, except the language table's capacity error.
#include "AppTestSupport.h"

#include "app/QmApplication.h"
#include "lang/LangRes.h"

#include <QApplication>

#include <gtest/gtest.h>
#include <stdexcept>

namespace qm::test {
namespace {

class ExceptionFilter : public ::testing::Test {
protected:
    void TearDown() override { QmApplication::setErrorPresenter(nullptr); }

    // Throws from inside the event loop, then checks the loop went on to the next event.
    void throwFromEventLoop(std::function<void()> thrower) {
        bool later = false;
        QTimer::singleShot(0, std::move(thrower));
        QTimer::singleShot(1, [&later] { later = true; });
        EXPECT_TRUE(waitFor([&later] { return later; }));
    }
};

TEST_F(ExceptionFilter, OnlyTheCapacityMessageIsShown) {
    const struct {
        const char* message;
        bool shown;
    } rows[] = {{"The allowable quantity of records (76) is exceeded!", true},
                {"prefix The allowable quantity of records suffix", true},
                {"Count of values is more than count of languages!", false},
                {"Access violation at address 00000000", false},
                {"the allowable quantity of records", false},
                {"", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(QmApplication::IsShownError(QString::fromUtf8(row.message)), row.shown) << row.message;
    }
}

TEST_F(ExceptionFilter, OrdinaryErrorsAreDroppedSilently) {
    QStringList shown;
    QmApplication::setErrorPresenter([&shown](const QString& text) { shown << text; });
    throwFromEventLoop([] { throw std::runtime_error("Socket Error # 10061"); });
    throwFromEventLoop([] { throw ELangValueCount(); });
    throwFromEventLoop([] { throw 42; });
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(ExceptionFilter, CapacityErrorOfTheLanguageTableIsShown) {
    QStringList shown;
    QmApplication::setErrorPresenter([&shown](const QString& text) { shown << text; });
    throwFromEventLoop([] {
        TLangRes table;
        BuildLanguageTable(table);
        table.AddRow({"x", "y", "z", "w"});
    });
    EXPECT_EQ(shown, QStringList{QStringLiteral("The allowable quantity of records (120) is exceeded!")});
}

TEST_F(ExceptionFilter, ShownErrorAppearsInAMessageBox) {
    BoxAnswerer ok(QMessageBox::Ok);
    throwFromEventLoop([] { throw ELangCapacity(5); });
    EXPECT_TRUE(ok.answered());
    EXPECT_EQ(ok.text(), QStringLiteral("The allowable quantity of records (5) is exceeded!"));
}

} // namespace
} // namespace qm::test
