#pragma once

#include <span>
#include <string_view>

namespace qm {

// What a caption entry sets on the control named by its object name.
enum class CaptionTarget {
    Action,     // QAction text; every menu item and button bound to it follows
    MenuItem,   // a submenu's title (QMenu objectName) or a plain menu action
    CheckBox,   // QCheckBox text
    Label,      // QLabel text
    ListColumn, // header text of column `column` of the list view
    Tab,        // tab text of the page with that object name
    AccessibleName, // the name a screen reader reads for the widget
};

// One caption the main window sets when the interface language changes: the control's
// objectName, the kind of caption, the list column (ListColumn only, otherwise -1) and the
// English text, which is the key passed to Translate(key, "EN", language).
struct CaptionEntry {
    const char* objectName;
    CaptionTarget target;
    int column;
    const char* englishText;
};

// The main window's re-captioned controls, in the order they are applied. Controls not listed
// (the window title, Language1, English1, Russian1, Italian1, tsAntiSpam, list column 5,
// aDisableAccount) keep their design-time English captions.
std::span<const CaptionEntry> MainWindowCaptions();

// The English caption of the first entry for objectName and target: the layout starts from it, so
// the text a control is built with and the one it is re-captioned from are one. Empty when none.
const char* MainWindowCaption(std::string_view objectName, CaptionTarget target);

// The three language menu items and the code each selects. A menu item is checked exactly when
// the current code equals its code (exact, case-sensitive, no trimming): "ru" or "DE" check none.
struct LanguageMenuEntry {
    const char* objectName;
    const char* code;
};
std::span<const LanguageMenuEntry> LanguageMenuItems();

// Whether the language menu item for `code` is checked for the current language (exact match).
bool IsLanguageMenuChecked(std::string_view currentLanguage, std::string_view code);

} // namespace qm
