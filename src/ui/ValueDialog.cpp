#include "ui/ValueDialog.h"

#include "lang/LangRes.h"
#include "ui/CodePageText.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace qm {

TfmValue::TfmValue(QWidget* parent)
    : QDialog(parent), m_lbMask(new QLabel(this)), m_eValue(new QLineEdit(this)),
      m_bbAddEdit(new QPushButton(QStringLiteral("Apply"), this)),
      m_bbCancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("fmValue"));
    setWindowTitle(QStringLiteral("Add value"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_lbMask->setObjectName(QStringLiteral("lbMask"));
    m_eValue->setObjectName(QStringLiteral("eValue"));
    m_bbAddEdit->setObjectName(QStringLiteral("bbAddEdit"));
    m_bbCancel->setObjectName(QStringLiteral("bbCancel"));
    // The label above the field names it for screen readers.
    m_lbMask->setBuddy(m_eValue);
    m_eValue->setAccessibleName(QStringLiteral("Value"));
    m_bbAddEdit->setDefault(true);
    connect(m_bbAddEdit, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_bbCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_eValue, &QLineEdit::textChanged, this, &TfmValue::eValueChange);
    m_eValue->installEventFilter(this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_bbAddEdit);
    buttons->addWidget(m_bbCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lbMask);
    layout->addWidget(m_eValue);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_eValue->setMinimumWidth(260);
}

void TfmValue::setCommonTexts(const std::string& language) {
    m_bbCancel->setText(fromUtf8(Translate("Cancel", "EN", language)));
    m_lbMask->setText(fromUtf8(Translate("It is possible to use mask symbols (?, *)", "EN", language)));
    m_eValue->setAccessibleName(fromUtf8(Translate("Value", "EN", language)));
}

std::string TfmValue::valueBytes() const {
    std::string bytes = toCodePage(m_eValue->text());
    std::erase_if(bytes, [](char c) { return c == '\0' || c == '\r' || c == '\n'; });
    return bytes;
}

bool TfmValue::hasBrackets() const {
    const QString text = m_eValue->text();
    return text.contains(QLatin1Char('[')) || text.contains(QLatin1Char(']'));
}

void TfmValue::warn() {
    m_warning = true;
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), QString::fromLatin1(kBracketWarning),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("bracketWarning"));
    box.exec();
    m_warning = false;
}

void TfmValue::eValueChange() {
    if (!m_warning && hasBrackets()) {
        warn();
    }
}

void TfmValue::eValueExit() {
    if (m_warning || !hasBrackets()) {
        return;
    }
    warn();
    m_eValue->setFocus(Qt::OtherFocusReason);
}

void TfmValue::FormActivate() {
    m_eValue->setFocus(Qt::ActiveWindowFocusReason);
}

bool TfmValue::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_eValue && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window coming to the front (the warning itself among them) is not leaving the field.
        const bool aside = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        // A click on the dialog's own buttons closes it; the warning must not swallow that click.
        const QWidget* next = QApplication::focusWidget();
        const bool closing = reason == Qt::MouseFocusReason && (next == m_bbAddEdit || next == m_bbCancel);
        if (!aside && !closing) {
            // After the focus change has finished, and only while the dialog is still open.
            QTimer::singleShot(0, this, [this] {
                if (isVisible()) {
                    eValueExit();
                }
            });
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TfmValue::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        FormActivate();
    }
    return QDialog::event(event);
}

} // namespace qm
