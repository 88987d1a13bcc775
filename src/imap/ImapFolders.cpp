#include "imap/ImapFolders.h"

#include "text/AsciiText.h"

#include <algorithm>

namespace qm {

std::vector<std::string> WatchedFolders(std::string_view setting) {
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= setting.size()) {
        std::size_t end = setting.find_first_of(";,", start);
        if (end == std::string_view::npos) {
            end = setting.size();
        }
        std::string name(TrimControls(setting.substr(start, end - start)));
        if (EqualNoCase(name, "INBOX")) {
            name = "INBOX"; // the one name the server reads without regard to case
        }
        if (!name.empty() && std::find(folders.begin(), folders.end(), name) == folders.end()) {
            folders.push_back(std::move(name));
        }
        start = end + 1;
    }
    if (folders.empty()) {
        folders.emplace_back("INBOX");
    }
    return folders;
}

std::optional<ImapFolder> SpamFolder(const std::vector<ImapFolder>& folders, bool trash, std::string_view named) {
    const std::string name(TrimControls(named));
    if (!name.empty()) {
        for (const ImapFolder& folder : folders) {
            if (folder.displayName == name && !folder.HasFlag("\\Noselect") && !folder.HasFlag("\\NonExistent")) {
                return folder;
            }
        }
        return std::nullopt; // a folder the user named is never swapped for another
    }
    return trash ? TIdIMAP4::FindFolder(folders, "\\Trash", {"Trash", "Deleted Items", "Deleted Messages"})
                 : TIdIMAP4::FindFolder(folders, "\\Junk", {"Junk", "Spam", "Junk Email"});
}

} // namespace qm
