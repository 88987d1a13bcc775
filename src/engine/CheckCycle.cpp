#include "engine/CheckCycle.h"

#include "settings/AccountCells.h"

#include "engine/ConnThread.h"
#include "engine/SessionLink.h"
#include "lang/LangRes.h"
#include "settings/FilterList.h"
#include "settings/LogDateTime.h"
#include "settings/MailState.h"
#include "settings/MessageLog.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace qm {

namespace {

// Counters add up what servers report; a hostile server's huge counts must not overflow them.
int SaturatingAdd(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

} // namespace

std::string AccountKey(const AccountRow& row) {
    return row.Caption + '\n' + row.Port + '\n' + row.AccountName;
}

CheckCycle::CheckCycle(std::shared_ptr<IMainThreadInvoker> invoker, ICheckView& view)
    : m_invoker(std::move(invoker)), m_view(view), m_link(std::make_shared<SessionLink>(m_invoker, this)) {}

CheckCycle::~CheckCycle() {
    Shutdown(std::chrono::milliseconds(2000));
}

std::string CheckCycle::Tr(const char* english) const {
    return Translate(english, "EN", m_language);
}

int CheckCycle::BeginCheck(const std::vector<AccountRow>& rows, const CheckOptions& options,
                           const MessageLogOptions& log) {
    m_language = options.languageCode;
    m_hintText = Tr("connecting...");
    m_view.ShowStatus(m_hintText);
    m_receivedAddresses.clear();
    return StartWorkers(rows, options, log);
}

int CheckCycle::StartWorkers(const std::vector<AccountRow>& rows, const CheckOptions& options,
                             const MessageLogOptions& log) {
    const int check = ++m_lastCheck;
    const std::string began = FormatDateTimePattern(CurrentLocalDateTime(), "yyyy-MM-dd HH:mm:ss");
    m_language = options.languageCode;
    m_codePage = options.codePage;
    m_log = log;
    m_noticedMessages = 0;
    m_messagesOnServer = 0;
    m_receivedAddresses.clear();
    m_hintText.clear();
    m_view.ShowStatus(m_hintText);
    m_accountLines.clear();
    m_deletionLogError.clear();
    m_messageLogError.clear();
    m_mailStateError.clear();
    m_parts.clear();
    m_freshNews = false;
    SaveMailStates(); // a check still running from before: the new one starts from what it learnt

    if (options.inform && log.overwrite) {
        DeleteMessageLog(log.fileName, m_codePage);
    }

    std::size_t skipped = 0;
    const std::shared_ptr<const CheckOptions> snapshot = SnapshotWithState(options, log);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!Queue(check, began, rows, i, snapshot)) {
            ++skipped;
        }
    }
    if (skipped == rows.size()) {
        PublishSummary();
        return check;
    }
    StartPending();
    if (m_runningWorkers == 0) {
        PublishSummary();
    }
    return check;
}

// What the sessions of a check read: the options and what the checks before them learnt.
std::shared_ptr<const CheckOptions> CheckCycle::SnapshotWithState(const CheckOptions& options,
                                                                  const MessageLogOptions& log) {
    auto withState = std::make_shared<CheckOptions>(options);
    if (!log.mailState.empty()) {
        withState->mailState = std::make_shared<const MailState>(LoadMailState(log.mailState));
    }
    return withState;
}

int CheckCycle::StartAccountCheck(const std::vector<AccountRow>& rows, std::size_t index, const CheckOptions& options,
                                  const MessageLogOptions& log) {
    const int check = ++m_lastCheck;
    if (index >= rows.size()) {
        return check;
    }
    m_language = options.languageCode;
    m_codePage = options.codePage;
    SaveMailStates();
    m_log = log;
    m_freshNews = false;
    // The account's last result leaves the totals; its new one takes its place.
    if (const auto old = m_parts.find(AccountKey(rows[index])); old != m_parts.end()) {
        m_messagesOnServer = SaturatingAdd(m_messagesOnServer, -old->second.onServer);
        m_noticedMessages = SaturatingAdd(m_noticedMessages, -old->second.noticed);
        if (const auto at = m_accountLines.find(old->second.line);
            !old->second.line.empty() && at != std::string::npos) {
            m_accountLines.erase(at, old->second.line.size());
        }
        m_parts.erase(old);
    }
    const std::string began = FormatDateTimePattern(CurrentLocalDateTime(), "yyyy-MM-dd HH:mm:ss");
    if (Queue(check, began, rows, index, SnapshotWithState(options, log))) {
        StartPending();
    }
    if (m_runningWorkers == 0) {
        PublishSummary();
    }
    return check;
}

