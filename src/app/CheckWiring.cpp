#include "app/CheckWiring.h"

#include "app/DateTimeText.h"
#include "app/MainWindow.h"
#include "app/QtMainThreadInvoker.h"
#include "app/TrayWiring.h"
#include "settings/FilterList.h"
#include "tray/NewMailSound.h"
#include "ui/AccountListView.h"
#include "ui/CodePageText.h"
#include "ui/ImageLists.h"
#include "ui/NoticePanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <climits>

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
    m_shutDown = true;
    // Closed first, so a worker waiting for the main thread is let go instead of using up grace.
    m_invoker->Close();
    return m_cycle->Shutdown(grace);
}

TextTrayFacade* CheckWiring::textTray() const {
    return qobject_cast<TextTrayFacade*>(m_window.tray());
}

void CheckWiring::showPlainEnvelope() {
    if (TextTrayFacade* tray = textTray()) {
        tray->setCycleIcons(false);
        tray->setIconList(m_window.im1);
        tray->setIconIndex(0);
        tray->setCycleInterval(100);
    } else if (TrayFacade* plain = m_window.tray()) {
        plain->setIconList(m_window.im1);
        plain->setIconIndex(0);
    }
}

std::int32_t CheckWiring::intervalMs(int minutes) const {
    const int limit = INT_MAX / std::max(1, m_minuteMs);
    return std::clamp(minutes, 2, limit) * m_minuteMs;
}

CheckOptions CheckWiring::snapshot() const {
    auto checked = [this](const char* name) {
        const auto* box = m_window.findChild<QCheckBox*>(QString::fromLatin1(name));
        return box != nullptr && box->isChecked();
    };
    MonitorSettings settings;
    settings.Language = m_window.CurrentLanguage();
    settings.Inform = checked("cbInform");
    settings.WriteToFile = checked("cbWriteToFile");
    settings.UseFrom = checked("cbFromAddress");
    settings.UseSubject = checked("cbSubject");
    settings.Attach = checked("cbAttach");
    return MakeCheckOptions(settings, m_window.SenderFilterList(), m_window.SubjectFilterList(),
                            m_window.noticePanel()->fromValues(), m_window.noticePanel()->subjectValues(),
                            uiCodePage());
}

void CheckWiring::TmTimer() {
    if (m_shutDown) {
        return;
    }
    AccountListView* list = m_window.lwServers();
    list->resetRowImages();
    m_window.Tm()->stop();
    if (TextTrayFacade* tray = textTray()) {
        tray->setCycleIcons(false);
        tray->setCycleInterval(1000);
        tray->setIconList(m_window.imConnect);
        tray->setCycleIcons(false);
        tray->setIconIndex(kConnectConnecting);
    } else if (TrayFacade* plain = m_window.tray()) {
        plain->setIconList(m_window.imConnect);
        plain->setIconIndex(kConnectConnecting);
    }

    // Rows are found again by identity: they may be sorted or dragged while the check runs.
    const std::vector<AccountRow> rows = list->rows();
    m_rowIds.clear();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        m_rowIds.push_back(list->rowId(i));
    }
    MessageLogOptions log;
    const auto* overwrite = m_window.findChild<QCheckBox*>(QStringLiteral("cbOverwrite"));
    log.overwrite = overwrite != nullptr && overwrite->isChecked();
    log.fileName = m_window.noticePanel()->FileName();
    m_cycle->BeginCheck(rows, snapshot(), log);
    syncFields();

    if (auto* executed = m_window.findChild<QLabel*>(QStringLiteral("lbLastExecTime"))) {
        executed->setText(DateTimeText(QDateTime::currentDateTime()));
    }
}

void CheckWiring::cbExecClick() {
    if (m_shutDown) {
        return;
    }
    const bool executing = m_window.findChild<QCheckBox*>(QStringLiteral("cbExec"))->isChecked();
    if (executing) {
        m_window.CheckIntervalMs = intervalMs(m_window.findChild<QSpinBox*>(QStringLiteral("seInterval"))->value());
        m_window.noticePanel()->RebuildValueLists();
    } else {
        m_window.lwServers()->resetRowImages();
    }
    QTimer* tm = m_window.Tm();
    tm->setInterval(m_window.CheckIntervalMs);
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
    auto* exec = m_window.findChild<QCheckBox*>(QStringLiteral("cbExec"));
    exec->setChecked(!exec->isChecked());
}

void CheckWiring::aRestartExecute() {
    auto* exec = m_window.findChild<QCheckBox*>(QStringLiteral("cbExec"));
    exec->setChecked(false);
    exec->setChecked(true);
}

int CheckWiring::listIndex(int accountRow) const {
    if (accountRow < 0 || accountRow >= static_cast<int>(m_rowIds.size())) {
        return -1;
    }
    return m_window.lwServers()->indexOfRowId(m_rowIds[static_cast<std::size_t>(accountRow)]);
}

void CheckWiring::syncFields() {
    m_window.MessagesOnServer = m_cycle->MessagesOnServer();
    m_window.NoticedMessages = m_cycle->NoticedMessages();
    m_window.RunningWorkers = m_cycle->RunningWorkers();
    m_window.AccountLines = m_cycle->AccountLines();
    m_window.ReceivedAddresses = m_cycle->ReceivedAddresses();
    if (m_window.HintText != m_cycle->HintText()) {
        m_window.HintText = m_cycle->HintText();
        if (TextTrayFacade* tray = textTray()) {
            tray->setHoverText(displayText(m_window.HintText));
        }
    }
}

void CheckWiring::ShowStatus(const std::string& text) {
    m_window.setStatusText(displayText(text));
    m_window.repaint();
}

void CheckWiring::MarkConnected(int accountRow) {
    const int index = listIndex(accountRow);
    if (index >= 0) {
        m_window.lwServers()->setRowImage(index, kConnectConnected);
    }
}

void CheckWiring::MarkFailed(int accountRow) {
    const int index = listIndex(accountRow);
    if (index >= 0) {
        m_window.lwServers()->setRowImage(index, kConnectIdle);
        m_window.lwServers()->setRowSelected(index, false);
    }
}

void CheckWiring::TrayConnected() {
    showPlainEnvelope();
    m_window.repaint();
}

void CheckWiring::AccountError(int accountRow, const std::string& error) {
    const int index = listIndex(accountRow);
    if (index >= 0) {
        m_window.lwServers()->setRowError(index, displayText(error));
    }
}

void CheckWiring::PublishSummary(const CheckSummary& summary) {
    syncFields();
    const auto* sound = m_window.findChild<QCheckBox*>(QStringLiteral("cbSound"));
    if (summary.news && sound != nullptr && sound->isChecked() && m_playSound) {
        m_playSound();
    }
    m_window.setStatusText(displayText(summary.statusText));
    m_window.repaint();
    TextTrayFacade* tray = textTray();
    if (tray != nullptr) {
        tray->setIconList(m_window.im1);
        if (summary.news) {
            // The envelope animation, at the interval last set: 100 ms once a session connected.
            tray->setCycleIcons(true);
        } else {
            tray->setCycleIcons(false);
            tray->setIconIndex(0);
        }
    } else if (TrayFacade* plain = m_window.tray()) {
        plain->setIconList(m_window.im1);
        plain->setIconIndex(0);
    }
    const auto* exec = m_window.findChild<QCheckBox*>(QStringLiteral("cbExec"));
    if (exec != nullptr && exec->isChecked() && !m_window.Tm()->isActive()) {
        m_window.Tm()->start();
    }
    emit summaryPublished();
}

} // namespace qm
