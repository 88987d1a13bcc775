#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace qm {

// The account dialog: protocol, provider, server, account name, password (shown as '*'), port,
// time-out, security, sign-in method and token command of one account, and for IMAP the folders
// to watch and what happens to spam. Created once and reused for every
// add and edit. Its labels are translated each time it is activated; the provider, security and
// sign-in texts stay English.
class Taccount_settings_fm : public QDialog {
    Q_OBJECT
public:
    explicit Taccount_settings_fm(QWidget* parent = nullptr);
    ~Taccount_settings_fm() override;

    // The language the labels are translated into when the dialog is activated.
    void setLanguage(const std::string& code);

    // Field values. Texts are the user's Unicode text; the caller converts to code page bytes.
    QString server() const;
    QString accountName() const;
    QString password() const;
    int port() const;
    int timeOut() const;
    // The Security value (AccountSecurity): 0 None, 1 SSL/TLS, 2 STARTTLS.
    int security() const;
    void setServer(const QString& text);
    void setAccountName(const QString& text);
    void setPassword(const QString& text);
    void setPort(int port);
    void setTimeOut(int seconds);
    // An unknown value selects None.
    void setSecurity(int security);
    // The Auth value: 0 password, 1 SASL PLAIN, 2 XOAUTH2, 3 OAUTHBEARER. The token command is
    // enabled, and the password disabled, only for the two OAuth2 methods.
    int auth() const;
    // An unknown value selects the password.
    void setAuth(int auth);
    QString tokenCommand() const;
    void setTokenCommand(const QString& text);
    // Where the password is kept (PasswordStore): 0 the settings file, 1 the desktop keyring.
    int passwordStore() const;
    // An unknown value selects the settings file.
    void setPasswordStore(int store);
    // The Protocol value (AccountProtocol): 0 POP3, 1 IMAP. The folder and spam fields are
    // enabled only for IMAP. An unknown value selects POP3; filling the dialog leaves the port.
    int protocol() const;
    void setProtocol(int protocol);
    QString folders() const;
    void setFolders(const QString& text);
    // The SpamAction value (ImapSpamAction); an unknown value selects the junk folder.
    int spamAction() const;
    void setSpamAction(int action);
    QString junkFolder() const;
    void setJunkFolder(const QString& text);
    QString trashFolder() const;
    void setTrashFolder(const QString& text);
    // Push (the Idle value): on for a new account; enabled only for IMAP.
    bool idle() const;
    void setIdle(bool on);
    // Whether what is typed is enough for an account: a server, an account name, and a password,
    // or for OAuth2 a token command.
    bool isComplete() const;

    // Window caption and the captions of the two buttons, as English keys translated here.
    void setCaptions(const char* windowCaption, const char* okCaption);

    // Empties the texts, POP3, port 110, time-out 60, security None, password sign-in, provider
    // Other, spam to the junk folder.
    void reset();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    // The protocol row and the IMAP rows (AccountDialogImap.cpp).
    void createImapFields();
    void layOutImapFields(QGridLayout* grid, int firstRow);
    void retranslateImapFields();
    void resetImapFields();
    void onProtocolChosen(int index);
    void onSpamActionChosen(int index);
    void onSecurityChosen(int index);
    void onAuthChosen(int index);
    void onProviderChosen(int index);
    // Shows the provider whose server is typed, Other for any other server.
    void showProviderOfServer();
    void onTimeOutChanged(int value);
    QString tr_(const char* english) const;

    QLineEdit* m_ePop = nullptr;
    QLineEdit* m_eAcc = nullptr;
    QLineEdit* m_ePass = nullptr;
    QSpinBox* m_sePort = nullptr;
    QSpinBox* m_seTimeOut = nullptr;
    QComboBox* m_cSecurity = nullptr;
    QComboBox* m_cProvider = nullptr;
    QComboBox* m_cAuth = nullptr;
    QLineEdit* m_eTokenCommand = nullptr;
    QComboBox* m_cPasswordStore = nullptr;
    QComboBox* m_cProtocol = nullptr;
    QLineEdit* m_eFolders = nullptr;
    QComboBox* m_cSpamAction = nullptr;
    QLineEdit* m_eJunkFolder = nullptr;
    QLineEdit* m_eTrashFolder = nullptr;
    QCheckBox* m_cbIdle = nullptr;
    QPushButton* m_bbAddEdit = nullptr;
    QPushButton* m_bbCancel = nullptr;
    QLabel* m_lbPop = nullptr;
    QLabel* m_lbAcc = nullptr;
    QLabel* m_lbPass = nullptr;
    QLabel* m_lbPort = nullptr;
    QLabel* m_lbTimeOut = nullptr;
    QLabel* m_lbSec = nullptr;
    QLabel* m_lbSecurity = nullptr;
    QLabel* m_lbProvider = nullptr;
    QLabel* m_lbAuth = nullptr;
    QLabel* m_lbTokenCommand = nullptr;
    QLabel* m_lbPasswordStore = nullptr;
    QLabel* m_lbProtocol = nullptr;
    QLabel* m_lbFolders = nullptr;
    QLabel* m_lbSpamAction = nullptr;
    QLabel* m_lbJunkFolder = nullptr;
    QLabel* m_lbTrashFolder = nullptr;
    const char* m_windowCaption = "account settings";
    const char* m_okCaption = "Apply";
    std::string m_language = "EN";
    bool m_filling = false;
    // The protocol shown before the user's last choice, whose standard ports a new choice moves.
    int m_shownProtocol = 0;
};

} // namespace qm