bool CheckCycle::Queue(int check, const std::string& began, const std::vector<AccountRow>& rows, std::size_t index,
                       const std::shared_ptr<const CheckOptions>& snapshot) {
    const AccountRow& row = rows[index];
    if (IsDisabledCell(row.Disabled)) {
        return false;
    }
    if (const auto end = LoginDelayEnd(row)) {
        // Its server asked not to be contacted yet: left out of this check, and told why.
        m_view.AccountError(check, static_cast<int>(index), LoginDelayNote(*end));
        return false;
    }
    const int id = m_nextWorkerId++;
    m_workerRows[id] = WorkerRow{check, static_cast<int>(index), began, AccountKey(row), snapshot->intervalMs};
    ++m_runningWorkers;
    m_pending.push_back(PendingSession{id, row, snapshot});
    return true;
}

CheckCycle::AccountPart* CheckCycle::CallerPart() {
    const auto it = m_workerRows.find(m_caller);
    return it == m_workerRows.end() ? nullptr : &m_parts[it->second.account];
}

void CheckCycle::StartPending() {
    while (!m_shutDown && !m_pending.empty() && m_workers.size() < kMaxSessions) {
        const PendingSession next = std::move(m_pending.front());
        m_pending.pop_front();
        try {
            auto worker =
                TConnThread::Create(next.row, *next.options, m_link, next.id, next.id, m_timings.fallbackReadTimeoutMs);
            m_workers.emplace(next.id, worker);
            worker->Start();
        } catch (const std::exception& e) {
            // No thread could be started: the account fails like a refused connection.
            m_workers.erase(next.id);
            MarkFailed(next.id);
            AccountError(next.id, next.row.Caption, next.row.AccountName, e.what());
            m_workerRows.erase(next.id);
            m_runningWorkers -= 1;
        }
    }
}

bool CheckCycle::IsCheckRunning(int check) const {
    return std::any_of(m_workerRows.begin(), m_workerRows.end(),
                       [check](const auto& entry) { return entry.second.check == check; });
}

void CheckCycle::AbortSessions() {
    for (auto& [id, worker] : m_workers) {
        worker->Abort();
    }
}

bool CheckCycle::Shutdown(std::chrono::milliseconds grace) {
    if (m_shutDown) {
        return m_allEnded;
    }
    m_shutDown = true;
    m_link->Close();
    m_pending.clear();
    for (auto& [id, worker] : m_workers) {
        worker->Abort();
    }
    m_workers.clear();
    m_allEnded = m_link->WaitForThreads(grace);
    // Deletions a server committed after the link closed are still written down.
    for (auto& [accountRow, records] : m_link->TakeUnreported()) {
        RecordDeletions(accountRow, std::move(records));
    }
    SaveMailStates();
    return m_allEnded;
}

std::vector<CheckCycle::AccountFailure> CheckCycle::AccountErrors() const {
    std::vector<AccountFailure> out;
    for (const auto& [row, failure] : m_errors) {
        out.push_back(failure);
    }
    return out;
}

std::vector<CheckCycle::AccountFailure> CheckCycle::AccountNotes() const {
    std::vector<AccountFailure> out;
    for (const auto& [row, note] : m_notes) {
        out.push_back(note);
    }
    return out;
}

void CheckCycle::ShowStatus(const std::string& statusLine) {
    m_hintText = statusLine;
    m_view.ShowStatus(m_hintText);
}

void CheckCycle::MarkConnected(int accountRow) {
    if (const auto it = m_workerRows.find(accountRow); it != m_workerRows.end()) {
        m_view.MarkConnected(it->second.check, it->second.row);
    }
}

void CheckCycle::MarkFailed(int accountRow) {
    if (const auto it = m_workerRows.find(accountRow); it != m_workerRows.end()) {
        m_view.MarkFailed(it->second.check, it->second.row);
    }
}

void CheckCycle::TrayConnected() {
    m_view.TrayConnected();
}

