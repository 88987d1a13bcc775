// Composition of the main window: frame, pages, menus, commands and timers.
#include "app/MainWindow.h"

#include "app/TrayFacade.h"
#include "lang/Captions.h"
#include "ui/AboutBox.h"
#include "ui/AccountActions.h"
#include "ui/AccountDialog.h"
#include "ui/AccountListView.h"
#include "ui/ImageLists.h"
#include "ui/MailClientActions.h"
#include "ui/MailClientDialog.h"
#include "ui/ReceivedAddressesWindow.h"
#include "ui/ValueDialog.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace qm {

namespace {

// Sizes of the classic layout were measured in a 13-pixel-high font; the desktop font scales them.
double fontScale(const QWidget* widget) {
    return std::max(1.0, widget->fontMetrics().height() / 13.0);
}

int scaled(const QWidget* widget, int pixels) {
    return static_cast<int>(pixels * fontScale(widget) + 0.5);
}

QWidget* makePanel(QWidget* parent, const char* objectName) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(objectName));
    return panel;
}

// The English caption the caption table gives the control: the one source of the window's texts.
QString tableCaption(const char* objectName, CaptionTarget target) {
    return QString::fromUtf8(MainWindowCaption(objectName, target));
}

QCheckBox* makeCheck(QWidget* parent, const char* objectName) {
    auto* box = new QCheckBox(tableCaption(objectName, CaptionTarget::CheckBox), parent);
    box->setObjectName(QString::fromLatin1(objectName));
    return box;
}

// text: for labels that show a value, not a caption; a caption comes from the table.
QLabel* makeLabel(QWidget* parent, const char* objectName, const char* text = nullptr) {
    auto* label = new QLabel(text ? QString::fromUtf8(text) : tableCaption(objectName, CaptionTarget::Label), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

QToolButton* makeSpeedButton(QWidget* parent, const char* objectName, const char* caption) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setText(QString::fromUtf8(caption));
    button->setFixedSize(scaled(parent, 20), scaled(parent, 20));
    return button;
}

QListWidget* makeCheckList(QWidget* parent, const char* objectName) {
    auto* box = new QListWidget(parent);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setSelectionMode(QAbstractItemView::SingleSelection);
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    return box;
}

} // namespace

QAction* TmQuillmere::makeAction(const char* objectName, int image) {
    auto* list = findChild<QObject*>(QStringLiteral("ActionList1"), Qt::FindDirectChildrenOnly);
    auto* action = new QAction(tableCaption(objectName, CaptionTarget::Action), list);
    action->setObjectName(QString::fromLatin1(objectName));
    if (image >= 0) {
        action->setIcon(ActionImage(image));
    }
    addAction(action);
    return action;
}

QToolButton* TmQuillmere::makeButton(QAction* action, const char* objectName) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    if (action != nullptr) {
        button->setDefaultAction(action);
    }
    return button;
}

void TmQuillmere::createActions() {
    auto* list = new QObject(this);
    list->setObjectName(QStringLiteral("ActionList1"));
    makeAction("aRestore");
    makeAction("aCheckMail");
    makeAction("aRestart");
    makeAction("aShowMessagesList", 1);
    makeAction("aMinimize");
    makeAction("aExit");
    makeAction("aAddAddress", 6);
    makeAction("aAddSubject", 6);
    makeAction("aEditAddress", 2);
    makeAction("aEditSubject", 2);
    makeAction("aDelChecked", 4);
    makeAction("aDelCheckedSubj", 4);
    makeAction("aCheckAll", 0);
    makeAction("aCheckAllSubj", 0);
    makeAction("aUncheckAll", 7);
    makeAction("aUncheckAllSubj", 7);
    makeAction("aRunMailclient");
    makeAction("aSelectmailClient");
    makeAction("aMarkAllRead");

    connect(action("aRestore"), &QAction::triggered, this, &TmQuillmere::aRestoreExecute);
    connect(action("aMinimize"), &QAction::triggered, this, &TmQuillmere::aMinimizeExecute);
    connect(action("aExit"), &QAction::triggered, this, &TmQuillmere::aExitExecute);
}

