#include "ui/AccountListView.h"

#include <QAbstractItemView>
#include <QBrush>
#include <QByteArray>
#include <QColor>
#include <QEvent>
#include <QPalette>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <array>

#include "lang/Captions.h"
#include "lang/LangRes.h"
#include "settings/AccountCells.h"
#include "text/AsciiText.h"
#include "ui/CodePageText.h"
#include "ui/ImageLists.h"

namespace qm {

namespace {

// Per-column role holding the cell's bytes exactly as they came in; the shown text is derived.
constexpr int kRoleBytes = Qt::UserRole;
// Roles on column 0 for what belongs to the whole row.
constexpr int kRoleImage = Qt::UserRole + 1;
constexpr int kRoleId = Qt::UserRole + 2;
constexpr int kRoleError = Qt::UserRole + 3;
constexpr int kRolePush = Qt::UserRole + 4;

constexpr std::array<int, 6> kColumnShares = {40, 35, 0, 10, 15, 0};

QByteArray toBytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string bytesOf(const QTreeWidgetItem* item, int column) {
    const QByteArray bytes = item->data(column, kRoleBytes).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Rows compare by the raw cell of the sort column; the tree sorts them with a stable sort.
class AccountItem : public QTreeWidgetItem {
public:
    AccountItem() : QTreeWidgetItem(QTreeWidgetItem::UserType) {}
    QTreeWidgetItem* clone() const override { return new AccountItem(*this); }
    bool operator<(const QTreeWidgetItem& other) const override {
        const QTreeWidget* tree = treeWidget();
        const int column = tree != nullptr ? tree->sortColumn() : 0;
        const QByteArray a = data(column, kRoleBytes).toByteArray();
        const QByteArray b = other.data(column, kRoleBytes).toByteArray();
        // Account files are byte strings in the code page: only ASCII letters ignore case.
        return CompareNoCase(std::string_view(a.constData(), static_cast<std::size_t>(a.size())),
                             std::string_view(b.constData(), static_cast<std::size_t>(b.size()))) < 0;
    }
};

} // namespace

AccountListView::AccountListView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("lwServers"));
    setColumnCount(kAccountColumnCount);
    QStringList labels;
    for (const AccountField& field : kAccountFields)
        labels.append(QString::fromLatin1(field.key));
    setHeaderLabels(labels);
    // The captioned columns start from the keys their captions are translated from.
    setLanguage("EN");
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setIconSize(QSize(16, 16));
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    for (int column = 0; column < kAccountColumnCount; ++column)
        setColumnHidden(column, !kAccountFields[column].shown);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
    setDefaultDropAction(Qt::CopyAction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header(), &QHeaderView::sectionClicked, this, &AccountListView::onHeaderClicked);
}

AccountListView::~AccountListView() = default;

QTreeWidgetItem* AccountListView::itemAtIndex(int index) const {
    if (index < 0 || index >= topLevelItemCount())
        return nullptr;
    return topLevelItem(index);
}

void AccountListView::writeCells(QTreeWidgetItem* item, const AccountRow& row) {
    for (int column = 0; column < kAccountColumnCount; ++column) {
        const std::string& bytes = row.*kAccountFields[column].cell;
        item->setData(column, kRoleBytes, toBytes(bytes));
        item->setText(column, fromCodePage(bytes));
    }
    // The protocol by its name; a damaged cell shows as written.
    const auto protocol = ProtocolOfCell(row.Protocol);
    if (protocol)
        item->setText(kColProtocol, *protocol == AccountProtocol::Imap ? QStringLiteral("IMAP") : QStringLiteral("POP3"));
}

QTreeWidgetItem* AccountListView::makeItem(const AccountRow& row, int image) {
    auto* item = new AccountItem;
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);
    item->setData(0, kRoleId, QVariant::fromValue<qulonglong>(m_nextId++));
    item->setData(0, kRoleImage, image);
    writeCells(item, row);
    applyRowLook(item);
    return item;
}

