#include "settings/SettingsFile.h"

#include "settings/AtomicFile.h"
#include "settings/IniFile.h"
#include "text/AsciiText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <span>
#include <system_error>

namespace qm {

namespace {

constexpr const char* kMain = "Main";

// The file holds the account passwords, in a form any copy of the program can turn back:
// a new file is readable by its owner only.
constexpr unsigned kSettingsFileMode = 0600;

std::string accountSection(std::size_t number) {
    return "Settings" + std::to_string(number);
}

} // namespace

std::int32_t IntervalMs(int minutes, std::int32_t minuteMs) {
    const std::int32_t minute = std::max<std::int32_t>(1, minuteMs);
    const int ceiling = std::min(kMaxIntervalMinutes, static_cast<int>(INT32_MAX / minute));
    return std::clamp(minutes, kMinIntervalMinutes, std::max(kMinIntervalMinutes, ceiling)) * minute;
}

std::vector<std::string> AccountRow::Cells() const {
    std::vector<std::string> cells;
    for (const AccountField& field : std::span(kAccountFields).subspan(1)) {
        cells.push_back(this->*field.cell);
    }
    return cells;
}

AccountRow AccountRow::FromCells(std::string caption, const std::vector<std::string>& cells) {
    AccountRow row;
    row.Caption = std::move(caption);
    const auto fields = std::span(kAccountFields).subspan(1);
    for (std::size_t i = 0; i < fields.size() && i < cells.size(); ++i) {
        row.*fields[i].cell = cells[i];
    }
    return row;
}

std::string BoolCellText(bool value) {
    return value ? "True" : "False";
}

std::string TokenCommandLengthError(std::string_view command) {
    if (command.size() <= kProfileValueMax) {
        return {};
    }
    return "The token command is " + std::to_string(command.size()) + " bytes long; a setting holds at most " +
           std::to_string(kProfileValueMax) + " bytes.";
}

AccountRow ToAccountRow(const Account& account) {
    return AccountRow{account.POP3,
                      account.AccountName,
                      account.AccountPassword,
                      std::to_string(account.Port),
                      std::to_string(account.TimeOut),
                      BoolCellText(account.Disabled),
                      std::to_string(account.Security),
                      account.Auth,
                      account.TokenCommand};
}

std::optional<Account> ToAccount(const AccountRow& row) {
    const auto port = CellInteger(row.Port);
    const auto timeOut = CellInteger(row.TimeOut);
    const auto disabled = CellBool(row.Disabled);
    const auto security = row.Security.empty() ? std::optional<int>(0) : CellInteger(row.Security);
    if (!port || !timeOut || !disabled || !security) {
        return std::nullopt;
    }
    Account account;
    account.POP3 = row.Caption;
    account.AccountName = row.AccountName;
    account.AccountPassword = row.AccountPassword;
    account.Port = *port;
    account.TimeOut = *timeOut;
    account.Disabled = *disabled;
    account.Security = *security;
    account.Auth = row.Auth;
    account.TokenCommand = row.TokenCommand;
    return account;
}

std::filesystem::path ProgramDirectory(const std::filesystem::path& executable) {
    return executable.parent_path();
}

std::filesystem::path SettingsPath(const std::filesystem::path& executable) {
    std::string name = executable.filename().string();
    if (name.size() >= 4 && AsciiUpper(name.substr(name.size() - 4)) == ".EXE") {
        name.resize(name.size() - 4);
    }
    return executable.parent_path() / (name + ".ini");
}

std::string DefaultSettingsText() {
    static const char* const lines[] = {"[Main]",
                                        "Interval=5",
                                        "Executing=0",
                                        "Language=EN",
                                        "FromAddress=",
                                        "Subject=",
                                        "UseFrom=0",
                                        "UseSubject=0",
                                        "Attach=0",
                                        "WriteToFile=0",
                                        "Overwrite=0",
                                        "FileName=messages.txt",
                                        "AntiSpamListEnabled=1",
                                        "AntiSpamSubjListEnabled=1",
                                        "CheckNewVersion=1"};
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    text += "\r\n";
    return text;
}

int CountAccountSectionsInText(std::string_view content) {
    int count = 0;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        const std::string_view line = TrimControls(content.substr(pos, end - pos));
        if (AsciiUpper(line.substr(0, 9)) == "[SETTINGS") {
            ++count;
        }
        pos = end + 1;
    }
    return count;
}

