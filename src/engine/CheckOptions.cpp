#include "engine/CheckOptions.h"

#include "settings/FilterList.h"
#include "settings/SettingsFile.h"
#include "text/AsciiText.h"

#include <algorithm>

namespace qm {

CheckOptions MakeCheckOptions(const MonitorSettings& settings, const FilterList& senderList,
                              const FilterList& subjectList, int codePage) {
    CheckOptions options;
    options.languageCode = settings.Language;
    options.codePage = codePage;
    options.inform = settings.Inform;
    options.writeToFile = settings.WriteToFile;
    options.intervalMs = IntervalMs(settings.Interval);
    options.senderFilter = senderList.Values();
    options.senderFilterEnabled = senderList.enabled;
    options.subjectFilter = subjectList.Values();
    options.subjectFilterEnabled = subjectList.enabled;
    options.useFrom = settings.UseFrom;
    options.fromMasks = SortedValueItems(settings.FromAddress);
    options.useSubject = settings.UseSubject;
    options.subjectMasks = SortedValueItems(settings.Subject);
    options.attach = settings.Attach;
    options.newOnly = settings.NewOnly;
    return options;
}

std::vector<std::string> SortedValueItems(const std::string& valueList) {
    std::vector<std::string> items = SplitValueList(valueList);
    std::stable_sort(items.begin(), items.end(),
                     [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; });
    return items;
}

} // namespace qm
