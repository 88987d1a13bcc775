// What the window promises the rest of the program: every caption finds its control, and a check
// takes the same options from a settings file as the console check does.
#include "AppTestSupport.h"

#include "engine/CheckOptions.h"
#include "lang/Captions.h"
#include "ui/AboutBox.h"
#include "settings/FilterList.h"
#include "ui/AccountListView.h"
#include "ui/CodePageText.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>

#include <algorithm>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

TEST(WindowContract, EveryCaptionFindsAControlOfItsKind) {
    AppFolder folder;
    const auto window = startWindow(folder, false);
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    ASSERT_NE(tabs, nullptr);
    for (const CaptionEntry& entry : MainWindowCaptions()) {
        const QString name = QString::fromLatin1(entry.objectName);
        bool found = false;
        switch (entry.target) {
        case CaptionTarget::Action:
            found = window->findChild<QAction*>(name) != nullptr;
            break;
        case CaptionTarget::MenuItem:
            found = window->findChild<QMenu*>(name) != nullptr || window->findChild<QAction*>(name) != nullptr;
            break;
        case CaptionTarget::CheckBox:
            found = window->findChild<QCheckBox*>(name) != nullptr;
            break;
        case CaptionTarget::Label:
            found = window->findChild<QLabel*>(name) != nullptr;
            break;
        case CaptionTarget::ListColumn:
            found = entry.column >= 0 && entry.column < window->lwServers()->columnCount();
            break;
        case CaptionTarget::Tab:
            found = tabs->indexOf(window->findChild<QWidget*>(name)) >= 0;
            break;
        case CaptionTarget::AccessibleName:
            found = window->findChild<QWidget*>(name) != nullptr;
            break;
        }
        EXPECT_TRUE(found) << entry.objectName << " (" << entry.englishText << ")";
    }
}

TEST(WindowContract, BeforeAnyLanguageCommandsAndChecksShowTheirTableCaptions) {
    TmQuillmere window("quillmere"); // its start-up step, which applies a language, never runs
    for (const CaptionEntry& entry : MainWindowCaptions()) {
        const QObject* control = window.findChild<QObject*>(QString::fromLatin1(entry.objectName));
        if (entry.target == CaptionTarget::Action || entry.target == CaptionTarget::CheckBox) {
            EXPECT_EQ(control->property("text").toString(), QString::fromUtf8(entry.englishText)) << entry.objectName;
        }
    }
}

// The widest step of grey between a widget's commonest colour, its background, and any other of
// its pixels: its text, where it has any.
int textStep(const QImage& shot) {
    QHash<QRgb, int> counts;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            ++counts[shot.pixel(x, y)];
    const QRgb background = std::max_element(counts.keyValueBegin(), counts.keyValueEnd(),
                                             [](auto a, auto b) { return a.second < b.second; })->first;
    int step = 0;
    for (auto it = counts.keyBegin(); it != counts.keyEnd(); ++it)
        step = std::max(step, std::abs(qGray(*it) - qGray(background)));
    return step;
}

// The texts of the window's shown labels and buttons whose grey is not 80 steps from the background.
QStringList unreadableTexts(QWidget& window) {
    QStringList unreadable;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(widget);
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        const QString text = label ? label->text() : button ? button->text() : QString();
        if (!text.isEmpty() && widget->isVisible() && textStep(widget->grab().toImage()) < 80)
            unreadable.append(text);
    }
    return unreadable;
}

// Under a dark theme every text of every page and of the About box stands out from what is behind
// it, the blue links too.
TEST(WindowContract, UnderADarkThemeEveryTextCanBeRead) {
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        dark.setColor(role, QColor(35, 35, 38));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(220, 220, 220));
    QApplication::setPalette(dark);
    AppFolder folder;
    const auto window = startWindow(folder, true);
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    ASSERT_NE(tabs, nullptr);
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
        EXPECT_EQ(unreadableTexts(*window).join(QStringLiteral(", ")).toStdString(), "") << "page " << page;
    }
    TAboutBox about(window.get());
    about.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(unreadableTexts(about).join(QStringLiteral(", ")).toStdString(), "");
    QApplication::setPalette(light);
}

TEST(WindowContract, MonitorAndConsoleTakeTheSameOptionsFromOneFile) {
    // In code page 1251 byte order and a Unicode sort disagree: "Бета" (0xC1...) sorts before
    // "альфа" (0xE0...) by bytes, after it by letters. The order decides which entry is reached
    // first, so both programs must use one rule.
    setUiCodePage(1251);
    const std::string values = "\xC1\xE5\xF2\xE0; \xE0\xEB\xFC\xF4\xE0; Zed; *[; ";
    AppFolder folder;
    writeFile(folder.file("quillmere.ini"), "[Main]\r\nFromAddress=" + values + "\r\nSubject=" + values +
                                                "\r\nUseFrom=1\r\nUseSubject=1\r\nInform=1\r\n");
    const auto window = startWindow(folder, false);
    const CheckOptions monitor = window->CheckSnapshot();

    const LoadResult loaded = LoadSettings(folder.file("quillmere.ini"));
    const CheckOptions console = MakeCheckOptions(loaded.data.main, FilterList{}, FilterList{}, 1251);
    setUiCodePage(0);
    EXPECT_EQ(monitor.fromMasks.Values(), console.fromMasks.Values());
    EXPECT_EQ(monitor.subjectMasks.Values(), console.subjectMasks.Values());
    EXPECT_EQ(monitor.fromMasks.Values().size(), 4u);
    EXPECT_EQ(monitor.inform, console.inform);
    EXPECT_EQ(monitor.useFrom, console.useFrom);
    EXPECT_EQ(monitor.useSubject, console.useSubject);
}

} // namespace
} // namespace qm::test
