#include "engine/SessionPassword.h"

#include "lang/LangRes.h"
#include "settings/AccountCells.h"
#include "settings/PasswordScrambler.h"

#include <mutex>
#include <utility>

namespace qm {

namespace {

std::mutex g_storeMutex;
std::shared_ptr<ISecretStore> g_store;

} // namespace

std::shared_ptr<ISecretStore> SessionSecretStore() {
    const std::lock_guard lock(g_storeMutex);
    if (!g_store) {
        g_store = DesktopSecretStore();
    }
    return g_store;
}

void SetSessionSecretStore(std::shared_ptr<ISecretStore> store) {
    const std::lock_guard lock(g_storeMutex);
    g_store = std::move(store);
}

const char* KeyringFailureText(SecretStatus status) {
    switch (status) {
    case SecretStatus::NoKeyring:
        return "The password is kept in the desktop keyring, which is not running.";
    case SecretStatus::Locked:
        return "The password is kept in the desktop keyring, which is locked.";
    case SecretStatus::NoEntry:
        return "The password is kept in the desktop keyring, which holds no entry for this account.";
    case SecretStatus::TimedOut:
        return "The desktop keyring did not answer in time.";
    case SecretStatus::Found:
    case SecretStatus::Aborted:
    case SecretStatus::Failed:
        break;
    }
    return nullptr;
}

std::string KeyringFailure(const SecretResult& result, const std::string& languageCode) {
    if (result.status == SecretStatus::Found) {
        return {};
    }
    if (result.status == SecretStatus::Aborted) {
        return "Aborted.";
    }
    if (const char* text = KeyringFailureText(result.status)) {
        return Translate(text, "EN", languageCode);
    }
    return Translate("The desktop keyring failed:", "EN", languageCode) + " " + result.detail;
}

// The one place an account's fields become the entry's attributes.
SecretKey SecretKeyOf(const AccountRow& row) {
    SecretKey key;
    key.server = row.Caption;
    key.port = CellInteger(row.Port).value_or(0);
    key.user = row.AccountName;
    key.protocol = ProtocolOfCell(row.Protocol) == AccountProtocol::Imap ? "imap" : "pop3";
    return key;
}

TSessionPassword::~TSessionPassword() {
    WipeSecret(m_password);
}

void TSessionPassword::Prepare(const AccountRow& row, std::string languageCode) {
    m_storeCell = row.PasswordStore;
    m_languageCode = std::move(languageCode);
    if (PasswordStoreOfCell(m_storeCell) == PasswordStore::File) {
        m_password = UnscramblePassword(row.AccountPassword);
    } else {
        m_key = SecretKeyOf(row);
    }
}

std::string TSessionPassword::Obtain(int timeoutMs) {
    const std::optional<PasswordStore> store = PasswordStoreOfCell(m_storeCell);
    if (!store) {
        // Never sign in with a password from another place than the one the account names.
        throw EKeyringError("Unknown password store " + m_storeCell + ".");
    }
    if (*store == PasswordStore::File) {
        return m_password;
    }
    SecretResult found = SessionSecretStore()->Lookup(m_key, timeoutMs, m_cancel);
    if (found.status == SecretStatus::Found) {
        return std::move(found.secret);
    }
    throw EKeyringError(KeyringFailure(found, m_languageCode));
}

} // namespace qm
