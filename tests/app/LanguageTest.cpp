// Switching the interface language from the menu, and the menu's check at start-up.
#include "AppTestSupport.h"

#include "ui/AccountListView.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

struct Shown {
    const char* item;
    const char* code;
    const char* cbExec;
    const char* aExit;
    const char* tab0;
    const char* lbInterval;
    const char* column0;
    const char* cbAutoLoad;
    const char* accountsName;
    const char* addSenderName; // a notice button without a caption of its own
    const char* aMarkAllRead;
};

const Shown kLanguages[] = {
    {"Russian1", "RU", "Выполняется", "Выход", "настройки", "Интервал (мин):", "Почтовый сервер (POP3)",
     "запускать вместе с сеансом рабочего стола", "Учетные записи", "Добавить значение отправителя",
     "Отметить все как прочитанные"},
    {"Italian1", "IT", "Esecuzione", "Esci", "impostazioni", "Intervallo (minuti):", "Mail server (Pop3)",
     "avviare con la sessione del desktop", "Account", "Aggiungi valore del mittente", "Segna tutti come letti"},
    {"English1", "EN", "Executing", "Close", "settings", "Interval (min):", "Mail Server (POP3)",
     "start with the desktop session", "Accounts", "Add sender value", "Mark all as read"},
};

TEST(Language, MenuItemsReCaptionTheWindow) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    for (const Shown& shown : kLanguages) {
        window->action(shown.item)->trigger();
        EXPECT_EQ(window->CurrentLanguage(), shown.code);
        EXPECT_EQ(window->findChild<QCheckBox*>(QStringLiteral("cbExec"))->text(), QString::fromUtf8(shown.cbExec));
        EXPECT_EQ(window->action("aExit")->text(), QString::fromUtf8(shown.aExit));
        EXPECT_EQ(window->action("aMarkAllRead")->text(), QString::fromUtf8(shown.aMarkAllRead));
        EXPECT_EQ(window->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->tabText(0),
                  QString::fromUtf8(shown.tab0));
        EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lbInterval"))->text(),
                  QString::fromUtf8(shown.lbInterval));
        EXPECT_EQ(window->lwServers()->headerItem()->text(0), QString::fromUtf8(shown.column0));
        EXPECT_EQ(window->findChild<QCheckBox*>(QStringLiteral("cbAutoLoad"))->text(),
                  QString::fromUtf8(shown.cbAutoLoad));
        EXPECT_EQ(window->lwServers()->accessibleName(), QString::fromUtf8(shown.accountsName));
        const QWidget* notices = window->findChild<QWidget*>(QStringLiteral("tsOptions"));
        EXPECT_EQ(notices->findChild<QWidget*>(QStringLiteral("SpeedButton1"))->accessibleName(),
                  QString::fromUtf8(shown.addSenderName));
        for (const char* item : {"English1", "Russian1", "Italian1"}) {
            EXPECT_EQ(window->action(item)->isChecked(), std::string(item) == shown.item) << shown.item << item;
        }
        // Fixed captions stay English in every language.
        EXPECT_EQ(window->findChild<QMenu*>(QStringLiteral("Language1"))->title(), QStringLiteral("Language"));
        EXPECT_EQ(window->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->tabText(2),
                  QStringLiteral("anti spam"));
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillmere32"));
    }
}

QString cutButtons(const QList<QToolButton*>& buttons) {
    QString cut;
    for (const QToolButton* button : buttons) {
        if (button->minimumWidth() != button->maximumWidth() && button->width() < button->sizeHint().width()) {
            cut += QStringLiteral("%1 %2<%3 ")
                       .arg(button->objectName())
                       .arg(button->width())
                       .arg(button->sizeHint().width());
        }
    }
    return cut;
}

TEST(Language, LongerCaptionsGetTheRoomTheyNeed) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    auto* pages = window->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    for (const char* item : {"Russian1", "Italian1"}) {
        // Switched while the first page is in front, as at start-up; the others are looked at later.
        pages->setCurrentIndex(0);
        window->action(item)->trigger();
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            const QList<QToolButton*> buttons = pages->currentWidget()->findChildren<QToolButton*>();
            ASSERT_FALSE(buttons.isEmpty());
            // Captions are never cut: every button is at least as wide as its text needs.
            EXPECT_TRUE(waitFor([&buttons] {
                return std::all_of(buttons.begin(), buttons.end(), [](const QToolButton* button) {
                    const bool fixedSize = button->minimumWidth() == button->maximumWidth();
                    return fixedSize || button->width() >= button->sizeHint().width();
                });
            })) << item
                << " on page " << page << ": " << cutButtons(buttons).toStdString() << " in a window "
                << window->width() << " wide, hint " << window->sizeHint().width();
        }
    }
}

TEST(Language, SwitchingIsWrittenWithTheNextSave) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    window->action("Russian1")->trigger();
    EXPECT_EQ(readFile(folder.file("quillmere.ini")), defaultSettingsFile());
    window->SaveSettings();
    EXPECT_NE(readFile(folder.file("quillmere.ini")).find("Language=RU\r\n"), std::string::npos);
}

TEST(Language, StoredCodeCaptionsAndChecksTheMenuOnlyOnAnExactMatch) {
    const struct {
        const char* stored;
        const char* checked; // nullptr: no item checked
        const char* aRestart;
    } rows[] = {{"RU", "Russian1", "Рестарт"},     {"ru", nullptr, "Рестарт"}, {"IT", "Italian1", "Ricomincia"},
                {"DE", nullptr, "Wiederbeginnen"}, {"FR", nullptr, "Restart"}, {"EN", "English1", "Restart"}};
    for (const auto& row : rows) {
        AppFolder folder;
        writeFile(folder.file("quillmere.ini"), std::string("[Main]\r\nLanguage=") + row.stored + "\r\n");
        auto window = startWindow(folder);
        ASSERT_NE(window, nullptr) << row.stored;
        EXPECT_EQ(window->CurrentLanguage(), row.stored);
        EXPECT_EQ(window->action("aRestart")->text(), QString::fromUtf8(row.aRestart)) << row.stored;
        for (const char* item : {"English1", "Russian1", "Italian1"}) {
            const bool expected = row.checked != nullptr && std::string(item) == row.checked;
            EXPECT_EQ(window->action(item)->isChecked(), expected) << row.stored << " " << item;
        }
    }
}

} // namespace
} // namespace qm::test
