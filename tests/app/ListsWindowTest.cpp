// The anti-spam lists, the notice conditions and the received addresses in the whole window: the
// files they leave behind, and a name for every control that a screen reader reaches.
#include "AppTestSupport.h"

#include "ui/AccountDialog.h"
#include "ui/CodePageText.h"
#include "ui/FilterListEditor.h"
#include "ui/ReceivedAddressesWindow.h"
#include "ui/UiTestSupport.h"
#include "ui/ValueDialog.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

QToolButton* button(const TmQuillmere& window, const char* name) {
    return window.findChild<QToolButton*>(QString::fromLatin1(name));
}

TEST(ListsWindow, NoticePanelButtonsReachTheSettingsKeysAndSurviveARestart) {
    AppFolder folder;
    {
        auto window = startWindow(folder, false);
        ASSERT_NE(window, nullptr);
        auto typed = answerValueDialog(QStringLiteral("two words"));
        button(*window, "SpeedButton1")->click();
        ASSERT_TRUE(typed->answered());
        typed = answerValueDialog(QStringLiteral("*urgent*"));
        button(*window, "SpeedButton3")->click();
        ASSERT_TRUE(typed->answered());
        window->findChild<QCheckBox*>(QStringLiteral("cbFromAddress"))->setChecked(true);
        window->findChild<QCheckBox*>(QStringLiteral("cbAttach"))->setChecked(true);
        window->findChild<QLineEdit*>(QStringLiteral("eFileName"))->setText(QStringLiteral("news.txt"));
        // The buttons themselves write nothing.
        EXPECT_EQ(readFile(folder.file("quillmere.ini")), defaultSettingsFile());
        window->SaveSettings();
    }
    const std::string ini = readFile(folder.file("quillmere.ini"));
    for (const char* key : {"\r\nFromAddress=two words; \r\n", "\r\nSubject=*urgent*; \r\n", "\r\nUseFrom=1\r\n",
                            "\r\nAttach=1\r\n", "\r\nUseSubject=0\r\n", "\r\nFileName=news.txt\r\n"}) {
        EXPECT_NE(ini.find(key), std::string::npos) << key << ini;
    }
    auto again = startWindow(folder, false);
    ASSERT_NE(again, nullptr);
    const auto* senders = again->findChild<QComboBox*>(QStringLiteral("cFromAddress"));
    ASSERT_EQ(senders->count(), 1);
    EXPECT_EQ(senders->itemText(0), QStringLiteral("two words"));
}

TEST(ListsWindow, EditSavesBothListFilesAndTheSettings) {
    AppFolder folder;
    writeFile(folder.file("antiSpamList.txt"), "a@x\r\nb@x\r\n");
    writeFile(folder.file("antiSpamSbjList.txt"), "Sale\r\n");
    auto window = startWindow(folder, false);
    ASSERT_NE(window, nullptr);
    std::filesystem::remove(folder.file("antiSpamSbjList.txt"));
    std::filesystem::remove(folder.file("quillmere.ini"));
    auto* box = window->findChild<QListWidget*>(QStringLiteral("clbAntiSpam"));
    box->setCurrentRow(1);
    window->refreshTimerTimer();
    auto typed = answerValueDialog(QStringLiteral("c@x"));
    window->action("aEditAddress")->trigger();
    ASSERT_TRUE(typed->answered());
    EXPECT_EQ(readFile(folder.file("antiSpamList.txt")), "a@x\r\nc@x\r\n");
    EXPECT_EQ(readFile(folder.file("antiSpamSbjList.txt")), "Sale\r\n");
    EXPECT_NE(readFile(folder.file("quillmere.ini")).find("[Main]"), std::string::npos);
}

// The accessible name a screen reader announces for the widget.
QString accessibleName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face == nullptr ? QString() : face->text(QAccessible::Name).trimmed();
}

// Every control of the window (buttons, check boxes, lists, fields) with no accessible name.
std::string unnamedControls(QWidget* window) {
    std::string unnamed;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const bool control =
            qobject_cast<QAbstractButton*>(widget) != nullptr || qobject_cast<QComboBox*>(widget) != nullptr ||
            qobject_cast<QLineEdit*>(widget) != nullptr || qobject_cast<QAbstractSpinBox*>(widget) != nullptr ||
            (qobject_cast<QAbstractItemView*>(widget) != nullptr &&
             qobject_cast<QComboBox*>(widget->parentWidget()) == nullptr);
        // Parts Qt builds inside a composite control (a spin box's field, a list's header, a tab
        // bar's scroll arrows) are named through their owner.
        const bool inner = widget->objectName().startsWith(QLatin1String("qt_")) ||
                           qobject_cast<QAbstractSpinBox*>(widget->parentWidget()) != nullptr ||
                           qobject_cast<QAbstractItemView*>(widget->parentWidget()) != nullptr ||
                           widget->parentWidget()->inherits("QTabBar");
        if (control && !inner && accessibleName(widget).isEmpty()) {
            unnamed += widget->objectName().toStdString() + ' ' + widget->metaObject()->className() + "; ";
        }
    }
    return unnamed;
}

TEST(ListsWindow, EveryControlHasAnAccessibleName) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    for (const char* language : {"English1", "Russian1"}) {
        window->action(language)->trigger();
        QWidget* windows[] = {window.get(), window->fmValue(), window->mess_list_fm(), window->account_settings_fm()};
        for (QWidget* each : windows) {
            EXPECT_EQ(unnamedControls(each), "") << each->objectName().toStdString() << language;
        }
    }
}

} // namespace
} // namespace qm::test
