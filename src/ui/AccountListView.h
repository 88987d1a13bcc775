#pragma once

#include <QString>
#include <QTreeWidget>

#include <cstdint>
#include <string>
#include <vector>

#include "settings/SettingsFile.h"

namespace qm {

// Cells of an account row as the list holds them, in the order of kAccountFields; column k shows
// cell k. Only the columns the table marks shown are visible.
enum AccountColumn : int {
    kColServer = 0,
    kColAccountName = 1,
    kColPassword = 2,
    kColPort = 3,
    kColTimeOut = 4,
    kColDisabled = 5,
    kColSecurity = 6,
    kColAuth = 7,
    kColTokenCommand = 8,
    kColPasswordStore = 9,
    kColProtocol = 10,
    kAccountColumnCount = kAccountFieldCount,
};

// The account list lwServers: one row per account, in account order (the order the settings are
// saved in and the check cycle addresses rows by). Cells keep the account's bytes exactly as
// loaded (code page text, scrambled password); only their display goes through the code page
// conversion. Every setter that takes a row index ignores an index out of range.
class AccountListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit AccountListView(QWidget* parent = nullptr);
    ~AccountListView() override;

    // Rows in and out, in list order. setRows replaces every row (status image 0, no tooltip).
    void setRows(const std::vector<AccountRow>& rows);
    std::vector<AccountRow> rows() const;
    // The row at index; an empty row for an index out of range.
    AccountRow row(int index) const;
    void appendRow(const AccountRow& row, int image = 0);
    // Writes every cell of the row; its status image and tooltip stay.
    void setRow(int index, const AccountRow& row);
    void removeRowAt(int index);
    int rowCount() const;

    // One cell as stored (code page bytes), empty for an index out of range.
    std::string cell(int index, int column) const;
    void setCell(int index, int column, const std::string& bytes);

    // The current row: the first selected row, -1 when none is selected.
    int currentRow() const;
    // Selected row indexes, ascending.
    std::vector<int> selectedRows() const;
    void setRowSelected(int index, bool selected);
    void selectAllRows();

    // Status image (imConnect index) the check cycle gives the row.
    int rowImage(int index) const;
    void setRowImage(int index, int image);
    // Sets status image 0 on every row (start of a check, checking switched off).
    void resetRowImages();
    // The image the row is drawn with: 3 for a disabled account, else its status image.
    int shownImage(int index) const;
    // Whether the row counts as disabled: its Disabled cell is not empty and does not contain "False".
    bool isRowDisabled(int index) const;

    // The account's last error, shown as the row's tooltip; an empty text removes it.
    void setRowError(int index, const QString& text);
    QString rowError(int index) const;
    // Whether the account is connected for push, shown below its error; empty: not a push account.
    void setRowPush(int index, const QString& note);
    QString rowPush(int index) const;

    // Translates the column headers (server, account name, password, port, time-out) into the
    // language code; the Disabled column keeps its English header.
    void setLanguage(const std::string& code);

    // Column widths as a share of the given list width in pixels: 40, 35, 0, 10, 15, 0 per cent.
    void setColumnShares(int listWidth);

    // Sorts the rows once by a column, ascending, as a header click does. Column 0 sorts by the
    // server text, columns 1 to 5 by their cell text; letters compare without regard to ASCII
    // case and numbers compare as text. The list does not stay sorted.
    void sortRowsBy(int column);
    // The column last used for sorting, 0 at first.
    int lastSortColumn() const { return m_sortColumn; }

    // Moves the first selected row to stand just before the row at targetIndex (a drop of a
    // dragged row onto another). Returns false and changes nothing without a selected row, with
    // a target out of range or a target that is the moved row itself.
    bool moveSelectedRowBefore(int targetIndex);

    // A stable identity of the row at index (0 for an index out of range), and the index of the
    // row with that identity, -1 when that row is gone. Sorting and moving keep a row's identity;
    // every added or pasted row gets a new one, and setRows renews them all. A check that started
    // while rows can still be sorted or dragged finds its account's row again by it.
    std::uint64_t rowId(int index) const;
    int indexOfRowId(std::uint64_t id) const;

signals:
    // The Delete key was pressed in the list.
    void deleteKeyPressed();
    // A row was double-clicked.
    void rowDoubleClicked();
    // Rows were removed, replaced or moved.
    void rowsChanged();
    // The row with this identity was moved to another place by dragging.
    void rowMoved(std::uint64_t id);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    QTreeWidgetItem* itemAtIndex(int index) const;
    QTreeWidgetItem* makeItem(const AccountRow& row, int image);
    void writeCells(QTreeWidgetItem* item, const AccountRow& row);
    void applyRowLook(QTreeWidgetItem* item);
    // The tooltip of every cell: the last error, then the push note.
    void showTooltip(QTreeWidgetItem* item);
    void onHeaderClicked(int column);

    int m_sortColumn = 0;
    std::uint64_t m_nextId = 1;
};

} // namespace qm
