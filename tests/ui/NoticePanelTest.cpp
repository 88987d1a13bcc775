#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QToolButton>

#include "UiTestSupport.h"
#include "lang/LangRes.h"
#include "ui/CodePageText.h"
#include "ui/NoticePanel.h"
#include "ui/ValueDialog.h"

namespace qm {
namespace {

class NoticePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureApp();
        setUiCodePage(1251);
        window = std::make_unique<QWidget>();
        auto check = [this] { return new QCheckBox(window.get()); };
        auto button = [this] { return new QToolButton(window.get()); };
        c = {check(),
             check(),
             check(),
             check(),
             check(),
             check(),
             button(),
             button(),
             button(),
             button(),
             button(),
             new QComboBox(window.get()),
             new QComboBox(window.get()),
             new QLineEdit(window.get())};
        dialog = new TfmValue(window.get());
        panel = std::make_unique<NoticePanel>(c, dialog, window.get());
    }
    void TearDown() override {
        panel.reset();
        window.reset();
        setUiCodePage(0);
    }
    void add(QToolButton* plus, const QString& value, bool ok = true, test::ValueDialogSeen* seen = nullptr) {
        auto answer = test::answerValueDialog(value, ok, seen);
        plus->click();
        EXPECT_TRUE(answer->answered());
    }

    std::unique_ptr<QWidget> window;
    NoticePanel::Controls c{};
    TfmValue* dialog = nullptr;
    std::unique_ptr<NoticePanel> panel;
};

TEST_F(NoticePanelTest, PlusAddsSortedValuesWithoutDuplicateTest) {
    test::ValueDialogSeen seen;
    add(c.SpeedButton1, QStringLiteral("zeta@x"), true, &seen);
    EXPECT_EQ(seen.caption, QStringLiteral("address or its part"));
    EXPECT_EQ(seen.okButton, QStringLiteral("Save"));
    add(c.SpeedButton1, QStringLiteral("Alpha beta"));
    add(c.SpeedButton1, QStringLiteral("zeta@x"));
    add(c.SpeedButton1, QString());                  // empty: nothing
    add(c.SpeedButton1, QStringLiteral("x"), false); // cancelled: nothing
    EXPECT_EQ(panel->fromValues(), (std::vector<std::string>{"Alpha beta", "zeta@x", "zeta@x"}));
    EXPECT_EQ(c.cFromAddress->currentIndex(), 0);
    EXPECT_EQ(panel->FromAddress(), "Alpha beta; zeta@x; zeta@x; ");

    panel->setLanguage("RU");
    add(c.SpeedButton3, QStringLiteral("\u0441\u043f\u0430\u043c"), true, &seen);
    EXPECT_EQ(seen.caption, QString::fromUtf8(Translate("the subject field contains", "EN", "RU")));
    EXPECT_EQ(panel->Subject(), "\xF1\xEF\xE0\xEC; ");
}

TEST_F(NoticePanelTest, MinusRemovesTheShownValue) {
    MonitorSettings loaded;
    loaded.FromAddress = "b; a;c";
    panel->load(loaded);
    c.cFromAddress->setCurrentIndex(1);
    c.SpeedButton2->click();
    EXPECT_EQ(panel->FromAddress(), "a; c; ");
    EXPECT_EQ(c.cFromAddress->currentIndex(), 0);
    c.SpeedButton2->click();
    c.SpeedButton2->click();
    EXPECT_EQ(panel->FromAddress(), "");
    EXPECT_EQ(c.cFromAddress->currentText(), QString());
    // Nothing left: nothing happens, nothing is asked.
    test::ModalAnswerer anything([](QWidget* modal) { modal->close(); }, 200);
    c.SpeedButton2->click();
    c.SpeedButton4->click();
    QTest::qWait(250);
    EXPECT_FALSE(anything.answered());
    EXPECT_EQ(panel->FromAddress(), "");
}

TEST_F(NoticePanelTest, LoadAndStoreKeepEveryKeyAndTheValueBytes) {
    MonitorSettings loaded;
    loaded.Inform = true;
    loaded.UseSubject = true;
    loaded.Overwrite = true;
    // A value with a space stays one value; bytes the code page cannot show come back unchanged.
    loaded.FromAddress = "two words; \x98odd";
    loaded.Subject = "";
    loaded.FileName = "log/\xE0.txt";
    panel->load(loaded);
    EXPECT_EQ(c.cFromAddress->count(), 2);
    EXPECT_EQ(c.eFileName->text(), QStringLiteral("log/\u0430.txt"));
    MonitorSettings stored;
    panel->store(stored);
    EXPECT_EQ(stored.FromAddress, "\x98odd; two words; ");
    EXPECT_EQ(stored.FileName, loaded.FileName);
    EXPECT_TRUE(stored.Inform && stored.UseSubject && stored.Overwrite);
    EXPECT_FALSE(stored.UseFrom || stored.Attach || stored.WriteToFile);

    c.eFileName->setText(QString());
    panel->store(stored);
    EXPECT_EQ(stored.FileName, "");
}

TEST_F(NoticePanelTest, FileChooserSetsFileNameAndTheField) {
    MonitorSettings loaded;
    loaded.FileName = "messages.txt";
    panel->load(loaded);
    QString preset;
    test::ModalAnswerer chooser([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        preset = dialog->selectedFiles().value(0);
        // A file that does not exist yet may be chosen.
        dialog->selectFile(QStringLiteral("/tmp/not-yet-there.txt"));
        static_cast<QDialog*>(dialog)->accept();
    });
    c.SpeedButton13->click();
    ASSERT_TRUE(chooser.answered());
    EXPECT_TRUE(preset.endsWith(QStringLiteral("/messages.txt"))) << preset.toStdString();
    EXPECT_EQ(c.eFileName->text(), QStringLiteral("/tmp/not-yet-there.txt"));
    EXPECT_EQ(panel->FileName(), "/tmp/not-yet-there.txt");
}

} // namespace
} // namespace qm
