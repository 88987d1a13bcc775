#include "engine/CheckOptions.h"

#include "settings/FilterList.h"
#include "settings/SettingsFile.h"

#include <algorithm>
#include <utility>

namespace qm {

CheckOptions MakeCheckOptions(const MonitorSettings& settings, const FilterList& senderList,
                              const FilterList& subjectList, std::vector<std::string> fromItems,
                              std::vector<std::string> subjectItems, int codePage) {
    CheckOptions options;
    options.languageCode = settings.Language;
    options.codePage = codePage;
    options.inform = settings.Inform;
    options.writeToFile = settings.WriteToFile;
    options.senderFilter = senderList.Values();
    options.senderFilterEnabled = senderList.enabled;
    options.subjectFilter = subjectList.Values();
    options.subjectFilterEnabled = subjectList.enabled;
    options.useFrom = settings.UseFrom;
    options.fromMasks = std::move(fromItems);
    options.useSubject = settings.UseSubject;
    options.subjectMasks = std::move(subjectItems);
    options.attach = settings.Attach;
    return options;
}

std::vector<std::string> SortedValueItems(const std::string& valueList) {
    std::vector<std::string> items = SplitValueList(valueList);
    const auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; };
    std::stable_sort(items.begin(), items.end(), [&](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
            return lower(static_cast<unsigned char>(x)) < lower(static_cast<unsigned char>(y));
        });
    });
    return items;
}

} // namespace qm
