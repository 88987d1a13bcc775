#include "engine/IdleWatcher.h"

#include "engine/CheckHost.h"
#include "engine/SessionContext.h"
#include "engine/SessionFailures.h"
#include "engine/SessionLink.h"
#include "imap/IdIMAP4.h"
#include "imap/ImapFolders.h"
#include "pop3/IdExceptions.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <utility>

namespace qm {

namespace {

// A peer that stops answering is noticed after about two minutes of silence on the line: 60 s
// before the first probe, then three probes 20 s apart.
constexpr int kKeepAliveIdleS = 60;
constexpr int kKeepAliveIntervalS = 20;
constexpr int kKeepAliveProbes = 3;

void KeepAlive(TIdTCPConnection& client) {
    TIdIOHandlerSocket* handler = client.IOHandler();
    if (handler == nullptr || !handler->Binding().HandleAllocated()) {
        return;
    }
    const int fd = handler->Binding().Handle();
    const int on = 1;
    // Best effort: a socket that refuses still has the renewal to find a dead peer.
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleS, sizeof kKeepAliveIdleS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalS, sizeof kKeepAliveIntervalS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof kKeepAliveProbes);
}

// A failure that reconnecting cannot mend: the server or the keyring refused what the account
// signs in with, or the server cannot push.
struct SignInRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The link's report for the calls a sign-in makes ("connecting to ..."): a push connection's
// coming and going is not a check, so none of it reaches the check's view.
class QuietReport : public ISessionReport {
public:
    void ShowStatus(const std::string&) override {}
    void MarkConnected(int) override {}
    void MarkFailed(int) override {}
    void TrayConnected() override {}
    void AddServerCount(int) override {}
    void SpamDeleted() override {}
    void RecordDeletions(int, std::vector<DeletionRecord>) override {}
    void WouldDelete(int, DeletionRecord) override {}
    void SaveMessage(const TIdMessage&) override {}
    void AddAddress(const std::string&) override {}
    void AccountResult(int, const std::string&) override {}
    void AccountError(int, const std::string&, const std::string&, const std::string&) override {}
    void WorkerFinished(int) override {}
};

} // namespace

ISessionReport& PushQuietReport() {
    static QuietReport report;
    return report;
}

std::shared_ptr<TIdleWatcher> TIdleWatcher::Create(const AccountRow& row, const CheckOptions& options,
                                                   std::shared_ptr<SessionLink> link, PushTimings timings,
                                                   PushEvents events) {
    std::shared_ptr<TIdleWatcher> watcher(new TIdleWatcher());
    watcher->m_row = row;
    watcher->m_options = options;
    watcher->m_link = std::move(link);
    watcher->m_timings = timings;
    watcher->m_events = std::move(events);
    watcher->m_password.Prepare(row, options.languageCode);
    return watcher;
}

TIdleWatcher::~TIdleWatcher() = default;

void TIdleWatcher::Start() {
    // The worker frees itself before its thread counts as ended.
    SessionLink::StartThread(m_link, [self = shared_from_this()] { self->Execute(); });
}

void TIdleWatcher::Stop() {
    m_tokenCommand.Abort();
    m_password.Abort();
    const std::lock_guard lock(m_mutex);
    m_stopped = true;
    if (m_client != nullptr) {
        m_client->Abort();
    }
    m_wake.notify_all();
}

void TIdleWatcher::TryAgain() {
    const std::lock_guard lock(m_mutex);
    m_retry = true;
    if (m_client != nullptr) {
        m_client->Abort();
    }
    m_wake.notify_all();
}

void TIdleWatcher::Attach(TIdTCPConnection* client) {
    const std::lock_guard lock(m_mutex);
    m_client = client;
    if (client != nullptr && (m_stopped || m_retry)) {
        client->Abort();
    }
}

bool TIdleWatcher::Pause(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, wait, [this] { return m_stopped || m_retry; });
    m_retry = false;
    return !m_stopped;
}

void TIdleWatcher::Tell(bool connected, bool signInRefused, const std::string& error) {
    m_connected = connected;
    if (!m_link->Call([&](ISessionReport&) { m_events.state(connected, signInRefused, error); })) {
        throw SessionStopped{};
    }
}

