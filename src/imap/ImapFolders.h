#pragma once

// Which folders an IMAP account watches and where its spam goes, from the account's settings
// and the server's folder list.

#include "imap/IdIMAP4.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The folders of a setting separated by ";" or ",", trimmed, each once (INBOX in any letter case
// is one folder, written "INBOX"); none: INBOX alone.
std::vector<std::string> WatchedFolders(std::string_view setting);

// Where spam goes: the folder named in the settings when it exists (empty: none named), else the
// one the server marks \Junk (or \Trash), else the first that exists of "Junk", "Spam", "Junk
// Email" (or "Trash", "Deleted Items", "Deleted Messages"). nullopt: no such folder, the spam
// stays where it is.
std::optional<ImapFolder> SpamFolder(const std::vector<ImapFolder>& folders, bool trash, std::string_view named);

} // namespace qm