void TmQuillmere::createMenus() {
    m_MainMenu1 = menuBar();
    m_MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = m_MainMenu1->addMenu(tableCaption("File1", CaptionTarget::MenuItem));
    file->setObjectName(QStringLiteral("File1"));
    file->addAction(action("aCheckMail"));
    file->addAction(action("aRestart"));
    file->addAction(action("aShowMessagesList"));
    file->addSeparator();
    file->addAction(action("aSelectmailClient"));
    file->addAction(action("aRunMailclient"));
    file->addAction(action("aMarkAllRead"));
    file->addSeparator();
    QMenu* language = file->addMenu(QStringLiteral("Language"));
    language->setObjectName(QStringLiteral("Language1"));
    auto* group = new QActionGroup(language);
    group->setExclusive(true);
    const struct {
        const char* name;
        const char* caption;
        void (TmQuillmere::*handler)();
    } items[] = {{"English1", "English", &TmQuillmere::English1Click},
                 {"Russian1", "Russian", &TmQuillmere::Russian1Click},
                 {"Italian1", "Italian", &TmQuillmere::Italian1Click}};
    for (const auto& item : items) {
        QAction* entry = language->addAction(QString::fromLatin1(item.caption));
        entry->setObjectName(QString::fromLatin1(item.name));
        entry->setCheckable(true);
        group->addAction(entry);
        connect(entry, &QAction::triggered, this, item.handler);
    }
    language->actions().first()->setChecked(true);
    file->addSeparator();
    file->addAction(action("aMinimize"));
    file->addAction(action("aExit"));

    QMenu* help = m_MainMenu1->addMenu(tableCaption("Help1", CaptionTarget::MenuItem));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* about = help->addAction(tableCaption("About1", CaptionTarget::MenuItem));
    about->setObjectName(QStringLiteral("About1"));
    connect(about, &QAction::triggered, this, [this] { m_AboutBox->exec(); });

    // The tray menu, also the window's own context menu.
    m_PopupMenu1 = new QMenu(this);
    m_PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_PopupMenu1->addAction(action("aRestore"));
    m_PopupMenu1->addAction(action("aCheckMail"));
    m_PopupMenu1->addAction(action("aRestart"));
    m_PopupMenu1->addAction(action("aShowMessagesList"));
    m_PopupMenu1->addSeparator();
    m_PopupMenu1->addAction(action("aSelectmailClient"));
    m_PopupMenu1->addAction(action("aRunMailclient"));
    m_PopupMenu1->setDefaultAction(action("aRunMailclient"));
    m_PopupMenu1->addAction(action("aMarkAllRead"));
    m_PopupMenu1->addSeparator();
    m_PopupMenu1->addAction(action("aMinimize"));
    m_PopupMenu1->addAction(action("aExit"));
}

QWidget* TmQuillmere::createConnectPage() {
    QWidget* page = makePanel(nullptr, "tsConnect");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    QWidget* options = makePanel(page, "Panel19");
    auto* grid = new QGridLayout(options);
    grid->setContentsMargins(4, 2, 4, 2);
    m_cbAutoLoad = makeCheck(options, "cbAutoLoad");
    m_cbMinimized = makeCheck(options, "cbMinimized");
    m_cbSound = makeCheck(options, "cbSound");
    m_cbCheckNewVersion = makeCheck(options, "cbCheckNewVersion");
    m_cbNotify = makeCheck(options, "cbNotify");
    m_cbNewOnly = makeCheck(options, "cbNewOnly");
    grid->addWidget(m_cbAutoLoad, 0, 0);
    grid->addWidget(m_cbMinimized, 0, 1);
    grid->addWidget(m_cbSound, 0, 2);
    grid->addWidget(m_cbCheckNewVersion, 1, 0, 1, 2);
    grid->addWidget(m_cbNotify, 1, 2);
    grid->addWidget(m_cbNewOnly, 2, 0, 1, 3);
    layout->addWidget(options);

    QWidget* listPanel = makePanel(page, "Panel7");
    auto* listLayout = new QVBoxLayout(listPanel);
    listLayout->setContentsMargins(0, 0, 0, 0);
    m_lwServers = new AccountListView(listPanel);
    m_lwServers->setObjectName(QStringLiteral("lwServers"));
    m_lwServers->setAccessibleName(tableCaption("lwServers", CaptionTarget::AccessibleName));
    m_lwServers->setMinimumHeight(scaled(this, 168));
    listLayout->addWidget(m_lwServers);
    layout->addWidget(listPanel, 1);

    QWidget* buttons = makePanel(page, "Panel4");
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    const char* buttonNames[] = {"bAddAccount", "bEditAccount", "bDelAccount"};
    for (int i = 0; i < 3; ++i) {
        m_accountButtons[i] = makeButton(nullptr, buttonNames[i]);
        m_accountButtons[i]->setParent(buttons);
        m_accountButtons[i]->setMinimumSize(scaled(this, 117), scaled(this, 25));
        buttonRow->addWidget(m_accountButtons[i]);
    }
    buttonRow->addStretch(1);
    layout->addWidget(buttons);

    QWidget* interval = makePanel(page, "Panel6");
    auto* intervalRow = new QHBoxLayout(interval);
    intervalRow->setContentsMargins(4, 0, 4, 0);
    QLabel* intervalLabel = makeLabel(interval, "lbInterval");
    intervalRow->addWidget(intervalLabel);
    m_seInterval = new QSpinBox(interval);
    m_seInterval->setObjectName(QStringLiteral("seInterval"));
    intervalLabel->setBuddy(m_seInterval);
    // Minutes whose milliseconds still fit the timer; below 2 is raised by seIntervalChange.
    m_seInterval->setRange(0, kMaxIntervalMinutes);
    m_seInterval->setValue(5);
    m_seInterval->setMinimumWidth(scaled(this, 49) + 20);
    intervalRow->addWidget(m_seInterval);
    intervalRow->addStretch(1);
    layout->addWidget(interval);

    QWidget* times = makePanel(page, "Panel3");
    auto* timeGrid = new QGridLayout(times);
    timeGrid->setContentsMargins(4, 2, 4, 2);
    timeGrid->addWidget(makeLabel(times, "lbNow"), 0, 0);
    m_lbTimeNow = makeLabel(times, "lbTimeNow", "...");
    timeGrid->addWidget(m_lbTimeNow, 0, 1);
    timeGrid->addWidget(makeLabel(times, "lbExecuted"), 1, 0);
    m_lbLastExecTime = makeLabel(times, "lbLastExecTime", "...");
    timeGrid->addWidget(m_lbLastExecTime, 1, 1);
    timeGrid->setColumnMinimumWidth(0, scaled(this, 130) - 8);
    timeGrid->setColumnStretch(1, 1);
    // The clock changes its text every second, and every change asks the layouts up to the window
    // to measure again, which repaints the whole tab page. A panel as large as its labels ends that
    // request here while the size stays the same; it sits at the left, where the labels were.
    timeGrid->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(times, 0, Qt::AlignLeft);
    return page;
}

