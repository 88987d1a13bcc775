// The refresh tick's enabling rules, captions and colours.
#include "AppTestSupport.h"

#include "app/CheckWiring.h"

#include "app/TrayFacade.h"
#include "ui/AccountListView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

namespace qm::test {
namespace {

class Refresh : public ::testing::Test {
protected:
    void SetUp() override {
        window = startWindow(folder);
        ASSERT_NE(window, nullptr);
        window->refreshTimer()->stop(); // ticks are run by hand below
        cbExec = window->findChild<QCheckBox*>(QStringLiteral("cbExec"));
    }
    QListWidget* list(const char* name) { return window->findChild<QListWidget*>(QString::fromLatin1(name)); }
    bool enabled(const char* name) { return window->action(name)->isEnabled(); }

    AppFolder folder;
    std::unique_ptr<TmQuillmere> window;
    QCheckBox* cbExec = nullptr;
};

TEST_F(Refresh, ExecutingLocksTheAccountCommandsAndTheInterval) {
    window->lwServers()->setRows({AccountRow{"pop.a.org", "a", "", "110", "60", "False", "0"}});
    window->lwServers()->setRowSelected(0, true);
    const struct {
        bool executing;
        bool add, edit, del, disable, selectAll, interval;
    } rows[] = {{false, true, true, true, true, true, true}, {true, false, false, false, true, false, false}};
    for (const auto& row : rows) {
        cbExec->setChecked(row.executing);
        window->refreshTimerTimer();
        EXPECT_EQ(enabled("aAddAccount"), row.add) << row.executing;
        EXPECT_EQ(enabled("aEditAccount"), row.edit) << row.executing;
        EXPECT_EQ(enabled("aDelAccount"), row.del) << row.executing;
        EXPECT_EQ(enabled("aDisableAccount"), row.disable) << row.executing;
        EXPECT_EQ(enabled("aSelectAllAccount"), row.selectAll) << row.executing;
        EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->isEnabled(), row.interval);
    }
}

TEST_F(Refresh, ShowAddressesNeedsExecutingAndReceivedAddresses) {
    const struct {
        bool executing;
        bool addresses;
        bool enabled;
    } rows[] = {{false, false, false}, {true, false, false}, {false, true, false}, {true, true, true}};
    for (const auto& row : rows) {
        cbExec->setChecked(row.executing);
        if (row.addresses) {
            // As a session reports a sender of the last check.
            window->checkWiring()->cycle().AddAddress("a@b.org");
        }
        window->refreshTimerTimer();
        EXPECT_EQ(enabled("aShowMessagesList"), row.enabled) << row.executing << row.addresses;
    }
}

TEST_F(Refresh, FilterListCommandsFollowTheCurrentEntry) {
    const struct {
        const char* box;
        const char* edit;
        const char* others[3];
    } lists[] = {{"clbAntiSpam", "aEditAddress", {"aDelChecked", "aCheckAll", "aUncheckAll"}},
                 {"clbSubjAntiSpam", "aEditSubject", {"aDelCheckedSubj", "aCheckAllSubj", "aUncheckAllSubj"}}};
    for (const auto& l : lists) {
        QListWidget* box = list(l.box);
        window->refreshTimerTimer();
        EXPECT_FALSE(enabled(l.edit)) << l.box;
        EXPECT_EQ(window->action(l.edit)->property("qmImageIndex").toInt(), 3) << l.box;
        for (const char* other : l.others) {
            EXPECT_FALSE(enabled(other)) << other;
        }
        box->addItem(QStringLiteral("*@spam.org"));
        box->setCurrentRow(0);
        window->refreshTimerTimer();
        EXPECT_TRUE(enabled(l.edit)) << l.box;
        EXPECT_EQ(window->action(l.edit)->property("qmImageIndex").toInt(), 2) << l.box;
        for (const char* other : l.others) {
            EXPECT_TRUE(enabled(other)) << other;
        }
        box->setCurrentRow(-1);
        window->refreshTimerTimer();
        EXPECT_FALSE(enabled(l.edit)) << l.box;
    }
    EXPECT_TRUE(enabled("aAddAddress"));
    EXPECT_TRUE(enabled("aAddSubject"));
}

TEST_F(Refresh, ListsAreEnabledByTheirCheckBoxes) {
    const struct {
        const char* check;
        const char* box;
    } pairs[] = {{"cbAntiSpamEnabled", "clbAntiSpam"}, {"cbAntiSpamSubjEnabled", "clbSubjAntiSpam"}};
    for (const auto& pair : pairs) {
        auto* check = window->findChild<QCheckBox*>(QString::fromLatin1(pair.check));
        for (bool on : {false, true}) {
            check->setChecked(on);
            window->refreshTimerTimer();
            EXPECT_EQ(list(pair.box)->isEnabled(), on) << pair.box;
        }
    }
}

TEST_F(Refresh, WaitingForTheNextCheckShowsStopInBlue) {
    auto* clock = window->findChild<QLabel*>(QStringLiteral("lbTimeNow"));
    cbExec->setChecked(true);
    window->Tm()->start();
    window->refreshTimerTimer();
    EXPECT_EQ(window->action("aCheckMail")->text(), QStringLiteral("Stop"));
    EXPECT_EQ(cbExec->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(clock->palette().color(QPalette::WindowText), QColor(Qt::blue));

    // A check in progress: the timer is off though Executing is on.
    window->Tm()->stop();
    window->tray()->setIconIndex(0);
    window->refreshTimerTimer();
    EXPECT_EQ(window->action("aCheckMail")->text(), QStringLiteral("Start"));
    EXPECT_NE(cbExec->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_NE(clock->palette().color(QPalette::WindowText), QColor(Qt::blue));
}

TEST_F(Refresh, StartAndStopAreTranslated) {
    window->action("Russian1")->trigger();
    window->refreshTimerTimer();
    EXPECT_EQ(window->action("aCheckMail")->text(), QStringLiteral("Старт"));
    cbExec->setChecked(true);
    window->Tm()->start();
    window->refreshTimerTimer();
    EXPECT_EQ(window->action("aCheckMail")->text(), QStringLiteral("Стоп"));
}

TEST_F(Refresh, ClockShowsTheTimeAfterATick) {
    auto* clock = window->findChild<QLabel*>(QStringLiteral("lbTimeNow"));
    clock->setText(QStringLiteral("..."));
    window->refreshTimerTimer();
    EXPECT_NE(clock->text(), QStringLiteral("..."));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lbLastExecTime"))->text(), QStringLiteral("..."));
}

// The tick skips what did not change since the last one; a change after many quiet ticks must still
// reach the window.
TEST_F(Refresh, AChangeAfterUnchangedTicksStillReachesTheWindow) {
    auto* clock = window->findChild<QLabel*>(QStringLiteral("lbTimeNow"));
    auto* senders = list("clbAntiSpam");
    senders->addItem(QStringLiteral("*@spam.org"));
    senders->setCurrentRow(-1);
    const QPalette appPalette = QApplication::palette();
    const struct {
        const char* what;
        std::function<void()> change;
        std::function<bool()> shown;
    } changes[] = {
        {"waiting for the next check", [&] { cbExec->setChecked(true), window->Tm()->start(); },
         [&] {
             return window->action("aCheckMail")->text() == QStringLiteral("Stop") &&
                    cbExec->palette().color(QPalette::WindowText) == QColor(Qt::blue);
         }},
        {"a check running", [&] { window->Tm()->stop(); },
         [&] { return cbExec->palette().color(QPalette::WindowText) != QColor(Qt::blue); }},
        {"another language", [&] { window->action("Russian1")->trigger(); },
         [&] { return window->action("aCheckMail")->text() == QStringLiteral("Старт"); }},
        {"a current list entry", [&] { senders->setCurrentRow(0); },
         [&] {
             return enabled("aEditAddress") && window->action("aEditAddress")->property("qmImageIndex").toInt() == 2;
         }},
        {"a list switched off",
         [&] { window->findChild<QCheckBox*>(QStringLiteral("cbAntiSpamEnabled"))->setChecked(false); },
         [&] { return !senders->isEnabled(); }},
        {"another plain text colour",
         [&] {
             QPalette red = appPalette;
             red.setColor(QPalette::WindowText, Qt::red);
             QApplication::setPalette(red);
         },
         [&] {
             return cbExec->palette().color(QPalette::WindowText) == QColor(Qt::red) &&
                    clock->palette().color(QPalette::WindowText) == QColor(Qt::red);
         }},
        {"the clock overwritten", [&] { clock->setText(QStringLiteral("...")); },
         [&] { return clock->text() != QStringLiteral("..."); }},
    };
    for (const auto& c : changes) {
        for (int quiet = 0; quiet < 3; ++quiet) {
            window->refreshTimerTimer();
        }
        c.change();
        window->refreshTimerTimer();
        EXPECT_TRUE(c.shown()) << c.what;
    }
    QApplication::setPalette(appPalette);
}

TEST_F(Refresh, UpdateResultIsOfferedOnceAndAFailingOfferKeepsTheTickRunning) {
    std::vector<std::string> offered;
    window->OfferUpdate = [&offered](const std::string& text) {
        offered.push_back(text);
        throw std::runtime_error("offer failed");
    };
    window->refreshTimer()->start();
    window->postUpdateResult("2.7.0.0");
    EXPECT_TRUE(waitFor([&offered] { return !offered.empty(); }));
    window->refreshTimerTimer();
    window->refreshTimerTimer();
    EXPECT_EQ(offered, std::vector<std::string>{"2.7.0.0"});
    EXPECT_TRUE(window->refreshTimer()->isActive());
}

} // namespace
} // namespace qm::test