void AccountListView::applyRowLook(QTreeWidgetItem* item) {
    const std::string disabled = bytesOf(item, kColDisabled);
    const bool drawnDisabled = IsDisabledCell(disabled);
    const int image = drawnDisabled ? kConnectDisabled : item->data(0, kRoleImage).toInt();
    // Colours come from the palette, so a dark theme stays readable; a disabled row is drawn
    // halfway between the text and the background.
    const QPalette colours = palette();
    const QColor ink = colours.color(QPalette::Active, QPalette::Text);
    const QColor paper = colours.color(QPalette::Active, QPalette::Base);
    const QColor grey((ink.red() + paper.red() + 1) / 2, (ink.green() + paper.green() + 1) / 2,
                      (ink.blue() + paper.blue() + 1) / 2);
    for (int column = 0; column < kAccountColumnCount; ++column) {
        item->setData(column, Qt::BackgroundRole, QVariant());
        if (drawnDisabled)
            item->setForeground(column, grey);
        else
            item->setData(column, Qt::ForegroundRole, QVariant());
    }
    item->setIcon(0, ConnectImage(image));
}

void AccountListView::setRows(const std::vector<AccountRow>& rows) {
    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const AccountRow& row : rows)
        items.append(makeItem(row, kConnectIdle));
    addTopLevelItems(items);
    emit rowsChanged();
}

std::vector<AccountRow> AccountListView::rows() const {
    std::vector<AccountRow> result;
    result.reserve(static_cast<std::size_t>(topLevelItemCount()));
    for (int i = 0; i < topLevelItemCount(); ++i)
        result.push_back(row(i));
    return result;
}

AccountRow AccountListView::row(int index) const {
    AccountRow result;
    const QTreeWidgetItem* item = itemAtIndex(index);
    if (item == nullptr)
        return result;
    for (int column = 0; column < kAccountColumnCount; ++column)
        result.*kAccountFields[column].cell = bytesOf(item, column);
    return result;
}

void AccountListView::appendRow(const AccountRow& row, int image) {
    addTopLevelItem(makeItem(row, image));
}

void AccountListView::setRow(int index, const AccountRow& row) {
    if (QTreeWidgetItem* item = itemAtIndex(index)) {
        writeCells(item, row);
        applyRowLook(item);
    }
}

void AccountListView::removeRowAt(int index) {
    if (itemAtIndex(index) == nullptr)
        return;
    delete takeTopLevelItem(index);
    emit rowsChanged();
}

int AccountListView::rowCount() const {
    return topLevelItemCount();
}

std::string AccountListView::cell(int index, int column) const {
    const QTreeWidgetItem* item = itemAtIndex(index);
    if (item == nullptr || column < 0 || column >= kAccountColumnCount)
        return {};
    return bytesOf(item, column);
}

void AccountListView::setCell(int index, int column, const std::string& bytes) {
    QTreeWidgetItem* item = itemAtIndex(index);
    if (item == nullptr || column < 0 || column >= kAccountColumnCount)
        return;
    item->setData(column, kRoleBytes, toBytes(bytes));
    item->setText(column, fromCodePage(bytes));
    applyRowLook(item);
}

int AccountListView::currentRow() const {
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->isSelected())
            return i;
    return -1;
}

std::vector<int> AccountListView::selectedRows() const {
    std::vector<int> result;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->isSelected())
            result.push_back(i);
    return result;
}

void AccountListView::setRowSelected(int index, bool selected) {
    if (QTreeWidgetItem* item = itemAtIndex(index))
        item->setSelected(selected);
}

void AccountListView::selectAllRows() {
    selectAll();
}

int AccountListView::rowImage(int index) const {
    const QTreeWidgetItem* item = itemAtIndex(index);
    return item != nullptr ? item->data(0, kRoleImage).toInt() : -1;
}

void AccountListView::setRowImage(int index, int image) {
    if (QTreeWidgetItem* item = itemAtIndex(index)) {
        item->setData(0, kRoleImage, image);
        applyRowLook(item);
    }
}

void AccountListView::resetRowImages() {
    for (int i = 0; i < topLevelItemCount(); ++i)
        setRowImage(i, kConnectIdle);
}

bool AccountListView::isRowDisabled(int index) const {
    const QTreeWidgetItem* item = itemAtIndex(index);
    if (item == nullptr)
        return false;
    const std::string disabled = bytesOf(item, kColDisabled);
    return IsDisabledCell(disabled);
}

int AccountListView::shownImage(int index) const {
    if (itemAtIndex(index) == nullptr)
        return -1;
    return isRowDisabled(index) ? kConnectDisabled : rowImage(index);
}

void AccountListView::setRowError(int index, const QString& text) {
    QTreeWidgetItem* item = itemAtIndex(index);
    if (item == nullptr)
        return;
    item->setData(0, kRoleError, text);
    showTooltip(item);
}

void AccountListView::setRowPush(int index, const QString& note) {
    QTreeWidgetItem* item = itemAtIndex(index);
    if (item == nullptr)
        return;
    item->setData(0, kRolePush, note);
    showTooltip(item);
}

