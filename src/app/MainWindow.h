#pragma once

#include "engine/CheckOptions.h"
#include "lang/LangRes.h"
#include "settings/FilterList.h"
#include "settings/SettingsFile.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace qm {

class AccountActions;
class AccountListView;
class CheckWiring;
class FilterListEditor;
class NoticePanel;
class TAboutBox;
class Taccount_settings_fm;
class TfmValue;
class Tmess_list_fm;
class TrayFacade;
class TselMailCl_fm;
class UpdateWiring;

// The main window: accounts, options, notice conditions and the two anti-spam lists, with the
// menus, the commands they share, the timers, and the life cycle of the monitor (start-up,
// hiding to the tray, saving, leaving). Data files live beside the executable.
class TmQuillmere : public QMainWindow {
    Q_OBJECT
public:
    // executable: the monitor's executable; its folder holds the settings and list files.
    explicit TmQuillmere(const std::filesystem::path& executable, QWidget* parent = nullptr);
    ~TmQuillmere() override;

    // Files and folders.
    const std::filesystem::path& executablePath() const { return m_executable; }
    const std::filesystem::path& ProgramDirectory() const { return m_programDirectory; }
    std::filesystem::path SettingsPath() const;
    std::filesystem::path SenderListPath() const;
    std::filesystem::path SubjectListPath() const;
    // The data folder, when it is not the executable's folder; set before the start-up step runs.
    // A folder that cannot be used leaves the run on default settings with nothing written.
    // autoStartArgs: the arguments the autostart entry starts the monitor with (the --dir choice).
    void setDataFolder(const std::filesystem::path& folder, bool usable, std::vector<std::string> autoStartArgs);
    bool dataFolderUsable() const { return !m_dataFolderUnusable; }

    // Start-up, run once from StartTimer after the event loop has started.
    void StartTimerTimer();

    // Settings file and anti-spam lists <-> controls.
    void LoadSettings();
    void SaveSettings();
    void LoadFilterLists();
    FilterList SenderFilterList() const;
    FilterList SubjectFilterList() const;

    // Language.
    const std::string& CurrentLanguage() const { return m_currentLanguage; }
    void ApplyLanguage(const std::string& code);
    void English1Click();
    void Russian1Click();
    void Italian1Click();
    // Checks English1, Russian1 and Italian1 exactly when CurrentLanguage is their code.
    void CheckLanguageMenu();
    // Interface text in the current language.
    QString tr_(const char* english) const;
    // The language table, filled by StartTimerTimer.
    const TLangRes& LR() const { return m_LR; }

    // Life cycle.
    void aMinimizeExecute();
    void aRestoreExecute();
    // "Mark all as read": every message the checks have seen counts as looked at, so with
    // NewOnly on it is no longer news; the tray stops showing news until a check finds some.
    void aMarkAllReadExecute();
    void aExitExecute();
    // Saves and ends the event loop without asking (termination signal, end of session).
    void SaveAndQuit();
    void HideToTray();
    void RestoreFromTray();

    // Autostart.
    void cbAutoLoadClick();
    void SetAutoStart(bool enabled);
    bool IsAutoStartRegistered() const;
    // The executable's full path and the arguments of the data folder choice.
    std::vector<std::string> autoStartCommand() const;

    // Scheduler side: the refresh tick and the interval rule.
    void refreshTimerTimer();
    void seIntervalChange(int value);

    // The check cycle: the Executing switch, the check timer, Check mail and Restart.
    void cbExecClick();
    void TmTimer();
    void aCheckMailExecute();
    void aRestartExecute();
    CheckWiring* checkWiring() const { return m_check; }

    // The version check: start-up calls it, and it runs UpdateCheck when the option is on.
    void StartUpdateCheck();
    std::function<void()> UpdateCheck;
    // A version-check thread leaves its result text here (any thread); the refresh tick hands it to
    // OfferUpdate once.
    void postUpdateResult(std::string text);
    std::function<void(const std::string&)> OfferUpdate;
    UpdateWiring* updateWiring() const { return m_update.get(); }

    // The tray icon.
    TrayFacade* tray() const { return m_tray.get(); }
    void setTray(std::unique_ptr<TrayFacade> tray);

    // Status bar panel 0.
    QString statusText() const;
    void setStatusText(const QString& text);

