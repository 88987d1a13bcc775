#pragma once

#include "engine/Mask.h"

#include <memory>
#include <string>
#include <vector>

namespace qm {

struct MonitorSettings;
struct FilterList;
struct MailState;

// What one session reads from the main window, copied on the main thread when its worker is
// created and read-only afterwards, so the worker never touches main-window state.
struct CheckOptions {
    std::string languageCode = "EN"; // interface language of the status texts
    int codePage = 1252;             // ANSI code page: subject decoding and mask characters

    bool inform = false;      // "INFORM ME IF": fetch whole messages and apply the conditions
    bool writeToFile = false; // "save message in file"
    bool dryRun = false;      // find the spam but delete nothing
    // The check interval: how long an account waits after its server asked for a delay between
    // logins without saying how long.
    int intervalMs = 5 * 60000;
    // Why no token command may run in this check (see LoadResult); empty when they may.
    std::string tokenCommandRefusal;

    // Anti-spam lists: every entry of an enabled list is a mask; check marks play no part.
    // The lists compile their masks on first use, so a session compiles each mask once.
    MaskList senderFilter;
    bool senderFilterEnabled = true;
    MaskList subjectFilter;
    bool subjectFilterEnabled = true;

    // Notice conditions with their mask lists, in the order the drop-down lists hold them.
    bool useFrom = false;
    MaskList fromMasks;
    bool useSubject = false;
    MaskList subjectMasks;
    bool attach = false;

    // A message is news only until the user has looked (NewOnly).
    bool newOnly = false;
    // What earlier checks remembered, read when this check began; null: nothing is kept, and
    // every message is read from the server.
    std::shared_ptr<const MailState> mailState;
};

// The snapshot a check takes from the options and lists, the one both programs use, so a settings
// file is evaluated the same way by the monitor and the console check. The notice-condition masks
// are the value lists in SortedValueItems order: with an invalid mask among them, the order
// decides which entries are reached.
CheckOptions MakeCheckOptions(const MonitorSettings& settings, const FilterList& senderList,
                              const FilterList& subjectList, int codePage);

// The items a sorted drop-down list shows for a stored value list: the split values in the
// order of a case-insensitive (ASCII) comparison, duplicates kept.
std::vector<std::string> SortedValueItems(const std::string& valueList);

} // namespace qm
