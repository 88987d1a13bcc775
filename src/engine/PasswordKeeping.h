#pragma once

// Where an account row keeps its password, changed the safe way round: the keyring is written and
// read back before the file's cell is blanked, and an old entry goes only once the new one holds.

#include "platform/SecretStore.h"
#include "settings/SettingsFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// How long the account commands wait for the keyring (an unlock prompt included).
inline constexpr int kKeyringCommandTimeoutMs = 60000;

// The row's password as it is kept: the file's cell unscrambled, or the keyring's entry.
SecretResult ReadKeptPassword(ISecretStore& store, const AccountRow& row, int timeoutMs);

// Keeps `password` for `row` as `where` says. For the keyring: stores it under the row's key, reads
// it back, then blanks the file's cell and sets PasswordStore; for the file: the scrambled cell.
// `previous`, when it kept its password in the keyring under another key (or now keeps it in the
// file), has its entry removed after the new place holds it. Found when done; on anything else
// `row` is left as it was.
SecretStatus KeepPassword(ISecretStore& store, AccountRow& row, std::string_view password, PasswordStore where,
                          const AccountRow* previous, int timeoutMs);

// Removes the keyring entry of a row that keeps its password there (nothing for a file row).
SecretStatus ForgetPassword(ISecretStore& store, const AccountRow& row, int timeoutMs);

struct KeyringMove {
    int moved = 0;
    std::vector<std::string> failed; // "<user>@<server>" of each row that stayed in the file
};

// Moves the password of every row that keeps it in the file into the keyring.
KeyringMove MoveAllToKeyring(ISecretStore& store, std::vector<AccountRow>& rows, int timeoutMs);

} // namespace qm
