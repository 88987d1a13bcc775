#pragma once

#include "settings/FilterList.h"

class QListWidget;
class QListWidgetItem;
class QString;

namespace qm {

// A check-list box (clbAntiSpam, clbSubjAntiSpam) shows one FilterList: one checkable item per
// entry, the check mark being the entry's transient mark. Items keep the entry's code page bytes,
// so an entry the code page cannot show exactly is saved back unchanged unless it was edited.

// Replaces the items with the list's entries and makes its current entry current.
void ShowFilterList(QListWidget* box, const FilterList& list);

// The entries as the box holds them now (text, mark, current entry); `enabled` is the caller's.
FilterList ReadFilterList(const QListWidget* box);

// Appends one unmarked entry.
QListWidgetItem* AddFilterEntry(QListWidget* box, const std::string& bytes);

// Replaces the entry's text; its mark stays.
void SetFilterEntry(QListWidgetItem* item, const std::string& bytes);

// The entry's text as code page bytes.
std::string FilterEntryText(const QListWidgetItem* item);

} // namespace qm
