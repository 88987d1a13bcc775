#include "app/CheckWiring.h"

#include "app/DateTimeText.h"
#include "app/MainWindow.h"
#include "app/QtMainThreadInvoker.h"
#include "app/TrayFacade.h"
#include "settings/DeletionLog.h"
#include "settings/FilterList.h"
#include "settings/MailState.h"
#include "tray/NewMailSound.h"
#include "ui/AccountListView.h"
#include "ui/CodePageText.h"
#include "ui/ImageLists.h"

#include <QDateTime>
#include <QTimer>

#include <algorithm>

namespace qm {

namespace {

// Whether bytes form well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool isUtf8(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        int extra = 0;
        unsigned value = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            value = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            value = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            value = c & 0x07u;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= bytes.size()) {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0u) != 0x80u) {
                return false;
            }
            value = (value << 6) | (next & 0x3Fu);
        }
        if ((extra == 2 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
            (extra == 3 && (value < 0x10000 || value > 0x10FFFF))) {
            return false;
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

} // namespace

CheckWiring::CheckWiring(TmQuillmere& window)
    : QObject(&window), m_window(window), m_invoker(std::make_shared<QtMainThreadInvoker>()),
      m_cycle(std::make_unique<CheckCycle>(m_invoker, *this)), m_playSound([] { PlayNewMailSound(); }) {
    // Counters and addresses change in calls that show nothing; copy them after every call.
    m_invoker->setAfterCall([this] { syncFields(); });
    m_push = std::make_unique<PushChecks>(
        m_invoker, *m_cycle,
        PushChecks::Source{[this] { return m_window.lwServers()->rows(); }, [this] { return m_window.CheckSnapshot(); },
                           [this] { return messageLog(); }, [this] { registerRows(m_window.lwServers()->rows()); }});
    m_push->SetStateView(
        [this](const AccountRow& row, bool connected, const std::string& error) { showPush(row, connected, error); });
}

CheckWiring::~CheckWiring() {
    Shutdown(std::chrono::milliseconds(2000));
}

QString CheckWiring::displayText(const std::string& text) {
    // Status lines and summaries come from the engine in UTF-8; an error text quoted from a
    // server may be code page bytes, so a text that is not UTF-8 as a whole is read in the code page.
    return isUtf8(text) ? fromUtf8(text) : fromCodePage(text);
}

void CheckWiring::setTimings(SessionTimings timings) {
    m_cycle->SetTimings(timings);
}

bool CheckWiring::Shutdown(std::chrono::milliseconds grace) {
    if (m_shutDown) {
        return m_allEnded;
    }
    m_shutDown = true;
    // Closed first, so a worker waiting for the main thread is let go instead of using up grace.
    m_invoker->Close();
    const bool pushEnded = m_push->Shutdown(grace);
    m_allEnded = m_cycle->Shutdown(grace) && pushEnded;
    return m_allEnded;
}

void CheckWiring::showPlainEnvelope() {
    if (TrayFacade* tray = m_window.tray()) {
        tray->setCycleIcons(false);
        tray->setIconList(m_window.im1);
        tray->setIconIndex(0);
        tray->setCycleInterval(100);
    }
}

void CheckWiring::TmTimer() {
    if (m_shutDown) {
        return;
    }
    AccountListView* list = m_window.lwServers();
    list->resetRowImages();
    m_window.Tm()->stop();
    if (TrayFacade* tray = m_window.tray()) {
        tray->setCycleIcons(false);
        tray->setCycleInterval(1000);
        tray->setIconList(m_window.imConnect);
        tray->setIconIndex(kConnectConnecting);
    }

    // Rows are found again by identity: they may be sorted or dragged while the check runs, and
    // a Restart may start the next check while workers of this one still report.
    const std::vector<AccountRow> rows = list->rows();
    // Registered first: a worker that cannot start marks its row before BeginCheck returns.
    registerRows(rows);
    const CheckOptions options = m_window.CheckSnapshot();
    m_cycle->BeginCheck(rows, options, messageLog());
    syncFields();
    m_push->Follow(rows, options);
    m_push->RetryRefused();

    m_window.ShowLastExecTime(DateTimeText(QDateTime::currentDateTime()));
}

void CheckWiring::registerRows(const std::vector<AccountRow>& rows) {
    auto rowIds = std::make_shared<std::vector<std::uint64_t>>();
    rowIds->reserve(rows.size());
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        rowIds->push_back(m_window.lwServers()->rowId(i));
    }
    m_rowIds[m_cycle->NextCheck()] = std::move(rowIds);
}

MessageLogOptions CheckWiring::messageLog() const {
    const SettingsData settings = m_window.CurrentSettings();
    MessageLogOptions log;
    log.overwrite = settings.main.Overwrite;
    log.fileName = settings.main.FileName;
    if (m_window.dataFolderUsable()) { // a run on an unusable folder writes nothing there
        log.deletionLog = m_window.SettingsPath().parent_path() / kDeletionLogFile;
        log.mailState = m_window.SettingsPath().parent_path() / kMailStateFile;
    }
    return log;
}