QWidget* TmQuillmere::createOptionsPage() {
    QWidget* page = makePanel(nullptr, "tsOptions");
    auto* layout = new QVBoxLayout(page);
    m_cbInform = makeCheck(page, "cbInform");
    layout->addWidget(m_cbInform);

    auto conditionRow = [&](QCheckBox*& check, const char* checkName, const char* plusName, const char* minusName,
                            QComboBox*& combo, const char* comboName) {
        auto* row = new QHBoxLayout;
        row->setContentsMargins(16, 0, 0, 0);
        check = makeCheck(page, checkName);
        row->addWidget(check, 1);
        row->addWidget(makeSpeedButton(page, plusName, "+"));
        row->addWidget(makeSpeedButton(page, minusName, "-"));
        combo = new QComboBox(page);
        combo->setObjectName(QString::fromLatin1(comboName));
        combo->setMinimumWidth(scaled(this, 120));
        row->addWidget(combo);
        layout->addLayout(row);
    };
    conditionRow(m_cbFromAddress, "cbFromAddress", "SpeedButton1", "SpeedButton2", m_cFromAddress, "cFromAddress");
    conditionRow(m_cbSubject, "cbSubject", "SpeedButton3", "SpeedButton4", m_cSubject, "cSubject");

    auto* attachRow = new QHBoxLayout;
    attachRow->setContentsMargins(16, 0, 0, 0);
    m_cbAttach = makeCheck(page, "cbAttach");
    attachRow->addWidget(m_cbAttach);
    layout->addLayout(attachRow);

    auto* fileRow = new QHBoxLayout;
    m_cbWriteToFile = makeCheck(page, "cbWriteToFile");
    fileRow->addWidget(m_cbWriteToFile);
    fileRow->addWidget(makeSpeedButton(page, "SpeedButton13", "..."));
    m_eFileName = new QLineEdit(QStringLiteral("messages.txt"), page);
    m_eFileName->setObjectName(QStringLiteral("eFileName"));
    fileRow->addWidget(m_eFileName, 1);
    layout->addSpacing(8);
    layout->addLayout(fileRow);
    auto* overwriteRow = new QHBoxLayout;
    overwriteRow->setContentsMargins(16, 0, 0, 0);
    m_cbOverwrite = makeCheck(page, "cbOverwrite");
    overwriteRow->addWidget(m_cbOverwrite);
    layout->addLayout(overwriteRow);
    layout->addStretch(1);
    return page;
}

