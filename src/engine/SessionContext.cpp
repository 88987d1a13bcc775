#include "engine/SessionContext.h"

#include "engine/CheckHost.h"
#include "engine/SecretMask.h"
#include "engine/SessionFailures.h"
#include "engine/SessionLink.h"
#include "engine/SessionPassword.h"
#include "engine/TokenCommand.h"
#include "lang/LangRes.h"
#include "pop3/Charset.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <climits>
#include <utility>

namespace qm {

namespace {

// The results of this many messages cross to the main thread in one call.
constexpr std::size_t kHandOverBatch = 64;

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

bool IsOAuth(AccountAuth auth) {
    return auth == AccountAuth::XOAuth2 || auth == AccountAuth::OAuthBearer;
}

} // namespace

SessionContext::SessionContext(const AccountRow& row, const CheckOptions& options, std::shared_ptr<SessionLink> link,
                               int reportRow, int fallbackReadTimeoutMs, TSessionPassword& password,
                               TTokenCommand& tokenCommand, std::function<void(TIdTCPConnection*)> attachClient)
    : m_row(row),
      m_options(options),
      m_link(std::move(link)),
      m_reportRow(reportRow),
      m_fallbackReadTimeoutMs(fallbackReadTimeoutMs),
      m_password(password),
      m_tokenCommand(tokenCommand),
      m_attachClient(std::move(attachClient)),
      // Shown texts join translated words (UTF-8) with the account's names (code page bytes):
      // the names are converted so every line the user sees is in one encoding.
      m_shownHost(CodePageToUtf8(row.Caption, options.codePage)),
      m_known(options, row) {}

SessionContext::~SessionContext() {
    OPENSSL_cleanse(m_secret.data(), m_secret.size());
}

SessionSettings SessionContext::ReadSettings() const {
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
        throw EIdException("Unknown connection security " + m_row.Security + ".");
    }
    const std::optional<AccountAuth> auth = AuthOfCell(m_row.Auth);
    if (!auth) {
        throw EIdException("Unknown sign-in method " + m_row.Auth + ".");
    }
    SessionSettings settings;
    settings.port = *port;
    settings.security = *security;
    settings.auth = *auth;
    settings.timeoutMs = SecondsToMs(*timeOut);
    settings.readTimeoutMs = settings.timeoutMs > 0 ? settings.timeoutMs : m_fallbackReadTimeoutMs;
    return settings;
}

std::string SessionContext::ObtainSecret(const SessionSettings& settings) {
    m_port = settings.port;
    const std::string connecting = StatusWord("connecting to") + " " + m_shownHost + "...";
    Sync([&](ISessionReport& r) { r.ShowStatus(connecting); });
    if (IsOAuth(settings.auth)) {
        if (!m_options.tokenCommandRefusal.empty()) {
            throw ETokenCommandError(m_options.tokenCommandRefusal);
        }
        // Refused whole: a part of the command could run another program.
        if (const std::string tooLong = TokenCommandLengthError(m_row.TokenCommand); !tooLong.empty()) {
            throw ETokenCommandError(tooLong);
        }
        // A fresh token for every session: access tokens live about an hour.
        m_secret = m_tokenCommand.Run(CodePageToUtf8(m_row.TokenCommand, m_options.codePage), settings.timeoutMs);
    } else {
        m_secret = m_password.Obtain(settings.readTimeoutMs);
    }
    return m_secret;
}

std::string SessionContext::WithoutSecrets(const std::string& text) const {
    return qm::WithoutSecrets(text, {m_row.AccountName, m_secret, m_secret, m_row.Caption, m_port});
}

void SessionContext::ReportConnected(std::optional<int> loginDelaySeconds) {
    const std::string connected = StatusWord("connected to") + " " + m_shownHost;
    const int row = m_reportRow;
    Sync([&](ISessionReport& r) {
        r.ShowStatus(connected);
        r.MarkConnected(row);
        r.AccountError(row, m_row.Caption, m_row.AccountName, std::string());
        if (loginDelaySeconds.value_or(0) > 0) {
            r.LoginDelay(row, *loginDelaySeconds);
        }
    });
}

