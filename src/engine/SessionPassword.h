#pragma once

// The password a session signs in with: the file's scrambled cell, unscrambled when the session
// is set up, or the desktop keyring's entry, read on the session's own thread when it starts.

#include "platform/SecretStore.h"
#include "pop3/IdExceptions.h"
#include "settings/SettingsFile.h"

#include <memory>
#include <string>

namespace qm {

// The keyring could not give the account's password; the text says why, in the interface language.
class EKeyringError : public EIdException {
public:
    using EIdException::EIdException;
};

// The store sessions read keyring passwords from; the desktop's Secret Service unless replaced.
std::shared_ptr<ISecretStore> SessionSecretStore();
void SetSessionSecretStore(std::shared_ptr<ISecretStore> store);

// The English text (a key of the language table) of a keyring that could not do what was asked;
// nullptr for Found, Aborted and Failed.
const char* KeyringFailureText(SecretStatus status);
// What went wrong with a keyring call, in the language `languageCode`; the keyring's own message
// follows when it failed otherwise. Empty for Found.
std::string KeyringFailure(const SecretResult& result, const std::string& languageCode);

// The keyring entry of an account row (its server, port, name and protocol).
SecretKey SecretKeyOf(const AccountRow& row);

class TSessionPassword {
public:
    TSessionPassword() = default;
    TSessionPassword(const TSessionPassword&) = delete;
    TSessionPassword& operator=(const TSessionPassword&) = delete;
    ~TSessionPassword();

    // Main thread: takes what the row says; the keyring is not asked yet.
    void Prepare(const AccountRow& row, std::string languageCode);
    // Session thread, before anything is sent: the password, from the keyring bounded by
    // timeoutMs and Abort. Throws EKeyringError; never falls back to the file's cell.
    std::string Obtain(int timeoutMs);
    // Any thread: ends a running or a future keyring read.
    void Abort() { m_cancel.Cancel(); }

private:
    std::string m_password; // the file's password, unscrambled
    std::string m_storeCell;
    SecretKey m_key;
    std::string m_languageCode = "EN";
    SecretCancel m_cancel;
};

} // namespace qm
