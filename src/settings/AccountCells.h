#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Connection security of an account (key `Security`).
enum class AccountSecurity : int {
    None = 0,         // plain POP3
    TlsOnConnect = 1, // POP3S: TLS from the first byte
    Stls = 2,         // STLS after the greeting
};

// Whether a stored `Security` value is one of AccountSecurity.
bool IsKnownSecurity(int value);

// Sign-in method of an account (key `Auth`).
enum class AccountAuth : int {
    UserPass = 0,    // USER and PASS
    Plain = 1,       // SASL PLAIN with the password
    XOAuth2 = 2,     // SASL XOAUTH2 with a token from the token command
    OAuthBearer = 3, // SASL OAUTHBEARER with a token from the token command
};

// Where an account keeps its password (key `PasswordStore`).
enum class PasswordStore : int {
    File = 0,    // the scrambled AccountPassword in the settings file
    Keyring = 1, // the desktop keyring; AccountPassword stays empty
};

// The protocol an account speaks (key `Protocol`).
enum class AccountProtocol : int {
    Pop3 = 0,
    Imap = 1,
};

// What an IMAP check does with spam (key `SpamAction`).
enum class ImapSpamAction : int {
    MoveToJunk = 0,
    MoveToTrash = 1,
    Delete = 2, // \Deleted, then UID EXPUNGE of those messages only
};

// The rules for the text cells of an account row, shared by the settings file, the account list,
// the dialog and the session, so a cell means the same thing wherever it is read.

// A number cell (port, time-out, security) read with the profile integer rules; nullopt when the
// whole text is not a number.
std::optional<int> CellInteger(std::string_view cell);

// The Disabled cell: "True"/"False" in any letter case, or an integer (non-zero is true);
// nullopt for anything else.
std::optional<bool> CellBool(std::string_view cell);
// Whether a row with this Disabled cell is left out of checks and drawn disabled: only a cell
// that reads as true. A damaged cell keeps the account checked, as it was before the damage.
bool IsDisabledCell(std::string_view cell);

// The connection security a Security cell asks for. An empty cell (a row from before the cell
// existed) is None; anything that is not a known number is nullopt, and the session refuses it
// rather than fall back to plain text.
std::optional<AccountSecurity> SecurityOfCell(std::string_view cell);
// The text the settings file holds for a Security cell: a number in decimal, an empty cell as 0,
// anything else exactly as written, so a damaged value is never turned into plain text.
std::string SecurityCellText(std::string_view cell);

// The sign-in method an Auth cell asks for: an empty cell is UserPass; anything that is not a
// known number is nullopt, and the session refuses it rather than sign in another way.
std::optional<AccountAuth> AuthOfCell(std::string_view cell);
// The text the settings file holds for a number cell whose damage must never turn into another
// value (Security, Auth): a number in decimal, an empty cell as 0, anything else as written.
std::string NumberCellText(std::string_view cell);

// Where a PasswordStore cell keeps the password: an empty cell is File; anything that is not a
// known number is nullopt, and the session refuses it rather than sign in with another password.
std::optional<PasswordStore> PasswordStoreOfCell(std::string_view cell);

// The Protocol and SpamAction cells: empty is the first value (POP3, move to the junk folder);
// anything that is not a known number is nullopt, and the session refuses the account.
std::optional<AccountProtocol> ProtocolOfCell(std::string_view cell);
std::optional<ImapSpamAction> SpamActionOfCell(std::string_view cell);

// Whether an account keeps a connection open for push (key `Idle`): IMAP accounts only, on when
// the cell is empty (the default) or 1; any other value leaves the account to interval checks.
bool IsPushCell(std::string_view idleCell, std::string_view protocolCell);

} // namespace qm
