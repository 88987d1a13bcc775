#include "engine/PasswordKeeping.h"

#include "engine/SessionPassword.h"
#include "settings/AccountCells.h"
#include "settings/PasswordScrambler.h"

namespace qm {

namespace {

bool InKeyring(const AccountRow& row) {
    return PasswordStoreOfCell(row.PasswordStore) == PasswordStore::Keyring;
}

} // namespace

SecretResult ReadKeptPassword(ISecretStore& store, const AccountRow& row, int timeoutMs) {
    if (!InKeyring(row)) {
        return SecretResult(SecretStatus::Found, UnscramblePassword(row.AccountPassword));
    }
    SecretCancel never;
    return store.Lookup(SecretKeyOf(row), timeoutMs, never);
}

SecretStatus KeepPassword(ISecretStore& store, AccountRow& row, std::string_view password, PasswordStore where,
                          const AccountRow* previous, int timeoutMs) {
    AccountRow kept = row;
    if (where == PasswordStore::Keyring) {
        const SecretKey key = SecretKeyOf(kept);
        const SecretStatus stored = store.Store(key, password, timeoutMs);
        if (stored != SecretStatus::Found) {
            return stored;
        }
        SecretCancel never;
        const SecretResult back = store.Lookup(key, timeoutMs, never);
        if (back.status != SecretStatus::Found || back.secret != password) {
            return back.status == SecretStatus::Found ? SecretStatus::Failed : back.status;
        }
        kept.AccountPassword.clear();
        kept.PasswordStore = std::to_string(static_cast<int>(PasswordStore::Keyring));
    } else {
        kept.AccountPassword = ScramblePassword(std::string(password));
        kept.PasswordStore.clear();
    }
    // The old entry goes only when it is not the one just written.
    if (previous != nullptr && InKeyring(*previous) &&
        (where != PasswordStore::Keyring || !(SecretKeyOf(*previous) == SecretKeyOf(kept)))) {
        store.Clear(SecretKeyOf(*previous), timeoutMs);
    }
    row = std::move(kept);
    return SecretStatus::Found;
}

SecretStatus ForgetPassword(ISecretStore& store, const AccountRow& row, int timeoutMs) {
    return InKeyring(row) ? store.Clear(SecretKeyOf(row), timeoutMs) : SecretStatus::Found;
}

KeyringMove MoveAllToKeyring(ISecretStore& store, std::vector<AccountRow>& rows, int timeoutMs) {
    KeyringMove result;
    for (AccountRow& row : rows) {
        if (PasswordStoreOfCell(row.PasswordStore) != PasswordStore::File) {
            continue; // in the keyring already, or a damaged cell left for the user to see
        }
        std::string password = UnscramblePassword(row.AccountPassword);
        if (KeepPassword(store, row, password, PasswordStore::Keyring, nullptr, timeoutMs) == SecretStatus::Found) {
            ++result.moved;
        } else {
            std::string name = row.AccountName;
            name.append(1, '@').append(row.Caption);
            result.failed.push_back(std::move(name));
        }
        WipeSecret(password);
    }
    return result;
}

} // namespace qm