void CheckWiring::showPush(const AccountRow& row, bool connected, const std::string& error) {
    const std::vector<AccountRow> rows = m_window.lwServers()->rows();
    const std::string key = AccountKey(row);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        if (AccountKey(rows[static_cast<std::size_t>(i)]) != key) {
            continue;
        }
        QString note;
        if (connected) {
            note = m_window.tr_("connected for push");
        } else if (!error.empty()) {
            note = m_window.tr_("not connected for push") + QStringLiteral(": ") + displayText(error);
        }
        m_window.lwServers()->setRowPush(i, note);
    }
}

void CheckWiring::cbExecClick() {
    if (m_shutDown) {
        return;
    }
    const bool executing = m_window.IsExecuting();
    if (executing) {
        m_window.SetCheckIntervalMs(IntervalMs(m_window.IntervalMinutes(), m_minuteMs));
    } else {
        m_window.lwServers()->resetRowImages();
        m_push->StopAll();
    }
    QTimer* tm = m_window.Tm();
    tm->setInterval(m_window.CheckIntervalMs());
    if (executing) {
        // An enabled timer keeps its countdown.
        if (!tm->isActive()) {
            tm->start();
        }
    } else {
        tm->stop();
    }
    if (tm->isActive()) {
        TmTimer();
        return;
    }
    showPlainEnvelope();
}

void CheckWiring::aCheckMailExecute() {
    m_window.SetExecuting(!m_window.IsExecuting());
}

void CheckWiring::aRestartExecute() {
    m_window.SetExecuting(false);
    m_window.SetExecuting(true);
}

int CheckWiring::listIndex(int check, int accountRow) const {
    const auto ids = m_rowIds.find(check);
    if (ids == m_rowIds.end() || accountRow < 0 || accountRow >= static_cast<int>(ids->second->size())) {
        return -1;
    }
    return m_window.lwServers()->indexOfRowId((*ids->second)[static_cast<std::size_t>(accountRow)]);
}

void CheckWiring::syncFields() {
    if (m_window.HintText() != m_cycle->HintText()) {
        m_window.SetHintText(m_cycle->HintText());
        if (TrayFacade* tray = m_window.tray()) {
            tray->setHoverText(displayText(m_window.HintText()));
        }
    }
}

void CheckWiring::ShowStatus(const std::string& text) {
    m_window.setStatusText(displayText(text));
    m_window.repaint();
}

void CheckWiring::MarkConnected(int check, int accountRow) {
    const int index = listIndex(check, accountRow);
    if (index >= 0) {
        m_window.lwServers()->setRowImage(index, kConnectConnected);
    }
}

void CheckWiring::MarkFailed(int check, int accountRow) {
    const int index = listIndex(check, accountRow);
    if (index >= 0) {
        m_window.lwServers()->setRowImage(index, kConnectIdle);
        m_window.lwServers()->setRowSelected(index, false);
    }
}

void CheckWiring::TrayConnected() {
    showPlainEnvelope();
    m_window.repaint();
}

void CheckWiring::AccountError(int check, int accountRow, const std::string& error) {
    const int index = listIndex(check, accountRow);
    if (index >= 0) {
        m_window.lwServers()->setRowError(index, displayText(error));
    }
}

void CheckWiring::PublishSummary(const CheckSummary& summary) {
    syncFields();
    if (summary.freshNews && m_window.SoundOn() && m_playSound) {
        m_playSound();
    }
    std::string status = summary.statusText;
    // Deleted spam without its line, or a noticed message not in the log: the user must know.
    // In English, like the account errors beside them.
    if (!m_cycle->DeletionLogError().empty()) {
        status += " The deleted messages could not be recorded: " + m_cycle->DeletionLogError();
    }
    if (!m_cycle->MessageLogError().empty()) {
        status += " A noticed message is not in the message log: " + m_cycle->MessageLogError();
    }
    m_window.setStatusText(displayText(status));
    m_window.repaint();
    if (TrayFacade* tray = m_window.tray()) {
        tray->setIconList(m_window.im1);
        if (summary.news) {
            // The envelope animation, at the interval last set: 100 ms once a session connected.
            tray->setCycleIcons(true);
        } else {
            tray->setCycleIcons(false);
            tray->setIconIndex(0);
        }
    }
    // Tables of checks whose workers have all ended are no longer needed.
    for (auto it = m_rowIds.begin(); it != m_rowIds.end();) {
        it = m_cycle->IsCheckRunning(it->first) ? std::next(it) : m_rowIds.erase(it);
    }
    if (m_window.IsExecuting() && !m_window.Tm()->isActive()) {
        m_window.Tm()->start();
    }
    emit summaryPublished();
    // An arrival told while this check ran is checked now.
    m_push->CheckEnded();
}

} // namespace qm
