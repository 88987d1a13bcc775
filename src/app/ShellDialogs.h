#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

// The value dialog: one value (a mask or a condition) entered or edited. The caller sets the
// caption and the texts of lbMask, bbAddEdit and bbCancel before each use.
class TfmValue : public QDialog {
    Q_OBJECT
public:
    explicit TfmValue(QWidget* parent = nullptr);

    QLabel* lbMask() const { return m_lbMask; }
    QLineEdit* eValue() const { return m_eValue; }
    QPushButton* bbAddEdit() const { return m_bbAddEdit; }
    QPushButton* bbCancel() const { return m_bbCancel; }

private:
    QLabel* m_lbMask;
    QLineEdit* m_eValue;
    QPushButton* m_bbAddEdit;
    QPushButton* m_bbCancel;
};

// The window of the addresses received in the last check; its content is not laid out yet.
class Tmess_list_fm : public QDialog {
    Q_OBJECT
public:
    explicit Tmess_list_fm(QWidget* parent = nullptr);
};

} // namespace qm
