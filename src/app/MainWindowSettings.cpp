// Settings file and anti-spam lists moved between the files and the main window's controls.
#include "app/MainWindow.h"

#include "ui/AccountListView.h"
#include "ui/CodePageText.h"
#include "ui/NoticePanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <iostream>

namespace qm {

void TmQuillmere::LoadSettings() {
    m_lwServers->setRows({});
    if (m_dataFolderUnusable) {
        applyFallbackSettings();
        return;
    }
    const LoadResult result = qm::LoadSettings(SettingsPath());
    m_settingsUnreadable = result.status == LoadStatus::ReadFailed;
    m_tokenCommandRefusal = result.tokenCommandRefusal;
    if (!m_tokenCommandRefusal.empty()) {
        std::cerr << "quillmere: " << m_tokenCommandRefusal << " It is not rewritten.\n";
    }
    if (result.status == LoadStatus::CreateFailed || result.status == LoadStatus::ReadFailed) {
        // The run goes on with defaults; the user learns why the accounts are missing.
        std::cerr << "quillmere: " << result.error << '\n';
        applyFallbackSettings();
        return;
    }
    applyLoadedSettings(result.data);
}

void TmQuillmere::applyFallbackSettings() {
    m_seInterval->setValue(5);
    m_checkIntervalMs = IntervalMs(MonitorSettings{}.Interval);
    m_Tm->stop();
    m_Tm->setInterval(m_checkIntervalMs);
    m_cbExec->setChecked(false);
    m_cFromAddress->clear();
    m_cSubject->clear();
    m_cbAttach->setChecked(false);
    m_cbFromAddress->setChecked(false);
    m_cbSubject->setChecked(false);
    m_currentLanguage = "EN";
    m_cbCheckNewVersion->setChecked(true);
    m_cbAntiSpamEnabled->setChecked(true);
    m_cbAntiSpamSubjEnabled->setChecked(true);
}

void TmQuillmere::applyLoadedSettings(const SettingsData& data) {
    m_lwServers->setRows(data.accounts);

    const MonitorSettings& main = data.main;
    m_checkIntervalMs = IntervalMs(main.Interval);
    m_currentLanguage = main.Language;
    m_cbMinimized->setChecked(main.Minimized);
    m_cbSound->setChecked(main.Sound);
    m_notice->load(main);
    m_mailClient = main.MailClient;
    m_cbNewOnly->setChecked(main.NewOnly);
    m_cbCheckNewVersion->setChecked(main.CheckNewVersion);
    m_cbNotify->setChecked(main.Notify);
    m_cbAntiSpamEnabled->setChecked(main.AntiSpamListEnabled);
    m_cbAntiSpamSubjEnabled->setChecked(main.AntiSpamSubjListEnabled);
    const bool executing = main.Executing;

    // The box's own rule raises values below 2 to 2.
    m_seInterval->setValue(std::clamp(main.Interval, 0, kMaxIntervalMinutes));
    // Setting the box runs its click handler, which writes the entry once more when it is on.
    m_cbAutoLoad->setChecked(IsAutoStartRegistered());
    m_Tm->setInterval(m_checkIntervalMs);
    // Last: switching Executing on starts the check cycle.
    m_cbExec->setChecked(executing);
}

void TmQuillmere::seIntervalChange(int value) {
    if (value < kMinIntervalMinutes) {
        m_seInterval->setValue(kMinIntervalMinutes);
    }
}

SettingsData TmQuillmere::collectSettings() {
    SettingsData data = CurrentSettings();
    m_checkIntervalMs = IntervalMs(data.main.Interval);
    return data;
}

SettingsData TmQuillmere::CurrentSettings() const {
    SettingsData data;
    MonitorSettings& main = data.main;
    main.Interval = m_seInterval->value();
    main.Language = m_currentLanguage;
    main.MailClient = m_mailClient;
    main.NewOnly = m_cbNewOnly->isChecked();
    main.Executing = m_cbExec->isChecked();
    main.Minimized = m_cbMinimized->isChecked();
    main.Sound = m_cbSound->isChecked();
    m_notice->store(main);
    main.AntiSpamListEnabled = m_cbAntiSpamEnabled->isChecked();
    main.AntiSpamSubjListEnabled = m_cbAntiSpamSubjEnabled->isChecked();
    main.CheckNewVersion = m_cbCheckNewVersion->isChecked();
    main.Notify = m_cbNotify->isChecked();
    data.accounts = m_lwServers->rows();
    return data;
}

CheckOptions TmQuillmere::CheckSnapshot() const {
    CheckOptions options =
        MakeCheckOptions(CurrentSettings().main, SenderFilterList(), SubjectFilterList(), uiCodePage());
    options.tokenCommandRefusal = m_tokenCommandRefusal;
    return options;
}

bool TmQuillmere::IsExecuting() const {
    return m_cbExec->isChecked();
}

void TmQuillmere::SetExecuting(bool executing) {
    m_cbExec->setChecked(executing);
}

int TmQuillmere::IntervalMinutes() const {
    return m_seInterval->value();
}

bool TmQuillmere::NotifyOn() const {
    return m_cbNotify->isChecked();
}

bool TmQuillmere::SoundOn() const {
    return m_cbSound->isChecked();
}

void TmQuillmere::ShowLastExecTime(const QString& text) {
    m_lbLastExecTime->setText(text);
}

void TmQuillmere::SetHintText(std::string text) {
    m_hintText = std::move(text);
}

void TmQuillmere::SaveSettings() {
    const SettingsData data = collectSettings();
    if (m_dataFolderUnusable) {
        return;
    }
    // Write failures are silent; the files are replaced whole, so a failure keeps the old ones.
    SaveFilterList(SenderFilterList(), SenderListPath());
    SaveFilterList(SubjectFilterList(), SubjectListPath());
    if (!m_settingsUnreadable && m_tokenCommandRefusal.empty()) {
        qm::SaveSettings(SettingsPath(), data);
    }
}

} // namespace qm