void CheckCycle::AddServerCount(int count) {
    m_messagesOnServer = SaturatingAdd(m_messagesOnServer, count);
    if (AccountPart* part = CallerPart()) {
        part->onServer = SaturatingAdd(part->onServer, count);
    }
}

std::optional<std::chrono::steady_clock::time_point> CheckCycle::LoginDelayEnd(const AccountRow& row) const {
    const auto it = m_loginDelays.find(AccountKey(row));
    if (it == m_loginDelays.end() || it->second <= m_timings.clock()) {
        return std::nullopt;
    }
    return it->second;
}

void CheckCycle::LoginDelay(int accountRow, int seconds) {
    const auto it = m_workerRows.find(accountRow);
    if (it == m_workerRows.end()) {
        return;
    }
    const auto wait = seconds > 0 ? std::chrono::milliseconds(std::chrono::seconds(seconds))
                                  : std::chrono::milliseconds(it->second.intervalMs);
    m_loginDelays[it->second.account] = m_timings.clock() + wait;
}

std::string CheckCycle::LoginDelayNote(std::chrono::steady_clock::time_point end) const {
    const auto left = std::chrono::duration_cast<std::chrono::seconds>(end - m_timings.clock()).count();
    const double now = CurrentLocalDateTime();
    const double at = now + static_cast<double>(left) / 86400.0;
    // A day count's whole part is its date: a check on another day says which.
    const char* pattern = std::floor(at) == std::floor(now) ? "HH:mm:ss" : "yyyy-MM-dd HH:mm:ss";
    // In English, like the other account errors it joins.
    return "The server asks for a pause between logins; next check after " + FormatDateTimePattern(at, pattern) + ".";
}

void CheckCycle::SpamDeleted() {
    m_messagesOnServer = SaturatingAdd(m_messagesOnServer, -1);
    if (AccountPart* part = CallerPart()) {
        part->onServer = SaturatingAdd(part->onServer, -1);
    }
}

std::vector<DeletionRecord> CheckCycle::Stamped(int accountRow, std::vector<DeletionRecord> records) const {
    const auto it = m_workerRows.find(accountRow);
    for (DeletionRecord& record : records) {
        record.checkTime = it != m_workerRows.end() ? it->second.began : std::string();
    }
    return records;
}

std::string CheckCycle::PrepareDeletionRecords(int accountRow, const std::vector<DeletionRecord>& records) {
    if (m_log.deletionLog.empty() || records.empty()) {
        return {};
    }
    const FileResult result = qm::PrepareDeletionRecords(m_log.deletionLog, Stamped(accountRow, records));
    if (!result.ok) {
        return "The deleted messages could not be recorded, so the server keeps them: " + result.error;
    }
    if (const auto it = m_workerRows.find(accountRow); it != m_workerRows.end()) {
        it->second.prepared = true;
    }
    return {};
}

void CheckCycle::RecordDeletions(int accountRow, std::vector<DeletionRecord> records) {
    if (m_log.deletionLog.empty() || records.empty()) {
        return;
    }
    const auto it = m_workerRows.find(accountRow);
    const bool prepared = it != m_workerRows.end() && it->second.prepared;
    // A record that cannot be written never stops the check; the reason is kept for the caller.
    const FileResult result = AppendDeletionRecords(m_log.deletionLog, Stamped(accountRow, std::move(records)), prepared);
    if (!result.ok) {
        m_deletionLogError = result.error;
    }
}

void CheckCycle::WouldDelete(int accountRow, DeletionRecord record) {
    if (const auto it = m_workerRows.find(accountRow); it != m_workerRows.end()) {
        record.checkTime = it->second.began;
    }
    m_view.WouldDelete(record);
}

void CheckCycle::SaveMessage(const TIdMessage& message) {
    MessageLogContext context;
    context.codePage = m_codePage;
    const FileResult result = AppendMessageRecord(message, m_log.fileName, context);
    if (!result.ok) {
        m_messageLogError = result.error;
        throw std::runtime_error(result.error); // the worker skips this message and reports it
    }
}

void CheckCycle::AddAddress(const std::string& address) {
    if (!ContainsValue(m_receivedAddresses, address)) {
        m_receivedAddresses.push_back(address);
    }
}

