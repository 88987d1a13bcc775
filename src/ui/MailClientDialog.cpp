#include "ui/MailClientDialog.h"

#include "lang/LangRes.h"
#include "ui/CodePageText.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace qm {

TselMailCl_fm::TselMailCl_fm(QWidget* parent)
    : QDialog(parent), m_eMailCl(new QLineEdit(this)), m_sbFind(new QToolButton(this)),
      m_bbOk(new QPushButton(QStringLiteral("Save"), this)),
      m_bbCancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("selMailCl_fm"));
    setWindowTitle(QStringLiteral("Set path to mail client"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    m_eMailCl->setObjectName(QStringLiteral("eMailCl"));
    m_eMailCl->setMinimumWidth(320);
    m_sbFind->setObjectName(QStringLiteral("sbFind"));
    m_sbFind->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_bbOk->setObjectName(QStringLiteral("bbOk"));
    m_bbCancel->setObjectName(QStringLiteral("bbCancel"));
    m_bbOk->setDefault(true);
    connect(m_bbOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_bbCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_sbFind, &QToolButton::clicked, this, &TselMailCl_fm::sbFindClick);

    auto* row = new QHBoxLayout;
    row->addWidget(m_sbFind);
    row->addWidget(m_eMailCl, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_bbOk);
    buttons->addWidget(m_bbCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setLanguage(m_language);
}

void TselMailCl_fm::setLanguage(const std::string& code) {
    m_language = code;
    // Neither control has a caption of its own for a screen reader to announce.
    m_sbFind->setAccessibleName(tr_("Select Mail Client"));
    m_eMailCl->setAccessibleName(tr_("Mail client"));
}

QString TselMailCl_fm::tr_(const char* english) const {
    return fromUtf8(Translate(english, "EN", m_language));
}

QString TselMailCl_fm::chosenPath() const {
    return m_eMailCl->text();
}

void TselMailCl_fm::FormActivate() {
    setWindowTitle(tr_("Select Mail Client"));
    m_bbOk->setText(tr_("Save"));
    m_bbCancel->setText(tr_("Cancel"));
    m_eMailCl->setText(m_mailClient);
}

void TselMailCl_fm::showEvent(QShowEvent* event) {
    FormActivate();
    QDialog::showEvent(event);
    m_eMailCl->setFocus(Qt::OtherFocusReason);
}

void TselMailCl_fm::sbFindClick() {
    QFileDialog dialog(this, tr_("Select Mail Client"));
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    // Qt's own dialog, so that the list can be limited to files this user may run.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Program files (*)"));
    dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    const QFileInfo initial(m_mailClient);
    if (!m_mailClient.isEmpty() && initial.isAbsolute()) {
        dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.fileName());
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        m_eMailCl->setText(dialog.selectedFiles().constFirst());
    }
}

} // namespace qm
