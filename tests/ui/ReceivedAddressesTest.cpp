#include <gtest/gtest.h>

#include <QMenu>
#include <QToolButton>

#include "FilterListFixture.h"
#include "ui/ReceivedAddressesWindow.h"

namespace qm {
namespace {

class ReceivedAddressesTest : public test::FilterListFixture {
protected:
    void SetUp() override {
        FilterListFixture::SetUp();
        makeEditor(FilterListKind::Sender, {"Known@Example.org"});
        runMailClient = new QAction(QStringLiteral("Run Mail Client"), window.get());
        form = std::make_unique<Tmess_list_fm>(runMailClient);
        form->setAntiSpamList(editor.get());
    }
    void TearDown() override {
        form.reset();
        FilterListFixture::TearDown();
    }
    void tick(int row) { form->clbMessList()->item(row)->setCheckState(Qt::Checked); }
    Qt::CheckState state(int row) const { return form->clbMessList()->item(row)->checkState(); }

    QAction* runMailClient = nullptr;
    std::unique_ptr<Tmess_list_fm> form;
};

TEST_F(ReceivedAddressesTest, OpensEmptyWithTheCommandDisabled) {
    form->Open({});
    ASSERT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isModal());
    EXPECT_EQ(form->clbMessList()->count(), 0);
    EXPECT_FALSE(form->aAddToAntispam()->isEnabled());
    form->aAddToAntispamExecute();
    EXPECT_FALSE(std::filesystem::exists(file));

    form->aClose()->trigger();
    EXPECT_FALSE(form->isVisible());
    form->Open({"a@b"});
    EXPECT_TRUE(form->aAddToAntispam()->isEnabled());
    EXPECT_EQ(state(0), Qt::Unchecked);
}

TEST_F(ReceivedAddressesTest, TickedAddressesMoveIntoTheSenderListOnce) {
    form->Open({"known@EXAMPLE.org", "new@spam.net", "\xE0@x.ru", "", "plain@x"});
    tick(0);
    tick(1);
    tick(2);
    form->aAddToAntispam()->trigger();
    // Already listed in other letter case: not added and still ticked; the others added and unticked.
    EXPECT_EQ(test::readBytes(file), "Known@Example.org\r\nnew@spam.net\r\n\xE0@x.ru\r\n");
    EXPECT_EQ(state(0), Qt::Checked);
    EXPECT_EQ(state(1), Qt::Unchecked);
    EXPECT_EQ(state(2), Qt::Unchecked);
    EXPECT_EQ(state(4), Qt::Unchecked);

    // Nothing ticked that is new: the file is written again, unchanged.
    std::filesystem::remove(file);
    form->aAddToAntispam()->trigger();
    EXPECT_EQ(test::readBytes(file), "Known@Example.org\r\nnew@spam.net\r\n\xE0@x.ru\r\n");
}

TEST_F(ReceivedAddressesTest, CaptionsFollowTheLanguage) {
    form->setLanguage("IT");
    form->Open({"a@b"});
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Gli indirizzi dei messaggi ricevuti"));
    EXPECT_EQ(form->aAddToAntispam()->text(), QStringLiteral("Alla lista del antispam"));
    EXPECT_EQ(form->aClose()->text(), QStringLiteral("Esci"));
    EXPECT_EQ(form->findChild<QToolButton*>(QStringLiteral("SpeedButton2"))->text(), QStringLiteral("Esci"));
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form->PopupMenu1()->actions().contains(runMailClient));
}

} // namespace
} // namespace qm
