#pragma once

#include "engine/CheckOptions.h"
#include "engine/SessionPassword.h"
#include "engine/TokenCommand.h"
#include "settings/SettingsFile.h"

#include <memory>
#include <mutex>
#include <string>

namespace qm {

class SessionLink;
class TIdTCPConnection;

// One session of one account during one check, on a thread of its own. The protocol's session
// reads the mailbox; everything it changes in the main window goes through the link's
// synchronised call, the results of many messages in one call. Whatever happens, the account
// gets a result or an error. The thread keeps the object alive until the session has ended.
class TConnThread : public std::enable_shared_from_this<TConnThread> {
public:
    // Main thread: copies the row and the snapshot, and unscrambles the password.
    static std::shared_ptr<TConnThread> Create(const qm::AccountRow& row, const CheckOptions& options,
                                               std::shared_ptr<SessionLink> link, int workerId, int accountRow,
                                               int fallbackReadTimeoutMs);

    // Starts the session on a new, detached thread. Throws std::system_error when no thread
    // can be started (nothing has happened then).
    void Start();

    // Runs the session on the calling thread, ending with the termination notification.
    void Execute();

    // Any thread: ends a blocked connect or read of the session at once; the session then
    // ends as after a lost connection.
    void Abort();

    int AccountRow() const { return m_accountRow; }
    int WorkerId() const { return m_workerId; }

private:
    TConnThread() = default;

    void Session();
    // A failure no step of the session handled: the account is marked failed with it.
    void ReportUnhandled(const std::string& error);
    void SetClient(TIdTCPConnection* client);

    qm::AccountRow m_row;
    CheckOptions m_options;
    TSessionPassword m_password; // read from the keyring at the start of the session, ended by Abort
    std::shared_ptr<SessionLink> m_link;
    int m_workerId = 0;
    int m_accountRow = -1;
    int m_fallbackReadTimeoutMs = 60000;

    TTokenCommand m_tokenCommand; // the OAuth2 token helper, ended by Abort

    std::mutex m_clientMutex;
    TIdTCPConnection* m_client = nullptr; // the session's client while it exists, for Abort
    bool m_abortRequested = false;
};

} // namespace qm