QWidget* TmQuillmere::createAntiSpamPage() {
    QWidget* page = makePanel(nullptr, "tsAntiSpam");
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(2);

    QToolButton* show = makeButton(action("aShowMessagesList"), "SpeedButton6");
    show->setParent(page);
    show->setAutoRaise(false);
    show->setMinimumSize(scaled(this, 270), scaled(this, 28));
    layout->addWidget(show, 0, Qt::AlignHCenter);
    QLabel* title = makeLabel(page, "lbASL");
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);

    const int widths[] = {63, 54, 82, 115, 71};
    auto listBlock = [&](QCheckBox*& enable, const char* enableName, QListWidget*& box, const char* boxName,
                         QMenu*& popup, const char* popupName, const char* const* actions,
                         const char* const* buttonNames) {
        enable = makeCheck(page, enableName);
        layout->addWidget(enable);
        box = makeCheckList(page, boxName);
        layout->addWidget(box, 1);
        auto* row = new QHBoxLayout;
        for (int i = 0; i < 5; ++i) {
            QToolButton* button = makeButton(action(actions[i]), buttonNames[i]);
            button->setParent(page);
            button->setMinimumWidth(scaled(this, widths[i]));
            row->addWidget(button);
        }
        row->addStretch(1);
        layout->addLayout(row);

        popup = new QMenu(box);
        popup->setObjectName(QString::fromLatin1(popupName));
        popup->addAction(action(actions[1]));
        popup->addAction(action(actions[2]));
        popup->addAction(action(actions[3]));
        popup->addSeparator();
        popup->addAction(action(actions[4]));
        popup->addSeparator();
        popup->addAction(action("aRunMailclient"));
        QMenu* menu = popup;
        QListWidget* list = box;
        connect(box, &QWidget::customContextMenuRequested, menu,
                [menu, list](const QPoint& pos) { menu->popup(list->viewport()->mapToGlobal(pos)); });
    };
    const char* senderActions[] = {"aAddAddress", "aEditAddress", "aCheckAll", "aUncheckAll", "aDelChecked"};
    const char* senderButtons[] = {"bAddAddress", "bEditAddress", "bCheckAll", "bUncheckAll", "bDelChecked"};
    listBlock(m_cbAntiSpamEnabled, "cbAntiSpamEnabled", m_clbAntiSpam, "clbAntiSpam", m_ASPopup, "ASPopup",
              senderActions, senderButtons);
    m_clbAntiSpam->setAccessibleName(tableCaption("clbAntiSpam", CaptionTarget::AccessibleName));
    const char* subjectActions[] = {"aAddSubject", "aEditSubject", "aCheckAllSubj", "aUncheckAllSubj",
                                    "aDelCheckedSubj"};
    const char* subjectButtons[] = {"bAddSubject", "bEditSubject", "bCheckAllSubj", "bUncheckAllSubj",
                                    "bDelCheckedSubj"};
    listBlock(m_cbAntiSpamSubjEnabled, "cbAntiSpamSubjEnabled", m_clbSubjAntiSpam, "clbSubjAntiSpam", m_ASSPopup,
              "ASSPopup", subjectActions, subjectButtons);
    m_clbSubjAntiSpam->setAccessibleName(tableCaption("clbSubjAntiSpam", CaptionTarget::AccessibleName));
    // The subject list is the short one; the sender list takes the free height.
    m_clbSubjAntiSpam->setFixedHeight(scaled(this, 71));
    layout->setStretchFactor(m_clbSubjAntiSpam, 0);
    return page;
}

QWidget* TmQuillmere::createBottomPanel() {
    QWidget* panel = makePanel(this, "Panel2");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(scaled(this, 25), 3, 3, 3);
    m_cbExec = makeCheck(panel, "cbExec");
    row->addWidget(m_cbExec);
    row->addStretch(1);
    QToolButton* minimize = makeButton(action("aMinimize"), "BitBtn1");
    minimize->setParent(panel);
    minimize->setAutoRaise(false);
    minimize->setToolButtonStyle(Qt::ToolButtonTextOnly);
    minimize->setMinimumSize(scaled(this, 82), scaled(this, 32));
    row->addWidget(minimize);
    layout->addLayout(row);

    m_StatusBar1 = new QStatusBar(panel);
    m_StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_StatusBar1->setSizeGripEnabled(false);
    m_statusPanel = new QLabel(m_StatusBar1);
    m_statusPanel->setObjectName(QStringLiteral("StatusBar1Panel0"));
    m_statusPanel->setAccessibleName(tableCaption("StatusBar1Panel0", CaptionTarget::AccessibleName));
    m_statusPanel->setMinimumWidth(100);
    m_StatusBar1->addWidget(m_statusPanel, 1);
    layout->addWidget(m_StatusBar1);
    return panel;
}

