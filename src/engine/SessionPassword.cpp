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

SecretKey SecretKeyOf(const AccountRow& row) {
    SecretKey key;
    key.server = row.Caption;
    key.port = CellInteger(row.Port).value_or(0);
    key.user = row.AccountName;
    key.protocol = "pop3";
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

std::string TSessionPassword::Say(const char* english) const {
    return Translate(english, "EN", m_languageCode);
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
    if (found.status == SecretStatus::Aborted) {
        throw EKeyringError("Aborted.");
    }
    if (const char* text = KeyringFailureText(found.status)) {
        throw EKeyringError(Say(text));
    }
    throw EKeyringError("The desktop keyring failed: " + found.detail);
}

} // namespace qm