    // Controls and commands, also found by objectName.
    QAction* action(const char* objectName) const;
    AccountListView* lwServers() const { return m_lwServers; }
    AccountActions* accountActions() const { return m_accountActions; }
    QMenu* PopupMenu1() const { return m_PopupMenu1; }
    QTimer* StartTimer() const { return m_StartTimer; }
    QTimer* Tm() const { return m_Tm; }
    QTimer* refreshTimer() const { return m_refreshTimer; }
    QTimer* Timer1() const { return m_Timer1; }
    QTimer* Timer2() const { return m_Timer2; }

    // The other windows, created after this one in this order.
    TfmValue* fmValue() const { return m_fmValue; }
    TAboutBox* AboutBox() const { return m_AboutBox; }
    Tmess_list_fm* mess_list_fm() const { return m_mess_list_fm; }
    Taccount_settings_fm* account_settings_fm() const { return m_account_settings_fm; }
    TselMailCl_fm* selMailCl_fm() const { return m_selMailCl_fm; }

    // The anti-spam list editors, the notice conditions and the received addresses window.
    FilterListEditor* senderEditor() const { return m_senderEditor; }
    FilterListEditor* subjectEditor() const { return m_subjectEditor; }
    NoticePanel* noticePanel() const { return m_notice; }
    // Shows the window (from the tray too) on the anti-spam tab and opens the received addresses.
    void aShowMessagesListExecute();

    // Image lists the check cycle and the tray choose from.
    QList<QIcon> imConnect;
    QList<QIcon> im1;
    QList<QIcon> imStopped;

    // What the check cycle reads from and shows in the window.
    bool IsExecuting() const;
    void SetExecuting(bool executing);
    // The interval box's minutes, and the check timer's period taken from it when Executing is
    // switched on (CheckIntervalMs).
    int IntervalMinutes() const;
    std::int32_t CheckIntervalMs() const { return m_checkIntervalMs; }
    void SetCheckIntervalMs(std::int32_t ms) { m_checkIntervalMs = ms; }
    // The options as the controls hold them now; nothing of the window changes.
    SettingsData CurrentSettings() const;
    // The snapshot a check takes: the current options and both anti-spam lists.
    CheckOptions CheckSnapshot() const;
    bool SoundOn() const;
    // "show a notification": a check with news also sends a desktop notification.
    bool NotifyOn() const;
    void ShowLastExecTime(const QString& text);
    // The popup's text of the last check, as the check cycle left it (code page bytes).
    const std::string& HintText() const { return m_hintText; }
    void SetHintText(std::string text);

