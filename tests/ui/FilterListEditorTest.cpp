#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "FilterListFixture.h"
#include "lang/LangRes.h"

namespace qm {
namespace {

constexpr const char* kUntouched = "untouched";

class FilterListEditorTest : public test::FilterListFixture {
protected:
    void SetUp() override {
        FilterListFixture::SetUp();
        test::writeBytes(file, kUntouched);
    }
};

TEST_F(FilterListEditorTest, AddAppendsNewValuesAndWritesTheListFile) {
    const std::string longValue(2000, 'x');
    struct Case {
        FilterListKind kind;
        std::vector<std::string> entries;
        QString typed;
        bool ok;
        std::string file; // kUntouched: the file was not written
    };
    const Case cases[] = {
        {FilterListKind::Sender, {"a@x.org"}, QStringLiteral("*@spam.net"), true, "a@x.org\r\n*@spam.net\r\n"},
        {FilterListKind::Sender, {"A@X.org"}, QStringLiteral("a@x.ORG"), true, kUntouched},
        {FilterListKind::Sender, {"a"}, QStringLiteral("b"), false, kUntouched},
        // Neither list takes an empty value, nor a value made only of what a line cannot hold.
        {FilterListKind::Sender, {}, QString(), true, kUntouched},
        {FilterListKind::Subject, {}, QString(), true, kUntouched},
        {FilterListKind::Subject, {"x"}, QStringLiteral("\n"), true, kUntouched},
        {FilterListKind::Subject, {"x"}, QStringLiteral(" sp\nam "), true, "x\r\n spam \r\n"},
        {FilterListKind::Subject, {}, QStringLiteral("\u0441\u043f\u0430\u043c*"), true, "\xF1\xEF\xE0\xEC*\r\n"},
        {FilterListKind::Subject, {}, QString::fromStdString(longValue), true, longValue + "\r\n"},
        {FilterListKind::Sender, {}, QStringLiteral("a[b]"), true, "a[b]\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        test::writeBytes(file, kUntouched);
        makeEditor(c.kind, c.entries);
        // A bracket draws a warning as it is typed; the value is added all the same.
        auto warning = test::answerMessageBox(test::BoxAnswer::CloseBox);
        test::ValueDialogSeen seen;
        auto answer = test::answerValueDialog(c.typed, c.ok, &seen);
        editor->AddExecute();
        ASSERT_TRUE(answer->answered());
        const bool sender = c.kind == FilterListKind::Sender;
        EXPECT_EQ(seen.caption, sender ? QStringLiteral("address or its part") : QStringLiteral("subject or its part"));
        EXPECT_EQ(seen.okButton, QStringLiteral("Apply"));
        EXPECT_EQ(seen.label, QStringLiteral("It is possible to use mask symbols (?, *)"));
        EXPECT_EQ(seen.value, QString());
        EXPECT_EQ(test::readBytes(file), c.file);
        // The first entry, not the new one, is current.
        EXPECT_EQ(box->currentRow(), box->count() > 0 ? 0 : -1);
    }
}

TEST_F(FilterListEditorTest, EditReplacesTheCurrentEntryAndAsksForASave) {
    makeEditor(FilterListKind::Sender, {"one", "two", "three"}, 1);
    box->item(1)->setCheckState(Qt::Checked);
    dialog->bbAddEdit()->setText(QStringLiteral("Before"));
    editor->setLanguage("RU");
    test::ValueDialogSeen seen;
    auto answer = test::answerValueDialog(QStringLiteral("one"), true, &seen);
    editor->EditExecute();
    ASSERT_TRUE(answer->answered());
    EXPECT_EQ(seen.caption, QString::fromUtf8(Translate("edit address", "EN", "RU")));
    EXPECT_NE(seen.caption, QStringLiteral("edit address"));
    EXPECT_EQ(seen.value, QStringLiteral("two"));
    // No duplicate test: two equal entries; the mark stays; the dialog's button caption comes back.
    EXPECT_EQ(shown(), (std::vector<std::string>{"one", "one", "three"}));
    EXPECT_EQ(box->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(dialog->bbAddEdit()->text(), QStringLiteral("Before"));
    EXPECT_EQ(saves->count(), 1);
    EXPECT_EQ(test::readBytes(file), kUntouched);

    // Empty or cancelled: no change, no save.
    for (const bool ok : {true, false}) {
        auto again = test::answerValueDialog(ok ? QString() : QStringLiteral("changed"), ok);
        editor->EditExecute();
        EXPECT_TRUE(again->answered());
    }
    EXPECT_EQ(shown(), (std::vector<std::string>{"one", "one", "three"}));
    EXPECT_EQ(saves->count(), 1);

    // The subject list's edit caption has no translation.
    makeEditor(FilterListKind::Subject, {"x"});
    editor->setLanguage("IT");
    auto subject = test::answerValueDialog(QString(), false, &seen);
    editor->EditExecute();
    ASSERT_TRUE(subject->answered());
    EXPECT_EQ(seen.caption, QStringLiteral("edit subject"));
    EXPECT_EQ(seen.okButton, QStringLiteral("Salva"));
}

TEST_F(FilterListEditorTest, OnlyYesDeletesTheMarkedEntriesAndTheFileIsAlwaysWritten) {
    struct Case {
        test::BoxAnswer answer;
        std::vector<int> marked;
        std::string file;
    };
    const Case cases[] = {
        {test::BoxAnswer::Yes, {0, 2}, "b\r\nd\r\n"},
        {test::BoxAnswer::Yes, {}, "a\r\nb\r\nc\r\nd\r\n"},
        {test::BoxAnswer::No, {0, 2}, "a\r\nb\r\nc\r\nd\r\n"},
        {test::BoxAnswer::Escape, {0, 2}, "a\r\nb\r\nc\r\nd\r\n"},
        {test::BoxAnswer::CloseBox, {1}, "a\r\nb\r\nc\r\nd\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        test::writeBytes(file, kUntouched);
        makeEditor(FilterListKind::Subject, {"a", "b", "c", "d"});
        for (int row : c.marked)
            box->item(row)->setCheckState(Qt::Checked);
        QString question;
        auto answer = test::answerMessageBox(c.answer, &question);
        editor->DelCheckedExecute();
        ASSERT_TRUE(answer->answered());
        EXPECT_EQ(question, QStringLiteral("Are you sure?"));
        EXPECT_EQ(test::readBytes(file), c.file);
    }
}

TEST_F(FilterListEditorTest, ThousandsOfEntriesNulBytesAndLongValuesAreKeptExactly) {
    std::vector<std::string> entries;
    for (int i = 0; i < 5000; ++i)
        entries.push_back("e" + std::to_string(i) + "@x");
    entries.push_back(std::string("nul\0byte", 8));
    entries.push_back(std::string(2000, 'y'));
    makeEditor(FilterListKind::Sender, entries);
    std::string expected;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i % 2 == 0 && i < 5000)
            box->item(static_cast<int>(i))->setCheckState(Qt::Checked);
        else
            expected += entries[i] + "\r\n";
    }
    EXPECT_FALSE(editor->AddUnique("E4999@X"));
    auto yes = test::answerMessageBox(test::BoxAnswer::Yes);
    editor->DelCheckedExecute();
    ASSERT_TRUE(yes->answered());
    EXPECT_EQ(box->count(), 2502);
    EXPECT_EQ(test::readBytes(file), expected);
}

TEST_F(FilterListEditorTest, DeleteKeyDoubleClickAndMarks) {
    makeEditor(FilterListKind::Sender, {"a", "b"});
    editor->CheckAllExecute();
    EXPECT_EQ(box->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(box->item(1)->checkState(), Qt::Checked);
    editor->UncheckAllExecute();
    EXPECT_EQ(box->item(1)->checkState(), Qt::Unchecked);

    box->item(1)->setCheckState(Qt::Checked);
    auto yes = test::answerMessageBox(test::BoxAnswer::Yes);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_TRUE(yes->answered());
    EXPECT_EQ(test::readBytes(file), "a\r\n");

    // A disabled edit command ignores the double click.
    actions[1]->setEnabled(false);
    emit box->itemDoubleClicked(box->item(0));
    actions[1]->setEnabled(true);
    auto edit = test::answerValueDialog(QStringLiteral("z"));
    emit box->itemDoubleClicked(box->item(0));
    EXPECT_TRUE(edit->answered());
    EXPECT_EQ(shown(), std::vector<std::string>{"z"});
    EXPECT_EQ(saves->count(), 1);
}

TEST_F(FilterListEditorTest, BracketWarnsWhenTypedAndWhenTheFieldIsLeft) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    ASSERT_TRUE(dialog->eValue()->hasFocus());
    QString warning;
    auto typed = test::answerMessageBox(test::BoxAnswer::CloseBox, &warning);
    QTest::keyClicks(dialog->eValue(), QStringLiteral("a["));
    ASSERT_TRUE(typed->answered());
    EXPECT_EQ(warning, QStringLiteral("Symbols '[' and ']' are not allowed!"));
    EXPECT_EQ(dialog->eValue()->text(), QStringLiteral("a["));

    warning.clear();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    auto left = test::answerMessageBox(test::BoxAnswer::CloseBox, &warning);
    QTest::keyClick(dialog->eValue(), Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&left] { return left->answered(); }));
    EXPECT_EQ(warning, QStringLiteral("Symbols '[' and ']' are not allowed!"));
    // The field is the dialog's focus again, whichever window the platform activates now.
    EXPECT_TRUE(QTest::qWaitFor([this] { return dialog->focusWidget() == dialog->eValue(); }));
    dialog->hide();
}

} // namespace
} // namespace qm
