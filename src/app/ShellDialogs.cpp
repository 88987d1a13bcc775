#include "app/ShellDialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

namespace {

void makeDialog(QDialog* dialog, const char* objectName, const char* caption) {
    dialog->setObjectName(QString::fromLatin1(objectName));
    dialog->setWindowTitle(QString::fromUtf8(caption));
    dialog->setModal(true);
}

} // namespace

TfmValue::TfmValue(QWidget* parent)
    : QDialog(parent), m_lbMask(new QLabel(this)), m_eValue(new QLineEdit(this)),
      m_bbAddEdit(new QPushButton(QStringLiteral("Apply"), this)),
      m_bbCancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    makeDialog(this, "fmValue", "Add value");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_lbMask->setObjectName(QStringLiteral("lbMask"));
    m_eValue->setObjectName(QStringLiteral("eValue"));
    m_bbAddEdit->setObjectName(QStringLiteral("bbAddEdit"));
    m_bbCancel->setObjectName(QStringLiteral("bbCancel"));
    m_bbAddEdit->setDefault(true);
    connect(m_bbAddEdit, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_bbCancel, &QPushButton::clicked, this, &QDialog::reject);

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

Tmess_list_fm::Tmess_list_fm(QWidget* parent) : QDialog(parent) {
    makeDialog(this, "mess_list_fm", "Addresses of received messages");
    setModal(false);
}

} // namespace qm
