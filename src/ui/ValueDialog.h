#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

// The value dialog: one value (an anti-spam mask or a notice condition) entered or edited. The
// caller sets the caption and the texts of lbMask, bbAddEdit and bbCancel before each use. Square
// brackets draw a warning, as typed and again when the field is left, but are not removed.
class TfmValue : public QDialog {
    Q_OBJECT
public:
    // Shown untranslated.
    static constexpr const char* kBracketWarning = "Symbols '[' and ']' are not allowed!";

    explicit TfmValue(QWidget* parent = nullptr);

    QLabel* lbMask() const { return m_lbMask; }
    QLineEdit* eValue() const { return m_eValue; }
    QPushButton* bbAddEdit() const { return m_bbAddEdit; }
    QPushButton* bbCancel() const { return m_bbCancel; }
    // The texts every use shares, in the interface language: Cancel, the mask hint, the field's name.
    void setCommonTexts(const std::string& language);

    // The value as code page bytes, without the characters a one-line list entry cannot hold
    // (NUL, CR, LF); otherwise as typed, not trimmed.
    std::string valueBytes() const;

    // Every change of the text: warns about brackets.
    void eValueChange();
    // The field lost the focus: warns about brackets and takes the focus back.
    void eValueExit();
    void FormActivate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool hasBrackets() const;
    void warn();

    QLabel* m_lbMask;
    QLineEdit* m_eValue;
    QPushButton* m_bbAddEdit;
    QPushButton* m_bbCancel;
    bool m_warning = false;
};

} // namespace qm
