// The mail client and the About box from the window: the client is started with a mail handler
// of the test's own, found through xdg-mime and PATH.
#include "AppTestSupport.h"
#include "DesktopStandIns.h"
#include "ui/UiTestSupport.h"

#include "settings/MailState.h"
#include "ui/AboutBox.h"
#include "ui/MailClientDialog.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

class MailClientWindow : public ::testing::Test {
protected:
    void SetUp() override {
        m_window = startWindow(m_folder);
        ASSERT_TRUE(m_window);
    }
    void run() { m_window->action("aRunMailclient")->trigger(); }
    std::string storedMailClient() {
        m_window->SaveSettings();
        const std::string ini = readFile(m_folder.file("quillmere.ini"));
        const std::size_t at = ini.find("MailClient=");
        return at == std::string::npos ? "<none>" : ini.substr(at + 11, ini.find("\r\n", at) - at - 11);
    }

    AppFolder m_folder;
    StandInDesktop m_desktop{m_folder.path()};
    std::unique_ptr<TmQuillmere> m_window;
};

TEST_F(MailClientWindow, TheDesktopsHandlerIsStartedAndItsNameRemembered) {
    m_desktop.addProgram("fakemail");
    m_desktop.setMailHandler("fakemail.desktop", "Exec=" + (m_folder.path() / "bin" / "fakemail").string() + " %u");
    const auto stateFile = m_folder.file(kMailStateFile);
    MailState state;
    state.accounts["k"].messages["u1"] = {false, true, true, "a@x.example"};
    writeFile(stateFile, SerializeMailState(state));
    run();
    EXPECT_TRUE(waitFor([&] { return m_desktop.runs("fakemail").size() == 1; }));
    EXPECT_TRUE(LoadMailState(stateFile).accounts["k"].messages["u1"].looked) << "the user has looked";
    EXPECT_EQ(m_window->MailClient(), "fakemail");
    EXPECT_EQ(storedMailClient(), "fakemail");
    // From now on the remembered name is started, whatever the desktop says.
    m_desktop.setMailHandler("other.desktop", "Exec=other");
    run();
    EXPECT_TRUE(waitFor([&] { return m_desktop.runs("fakemail").size() == 2; }));
}

TEST_F(MailClientWindow, AClientThatCannotStartOpensTheDialogAndStaysAsItWas) {
    const std::string notExecutable = m_desktop.addProgram("plainfile", false).string();
    struct Row {
        const char* name;
        std::string mailClient;
        std::string desktopLines; // empty: no handler registered
    };
    const Row rows[] = {
        {"path not there", "/nonexistent/folder/client", ""},
        {"not executable", notExecutable, ""},
        {"no handler", "", ""},
        {"handler without Exec", "", "NoDisplay=true"},
        {"handler naming a missing program", "", "Exec=no-such-mail-client-here %u"},
    };
    for (const Row& row : rows) {
        if (!row.desktopLines.empty()) {
            m_desktop.setMailHandler("broken.desktop", row.desktopLines);
        }
        m_window->SetMailClient(row.mailClient);
        QString shown;
        ModalAnswerer cancel([&](QWidget* modal) {
            auto* dialog = qobject_cast<TselMailCl_fm*>(modal);
            ASSERT_NE(dialog, nullptr);
            shown = dialog->eMailCl()->text();
            dialog->eMailCl()->setText(QStringLiteral("typed but cancelled"));
            dialog->bbCancel()->click();
        });
        run();
        EXPECT_TRUE(cancel.answered()) << row.name;
        EXPECT_EQ(shown.toStdString(), row.mailClient) << row.name;
        EXPECT_EQ(m_window->MailClient(), row.mailClient) << row.name;
    }
}

TEST_F(MailClientWindow, TheDialogSavesWhatItShowsAndCancelKeepsTheClient) {
    const struct {
        const char* typed;
        bool save;
        const char* result;
    } rows[] = {{"/opt/mail/client", true, "/opt/mail/client"},
                {"", true, ""},
                {"/ignored", false, ""},
                {"claws-mail", true, "claws-mail"}};
    for (const auto& row : rows) {
        ModalAnswerer answer([&](QWidget* modal) {
            auto* dialog = qobject_cast<TselMailCl_fm*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select Mail Client"));
            EXPECT_EQ(dialog->bbOk()->text(), QStringLiteral("Save"));
            dialog->eMailCl()->setText(QString::fromUtf8(row.typed));
            (row.save ? dialog->bbOk() : dialog->bbCancel())->click();
        });
        m_window->action("aSelectmailClient")->trigger();
        EXPECT_TRUE(answer.answered()) << row.typed;
        EXPECT_EQ(m_window->MailClient(), row.result) << row.typed;
    }
    EXPECT_EQ(storedMailClient(), "claws-mail");
}

TEST_F(MailClientWindow, TheFileChooserOffersProgramsAndFillsThePath) {
    const std::string program = m_desktop.addProgram("pickme").string();
    m_window->SetMailClient(program);
    bool executablesOnly = false;
    QString initial;
    ModalAnswerer outer([&](QWidget* modal) {
        auto* dialog = qobject_cast<TselMailCl_fm*>(modal);
        ASSERT_NE(dialog, nullptr);
        ModalAnswerer chooser([&](QWidget* inner) {
            auto* files = qobject_cast<QFileDialog*>(inner);
            ASSERT_NE(files, nullptr);
            executablesOnly = files->filter().testFlag(QDir::Executable) && files->filter().testFlag(QDir::Files);
            initial = files->directory().absolutePath();
            files->selectFile(QString::fromStdString(program));
            static_cast<QDialog*>(files)->accept();
        });
        dialog->sbFind()->click();
        EXPECT_TRUE(chooser.answered());
        EXPECT_EQ(dialog->eMailCl()->text().toStdString(), program);
        dialog->eMailCl()->setText(dialog->eMailCl()->text() + QStringLiteral("2"));
        dialog->bbOk()->click();
    });
    m_window->action("aSelectmailClient")->trigger();
    ASSERT_TRUE(outer.answered());
    EXPECT_TRUE(executablesOnly);
    EXPECT_EQ(initial.toStdString(), (m_folder.path() / "bin").string());
    EXPECT_EQ(m_window->MailClient(), program + "2");
}

TEST_F(MailClientWindow, TheAboutBoxOpensFromTheHelpMenuInTheInterfaceLanguage) {
    m_window->action("Russian1")->trigger();
    QString caption;
    ModalAnswerer ok([&](QWidget* modal) {
        auto* box = qobject_cast<TAboutBox*>(modal);
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        box->accept();
    });
    m_window->action("About1")->trigger();
    ASSERT_TRUE(ok.answered());
    EXPECT_EQ(caption, QStringLiteral("О программе"));
}

} // namespace
} // namespace qm::test
