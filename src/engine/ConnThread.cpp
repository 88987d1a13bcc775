#include "engine/ConnThread.h"

#include "engine/MessageEvaluation.h"
#include "engine/SecretMask.h"
#include "engine/SessionFailures.h"
#include "engine/SessionLink.h"
#include "lang/LangRes.h"
#include "pop3/Charset.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/IdPOP3.h"
#include "settings/PasswordScrambler.h"

#include <openssl/crypto.h>

#include <climits>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace qm {

namespace {

int SecondsToMs(int seconds) {
    if (seconds <= 0) {
        return 0;
    }
    return seconds > INT_MAX / 1000 ? INT_MAX : seconds * 1000;
}

// The "not a number" failure of a port or time-out cell, in the words of the integer parser.
[[noreturn]] void NotAnInteger(const std::string& text) {
    throw EIdException("'" + text + "' is not a valid integer value");
}

} // namespace

std::shared_ptr<TConnThread> TConnThread::Create(const qm::AccountRow& row, const CheckOptions& options,
                                                 std::shared_ptr<SessionLink> link, int workerId, int accountRow,
                                                 int fallbackReadTimeoutMs) {
    std::shared_ptr<TConnThread> worker(new TConnThread());
    worker->m_row = row;
    worker->m_options = options;
    worker->m_password.Prepare(row, options.languageCode);
    worker->m_link = std::move(link);
    worker->m_workerId = workerId;
    worker->m_accountRow = accountRow;
    worker->m_fallbackReadTimeoutMs = fallbackReadTimeoutMs;
    return worker;
}

void TConnThread::Start() {
    std::shared_ptr<TConnThread> self = shared_from_this();
    std::shared_ptr<SessionLink> link = m_link;
    link->ThreadStarted();
    try {
        std::thread([self = std::move(self), link]() mutable {
            self->Execute();
            self.reset(); // the worker frees itself before the thread counts as ended
            link->ThreadEnded();
        }).detach();
    } catch (...) {
        link->ThreadEnded();
        throw;
    }
}

void TConnThread::Abort() {
    m_tokenCommand.Abort();
    m_password.Abort();
    const std::lock_guard lock(m_clientMutex);
    m_abortRequested = true;
    if (m_client != nullptr) {
        m_client->Abort();
    }
}

void TConnThread::SetClient(TIdPOP3* client) {
    const std::lock_guard lock(m_clientMutex);
    m_client = client;
    if (client != nullptr && m_abortRequested) {
        client->Abort();
    }
}

template <typename Fn> void TConnThread::Sync(Fn&& fn) {
    if (!m_link->Call(std::forward<Fn>(fn))) {
        throw SessionStopped{};
    }
}

void TConnThread::HandOver(MailboxWalk& walk) {
    if (walk.handOver.empty()) {
        return;
    }
    std::vector<std::function<void(ISessionReport&)>> batch;
    batch.swap(walk.handOver);
    Sync([&batch](ISessionReport& r) {
        for (auto& deliver : batch) {
            deliver(r);
        }
    });
}

void TConnThread::StopWithoutRecords(TIdPOP3& client, const MailboxWalk& walk) {
    if (walk.deletions.empty() && !walk.DeletePending()) {
        client.Disconnect();
    } else {
        // Nobody can record these deletions any more: closing without QUIT makes the server
        // keep the messages, so nothing is deleted without a trace.
        client.TIdTCPConnection::Disconnect();
    }
    throw SessionStopped{};
}

DeletionRecord TConnThread::Record(const TIdMessage& message, const SpamMatch& match) const {
    const int codePage = m_options.codePage;
    DeletionRecord record;
    record.server = CodePageToUtf8(m_row.Caption, codePage);
    record.account = CodePageToUtf8(m_row.AccountName, codePage);
    record.sender = CodePageToUtf8(message.From.Address, codePage);
    record.subject = CodePageToUtf8(DecodeSubject(message.Subject, codePage), codePage);
    record.list = match.list == SpamList::Sender ? "sender" : "subject";
    record.entry = CodePageToUtf8(match.entry, codePage);
    return record;
}

std::string TConnThread::StatusWord(const char* english) const {
    return Translate(english, "EN", m_options.languageCode);
}

void TConnThread::Execute() {
    try {
        Session();
    } catch (...) {
        // Nothing of a session escapes its thread; its trace is the row image and the status.
    }
    const int id = m_workerId;
    m_link->Call([id](ISessionReport& report) { report.WorkerFinished(id); });
}