void CheckCycle::AccountResult(int noticed, const std::string& reportLine) {
    m_noticedMessages = SaturatingAdd(m_noticedMessages, noticed);
    if (noticed > 0) {
        m_accountLines += reportLine;
        m_freshNews = true;
    }
    if (AccountPart* part = CallerPart()) {
        part->noticed = SaturatingAdd(part->noticed, noticed);
        part->line += noticed > 0 ? reportLine : std::string();
    }
}

void CheckCycle::AccountError(int accountRow, const std::string& host, const std::string& accountName,
                              const std::string& error) {
    const auto it = m_workerRows.find(accountRow);
    if (it == m_workerRows.end()) {
        return;
    }
    const int row = it->second.row;
    std::string shown = error;
    if (error.empty()) {
        m_errors.erase(row);
        m_notes.erase(row);
    } else {
        if (const auto delay = m_loginDelays.find(it->second.account);
            delay != m_loginDelays.end() && delay->second > m_timings.clock()) {
            // A login the server refused for coming too soon: when the next one will be made.
            shown += "\n" + LoginDelayNote(delay->second);
        }
        m_errors[row] = AccountFailure{row, host, accountName, error};
    }
    m_view.AccountError(it->second.check, row, shown);
}

void CheckCycle::UncheckedMessages(int accountRow, const std::string& host, const std::string& accountName,
                                   int count) {
    // In English, like the account errors it may join.
    AddNote(accountRow, host, accountName,
            std::to_string(count) + (count == 1 ? " message" : " messages") +
                " could not be checked (too large or not readable as a message).");
}

void CheckCycle::MessageKeysNote(int accountRow, const std::string& host, const std::string& accountName,
                                 const std::string& note) {
    AddNote(accountRow, host, accountName, note);
}

void CheckCycle::AddNote(int accountRow, const std::string& host, const std::string& accountName,
                         const std::string& note) {
    const auto it = m_workerRows.find(accountRow);
    if (it == m_workerRows.end()) {
        return;
    }
    const int row = it->second.row;
    // A note of the same session stays (a session's notes are cleared when it connects).
    const auto earlier = m_notes.find(row);
    const std::string notes = earlier == m_notes.end() ? note : earlier->second.error + "\n" + note;
    m_notes[row] = AccountFailure{row, host, accountName, notes};
    const auto error = m_errors.find(row);
    m_view.AccountError(it->second.check, row, error == m_errors.end() ? notes : error->second.error + "\n" + notes);
}

void CheckCycle::KeepMailState(const std::string& accountKey, AccountMailState state) {
    if (m_log.mailState.empty()) {
        return;
    }
    if (m_log.mailState != m_unsavedStatesFile) {
        SaveMailStates();
        m_unsavedStatesFile = m_log.mailState;
    }
    // Saved together when the check is published: each save reads and rewrites the whole file,
    // which for a long account list would cost as much as the checks.
    m_unsavedStates[accountKey] = std::move(state);
}

void CheckCycle::SaveMailStates() {
    if (m_unsavedStates.empty()) {
        return;
    }
    if (const FileResult result = SaveAccountMailStates(m_unsavedStatesFile, std::move(m_unsavedStates)); !result.ok) {
        m_mailStateError = result.error;
    }
    m_unsavedStates.clear();
}

void CheckCycle::WorkerFinished(int workerId) {
    m_workers.erase(workerId);
    m_workerRows.erase(workerId);
    m_runningWorkers -= 1;
    StartPending();
    if (m_runningWorkers > 0) {
        return;
    }
    PublishSummary();
}

void CheckCycle::PublishSummary() {
    SaveMailStates();
    CheckSummary summary;
    summary.messagesOnServer = m_messagesOnServer;
    summary.noticedMessages = m_noticedMessages;
    summary.news = m_noticedMessages > 0;
    summary.freshNews = m_freshNews;
    if (!summary.news) {
        m_hintText = Tr("you haven't new messages");
        summary.statusText = m_hintText;
    } else {
        const std::string total = std::to_string(m_messagesOnServer);
        m_hintText = Tr("in total") + " " + total + " " + Tr("messages") + ":" + "\r" + m_accountLines;
        summary.statusText = Tr("you have") + " " + total + " " + Tr("messages") + " " + Tr("in total") + ".";
    }
    summary.hintText = m_hintText;
    m_view.PublishSummary(summary);
}

} // namespace qm
