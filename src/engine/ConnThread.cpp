#include "engine/ConnThread.h"

#include "engine/CheckHost.h"
#include "engine/ImapSession.h"
#include "engine/Pop3Session.h"
#include "engine/SessionContext.h"
#include "engine/SessionFailures.h"
#include "engine/SessionLink.h"
#include "pop3/IdTCPConnection.h"

#include <exception>
#include <utility>

namespace qm {

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
    // The worker frees itself before its thread counts as ended.
    SessionLink::StartThread(m_link, [self = shared_from_this()] { self->Execute(); });
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

void TConnThread::SetClient(TIdTCPConnection* client) {
    const std::lock_guard lock(m_clientMutex);
    m_client = client;
    if (client != nullptr && m_abortRequested) {
        client->Abort();
    }
}

void TConnThread::Execute() {
    SessionLink::SetCaller(m_workerId);
    try {
        Session();
    } catch (const SessionStopped&) {
        // The main thread takes no more calls: nobody is left to tell.
    } catch (const std::exception& e) {
        ReportUnhandled(e.what());
    } catch (...) {
        ReportUnhandled("The check of this account failed.");
    }
    const int id = m_workerId;
    m_link->Call([id](ISessionReport& report) { report.WorkerFinished(id); });
}

void TConnThread::Session() {
    SessionContext context(m_row, m_options, m_link, m_accountRow, m_fallbackReadTimeoutMs, m_password,
                           m_tokenCommand, [this](TIdTCPConnection* client) { SetClient(client); });
    // A damaged Protocol cell is never read as another protocol.
    const std::optional<AccountProtocol> protocol = ProtocolOfCell(m_row.Protocol);
    if (!protocol) {
        context.ReportSignInFailure("Unknown protocol " + m_row.Protocol + ".", false, 0);
    } else if (*protocol == AccountProtocol::Imap) {
        ImapSession(context).Run();
    } else {
        Pop3Session(context).Run();
    }
}

void TConnThread::ReportUnhandled(const std::string& error) {
    const int row = m_accountRow;
    m_link->Call([&](ISessionReport& r) {
        r.ShowStatus(std::string());
        r.MarkFailed(row);
        r.AccountError(row, m_row.Caption, m_row.AccountName, error);
    });
}

} // namespace qm