std::optional<int> CountAccountSections(const std::filesystem::path& path) {
    std::string content;
    if (!ReadWholeFile(path, content, kMaxSettingsBytes) && content.empty()) {
        return std::nullopt;
    }
    return CountAccountSectionsInText(content);
}

LoadResult LoadSettings(const std::filesystem::path& path) {
    LoadResult result;
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec)) && !std::filesystem::exists(path, ec)) {
        std::string error;
        if (WriteFileAtomically(path, DefaultSettingsText(), &error, kSettingsFileMode)) {
            result.status = LoadStatus::Created;
        } else {
            result.status = LoadStatus::CreateFailed;
            result.error = error;
        }
    }

    std::string content;
    const bool complete = ReadWholeFile(path, content, kMaxSettingsBytes);
    if (!complete && content.empty()) {
        if (result.status != LoadStatus::CreateFailed) {
            result.status = LoadStatus::ReadFailed;
            const auto size = std::filesystem::file_size(path, ec);
            result.error = !ec && size > kMaxSettingsBytes
                               ? path.string() + " is larger than " + std::to_string(kMaxSettingsBytes >> 20) +
                                     " MiB; it is left as it is and the defaults are used"
                               : "cannot read " + path.string();
        }
        return result;
    }
    // The file became readable after all (or only its tail was unreadable): load what is there.
    if (result.status == LoadStatus::CreateFailed) {
        result.status = LoadStatus::Loaded;
    }

    if (struct stat st{}; ::stat(path.c_str(), &st) != 0 || st.st_uid != ::geteuid()) {
        result.tokenCommandRefusal = "The token command is not run: the settings file belongs to another user.";
    }
    const IniFile ini = IniFile::Parse(content);
    const int count = CountAccountSectionsInText(content);
    const Account defaults;
    for (int i = 1; i <= count; ++i) {
        const std::string section = accountSection(static_cast<std::size_t>(i));
        Account account;
        account.POP3 = ini.ReadString(section, "POP3", defaults.POP3);
        account.Port = ini.ReadInteger(section, "Port", defaults.Port);
        account.AccountName = ini.ReadString(section, "AccountName", defaults.AccountName);
        account.AccountPassword = ini.ReadString(section, "AccountPassword", defaults.AccountPassword);
        account.TimeOut = ini.ReadInteger(section, "TimeOut", defaults.TimeOut);
        account.Disabled = ini.ReadBool(section, "Disabled", defaults.Disabled);
        AccountRow row = ToAccountRow(account);
        // A damaged value is kept as written: read as a number it would become 0, plain text.
        row.Security = SecurityCellText(ini.ReadString(section, "Security", row.Security));
        // Likewise a damaged sign-in method: as a number it would become USER/PASS.
        row.Auth = NumberCellText(ini.ReadString(section, "Auth", row.Auth));
        row.TokenCommand = ini.UncutValue(section, "TokenCommand").value_or(row.TokenCommand);
        // Kept as written: a damaged PasswordStore must never send the file's password instead,
        // a damaged Protocol or SpamAction never speak another protocol or act otherwise.
        for (const AccountField& field : kAccountFields) {
            if (field.onlyWhenSet) {
                row.*field.cell = ini.ReadString(section, field.key, row.*field.cell);
            }
        }
        result.data.accounts.push_back(std::move(row));
    }

    const MonitorSettings d;
    MonitorSettings& m = result.data.main;
    m.Interval = ini.ReadInteger(kMain, "Interval", d.Interval);
    m.Language = ini.ReadString(kMain, "language", d.Language);
    m.Minimized = ini.ReadBool(kMain, "Minimized", d.Minimized);
    m.Inform = ini.ReadBool(kMain, "Inform", d.Inform);
    m.Sound = ini.ReadBool(kMain, "Sound", d.Sound);
    m.FromAddress = ini.ReadString(kMain, "FromAddress", d.FromAddress);
    m.Subject = ini.ReadString(kMain, "Subject", d.Subject);
    m.Attach = ini.ReadBool(kMain, "Attach", d.Attach);
    m.UseFrom = ini.ReadBool(kMain, "UseFrom", d.UseFrom);
    m.UseSubject = ini.ReadBool(kMain, "UseSubject", d.UseSubject);
    m.WriteToFile = ini.ReadBool(kMain, "WriteToFile", d.WriteToFile);
    m.Overwrite = ini.ReadBool(kMain, "Overwrite", d.Overwrite);
    m.FileName = ini.ReadString(kMain, "FileName", d.FileName);
    m.MailClient = ini.ReadString(kMain, "MailClient", d.MailClient);
    m.CheckNewVersion = ini.ReadBool(kMain, "CheckNewVersion", d.CheckNewVersion);
    m.AntiSpamListEnabled = ini.ReadBool(kMain, "AntiSpamListEnabled", d.AntiSpamListEnabled);
    m.AntiSpamSubjListEnabled = ini.ReadBool(kMain, "AntiSpamSubjListEnabled", d.AntiSpamSubjListEnabled);
    m.Notify = ini.ReadBool(kMain, "Notify", d.Notify);
    m.NewOnly = ini.ReadBool(kMain, "NewOnly", d.NewOnly);
    m.Executing = ini.ReadBool(kMain, "Executing", d.Executing);
    return result;
}

