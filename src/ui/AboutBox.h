#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

namespace qm {

class TAlURL;

// The About box: the program's icon, name and version, and links to the maker's web page and to
// the author's mail address.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // The caption follows this language the next time the box is shown.
    void setLanguage(const std::string& code);

    QLabel* Version() const { return m_Version; }
    TAlURL* AlURL1() const { return m_AlURL1; }
    TAlURL* AlURL2() const { return m_AlURL2; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormActivate();

    std::string m_language = "EN";
    QLabel* m_Version;
    TAlURL* m_AlURL1;
    TAlURL* m_AlURL2;
};

} // namespace qm
