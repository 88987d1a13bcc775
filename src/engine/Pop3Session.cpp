// The POP3 session's sign-in and its end: QUIT as the commit of the deletions.
#include "engine/Pop3Session.h"

#include "engine/CheckHost.h"
#include "engine/SessionContext.h"
#include "engine/SessionFailures.h"
#include "pop3/IdExceptions.h"

#include <exception>
#include <string>
#include <utility>

namespace qm {

Pop3Session::Pop3Session(SessionContext& context) : m_context(context) {
    m_context.AttachClient(&m_client);
}

Pop3Session::~Pop3Session() {
    m_context.AttachClient(nullptr);
}

void Pop3Session::Run() {
    if (m_context.Opened(m_client, [this] { return SignIn(m_context.ReadSettings()); })) {
        Finish(Walk());
    }
}

bool Pop3Session::SignIn(const SessionSettings& settings) {
    try {
        m_context.SetUpClient(m_client, settings);
        m_client.Connect(settings.timeoutMs);
    } catch (const SessionStopped&) {
        throw;
    } catch (const std::exception& e) {
        m_context.ReportSignInFailure(e.what(), m_client.LoginDelayed(),
                                      m_client.Capabilities().loginDelaySeconds.value_or(0));
        return false;
    }
    m_context.ReportConnected(m_client.Capabilities().loginDelaySeconds);
    return true;
}

WalkEnd Pop3Session::Walk() {
    WalkEnd end;
    try {
        m_context.Sync([](ISessionReport& r) { r.TrayConnected(); });
        const int count = m_client.MessageCount();
        m_context.Sync([count](ISessionReport& r) { r.AddServerCount(count); });
        ReadKeys(count);
        WalkMailbox(count);
    } catch (const SessionStopped&) {
        StopWithoutRecords();
    } catch (const EIdOutOfStep& e) {
        // What the server answers next may belong to another message: it gets no QUIT, so it
        // deletes nothing.
        end = {e.what(), false};
    } catch (const std::exception& e) {
        end.error = e.what();
        // Commands already sent are answered before QUIT, so no DELE is committed unrecorded.
        end.commitAllowed = ReadUnanswered();
    }
    if (end.error.empty() && m_client.HasUnrequestedInput()) {
        // Replies nobody asked for: the server is out of step, and a DELE may have been taken
        // for another message than the one judged. Without QUIT it deletes nothing.
        end = {"The server sent more replies than commands.", false};
    }
    return end;
}

void Pop3Session::Finish(WalkEnd end) {
    try {
        m_context.HandOverResults(end.error);
    } catch (const SessionStopped&) {
        StopWithoutRecords();
    }
    if (end.commitAllowed && !m_deletions.empty()) {
        try {
            if (std::string why = m_context.PrepareRecords(m_deletions); !why.empty()) {
                end = {std::move(why), false}; // no record, no QUIT: the server keeps the messages
            }
        } catch (const SessionStopped&) {
            StopWithoutRecords();
        }
    }
    if (end.commitAllowed) {
        m_client.Disconnect();
    } else {
        m_client.TIdTCPConnection::Disconnect();
    }
    // Deletions count only once the server answered QUIT with +OK: without that it may have
    // restored every message marked for deletion.
    const bool committed = end.commitAllowed && m_client.QuitCommitted();
    if (!committed && end.commitAllowed && !m_deletions.empty() && end.error.empty()) {
        const std::string why = m_client.QuitError().empty() ? std::string("no reply") : m_client.QuitError();
        end.error = "The server did not confirm the deletions: " + why;
    }
    m_context.ReportEnd(std::move(m_deletions), committed, end.error);
}

void Pop3Session::StopWithoutRecords() {
    if (m_deletions.empty() && !DeletePending()) {
        m_client.Disconnect();
    } else {
        // Nobody can record these deletions any more: closing without QUIT makes the server
        // keep the messages, so nothing is deleted without a trace.
        m_client.TIdTCPConnection::Disconnect();
    }
    throw SessionStopped{};
}

bool Pop3Session::DeletePending() const {
    for (const SentCommand& command : m_sent) {
        if (!command.fetch) {
            return true;
        }
    }
    return false;
}

} // namespace qm