void TmQuillmere::createTimers() {
    auto makeTimer = [this](const char* name, int interval) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(name));
        timer->setInterval(interval);
        return timer;
    };
    m_StartTimer = makeTimer("StartTimer", 10);
    m_StartTimer->setSingleShot(true);
    m_Tm = makeTimer("Tm", 20000);
    m_refreshTimer = makeTimer("refreshTimer", 200);
    m_Timer1 = makeTimer("Timer1", 1000);
    m_Timer2 = makeTimer("Timer2", 1000);
    connect(m_StartTimer, &QTimer::timeout, this, &TmQuillmere::StartTimerTimer);
    connect(m_Tm, &QTimer::timeout, this, &TmQuillmere::TmTimer);
    connect(m_refreshTimer, &QTimer::timeout, this, &TmQuillmere::refreshTimerTimer);
}

void TmQuillmere::createWindows() {
    m_fmValue = new TfmValue(this);
    m_AboutBox = new TAboutBox(this);
    m_mess_list_fm = new Tmess_list_fm(action("aRunMailclient"), this);
    m_account_settings_fm = new Taccount_settings_fm(this);
    m_account_settings_fm->setObjectName(QStringLiteral("account_settings_fm"));
    m_selMailCl_fm = new TselMailCl_fm(this);
    auto* mailClient =
        new MailClientActions([this] { return MailClient(); },
                              [this](std::string client) { SetMailClient(std::move(client)); }, m_selMailCl_fm, this);
    mailClient->setObjectName(QStringLiteral("MailClientActions"));
    connect(action("aRunMailclient"), &QAction::triggered, mailClient, &MailClientActions::aRunMailclientExecute);
    connect(action("aSelectmailClient"), &QAction::triggered, mailClient, &MailClientActions::aSelectmailClientExecute);
    // The user has looked once the mail client runs.
    connect(mailClient, &MailClientActions::started, this, &TmQuillmere::aMarkAllReadExecute);
    connect(action("aMarkAllRead"), &QAction::triggered, this, &TmQuillmere::aMarkAllReadExecute);

    m_accountActions = new AccountActions(m_lwServers, m_account_settings_fm, this, this);
    m_accountActions->setObjectName(QStringLiteral("AccountActions"));
    m_accountActions->setExecutingSource([this] { return m_cbExec->isChecked(); });
    connect(m_accountActions, &AccountActions::saveSettingsRequested, this, &TmQuillmere::SaveSettings);
    // In the File menu, above the languages.
    if (QMenu* language = m_MainMenu1->findChild<QMenu*>(QStringLiteral("Language1")))
        language->parentWidget()->insertAction(language->menuAction(), m_accountActions->aMoveAllToKeyring());
    QAction* accountActions[] = {m_accountActions->aAddAccount(),      m_accountActions->aEditAccount(),
                                 m_accountActions->aDelAccount(),      m_accountActions->aDisableAccount(),
                                 m_accountActions->aCopyAccount(),     m_accountActions->aPasteAccount(),
                                 m_accountActions->aSelectAllAccount()};
    for (int i = 0; i < 3; ++i) {
        m_accountButtons[i]->setDefaultAction(accountActions[i]);
    }
    createListEditors();
}

void TmQuillmere::fixWindowSize() {
    // A changed caption reaches the window's size hint through one posted layout request per level
    // of nesting (page, stack, tabs, client, window); deliver them before measuring.
    for (int level = 0; level < 8; ++level) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
    // Pages behind other tabs are hidden and never pass a changed caption up: measure them afresh.
    for (int page = 0; page < m_PageControl1->count(); ++page) {
        if (QLayout* pageLayout = m_PageControl1->widget(page)->layout()) {
            pageLayout->invalidate();
            pageLayout->activate();
        }
    }
    m_PageControl1->updateGeometry();
    centralWidget()->layout()->invalidate();
    centralWidget()->layout()->activate();
    layout()->invalidate();
    const QSize hint = sizeHint();
    const QSize classic(scaled(this, 403), scaled(this, 396) + m_MainMenu1->sizeHint().height());
    setFixedSize(hint.expandedTo(classic));
    layout()->activate();
}

} // namespace qm