void TIdleWatcher::Execute() {
    std::chrono::milliseconds backoff = m_timings.firstBackoff;
    try {
        for (;;) {
            {
                const std::lock_guard lock(m_mutex);
                if (m_stopped) {
                    break;
                }
                m_retry = false;
            }
            std::string error;
            bool refused = false;
            try {
                Watch();
            } catch (const SignInRefused& e) {
                error = e.what();
                refused = true;
            } catch (const std::exception& e) {
                error = e.what();
            }
            {
                const std::lock_guard lock(m_mutex);
                if (m_stopped) {
                    break;
                }
                if (m_retry) {
                    backoff = m_timings.firstBackoff; // told to try at once
                    continue;
                }
            }
            if (m_connected) {
                backoff = m_timings.firstBackoff; // it was up: the drop is new
            }
            Tell(false, refused, error);
            if (refused) {
                // Only a new attempt from outside (a check, a settings change) may try again.
                if (!Pause(std::chrono::hours(24 * 365))) {
                    break;
                }
                backoff = m_timings.firstBackoff;
                continue;
            }
            if (!Pause(backoff)) {
                break;
            }
            backoff = std::min(backoff * 2, m_timings.lastBackoff);
        }
    } catch (const SessionStopped&) {
        // The main thread takes no more calls.
    }
}

void TIdleWatcher::Watch() {
    TIdIMAP4 client;
    SessionContext context(m_row, m_options, m_link, -1, m_timings.fallbackReadTimeoutMs, m_password, m_tokenCommand,
                           [this](TIdTCPConnection* c) { Attach(c); });
    struct Detach {
        SessionContext& context;
        ~Detach() { context.AttachClient(nullptr); }
    } detach{context};
    context.AttachClient(&client);
    const SessionSettings settings = context.ReadSettings();
    try {
        // A fresh token or keyring read on every connection, as for a check.
        context.SetUpClient(client, settings);
        client.Connect(settings.timeoutMs);
    } catch (const SessionStopped&) {
        throw;
    } catch (const EIdProtocolReplyError& e) {
        throw SignInRefused(context.WithoutSecrets(e.what()));
    } catch (const ETokenCommandError& e) {
        throw SignInRefused(context.WithoutSecrets(e.what()));
    } catch (const EKeyringError& e) {
        throw SignInRefused(e.what());
    } catch (const std::exception& e) {
        throw std::runtime_error(context.WithoutSecrets(e.what()));
    }
    KeepAlive(client);
    if (!client.HasCapability("IDLE")) {
        client.Disconnect();
        throw SignInRefused("The IMAP server does not offer IDLE; the account is checked at the interval.");
    }
    try {
        Idle(client);
    } catch (const SessionStopped&) {
        client.Disconnect();
        throw;
    } catch (const std::exception& e) {
        client.Disconnect();
        throw std::runtime_error(context.WithoutSecrets(e.what()));
    }
}

void TIdleWatcher::Idle(TIdIMAP4& client) {
    // EXAMINE: watching never changes a flag or the \Recent state a check relies on.
    client.SelectFolder(WatchedFolders(m_row.Folders).front(), true);
    Tell(true, false, std::string());
    const auto renewal =
        static_cast<int>(std::min<std::chrono::milliseconds::rep>(m_timings.renewal.count(), INT32_MAX));
    // Mail that came while the connection was down (a suspend, a server restart) is told now.
    const bool missed = m_known && client.Exists() > *m_known;
    std::uint32_t& known = m_known.emplace(client.Exists());
    if (missed && !m_link->Call([this](ISessionReport&) { m_events.arrived(); })) {
        throw SessionStopped{};
    }
    for (;;) {
        client.StartIdle();
        const ImapIdleEvent event = client.WaitIdle(renewal);
        bool arrived = event.kind == ImapIdleEvent::Kind::Exists;
        if (event.kind == ImapIdleEvent::Kind::Expunge && known > 0) {
            --known;
        }
        if (arrived) {
            // A burst of deliveries gives one check: the rest of it is read before telling.
            const auto until = std::chrono::steady_clock::now() + m_timings.coalescing;
            for (auto left = m_timings.coalescing; left.count() > 0;
                 left =
                     std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())) {
                client.WaitIdle(static_cast<int>(left.count()));
            }
        }
        // DONE must be answered within the read time-out: a dead connection ends here.
        client.StopIdle();
        // EXISTS grows with new mail only; one told while IDLE ended or began counts too.
        arrived = arrived || client.Exists() > known;
        known = client.Exists();
        if (arrived && !m_link->Call([this](ISessionReport&) { m_events.arrived(); })) {
            throw SessionStopped{};
        }
    }
}

} // namespace qm
