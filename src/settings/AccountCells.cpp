#include "settings/AccountCells.h"

#include "settings/IniFile.h"
#include "text/AsciiText.h"

namespace qm {

bool IsKnownSecurity(int value) {
    return value >= static_cast<int>(AccountSecurity::None) && value <= static_cast<int>(AccountSecurity::Stls);
}

std::optional<int> CellInteger(std::string_view cell) {
    // ParseProfileInteger folds a non-number into its default: two defaults tell them apart.
    const int a = ParseProfileInteger(cell, 0);
    const int b = ParseProfileInteger(cell, 1);
    if (a != b) {
        return std::nullopt;
    }
    return a;
}

std::optional<bool> CellBool(std::string_view cell) {
    if (EqualNoCase(cell, "TRUE") || EqualNoCase(cell, "YES")) {
        return true;
    }
    if (EqualNoCase(cell, "FALSE") || EqualNoCase(cell, "NO")) {
        return false;
    }
    if (const auto number = CellInteger(cell)) {
        return *number != 0;
    }
    return std::nullopt;
}

bool IsDisabledCell(std::string_view cell) {
    return CellBool(cell).value_or(false);
}

std::optional<AccountSecurity> SecurityOfCell(std::string_view cell) {
    if (cell.empty()) {
        return AccountSecurity::None;
    }
    const auto value = CellInteger(cell);
    if (!value || !IsKnownSecurity(*value)) {
        return std::nullopt;
    }
    return static_cast<AccountSecurity>(*value);
}

std::string SecurityCellText(std::string_view cell) {
    return NumberCellText(cell);
}

std::optional<AccountAuth> AuthOfCell(std::string_view cell) {
    if (cell.empty()) {
        return AccountAuth::UserPass;
    }
    const auto value = CellInteger(cell);
    if (!value || *value < static_cast<int>(AccountAuth::UserPass) ||
        *value > static_cast<int>(AccountAuth::OAuthBearer)) {
        return std::nullopt;
    }
    return static_cast<AccountAuth>(*value);
}

std::string NumberCellText(std::string_view cell) {
    if (cell.empty()) {
        return "0";
    }
    if (const auto value = CellInteger(cell)) {
        return std::to_string(*value);
    }
    return std::string(cell);
}

std::optional<PasswordStore> PasswordStoreOfCell(std::string_view cell) {
    if (cell.empty()) {
        return PasswordStore::File;
    }
    const auto value = CellInteger(cell);
    if (!value || (*value != static_cast<int>(PasswordStore::File) && *value != static_cast<int>(PasswordStore::Keyring))) {
        return std::nullopt;
    }
    return static_cast<PasswordStore>(*value);
}

} // namespace qm