    // Options held outside the controls (code page bytes).
    const std::string& MailClient() const { return m_mailClient; }
    void SetMailClient(std::string client) { m_mailClient = std::move(client); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Composition.
    void createActions();
    void createMenus();
    QWidget* createConnectPage();
    QWidget* createOptionsPage();
    QWidget* createAntiSpamPage();
    QWidget* createBottomPanel();
    void createTimers();
    void createWindows();
    void createListEditors();
    void applyListsLanguage(const std::string& code);
    void fixWindowSize();

    void FormCreate();
    void applyFallbackSettings();
    void applyLoadedSettings(const SettingsData& data);
    // CurrentSettings, after taking the interval and the message file name into the fields that
    // hold them between saves.
    SettingsData collectSettings();
    // Whether the colour changed.
    bool setTextColour(QWidget* widget, bool blue);
    // The commands the refresh tick sets, found once.
    struct RefreshTargets {
        QAction* showMessagesList = nullptr;
        QAction* checkMail = nullptr;
        // Per anti-spam list: its edit command, then delete checked, check all, uncheck all.
        QAction* listCommands[2][4] = {};
        // The image each edit command shows (-1: not set by the tick yet).
        int editImage[2] = {-1, -1};
    };
    const RefreshTargets& refreshTargets();
    // The clock's text for the current second.
    const QString& clockText();

    QAction* makeAction(const char* objectName, int image = -1);
    QToolButton* makeButton(QAction* action, const char* objectName);

    std::int32_t m_checkIntervalMs = 300000;
    std::string m_hintText;
    RefreshTargets m_refreshTargets;
    // What the colours of cbExec and lbTimeNow were last set from: the waiting state and the
    // application palettes of the two.
    struct TextColours {
        bool waiting = false;
        qint64 palettes[2] = {0, 0};
        bool operator==(const TextColours& other) const {
            return waiting == other.waiting && palettes[0] == other.palettes[0] && palettes[1] == other.palettes[1];
        }
    };
    std::optional<TextColours> m_textColours;
    // The captions of aCheckMail in the language they were translated to; emptied when the
    // language is applied.
    struct {
        std::string language;
        QString start;
        QString stop;
    } m_checkMailCaptions;
    QString m_clockText;
    qint64 m_clockSecond = -1;
    int m_clockOffset = 0; // seconds ahead of UTC, as read at the start of the minute
    std::string m_mailClient;

    std::filesystem::path m_executable;
    std::filesystem::path m_programDirectory;
    std::string m_senderListFile;
    std::string m_subjectListFile;
    std::string m_currentLanguage = "EN";
    TLangRes m_LR;
    bool m_savedForExit = false;
    // The settings file exists but could not be read: it is never replaced by what this run holds.
    bool m_settingsUnreadable = false;
    // The settings file belongs to another user: its token commands never run, and it is never
    // replaced by a file of this user's holding them.
    std::string m_tokenCommandRefusal;
    bool m_centred = false;
    bool m_dataFolderUnusable = false;
    std::vector<std::string> m_autoStartArgs;

    std::unique_ptr<TrayFacade> m_tray;
    CheckWiring* m_check = nullptr;

    std::mutex m_updateMutex;
    std::optional<std::string> m_updateResult;
    // After the slot above, so it goes first: no check hands anything over once it is gone.
    std::unique_ptr<UpdateWiring> m_update;

    // Controls.
    QMenuBar* m_MainMenu1 = nullptr;
    QMenu* m_PopupMenu1 = nullptr;
    QTabWidget* m_PageControl1 = nullptr;
    QStatusBar* m_StatusBar1 = nullptr;
    QLabel* m_statusPanel = nullptr;
    QCheckBox* m_cbExec = nullptr;
    QCheckBox* m_cbAutoLoad = nullptr;
    QCheckBox* m_cbMinimized = nullptr;
    QCheckBox* m_cbNewOnly = nullptr;
    QCheckBox* m_cbSound = nullptr;
    QCheckBox* m_cbCheckNewVersion = nullptr;
    QCheckBox* m_cbNotify = nullptr;
    QSpinBox* m_seInterval = nullptr;
    QLabel* m_lbTimeNow = nullptr;
    QLabel* m_lbLastExecTime = nullptr;
    QCheckBox* m_cbInform = nullptr;
    QCheckBox* m_cbFromAddress = nullptr;
    QCheckBox* m_cbSubject = nullptr;
    QCheckBox* m_cbAttach = nullptr;
    QCheckBox* m_cbWriteToFile = nullptr;
    QCheckBox* m_cbOverwrite = nullptr;
    QComboBox* m_cFromAddress = nullptr;
    QComboBox* m_cSubject = nullptr;
    QLineEdit* m_eFileName = nullptr;
    QCheckBox* m_cbAntiSpamEnabled = nullptr;
    QCheckBox* m_cbAntiSpamSubjEnabled = nullptr;
    QListWidget* m_clbAntiSpam = nullptr;
    QListWidget* m_clbSubjAntiSpam = nullptr;
    QMenu* m_ASPopup = nullptr;
    QMenu* m_ASSPopup = nullptr;
    AccountListView* m_lwServers = nullptr;
    QToolButton* m_accountButtons[3] = {nullptr, nullptr, nullptr};
    AccountActions* m_accountActions = nullptr;

    QTimer* m_StartTimer = nullptr;
    QTimer* m_Tm = nullptr;
    QTimer* m_refreshTimer = nullptr;
    QTimer* m_Timer1 = nullptr;
    QTimer* m_Timer2 = nullptr;

    TfmValue* m_fmValue = nullptr;
    TAboutBox* m_AboutBox = nullptr;
    Tmess_list_fm* m_mess_list_fm = nullptr;
    Taccount_settings_fm* m_account_settings_fm = nullptr;
    TselMailCl_fm* m_selMailCl_fm = nullptr;
    FilterListEditor* m_senderEditor = nullptr;
    FilterListEditor* m_subjectEditor = nullptr;
    NoticePanel* m_notice = nullptr;
};

} // namespace qm
