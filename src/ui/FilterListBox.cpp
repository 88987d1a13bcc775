#include "ui/FilterListBox.h"

#include "ui/CodePageText.h"

#include <QByteArray>
#include <QListWidget>

namespace qm {

namespace {

constexpr int kBytesRole = Qt::UserRole + 1;

std::string itemBytes(const QListWidgetItem* item) {
    const QByteArray raw = item->data(kBytesRole).toByteArray();
    std::string bytes(raw.constData(), static_cast<size_t>(raw.size()));
    // Text changed since it was loaded: the shown text is what the user wants.
    if (!item->data(kBytesRole).isValid() || fromCodePage(bytes) != item->text()) {
        return toCodePage(item->text());
    }
    return bytes;
}

} // namespace

void SetFilterEntry(QListWidgetItem* item, const std::string& bytes) {
    item->setText(fromCodePage(bytes));
    item->setData(kBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string FilterEntryText(const QListWidgetItem* item) {
    return itemBytes(item);
}

QListWidgetItem* AddFilterEntry(QListWidget* box, const std::string& bytes) {
    auto* item = new QListWidgetItem(box);
    SetFilterEntry(item, bytes);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    return item;
}

void ShowFilterList(QListWidget* box, const FilterList& list) {
    box->clear();
    for (const FilterEntry& entry : list.entries) {
        QListWidgetItem* item = AddFilterEntry(box, entry.text);
        item->setCheckState(entry.checked ? Qt::Checked : Qt::Unchecked);
    }
    const int count = box->count();
    box->setCurrentRow(list.current >= 0 && list.current < count ? list.current : -1);
}

FilterList ReadFilterList(const QListWidget* box) {
    FilterList list;
    for (int i = 0; i < box->count(); ++i) {
        const QListWidgetItem* item = box->item(i);
        list.entries.push_back(FilterEntry{itemBytes(item), item->checkState() == Qt::Checked});
    }
    list.current = box->count() > 0 ? box->currentRow() : -1;
    return list;
}

} // namespace qm
