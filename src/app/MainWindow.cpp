// The main window's life: creation, start-up, hiding to the tray, leaving, autostart.
#include "app/MainWindow.h"

#include "app/CheckWiring.h"
#include "lang/Captions.h"
#include "app/TextTrayFacade.h"
#include "app/TrayFacade.h"
#include "app/UpdateWiring.h"
#include "platform/AutoStart.h"
#include "tray/TrayResources.h"
#include "ui/AccountActions.h"
#include "ui/AccountListView.h"
#include "ui/FilterListBox.h"
#include "ui/ImageLists.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSessionManager>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace qm {

TmQuillmere::TmQuillmere(const std::filesystem::path& executable, QWidget* parent)
    : QMainWindow(parent), m_executable(executable) {
    setObjectName(QStringLiteral("mQuillmere"));
    setWindowTitle(QStringLiteral("Quillmere32"));
    // A single border with a system menu and a minimise box; no maximise box, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    for (int i = 0; i < kConnectImageCount; ++i) {
        imConnect.append(ConnectImage(i));
    }
    for (const QImage& image : TrayImagesIm1()) {
        im1.append(QIcon(QPixmap::fromImage(image)));
    }
    for (const QImage& image : TrayImagesStopped()) {
        imStopped.append(QIcon(QPixmap::fromImage(image)));
    }
    // Pictures of our own should the tray's resources ever be missing.
    if (im1.isEmpty()) {
        im1 = {FallbackEnvelopeIcon(false)};
    }
    if (imStopped.isEmpty()) {
        imStopped = {FallbackEnvelopeIcon(true)};
    }
    setWindowIcon(ApplicationIcon());

    createActions();
    createMenus();
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Client"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_PageControl1 = new QTabWidget(central);
    m_PageControl1->setObjectName(QStringLiteral("PageControl1"));
    m_PageControl1->addTab(createConnectPage(), QString::fromUtf8(MainWindowCaption("tsConnect", CaptionTarget::Tab)));
    m_PageControl1->addTab(createOptionsPage(), QString::fromUtf8(MainWindowCaption("tsOptions", CaptionTarget::Tab)));
    m_PageControl1->addTab(createAntiSpamPage(), QStringLiteral("anti spam"));
    m_PageControl1->setCurrentIndex(0);
    layout->addWidget(m_PageControl1, 1);
    layout->addWidget(createBottomPanel());
    setCentralWidget(central);
    createTimers();
    fixWindowSize();

    m_check = new CheckWiring(*this);
    auto tray = std::make_unique<TextTrayFacade>(this, [this] { return CheckWiring::displayText(m_hintText); });
    tray->useHintTimers(*m_Timer1, *m_Timer2);
    setTray(std::move(tray));
    connect(action("aCheckMail"), &QAction::triggered, this, &TmQuillmere::aCheckMailExecute);
    connect(action("aRestart"), &QAction::triggered, this, &TmQuillmere::aRestartExecute);

    connect(m_seInterval, &QSpinBox::valueChanged, this, &TmQuillmere::seIntervalChange);
    connect(m_cbExec, &QCheckBox::toggled, this, &TmQuillmere::cbExecClick);
    connect(m_cbAutoLoad, &QCheckBox::toggled, this, &TmQuillmere::cbAutoLoadClick);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (!m_savedForExit) {
            SaveSettings();
            m_savedForExit = true;
        }
        // Sessions still running are let go and their connections cut, so leaving never waits
        // long for a server.
        m_check->Shutdown(std::chrono::milliseconds(2000));
    });
#ifndef QT_NO_SESSIONMANAGER
    // The desktop session ends: keep what the user changed.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { SaveSettings(); });
#endif

    FormCreate();
    createWindows();
    m_update = std::make_unique<UpdateWiring>(*this);
    m_lwServers->setFocus();
}

TmQuillmere::~TmQuillmere() {
    // No session may reach the window once its parts start going.
    m_check->Shutdown(std::chrono::milliseconds(2000));
    // The tray icon goes first: it refers to this window.
    m_tray.reset();
}

void TmQuillmere::FormCreate() {
    m_programDirectory = qm::ProgramDirectory(m_executable);
    m_senderListFile = kAntiSpamListFile;
    m_subjectListFile = kAntiSpamSubjListFile;
    m_Timer1->setInterval(500);
    m_Timer2->setInterval(2500);
    m_lwServers->setColumnShares(m_lwServers->viewport()->width());
    m_tray->setIconIndex(0);
    m_StartTimer->start();
}

std::filesystem::path TmQuillmere::SettingsPath() const {
    return m_programDirectory / qm::SettingsPath(m_executable).filename();
}

void TmQuillmere::setDataFolder(const std::filesystem::path& folder, bool usable,
                                std::vector<std::string> autoStartArgs) {
    m_programDirectory = folder;
    m_dataFolderUnusable = !usable;
    m_autoStartArgs = std::move(autoStartArgs);
}

std::filesystem::path TmQuillmere::SenderListPath() const {
    return m_programDirectory / m_senderListFile;
}

std::filesystem::path TmQuillmere::SubjectListPath() const {
    return m_programDirectory / m_subjectListFile;
}