bool SessionContext::Opened(TIdTCPConnection& client, const std::function<bool()>& signIn) {
    try {
        return signIn();
    } catch (const SessionStopped&) {
        client.Disconnect();
        throw;
    } catch (const std::exception& e) {
        ReportSignInFailure(e.what(), false, 0);
        return false;
    }
}

void SessionContext::ReportSignInFailure(const std::string& error, bool loginDelayed, int loginDelaySeconds) {
    const std::string shown = WithoutSecrets(error);
    const int row = m_reportRow;
    Sync([&](ISessionReport& r) {
        r.ShowStatus(std::string());
        r.MarkFailed(row);
        if (loginDelayed) {
            r.LoginDelay(row, loginDelaySeconds);
        }
        r.AccountError(row, m_row.Caption, m_row.AccountName, shown);
    });
}

DeletionRecord SessionContext::Record(const TIdMessage& message, const SpamMatch& match) const {
    const int codePage = m_options.codePage;
    DeletionRecord record;
    record.server = CodePageToUtf8(m_row.Caption, codePage);
    record.account = CodePageToUtf8(m_row.AccountName, codePage);
    record.sender = CodePageToUtf8(message.From.Address, codePage);
    // As a mail program shows it, read from the header itself (the masks match the subject as
    // the check decodes it, a Q word's "_" kept).
    const std::string header = message.HeaderValue("Subject");
    record.subject = ShownSubject(header.empty() ? message.Subject : header, codePage);
    record.list = match.list == SpamList::Sender ? "sender" : "subject";
    record.entry = CodePageToUtf8(match.entry, codePage);
    return record;
}

std::optional<DeletionRecord> SessionContext::Judge(TIdMessage& message, std::optional<std::uint64_t> size,
                                                    const std::string& key) {
    const bool whole = m_options.inform;
    if (const std::optional<SpamMatch> match = FindSpamMatch(message, m_options)) {
        DeletionRecord record = Record(message, *match);
        record.size = size;
        record.action = m_spamAction;
        if (!m_options.dryRun) {
            return record;
        }
        const int row = m_reportRow;
        m_handOver.emplace_back(
            [row, record = std::move(record)](ISessionReport& r) mutable { r.WouldDelete(row, std::move(record)); });
        ++m_spamFound;
        return std::nullopt;
    }
    const bool noticed = !whole || MeetsNoticeConditions(message, m_options);
    const bool news = noticed && (key.empty() || !m_known.Looked(key));
    if (!key.empty()) {
        m_known.Judged(key, noticed, message.From.Address);
    }
    if (news && whole && m_options.writeToFile) {
        // Counted only once the log has taken it: a message the log refuses is skipped.
        // Swapped with a fresh message, so the caller's stays ready for the next one.
        auto logged = std::make_shared<TIdMessage>();
        std::swap(*logged, message);
        m_handOver.emplace_back([logged, this](ISessionReport& r) {
            try {
                r.SaveMessage(*logged);
            } catch (const std::exception& e) {
                // The user learns that a noticed message did not reach the log.
                r.AccountError(m_reportRow, m_row.Caption, m_row.AccountName, e.what());
                return;
            }
            ++m_noticed;
            r.AddAddress(logged->From.Address);
        });
    } else {
        if (news) {
            ++m_noticed;
        }
        m_handOver.emplace_back([address = message.From.Address](ISessionReport& r) { r.AddAddress(address); });
    }
    return std::nullopt;
}

bool SessionContext::SettleKnown(const std::string& key) {
    const std::optional<KnownMessage> known = m_known.Reusable(key);
    if (!known) {
        return false;
    }
    if (known->noticed && !m_known.Looked(key)) {
        ++m_noticed;
    }
    m_handOver.emplace_back([address = known->address](ISessionReport& r) { r.AddAddress(address); });
    return true;
}

