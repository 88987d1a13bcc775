// Settings file and anti-spam lists moved between the files and the main window's controls.
#include "app/MainWindow.h"

#include "ui/AccountListView.h"
#include "ui/CodePageText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <iostream>

namespace qm {

namespace {

void fillValueList(QComboBox* box, const std::string& stored) {
    box->clear();
    for (const std::string& value : SplitValueList(stored)) {
        AddSortedItem(box, fromCodePage(value));
    }
    if (box->count() > 0) {
        box->setCurrentIndex(0);
    }
}

std::string joinValueList(const QComboBox* box) {
    std::vector<std::string> items;
    items.reserve(static_cast<size_t>(box->count()));
    for (int i = 0; i < box->count(); ++i) {
        items.push_back(toCodePage(box->itemText(i)));
    }
    return JoinValueList(items);
}

} // namespace

void TmQuillmere::LoadSettings() {
    m_lwServers->setRows({});
    if (m_dataFolderUnusable) {
        applyFallbackSettings();
        return;
    }
    const LoadResult result = qm::LoadSettings(SettingsPath());
    m_settingsUnreadable = result.status == LoadStatus::ReadFailed;
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
    m_cbInform->setChecked(main.Inform);
    m_cbSound->setChecked(main.Sound);
    m_cbAttach->setChecked(main.Attach);
    m_cbFromAddress->setChecked(main.UseFrom);
    m_cbSubject->setChecked(main.UseSubject);
    m_cbWriteToFile->setChecked(main.WriteToFile);
    m_cbOverwrite->setChecked(main.Overwrite);
    m_mailClient = main.MailClient;
    m_cbCheckNewVersion->setChecked(main.CheckNewVersion);
    m_cbNotify->setChecked(main.Notify);
    m_cbAntiSpamEnabled->setChecked(main.AntiSpamListEnabled);
    m_cbAntiSpamSubjEnabled->setChecked(main.AntiSpamSubjListEnabled);
    m_eFileName->setText(fromCodePage(main.FileName));
    const bool executing = main.Executing;

    // The box's own rule raises values below 2 to 2.
    m_seInterval->setValue(std::clamp(main.Interval, 0, kMaxIntervalMinutes));
    fillValueList(m_cFromAddress, main.FromAddress);
    fillValueList(m_cSubject, main.Subject);
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
    main.Executing = m_cbExec->isChecked();
    main.Minimized = m_cbMinimized->isChecked();
    main.Inform = m_cbInform->isChecked();
    main.Sound = m_cbSound->isChecked();
    main.FromAddress = joinValueList(m_cFromAddress);
    main.Subject = joinValueList(m_cSubject);
    main.Attach = m_cbAttach->isChecked();
    main.UseFrom = m_cbFromAddress->isChecked();
    main.UseSubject = m_cbSubject->isChecked();
    main.WriteToFile = m_cbWriteToFile->isChecked();
    main.Overwrite = m_cbOverwrite->isChecked();
    main.FileName = toCodePage(m_eFileName->text());
    main.AntiSpamListEnabled = m_cbAntiSpamEnabled->isChecked();
    main.AntiSpamSubjListEnabled = m_cbAntiSpamSubjEnabled->isChecked();
    main.CheckNewVersion = m_cbCheckNewVersion->isChecked();
    main.Notify = m_cbNotify->isChecked();
    data.accounts = m_lwServers->rows();
    return data;
}

CheckOptions TmQuillmere::CheckSnapshot() const {
    return MakeCheckOptions(CurrentSettings().main, SenderFilterList(), SubjectFilterList(), uiCodePage());
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
    if (!m_settingsUnreadable) {
        qm::SaveSettings(SettingsPath(), data);
    }
}

} // namespace qm