void TConnThread::Session() {
    const std::string& host = m_row.Caption;
    const int row = m_accountRow;
    // Shown texts join translated words (UTF-8) with the account's names (code page bytes):
    // the names are converted so every line the user sees is in one encoding.
    const std::string shownHost = CodePageToUtf8(host, m_options.codePage);

    TIdPOP3 client;
    SetClient(&client);
    // Kept only to keep it out of error texts, and wiped when the session ends.
    std::string token;
    struct Wipe {
        std::string& bytes;
        ~Wipe() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
    } wipeToken{token};
    struct ClientGuard {
        TConnThread& worker;
        ~ClientGuard() { worker.SetClient(nullptr); }
    } guard{*this};

    try {
        const std::optional<int> port = CellInteger(m_row.Port);
        if (!port) {
            NotAnInteger(m_row.Port);
        }
        const std::optional<int> timeOut = CellInteger(m_row.TimeOut);
        if (!timeOut) {
            NotAnInteger(m_row.TimeOut);
        }
        const std::optional<AccountSecurity> security = SecurityOfCell(m_row.Security);
        if (!security) {
            // Never fall back to plain text for a setting this version does not know.
            throw EIdException("Unknown connection security " + m_row.Security + ".");
        }
        const std::optional<AccountAuth> auth = AuthOfCell(m_row.Auth);
        if (!auth) {
            // Never sign in another way than the one the account names.
            throw EIdException("Unknown sign-in method " + m_row.Auth + ".");
        }
        TIdPOP3::CheckSignIn(static_cast<int>(*security), static_cast<int>(*auth));
        client.Host = host;
        client.Username = m_row.AccountName;
        client.Port = *port;
        client.Security = static_cast<int>(*security);
        client.Auth = static_cast<int>(*auth);
        const int timeoutMs = SecondsToMs(*timeOut);
        client.ReadTimeout = timeoutMs > 0 ? timeoutMs : m_fallbackReadTimeoutMs;

        const std::string connecting = StatusWord("connecting to") + " " + shownHost + "...";
        Sync([&](ISessionReport& r) { r.ShowStatus(connecting); });
        if (TIdPOP3::IsOAuth(client.Auth)) {
            // A fresh token for every session: access tokens live about an hour.
            client.AccessToken = m_tokenCommand.Run(CodePageToUtf8(m_row.TokenCommand, m_options.codePage), timeoutMs);
            token = client.AccessToken;
        } else {
            client.Password = m_password.Obtain(client.ReadTimeout);
        }
        client.Connect(timeoutMs);
        const std::string connected = StatusWord("connected to") + " " + shownHost;
        const std::optional<int> loginDelay = client.Capabilities().loginDelaySeconds;
        Sync([&](ISessionReport& r) {
            r.ShowStatus(connected);
            r.MarkConnected(row);
            r.AccountError(row, host, m_row.AccountName, std::string());
            if (loginDelay.value_or(0) > 0) {
                r.LoginDelay(row, *loginDelay);
            }
        });
    } catch (const SessionStopped&) {
        client.Disconnect();
        throw;
    } catch (const std::exception& e) {
        const std::string error =
            WithoutSecrets(e.what(), {client.Username, client.Password, token, client.Host, client.Port});
        const bool delayed = client.LoginDelayed();
        const int delaySeconds = client.Capabilities().loginDelaySeconds.value_or(0);
        Sync([&](ISessionReport& r) {
            r.ShowStatus(std::string());
            r.MarkFailed(row);
            if (delayed) {
                r.LoginDelay(row, delaySeconds);
            }
            r.AccountError(row, host, m_row.AccountName, error);
        });
        return;
    }

    std::string sessionError;
    MailboxWalk walk;
    bool quitAllowed = true;
    try {
        Sync([](ISessionReport& r) { r.TrayConnected(); });
        const int count = client.MessageCount();
        Sync([count](ISessionReport& r) { r.AddServerCount(count); });
        WalkMailbox(client, count, walk);
    } catch (const SessionStopped&) {
        StopWithoutRecords(client, walk);
    } catch (const std::exception& e) {
        sessionError = WithoutSecrets(e.what(), {client.Username, client.Password, token, client.Host, client.Port});
        // Commands already sent are answered before QUIT, so no DELE is committed unrecorded.
        quitAllowed = ReadUnanswered(client, walk);
    }
    if (sessionError.empty() && client.HasUnrequestedInput()) {
        // Replies nobody asked for: the server is out of step, and a DELE may have been taken
        // for another message than the one judged. Without QUIT it deletes nothing.
        sessionError = "The server sent more replies than commands.";
        quitAllowed = false;
    }

    const std::string reportLine = shownHost + "(" + CodePageToUtf8(m_row.AccountName, m_options.codePage) + "): ";
    // The last results and the account's total in one call; the total counts what the log took.
    walk.handOver.emplace_back([&walk, &sessionError, reportLine](ISessionReport& r) {
        const int noticed = sessionError.empty() ? walk.noticed : 0;
        r.AccountResult(noticed, reportLine + std::to_string(noticed) + "\r");
    });
    try {
        HandOver(walk);
    } catch (const SessionStopped&) {
        StopWithoutRecords(client, walk);
    }
    if (quitAllowed) {
        client.Disconnect();
    } else {
        client.TIdTCPConnection::Disconnect();
    }
    // Deletions count only once the server answered QUIT with +OK: without that it may have
    // restored every message marked for deletion.
    const bool committed = quitAllowed && client.QuitCommitted();
    if (!committed && quitAllowed && !walk.deletions.empty() && sessionError.empty()) {
        const std::string why = client.QuitError().empty() ? std::string("no reply") : client.QuitError();
        sessionError = WithoutSecrets("The server did not confirm the deletions: " + why,
                                      {client.Username, client.Password, token, client.Host, client.Port});
    }
    for (DeletionRecord& record : walk.deletions) {
        record.committed = committed;
    }
    const int spamCounted = walk.spamFound + (committed ? static_cast<int>(walk.deletions.size()) : 0);
    const std::string disconnected = StatusWord("disconnected from") + " " + shownHost;
    const bool reported = m_link->Call([&](ISessionReport& r) {
        for (int i = 0; i < spamCounted; ++i) {
            r.SpamDeleted();
        }
        r.RecordDeletions(row, std::move(walk.deletions));
        r.ShowStatus(disconnected);
        if (!sessionError.empty()) {
            // Reported like a failed login: the row's mark and tooltip, the console's stderr line.
            r.MarkFailed(row);
            r.AccountError(row, host, m_row.AccountName, sessionError);
        }
    });
    if (!reported && !walk.deletions.empty()) {
        // The main thread closed after QUIT: the records wait for it to write them on its way out.
        m_link->KeepUnreported(row, std::move(walk.deletions));
    }
}

} // namespace qm
