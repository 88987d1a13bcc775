// Every control of the small dialogs can be told apart by a screen reader.
#include "UiTestSupport.h"

#include "ui/AboutBox.h"
#include "ui/AccountDialog.h"
#include "ui/MailClientDialog.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QLabel>

#include <gtest/gtest.h>

#include <memory>

namespace qm {
namespace {

TEST(DialogAccessibility, EveryControlHasAName) {
    test::ensureApp();
    auto account = std::make_unique<Taccount_settings_fm>();
    account->setLanguage("IT");
    std::unique_ptr<QDialog> dialogs[] = {std::make_unique<TAboutBox>(), std::make_unique<TselMailCl_fm>(),
                                          std::move(account)};
    for (const auto& dialog : dialogs) {
        int controls = 0;
        for (QWidget* widget : dialog->findChildren<QWidget*>()) {
            // A spin box's own text field is read as part of the spin box.
            if ((widget->focusPolicy() == Qt::NoFocus && qobject_cast<QLabel*>(widget) == nullptr) ||
                qobject_cast<QAbstractSpinBox*>(widget->parentWidget()) != nullptr) {
                continue;
            }
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(face, nullptr) << widget->objectName().toStdString();
            EXPECT_FALSE(face->text(QAccessible::Name).trimmed().isEmpty())
                << dialog->objectName().toStdString() << "/" << widget->objectName().toStdString();
            ++controls;
        }
        EXPECT_GE(controls, 4) << dialog->objectName().toStdString();
    }
}

} // namespace
} // namespace qm
