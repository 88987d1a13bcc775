#pragma once

#include "settings/AccountCells.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The check interval's bounds in minutes: the interval box raises smaller values to the floor,
// and the ceiling keeps minutes x 60000 within 32 bits whatever the file says.
inline constexpr int kMinIntervalMinutes = 2;
inline constexpr int kMaxIntervalMinutes = 35791;
// The check timer's period for an interval in minutes, within the bounds above; minuteMs is one
// minute (tests shorten it).
std::int32_t IntervalMs(int minutes, std::int32_t minuteMs = 60000);

// The options of section Main, with the values a missing key takes.
struct MonitorSettings {
    int Interval = 5; // minutes; CheckIntervalMs = Interval * 60000
    std::string Language = "EN";
    std::string MailClient;
    bool Executing = false;
    bool Minimized = false;
    bool Inform = false;
    bool Sound = false;
    std::string FromAddress; // value list string, as stored (see SplitValueList)
    std::string Subject;     // value list string, as stored
    bool Attach = false;
    bool UseFrom = false;
    bool UseSubject = false;
    bool WriteToFile = false;
    bool Overwrite = false;
    std::string FileName = "messages.txt";
    bool AntiSpamListEnabled = true;
    bool AntiSpamSubjListEnabled = true;
    bool CheckNewVersion = true;
    bool Notify = false; // a desktop notification for a check with news
    bool NewOnly = false; // a message is news only until the user has looked

    bool operator==(const MonitorSettings&) const = default;
};

// One POP3 mailbox (section "Settings<n>"), with the values a missing key takes.
struct Account {
    std::string POP3 = "127.0.0.1";
    std::string AccountName;
    std::string AccountPassword; // scrambled text (ScramblePassword), never the plain password
    int Port = 110;
    int TimeOut = 60; // seconds
    bool Disabled = false;
    int Security = static_cast<int>(AccountSecurity::None); // see IsKnownSecurity
    // Sign-in method as written: 0 USER/PASS (also when empty), 1 SASL PLAIN, 2 XOAUTH2,
    // 3 OAUTHBEARER. Any other text is kept and saved back as it is; a session refuses it
    // rather than signing in another way.
    std::string Auth = "0";
    // The command line that prints an OAuth2 access token (code page bytes).
    std::string TokenCommand{};

    bool operator==(const Account&) const = default;
};

// An account as the account list holds it: the caption and the text cells, in column order.
struct AccountRow {
    std::string Caption;         // POP3
    std::string AccountName;     // cell 1
    std::string AccountPassword; // cell 2, hidden: the scrambled text
    std::string Port;            // cell 3, decimal
    std::string TimeOut;         // cell 4, decimal
    std::string Disabled;        // cell 5, hidden: "True" or "False"
    std::string Security;        // cell 6, hidden: decimal, or a damaged value kept as read
    std::string Auth = "0";      // cell 7, hidden: as Account::Auth
    std::string TokenCommand{};  // cell 8, hidden
    std::string PasswordStore{}; // cell 9, hidden: empty or "0" the file, "1" the keyring
    std::string Protocol{};      // cell 10: empty or "0" POP3, "1" IMAP
    std::string Folders{};       // cell 11, hidden: IMAP folders to watch; empty: INBOX
    std::string SpamAction{};    // cell 12, hidden: IMAP, see ImapSpamAction
    std::string JunkFolder{};    // cell 13, hidden: empty: the server's junk folder
    std::string TrashFolder{};   // cell 14, hidden: empty: the server's trash folder
    std::string Idle{};          // cell 15, hidden: IMAP push, see IsPushCell

    // The cells after the caption, in column order.
    std::vector<std::string> Cells() const;
    // A row from a caption and cells in column order; missing cells are empty, but for Auth,
    // which is "0".
    static AccountRow FromCells(std::string caption, const std::vector<std::string>& cells);

    bool operator==(const AccountRow&) const = default;
};

// The account's cells in column order, the caption first: the list's columns, the cells a row
// carries, and the settings file's keys all follow this one table.
struct AccountField {
    const char* key; // in the settings file's account section
    std::string AccountRow::*cell;
    bool shown; // a visible column of the account list
    // Written only when not empty, so a file without the key reads as it always did.
    bool onlyWhenSet;
    bool number; // written as NumberCellText: a damaged value is kept, never read as another
};
inline constexpr AccountField kAccountFields[] = {
    {"POP3", &AccountRow::Caption, true, false, false},
    {"AccountName", &AccountRow::AccountName, true, false, false},
    {"AccountPassword", &AccountRow::AccountPassword, false, false, false},
    {"Port", &AccountRow::Port, true, false, false},
    {"TimeOut", &AccountRow::TimeOut, true, false, false},
    {"Disabled", &AccountRow::Disabled, false, false, false},
    {"Security", &AccountRow::Security, false, false, false},
    {"Auth", &AccountRow::Auth, false, false, false},
    {"TokenCommand", &AccountRow::TokenCommand, false, false, false},
    {"PasswordStore", &AccountRow::PasswordStore, false, true, true},
    {"Protocol", &AccountRow::Protocol, true, true, true},
    {"Folders", &AccountRow::Folders, false, true, false},
    {"SpamAction", &AccountRow::SpamAction, false, true, true},
    {"JunkFolder", &AccountRow::JunkFolder, false, true, false},
    {"TrashFolder", &AccountRow::TrashFolder, false, true, false},
    {"Idle", &AccountRow::Idle, false, true, true},
};
inline constexpr int kAccountFieldCount = static_cast<int>(std::size(kAccountFields));

