#include "engine/PasswordKeeping.h"

#include "engine/SessionPassword.h"
#include "settings/AccountCells.h"
#include "settings/PasswordScrambler.h"

#include <algorithm>

namespace qm {

namespace {

bool InKeyring(const AccountRow& row) {
    return PasswordStoreOfCell(row.PasswordStore) == PasswordStore::Keyring;
}

bool UsesEntry(const AccountRow& row, const SecretKey& key) {
    return InKeyring(row) && SecretKeyOf(row) == key;
}

} // namespace

SecretResult ReadKeptPassword(ISecretStore& store, const AccountRow& row, int timeoutMs, SecretCancel& cancel) {
    if (!InKeyring(row)) {
        return SecretResult(SecretStatus::Found, UnscramblePassword(row.AccountPassword));
    }
    return store.Lookup(SecretKeyOf(row), timeoutMs, cancel);
}

SecretResult KeepPassword(ISecretStore& store, AccountRow& row, std::string_view password, PasswordStore where,
                          int timeoutMs, SecretCancel& cancel) {
    AccountRow kept = row;
    if (where == PasswordStore::Keyring) {
        const SecretKey key = SecretKeyOf(kept);
        SecretResult stored = store.Store(key, password, timeoutMs);
        if (stored.status != SecretStatus::Found) {
            return stored;
        }
        SecretResult back = store.Lookup(key, timeoutMs, cancel);
        if (back.status != SecretStatus::Found) {
            return back;
        }
        if (back.secret != password) {
            return SecretResult(SecretStatus::Failed, {}, "the keyring gave back another password");
        }
        kept.AccountPassword.clear();
        kept.PasswordStore = std::to_string(static_cast<int>(PasswordStore::Keyring));
    } else {
        kept.AccountPassword = ScramblePassword(std::string(password));
        kept.PasswordStore.clear();
    }
    row = std::move(kept);
    return SecretResult(SecretStatus::Found);
}

std::optional<SecretKey> EntryLeftBehind(const AccountRow& before, const std::vector<AccountRow>& rows) {
    if (!InKeyring(before)) {
        return std::nullopt;
    }
    SecretKey key = SecretKeyOf(before);
    // A pasted copy of an account shares its entry: it stays while any row signs in with it.
    if (std::any_of(rows.begin(), rows.end(), [&key](const AccountRow& row) { return UsesEntry(row, key); })) {
        return std::nullopt;
    }
    return key;
}

std::string AccountOfRow(const AccountRow& row) {
    return row.AccountName + "@" + row.Caption;
}

KeyringMove MoveAllToKeyring(ISecretStore& store, std::vector<AccountRow>& rows, int timeoutMs, SecretCancel& cancel) {
    KeyringMove result;
    bool giveUp = false;
    for (AccountRow& row : rows) {
        if (PasswordStoreOfCell(row.PasswordStore) != PasswordStore::File) {
            continue; // in the keyring already, or a damaged cell left for the user to see
        }
        SecretResult kept(cancel.Cancelled() ? SecretStatus::Aborted : SecretStatus::TimedOut);
        if (!giveUp && !cancel.Cancelled()) {
            std::string password = UnscramblePassword(row.AccountPassword);
            kept = KeepPassword(store, row, password, PasswordStore::Keyring, timeoutMs, cancel);
            WipeSecret(password);
        }
        if (kept.status == SecretStatus::Found) {
            ++result.moved;
            continue;
        }
        // A keyring that did not answer once would keep every further row waiting as long.
        giveUp = giveUp || kept.status == SecretStatus::TimedOut || kept.status == SecretStatus::Aborted;
        if (result.failed.empty()) {
            result.firstFailure = std::move(kept);
        }
        result.failed.push_back(AccountOfRow(row));
    }
    return result;
}

} // namespace qm
