#pragma once

// The account list, its dialog and its commands in one window, as the main window holds them,
// with the helpers that answer the dialog and the message boxes they open.

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

#include "UiTestSupport.h"
#include "ui/AccountActions.h"
#include "ui/AccountDialog.h"
#include "ui/AccountListView.h"

namespace qm::test {

class AccountWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        window = std::make_unique<QWidget>();
        list = new AccountListView(window.get());
        dialog = new Taccount_settings_fm(window.get());
        actions = std::make_unique<AccountActions>(list, dialog, window.get());
        actions->setExecutingSource([this] { return executing; });
        saves = std::make_unique<QSignalSpy>(actions.get(), &AccountActions::saveSettingsRequested);
    }
    void TearDown() override {
        actions.reset();
        window.reset();
    }

    // Runs `command`, which opens the dialog; `fill` changes the dialog before it is saved. Any
    // message box after it is accepted; its text is returned.
    QString runDialog(void (AccountActions::*command)(), const std::function<void()>& fill) {
        QString said;
        ModalAnswerer box([&said](QWidget* modal) {
            said = qobject_cast<QMessageBox*>(modal)->text();
            qobject_cast<QMessageBox*>(modal)->accept();
        }, 60000, isBox);
        ModalAnswerer edit([&](QWidget*) {
            fill();
            dialog->accept();
        }, 60000, [this](QWidget* modal) { return modal == dialog; });
        (actions.get()->*command)();
        EXPECT_TRUE(edit.answered());
        return said;
    }
    // Runs `command` and presses `button` of the message box it shows; returns the box's text.
    QString answerBox(const std::function<void()>& command, QMessageBox::StandardButton button) {
        QString said;
        ModalAnswerer box([&](QWidget* modal) {
            auto* b = qobject_cast<QMessageBox*>(modal);
            said = b->text();
            QTest::mouseClick(b->button(button), Qt::LeftButton);
        }, 60000, isBox);
        command();
        return said;
    }
    static bool isBox(QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; }

    bool executing = false;
    std::unique_ptr<QWidget> window;
    AccountListView* list = nullptr;
    Taccount_settings_fm* dialog = nullptr;
    std::unique_ptr<AccountActions> actions;
    std::unique_ptr<QSignalSpy> saves;
};

} // namespace qm::test