void TmQuillmere::StartTimerTimer() {
    m_StartTimer->stop();
    m_refreshTimer->stop();
    LoadFilterLists();
    LoadSettings();
    BuildLanguageTable(m_LR);
    ApplyLanguage(m_currentLanguage);
    if (isVisible()) {
        // The captions may have widened the window since it was shown; the list widened with it.
        m_lwServers->setColumnShares(m_lwServers->viewport()->width());
    }
    CheckLanguageMenu();
    StartUpdateCheck();
    if (m_cbExec->isChecked() && !m_Tm->isActive()) {
        m_Tm->start();
    }
    if (m_cbMinimized->isChecked()) {
        HideToTray();
    }
    m_refreshTimer->start();
}

void TmQuillmere::StartUpdateCheck() {
    if (m_cbCheckNewVersion->isChecked() && UpdateCheck) {
        UpdateCheck();
    }
}

void TmQuillmere::postUpdateResult(std::string text) {
    std::lock_guard<std::mutex> lock(m_updateMutex);
    m_updateResult = std::move(text);
}

void TmQuillmere::setTray(std::unique_ptr<TrayFacade> tray) {
    m_tray = std::move(tray);
    if (!m_tray) {
        return;
    }
    m_tray->setPopupMenu(m_PopupMenu1);
    m_tray->setIconList(im1);
    m_tray->setIconVisible(true);
}

void TmQuillmere::HideToTray() {
    if (m_tray) {
        m_tray->HideToTray();
    } else {
        hide();
    }
}

void TmQuillmere::RestoreFromTray() {
    if (m_tray) {
        m_tray->RestoreFromTray();
    } else {
        showNormal();
    }
}

void TmQuillmere::aMinimizeExecute() {
    HideToTray();
}

void TmQuillmere::aRestoreExecute() {
    RestoreFromTray();
}

void TmQuillmere::aExitExecute() {
    // Saved before the question, so the settings are written also when the answer is No.
    SaveSettings();
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), tr_("Are you sure?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("ExitQuestion"));
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() != QMessageBox::Yes) {
        return;
    }
    m_savedForExit = true;
    // exit, not quit: quit would ask the windows to close, and this one only hides.
    QCoreApplication::exit(0);
}

void TmQuillmere::SaveAndQuit() {
    SaveSettings();
    m_savedForExit = true;
    QCoreApplication::exit(0);
}

void TmQuillmere::cbAutoLoadClick() {
    SetAutoStart(m_cbAutoLoad->isChecked());
}

std::vector<std::string> TmQuillmere::autoStartCommand() const {
    std::vector<std::string> command{m_executable.string()};
    command.insert(command.end(), m_autoStartArgs.begin(), m_autoStartArgs.end());
    return command;
}

void TmQuillmere::SetAutoStart(bool enabled) {
    qm::SetAutoStart(enabled, autoStartCommand(), ConfigHome(SystemEnvironment()));
    // A different state runs cbAutoLoadClick once more with it; the same state does nothing.
    m_cbAutoLoad->setChecked(IsAutoStartRegistered());
}

bool TmQuillmere::IsAutoStartRegistered() const {
    return qm::IsAutoStartRegistered(autoStartCommand(), ConfigHome(SystemEnvironment()));
}

QString TmQuillmere::statusText() const {
    return m_statusPanel->text();
}

void TmQuillmere::setStatusText(const QString& text) {
    m_statusPanel->setText(text);
}

QAction* TmQuillmere::action(const char* objectName) const {
    return findChild<QAction*>(QString::fromLatin1(objectName));
}

void TmQuillmere::closeEvent(QCloseEvent* event) {
    // Closing only hides the monitor; Exit ends it.
    event->ignore();
    SaveSettings();
    HideToTray();
}

void TmQuillmere::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        // Hidden after the state change has been handled, so the window system sees both.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) {
                HideToTray();
            }
        });
    }
}

void TmQuillmere::contextMenuEvent(QContextMenuEvent* event) {
    // Reaches the window only from its free area: controls with menus of their own keep them.
    m_PopupMenu1->popup(event->globalPos());
    event->accept();
}

void TmQuillmere::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        // Only now is the list laid out at its real width; the shares are taken of that width.
        m_lwServers->setColumnShares(m_lwServers->viewport()->width());
        if (const QScreen* where = screen()) {
            const QRect area = where->availableGeometry();
            move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
        }
    }
}

void TmQuillmere::LoadFilterLists() {
    if (m_dataFolderUnusable) {
        // Loading creates missing list files; a folder that cannot be used gets none.
        return;
    }
    // A list file that cannot be created leaves its list empty; start-up goes on.
    FilterList sender;
    LoadFilterList(sender, SenderListPath());
    sender.current = sender.entries.empty() ? -1 : 0;
    ShowFilterList(m_clbAntiSpam, sender);
    FilterList subject;
    LoadFilterList(subject, SubjectListPath());
    subject.current = subject.entries.empty() ? -1 : 0;
    ShowFilterList(m_clbSubjAntiSpam, subject);
}

FilterList TmQuillmere::SenderFilterList() const {
    FilterList list = ReadFilterList(m_clbAntiSpam);
    list.enabled = m_cbAntiSpamEnabled->isChecked();
    return list;
}

FilterList TmQuillmere::SubjectFilterList() const {
    FilterList list = ReadFilterList(m_clbSubjAntiSpam);
    list.enabled = m_cbAntiSpamSubjEnabled->isChecked();
    return list;
}

} // namespace qm