// Why a token command cannot be kept and run as typed: longer than a settings value may be, it
// would be cut. Empty when it can.
std::string TokenCommandLengthError(std::string_view command);

AccountRow ToAccountRow(const Account& account);
// Converts the cells back; nullopt when Port or TimeOut is no integer (CellInteger), Disabled is
// no boolean (CellBool), or Security is neither empty (taken as 0, a row from before the cell
// existed) nor an integer.
std::optional<Account> ToAccount(const AccountRow& row);

// "True" / "False", as the Disabled cell holds it.
std::string BoolCellText(bool value);

// Everything the settings file holds: the options and the account rows in list order.
struct SettingsData {
    MonitorSettings main;
    std::vector<AccountRow> accounts;
};

// The folder of the executable: data files lie there.
std::filesystem::path ProgramDirectory(const std::filesystem::path& executable);
// The settings file of an executable: its file name without a trailing ".exe" (any case),
// plus ".ini", in the executable's folder.
std::filesystem::path SettingsPath(const std::filesystem::path& executable);

// The content of a newly created settings file, CR LF line ends.
std::string DefaultSettingsText();

// Number of lines that, trimmed of bytes 0 to 32 and upper-cased, begin with "[SETTINGS".
int CountAccountSectionsInText(std::string_view content);
// The same over a file; nullopt when it cannot be opened.
std::optional<int> CountAccountSections(const std::filesystem::path& path);

// A settings file is a few kilobytes; a larger one is refused so it cannot exhaust memory (every
// counted account section costs a row, even an absent one).
inline constexpr std::size_t kMaxSettingsBytes = 4u << 20;

enum class LoadStatus {
    Loaded,       // read from the existing file
    Created,      // the file was missing, was created with the defaults and read back
    CreateFailed, // missing and could not be created: `data` holds the fallback values; no accounts
    ReadFailed,   // the file could not be read: `data` holds defaults, nothing was loaded from it
};

struct LoadResult {
    LoadStatus status = LoadStatus::Loaded;
    // For CreateFailed and ReadFailed the load ended with an error: the caller applies only the
    // fallback values (interval 5, timer stopped, Executing off, value lists empty, Attach, UseFrom,
    // UseSubject off, language "EN", CheckNewVersion and both list switches on) and reports `error`.
    std::string error;
    SettingsData data;
    // Why the file's token commands must not run: a file another user owns could make this one
    // run any program. Empty when the file is the user's own.
    std::string tokenCommandRefusal;
};

// Reads the settings file, creating it with DefaultSettingsText() when it is missing. A file
// larger than kMaxSettingsBytes is not read at all (ReadFailed): loading a part of it and saving
// that would lose the accounts past the cut. A Security value that is not a number is kept in its
// row as written; a token command is read whole, so a check can refuse one that is too long
// rather than run a part of it.
// The caller moves the values into place in this order: the account rows; Interval
// (CheckIntervalMs), Language, the option switches, FileName, MailClient; the interval spin edit;
// SplitValueList of FromAddress and Subject; the autostart switch; the check timer period; and
// Executing last, because switching it on starts a check.
LoadResult LoadSettings(const std::filesystem::path& path);

// Writes section Main and one section per account row, replacing the whole file through a
// temporary file, so a failed save leaves the previous file as it was. Sections are numbered
// Settings1, Settings2, ... over the rows written; a row whose Port, TimeOut or Disabled cell
// does not convert (ToAccount) is left out without leaving a hole in the numbering. The Security
// cell is written as SecurityCellText gives it. Returns false on failure.
bool SaveSettings(const std::filesystem::path& path, const SettingsData& data, std::string* error = nullptr);

// The values of a value list string: trimmed, "[" and "]" turned into "(" and ")", split at ";"
// and ",", each value trimmed, empty values dropped, duplicates and file order kept (the combo
// box sorts). Spaces inside a value are kept.
std::vector<std::string> SplitValueList(std::string_view text);
// Every item followed by "; ", in the given order; no items give the empty string.
std::string JoinValueList(const std::vector<std::string>& items);

} // namespace qm
