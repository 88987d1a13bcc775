#pragma once

// Runs session workers on the test thread: the "main thread" call runs at once, and every
// report call is recorded as one line of text in call order.

#include "FakePop3Server.h"
#include "LoopbackAccount.h"
#include "ScratchDir.h"
#include "engine/CheckHost.h"
#include "engine/ConnThread.h"
#include "engine/SessionLink.h"
#include "pop3/IdMessage.h"
#include "settings/MailState.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qm::test {

class InlineInvoker : public IMainThreadInvoker {
public:
    // After this many calls the "main thread" stops taking calls (negative: never).
    explicit InlineInvoker(int callsBeforeClose = -1) : m_left(callsBeforeClose) {}
    bool invokeOnMainThread(const std::function<void()>& fn) override {
        const std::lock_guard lock(m_mutex);
        if (m_left == 0) {
            return false;
        }
        if (m_left > 0) {
            --m_left;
        }
        fn();
        return true;
    }

private:
    std::mutex m_mutex;
    int m_left;
};

class RecordingReport : public ISessionReport {
public:
    std::vector<std::string> calls;
    bool failSave = false;
    int savedMessages = 0;

    void ShowStatus(const std::string& line) override { calls.push_back("status:" + line); }
    void MarkConnected(int row) override { calls.push_back("connected:" + std::to_string(row)); }
    void MarkFailed(int row) override { calls.push_back("failed:" + std::to_string(row)); }
    void TrayConnected() override { calls.push_back("tray"); }
    void AddServerCount(int count) override { calls.push_back("count:" + std::to_string(count)); }
    void SpamDeleted() override { calls.push_back("spam"); }
    std::vector<DeletionRecord> deletions;
    std::vector<DeletionRecord> wouldDelete;
    void RecordDeletions(int, std::vector<DeletionRecord> records) override {
        deletions.insert(deletions.end(), records.begin(), records.end());
    }
    void WouldDelete(int, DeletionRecord record) override { wouldDelete.push_back(std::move(record)); }
    void SaveMessage(const TIdMessage& message) override {
        if (failSave) {
            throw std::runtime_error("cannot create the log");
        }
        ++savedMessages;
        calls.push_back("save:" + message.From.Address);
    }
    void AddAddress(const std::string& address) override { calls.push_back("address:" + address); }
    void AccountResult(int noticed, const std::string& line) override {
        calls.push_back("result:" + std::to_string(noticed) + ":" + line);
    }
    void AccountError(int row, const std::string& host, const std::string& account, const std::string& error) override {
        calls.push_back("error:" + std::to_string(row) + ":" + host + ":" + account + ":" + error);
    }
    void WorkerFinished(int id) override { calls.push_back("finished:" + std::to_string(id)); }
    void MessageKeysNote(int row, const std::string&, const std::string&, const std::string& note) override {
        calls.push_back("note:" + std::to_string(row) + ":" + note);
    }
    // Kept in this file when one is named, as the check cycle keeps it.
    std::filesystem::path stateFile;
    void KeepMailState(const std::string& key, AccountMailState state) override {
        if (!stateFile.empty() && !SaveAccountMailState(stateFile, key, std::move(state)).ok) {
            calls.push_back("state not saved");
        }
    }

    bool Has(const std::string& call) const {
        for (const auto& c : calls) {
            if (c == call) {
                return true;
            }
        }
        return false;
    }
    bool HasPrefix(const std::string& prefix) const {
        for (const auto& c : calls) {
            if (c.rfind(prefix, 0) == 0) {
                return true;
            }
        }
        return false;
    }
};

inline AccountRow MakeRow(int port, const std::string& user = "user", const std::string& password = "secret",
                          const std::string& timeOut = "10") {
    return LoopbackAccount(port, user, password, timeOut, false);
}

// Runs one session to its end on the calling thread.
inline void RunSession(const AccountRow& row, const CheckOptions& options, RecordingReport& report,
                       std::shared_ptr<IMainThreadInvoker> invoker = std::make_shared<InlineInvoker>(),
                       int fallbackReadTimeoutMs = 10000) {
    auto link = std::make_shared<SessionLink>(invoker, &report);
    auto worker = TConnThread::Create(row, options, link, 7, 0, fallbackReadTimeoutMs);
    worker->Execute();
}

// Sessions one after another against one server, each starting from the state file the last left.
struct KeptChecks {
    FakePop3Server server;
    std::filesystem::path state = ScratchDir("kept") / kMailStateFile;
    explicit KeptChecks(FakeMailbox mailbox) {
        server.ServeMailbox(std::move(mailbox));
        server.Start();
    }
    // The session's report, and what the server received during it.
    std::pair<RecordingReport, std::vector<std::string>> Run(CheckOptions options) {
        const std::size_t before = server.Received().size();
        RecordingReport report;
        report.stateFile = state;
        options.mailState = std::make_shared<const MailState>(LoadMailState(state));
        RunSession(MakeRow(server.Port()), options, report);
        const std::vector<std::string> wire = server.Received();
        return {report, std::vector<std::string>(wire.begin() + static_cast<long>(before), wire.end())};
    }
};

inline std::string Message(const std::string& from, const std::string& subject, const std::string& body = "hello") {
    return DatedMessage(from, subject, body);
}

} // namespace qm::test
