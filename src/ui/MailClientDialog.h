#pragma once

#include <QDialog>

#include <string>

class QFileDialog;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qm {

// The dialog choosing the mail client program: a path typed in or picked from the executable files.
class TselMailCl_fm : public QDialog {
    Q_OBJECT
public:
    explicit TselMailCl_fm(QWidget* parent = nullptr);

    void setLanguage(const std::string& code);
    // The client shown when the dialog opens (FormActivate puts it in eMailCl).
    void setMailClient(const QString& path) { m_mailClient = path; }
    QString chosenPath() const;

    QLineEdit* eMailCl() const { return m_eMailCl; }
    QToolButton* sbFind() const { return m_sbFind; }
    QPushButton* bbOk() const { return m_bbOk; }
    QPushButton* bbCancel() const { return m_bbCancel; }

    void sbFindClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormActivate();
    QString tr_(const char* english) const;

    std::string m_language = "EN";
    QString m_mailClient;
    QLineEdit* m_eMailCl;
    QToolButton* m_sbFind;
    QPushButton* m_bbOk;
    QPushButton* m_bbCancel;
};

} // namespace qm