void SessionContext::NoMessageKeys(const std::string& why) {
    const bool wasEnabled = m_known.Enabled();
    m_known.Disable();
    if (!wasEnabled || !m_options.newOnly) {
        return;
    }
    const int row = m_reportRow;
    const std::string note = why + " Every message stays news until it is gone from the server.";
    Sync([&](ISessionReport& r) { r.MessageKeysNote(row, m_row.Caption, m_row.AccountName, note); });
}

bool SessionContext::IsOpen() const {
    return m_link->IsOpen();
}

void SessionContext::Sync(const std::function<void(ISessionReport&)>& fn) {
    if (!m_link->Call(fn)) {
        throw SessionStopped{};
    }
}

void SessionContext::HandOverIfFull() {
    if (m_handOver.size() >= kHandOverBatch) {
        HandOver();
    }
}

void SessionContext::HandOver() {
    if (m_handOver.empty()) {
        return;
    }
    std::vector<std::function<void(ISessionReport&)>> batch;
    batch.swap(m_handOver);
    Sync([&batch](ISessionReport& r) {
        for (auto& deliver : batch) {
            deliver(r);
        }
    });
}

void SessionContext::HandOverResults(const std::string& error) {
    m_walked = error.empty();
    const std::string reportLine =
        m_shownHost + "(" + CodePageToUtf8(m_row.AccountName, m_options.codePage) + "): ";
    // The last results and the account's total in one call; the total counts what the log took.
    m_handOver.emplace_back([this, failed = !error.empty(), reportLine](ISessionReport& r) {
        const int noticed = failed ? 0 : m_noticed;
        r.AccountResult(noticed, reportLine + std::to_string(noticed) + "\r");
    });
    HandOver();
}

std::string SessionContext::PrepareRecords(const std::vector<DeletionRecord>& deletions) {
    std::string reason;
    const int row = m_reportRow;
    Sync([&](ISessionReport& r) { reason = r.PrepareDeletionRecords(row, deletions); });
    return reason;
}

void SessionContext::ReportEnd(std::vector<DeletionRecord> deletions, bool committed, const std::string& error) {
    for (DeletionRecord& record : deletions) {
        record.committed = committed;
    }
    ReportEnd(std::move(deletions), error);
}

void SessionContext::ReportEnd(std::vector<DeletionRecord> deletions, const std::string& error) {
    const int spamCounted = m_spamFound + static_cast<int>(std::count_if(deletions.begin(), deletions.end(),
                                                                         [](const auto& r) { return r.committed; }));
    const std::string disconnected = StatusWord("disconnected from") + " " + m_shownHost;
    const std::string shownError = WithoutSecrets(error);
    const int row = m_reportRow;
    const int unchecked = m_unchecked;
    const bool keep = m_known.Enabled();
    AccountMailState known = keep ? m_known.Result(m_walked && !m_missed) : AccountMailState{};
    const bool reported = m_link->Call([&](ISessionReport& r) {
        if (keep) {
            r.KeepMailState(m_known.AccountKey(), std::move(known));
        }
        for (int i = 0; i < spamCounted; ++i) {
            r.SpamDeleted();
        }
        r.RecordDeletions(row, std::move(deletions));
        r.ShowStatus(disconnected);
        if (!shownError.empty()) {
            // Reported like a failed login: the row's mark and tooltip, the console's stderr line.
            r.MarkFailed(row);
            r.AccountError(row, m_row.Caption, m_row.AccountName, shownError);
        }
        if (unchecked > 0) {
            r.UncheckedMessages(row, m_row.Caption, m_row.AccountName, unchecked);
        }
    });
    if (!reported && !deletions.empty()) {
        // The main thread closed after the commit: the records wait for it to write them on its way out.
        m_link->KeepUnreported(row, std::move(deletions));
    }
}

std::string SessionContext::StatusWord(const char* english) const {
    return Translate(english, "EN", m_options.languageCode);
}

} // namespace qm
