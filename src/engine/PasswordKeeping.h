#pragma once

// Where an account row keeps its password, changed the safe way round: the keyring is written and
// read back before the file's cell is blanked, and an old entry goes only once the row that used
// it has been saved the new way and no other row still uses it.

#include "platform/SecretStore.h"
#include "settings/SettingsFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// How long the account commands wait for the keyring (an unlock prompt included).
inline constexpr int kKeyringCommandTimeoutMs = 60000;

// The row's password as it is kept: the file's cell unscrambled, or the keyring's entry.
SecretResult ReadKeptPassword(ISecretStore& store, const AccountRow& row, int timeoutMs, SecretCancel& cancel);

// Keeps `password` for `row` as `where` says. For the keyring: stores it under the row's key, reads
// it back, then blanks the file's cell and sets PasswordStore; for the file: the scrambled cell.
// Found when done; on anything else `row` is left as it was. An entry that an earlier form of the
// row used is left alone: see EntryLeftBehind.
SecretResult KeepPassword(ISecretStore& store, AccountRow& row, std::string_view password, PasswordStore where,
                          int timeoutMs, SecretCancel& cancel);

// The keyring entry `before` (a row as it was before an edit or a deletion) kept its password in,
// when none of `rows` (the list as it is now) keeps its password there any more.
std::optional<SecretKey> EntryLeftBehind(const AccountRow& before, const std::vector<AccountRow>& rows);

// How the commands name an account to the user: "<user>@<server>".
std::string AccountOfRow(const AccountRow& row);

struct KeyringMove {
    int moved = 0;
    std::vector<std::string> failed; // "<user>@<server>" of each row that stayed in the file
    SecretResult firstFailure;       // why the first of them stayed (no secret in it)
};

// Moves the password of every row that keeps it in the file into the keyring. Once the keyring
// did not answer in time, or `cancel` was cancelled, the rows left are not tried and count as failed.
KeyringMove MoveAllToKeyring(ISecretStore& store, std::vector<AccountRow>& rows, int timeoutMs, SecretCancel& cancel);

} // namespace qm