bool SaveSettings(const std::filesystem::path& path, const SettingsData& data, std::string* error) {
    IniFile ini;
    const MonitorSettings& m = data.main;
    ini.WriteInteger(kMain, "Interval", m.Interval);
    ini.WriteString(kMain, "Language", m.Language);
    ini.WriteString(kMain, "MailClient", m.MailClient);
    ini.WriteBool(kMain, "Executing", m.Executing);
    ini.WriteBool(kMain, "Minimized", m.Minimized);
    ini.WriteBool(kMain, "Inform", m.Inform);
    ini.WriteBool(kMain, "Sound", m.Sound);
    ini.WriteString(kMain, "FromAddress", m.FromAddress);
    ini.WriteString(kMain, "Subject", m.Subject);
    ini.WriteBool(kMain, "Attach", m.Attach);
    ini.WriteBool(kMain, "UseFrom", m.UseFrom);
    ini.WriteBool(kMain, "UseSubject", m.UseSubject);
    ini.WriteBool(kMain, "WriteToFile", m.WriteToFile);
    ini.WriteBool(kMain, "Overwrite", m.Overwrite);
    ini.WriteString(kMain, "FileName", m.FileName);
    ini.WriteBool(kMain, "AntiSpamListEnabled", m.AntiSpamListEnabled);
    ini.WriteBool(kMain, "AntiSpamSubjListEnabled", m.AntiSpamSubjListEnabled);
    ini.WriteBool(kMain, "CheckNewVersion", m.CheckNewVersion);
    ini.WriteBool(kMain, "Notify", m.Notify);
    if (m.NewOnly) { // files without the key read as they always did
        ini.WriteBool(kMain, "NewOnly", m.NewOnly);
    }

    std::size_t number = 0;
    for (const AccountRow& row : data.accounts) {
        AccountRow numbers = row;
        numbers.Security.clear(); // written as held, see below
        const auto account = ToAccount(numbers);
        if (!account) {
            continue;
        }
        const std::string section = accountSection(++number);
        ini.WriteString(section, "POP3", account->POP3);
        ini.WriteString(section, "AccountName", account->AccountName);
        ini.WriteString(section, "AccountPassword", account->AccountPassword);
        ini.WriteInteger(section, "Port", account->Port);
        ini.WriteInteger(section, "TimeOut", account->TimeOut);
        ini.WriteBool(section, "Disabled", account->Disabled);
        ini.WriteString(section, "Security", SecurityCellText(row.Security));
        ini.WriteString(section, "Auth", NumberCellText(row.Auth));
        ini.WriteString(section, "TokenCommand", row.TokenCommand);
        // Only where they say something: files without the keys read as they always did.
        for (const AccountField& field : kAccountFields) {
            if (field.onlyWhenSet && !(row.*field.cell).empty()) {
                ini.WriteString(section, field.key, field.number ? NumberCellText(row.*field.cell) : row.*field.cell);
            }
        }
    }
    return WriteFileAtomically(path, ini.Serialize(), error, kSettingsFileMode);
}

std::vector<std::string> SplitValueList(std::string_view text) {
    std::string cleaned(TrimControls(text));
    std::replace(cleaned.begin(), cleaned.end(), '[', '(');
    std::replace(cleaned.begin(), cleaned.end(), ']', ')');
    std::vector<std::string> values;
    std::size_t pos = 0;
    while (pos <= cleaned.size()) {
        std::size_t end = cleaned.find_first_of(";,", pos);
        if (end == std::string::npos) {
            end = cleaned.size();
        }
        const std::string_view token = TrimControls(std::string_view(cleaned).substr(pos, end - pos));
        if (!token.empty()) {
            values.emplace_back(token);
        }
        pos = end + 1;
    }
    return values;
}

std::string JoinValueList(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += item;
        text += "; ";
    }
    return text;
}

} // namespace qm