QString AccountListView::rowPush(int index) const {
    const QTreeWidgetItem* item = itemAtIndex(index);
    return item != nullptr ? item->data(0, kRolePush).toString() : QString();
}

void AccountListView::showTooltip(QTreeWidgetItem* item) {
    QString text = item->data(0, kRoleError).toString();
    const QString push = item->data(0, kRolePush).toString();
    if (!push.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + push;
    for (int column = 0; column < kAccountColumnCount; ++column)
        item->setToolTip(column, text);
}

QString AccountListView::rowError(int index) const {
    const QTreeWidgetItem* item = itemAtIndex(index);
    return item != nullptr ? item->data(0, kRoleError).toString() : QString();
}

void AccountListView::setLanguage(const std::string& code) {
    QTreeWidgetItem* headerRow = headerItem();
    for (const CaptionEntry& entry : MainWindowCaptions())
        if (entry.target == CaptionTarget::ListColumn && std::string_view(entry.objectName) == "lwServers")
            headerRow->setText(entry.column, fromUtf8(Translate(entry.englishText, "EN", code)));
}

void AccountListView::setColumnShares(int listWidth) {
    for (std::size_t column = 0; column < kColumnShares.size(); ++column) {
        const int width = listWidth * kColumnShares[column] / 100;
        if (width > 0)
            setColumnWidth(static_cast<int>(column), width);
    }
}

void AccountListView::onHeaderClicked(int column) {
    sortRowsBy(column);
}

void AccountListView::sortRowsBy(int column) {
    if (column < 0 || column >= kAccountColumnCount)
        return;
    m_sortColumn = column;
    // One ascending sort; sorting stays off so later rows are appended at the end.
    sortItems(column, Qt::AscendingOrder);
    header()->setSortIndicatorShown(false);
}

bool AccountListView::moveSelectedRowBefore(int targetIndex) {
    const int moved = currentRow();
    if (moved < 0 || itemAtIndex(targetIndex) == nullptr || targetIndex == moved)
        return false;
    // A copy goes in before the target and the original goes out; the copy keeps the identity.
    QTreeWidgetItem* copy = topLevelItem(moved)->clone();
    const std::uint64_t id = copy->data(0, kRoleId).toULongLong();
    insertTopLevelItem(targetIndex, copy);
    copy->setSelected(false);
    const int oldIndex = moved > targetIndex ? moved + 1 : moved;
    delete takeTopLevelItem(oldIndex);
    applyRowLook(copy);
    emit rowMoved(id);
    emit rowsChanged();
    return true;
}

std::uint64_t AccountListView::rowId(int index) const {
    const QTreeWidgetItem* item = itemAtIndex(index);
    return item != nullptr ? item->data(0, kRoleId).toULongLong() : 0;
}

int AccountListView::indexOfRowId(std::uint64_t id) const {
    if (id == 0)
        return -1;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->data(0, kRoleId).toULongLong() == id)
            return i;
    return -1;
}

void AccountListView::changeEvent(QEvent* event) {
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        for (int index = 0; index < topLevelItemCount(); ++index)
            applyRowLook(topLevelItem(index));
    }
}

void AccountListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        emit deleteKeyPressed();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void AccountListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    emit rowDoubleClicked();
}

void AccountListView::dragEnterEvent(QDragEnterEvent* event) {
    if (qobject_cast<QAbstractItemView*>(event->source()) != nullptr)
        event->acceptProposedAction();
    else
        event->ignore();
}

void AccountListView::dragMoveEvent(QDragMoveEvent* event) {
    // Any list view may drag over; only our own rows are taken on a drop.
    if (qobject_cast<QAbstractItemView*>(event->source()) != nullptr)
        event->acceptProposedAction();
    else
        event->ignore();
}

void AccountListView::startDrag(Qt::DropActions supportedActions) {
    // Rows leave the list only by our own drop handling: a drag offered as a move would let any
    // other view that accepts it remove the dragged accounts from here.
    if (supportedActions.testFlag(Qt::CopyAction))
        QTreeWidget::startDrag(Qt::CopyAction);
}

void AccountListView::dropEvent(QDropEvent* event) {
    if (event->source() != this) {
        event->ignore();
        return;
    }
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    if (target != nullptr)
        moveSelectedRowBefore(indexOfTopLevelItem(target));
    // The row was moved here already; a move action would make the drag source remove rows again.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

} // namespace qm
