#include "lang/Captions.h"

#include <array>

namespace qm {

namespace {

using T = CaptionTarget;

constexpr std::array<CaptionEntry, 59> kMainWindowCaptions = {{
    {"aExit", T::Action, -1, "Close"},
    {"aCheckMail", T::Action, -1, "Start"},
    {"aRestart", T::Action, -1, "Restart"},
    {"aSelectmailClient", T::Action, -1, "Select Mail Client"},
    {"File1", T::MenuItem, -1, "File"},
    {"aShowMessagesList", T::Action, -1, "Show addresses of received messages"},
    {"aRunMailclient", T::Action, -1, "Run Mail Client"},
    {"aMinimize", T::Action, -1, "Minimize"},
    {"aAddAccount", T::Action, -1, "Add new account"},
    {"aEditAccount", T::Action, -1, "Edit account"},
    {"aDelAccount", T::Action, -1, "Delete account"},
    {"aCopyAccount", T::Action, -1, "Copy account"},
    {"aPasteAccount", T::Action, -1, "Paste account"},
    {"aSelectAllAccount", T::Action, -1, "Select all"},
    {"cbAutoLoad", T::CheckBox, -1, "start with the desktop session"},
    {"cbMinimized", T::CheckBox, -1, "start minimized"},
    {"cbNewOnly", T::CheckBox, -1, "news only until I have looked"},
    {"aRestore", T::Action, -1, "Restore"},
    {"cbSound", T::CheckBox, -1, "sound on"},
    {"cbExec", T::CheckBox, -1, "Executing"},
    {"lbInterval", T::Label, -1, "Interval (min):"},
    {"lbNow", T::Label, -1, "now:"},
    {"lbExecuted", T::Label, -1, "executed:"},
    {"lwServers", T::ListColumn, 0, "Mail Server (POP3)"},
    {"lwServers", T::ListColumn, 1, "Account Name"},
    {"lwServers", T::ListColumn, 2, "Password"},
    {"lwServers", T::ListColumn, 3, "Port"},
    {"lwServers", T::ListColumn, 4, "Timeout"},
    {"lwServers", T::ListColumn, 10, "Protocol"},
    {"tsConnect", T::Tab, -1, "settings"},
    {"tsOptions", T::Tab, -1, "notice conditions"},
    {"cbInform", T::CheckBox, -1, "INFORM ME IF"},
    {"cbFromAddress", T::CheckBox, -1, "the sender's address contains"},
    {"cbSubject", T::CheckBox, -1, "the subject field contains"},
    {"cbAttach", T::CheckBox, -1, "the message has attachments"},
    {"cbWriteToFile", T::CheckBox, -1, "save message in file"},
    {"cbOverwrite", T::CheckBox, -1, "overwrite always"},
    {"lbASL", T::Label, -1, "ANTISPAM LIST"},
    {"cbAntiSpamEnabled", T::CheckBox, -1, "(messages from these addresses will be deleted from mail server)"},
    {"cbAntiSpamSubjEnabled", T::CheckBox, -1, "(messages with these subjects will be deleted from mail server)"},
    {"aAddAddress", T::Action, -1, "New"},
    {"aAddSubject", T::Action, -1, "New"},
    {"aEditAddress", T::Action, -1, "Edit"},
    {"aEditSubject", T::Action, -1, "Edit"},
    {"aCheckAll", T::Action, -1, "Select all"},
    {"aCheckAllSubj", T::Action, -1, "Select all"},
    {"aUncheckAll", T::Action, -1, "Unselect all"},
    {"aUncheckAllSubj", T::Action, -1, "Unselect all"},
    {"aDelChecked", T::Action, -1, "Delete"},
    {"aDelCheckedSubj", T::Action, -1, "Delete"},
    {"Help1", T::MenuItem, -1, "Help"},
    {"About1", T::MenuItem, -1, "About the program"},
    {"cbCheckNewVersion", T::CheckBox, -1, "check for new version on the site"},
    {"cbNotify", T::CheckBox, -1, "show a notification"},
    {"lwServers", T::AccessibleName, -1, "Accounts"},
    {"clbAntiSpam", T::AccessibleName, -1, "Anti-spam sender list"},
    {"clbSubjAntiSpam", T::AccessibleName, -1, "Anti-spam subject list"},
    {"StatusBar1Panel0", T::AccessibleName, -1, "Status"},
    {"aMarkAllRead", T::Action, -1, "Mark all as read"},
}};

constexpr std::array<LanguageMenuEntry, 3> kLanguageMenuItems = {{
    {"English1", "EN"},
    {"Russian1", "RU"},
    {"Italian1", "IT"},
}};

} // namespace

std::span<const CaptionEntry> MainWindowCaptions() {
    return kMainWindowCaptions;
}

const char* MainWindowCaption(std::string_view objectName, CaptionTarget target) {
    for (const CaptionEntry& entry : kMainWindowCaptions) {
        if (entry.target == target && objectName == entry.objectName)
            return entry.englishText;
    }
    return "";
}

std::span<const LanguageMenuEntry> LanguageMenuItems() {
    return kLanguageMenuItems;
}

bool IsLanguageMenuChecked(std::string_view currentLanguage, std::string_view code) {
    return currentLanguage == code;
}

} // namespace qm
