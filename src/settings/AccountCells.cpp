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

namespace {

// The value of a cell that holds one of the numbers 0..last: empty is 0 (a row from before the
// cell existed); anything else is nullopt, and the caller refuses it rather than guess.
template <typename Choice>
std::optional<Choice> ChoiceOfCell(std::string_view cell, Choice last) {
    if (cell.empty()) {
        return Choice{};
    }
    const auto value = CellInteger(cell);
    if (!value || *value < 0 || *value > static_cast<int>(last)) {
        return std::nullopt;
    }
    return static_cast<Choice>(*value);
}

} // namespace

std::optional<AccountSecurity> SecurityOfCell(std::string_view cell) {
    return ChoiceOfCell(cell, AccountSecurity::Stls);
}

std::string SecurityCellText(std::string_view cell) {
    return NumberCellText(cell);
}

std::optional<AccountAuth> AuthOfCell(std::string_view cell) {
    return ChoiceOfCell(cell, AccountAuth::OAuthBearer);
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
    return ChoiceOfCell(cell, PasswordStore::Keyring);
}

std::optional<AccountProtocol> ProtocolOfCell(std::string_view cell) {
    return ChoiceOfCell(cell, AccountProtocol::Imap);
}

std::optional<ImapSpamAction> SpamActionOfCell(std::string_view cell) {
    return ChoiceOfCell(cell, ImapSpamAction::Delete);
}

bool IsPushCell(std::string_view idleCell, std::string_view protocolCell) {
    if (ProtocolOfCell(protocolCell) != AccountProtocol::Imap) {
        return false;
    }
    return idleCell.empty() || CellInteger(idleCell) == 1;
}

} // namespace qm
