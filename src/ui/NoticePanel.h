#pragma once

#include "settings/SettingsFile.h"

#include <QObject>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;
class QWidget;

namespace qm {

class TfmValue;

// The notice conditions tab: which messages that survive the anti-spam lists count as news, and
// the message log file. Holds the value-list strings FromAddress and Subject, rebuilt from the two
// drop-down lists after every change, and FileName, which follows eFileName. Nothing here writes
// the settings file; the window's next save stores what store() gives.
class NoticePanel : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QCheckBox* cbInform;
        QCheckBox* cbFromAddress;
        QCheckBox* cbSubject;
        QCheckBox* cbAttach;
        QCheckBox* cbWriteToFile;
        QCheckBox* cbOverwrite;
        QToolButton* SpeedButton1;  // + sender value
        QToolButton* SpeedButton2;  // - sender value
        QToolButton* SpeedButton3;  // + subject value
        QToolButton* SpeedButton4;  // - subject value
        QToolButton* SpeedButton13; // choose the log file
        QComboBox* cFromAddress;
        QComboBox* cSubject;
        QLineEdit* eFileName;
    };

    // The controls and the dialog stay the caller's and must outlive the panel.
    NoticePanel(const Controls& controls, TfmValue* dialog, QWidget* dialogParent, QObject* parent = nullptr);

    // Also names the controls for screen readers in that language.
    void setLanguage(const std::string& code);

    // Controls and strings from the settings, and back.
    void load(const MonitorSettings& settings);
    void store(MonitorSettings& settings) const;

    // The values as code page bytes, in the order the drop-down list shows them.
    std::vector<std::string> fromValues() const;
    std::vector<std::string> subjectValues() const;
    const std::string& FromAddress() const { return m_fromAddress; }
    const std::string& Subject() const { return m_subject; }
    const std::string& FileName() const { return m_fileName; }

    // Handlers.
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton13Click();
    void eFileNameChange();

private:
    QString tr_(const char* english) const;
    // FromAddress and Subject once more from the drop-down lists.
    void RebuildValueLists();
    void addValue(QComboBox* box, const char* caption);
    void removeValue(QComboBox* box);

    Controls m_c;
    TfmValue* m_dialog;
    QWidget* m_dialogParent;
    std::string m_fromAddress;
    std::string m_subject;
    std::string m_fileName = "messages.txt";
    std::string m_language = "EN";
};

// A value of a sorted value list: inserted where the alphabet puts it, keeping its code page
// bytes, so a value the code page cannot show exactly is stored back unchanged.
void AddSortedItem(QComboBox* box, const std::string& bytes);
// The values of such a list as code page bytes, in the order shown.
std::vector<std::string> ValueItems(const QComboBox* box);

} // namespace qm
