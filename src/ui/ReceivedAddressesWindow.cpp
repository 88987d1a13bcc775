#include "ui/ReceivedAddressesWindow.h"

#include "lang/LangRes.h"
#include "ui/CodePageText.h"
#include "ui/FilterListBox.h"
#include "ui/FilterListEditor.h"
#include "ui/ImageLists.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

namespace qm {

namespace {

QToolButton* panelButton(QWidget* parent, const char* objectName, QAction* action) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setDefaultAction(action);
    button->setMinimumSize(150, 25);
    return button;
}

} // namespace

Tmess_list_fm::Tmess_list_fm(QAction* runMailClient, QWidget* parent)
    : QDialog(parent), m_clbMessList(new QListWidget(this)),
      m_aAddToAntispam(new QAction(MessListImage(1), QStringLiteral("Add to antispam list"), this)),
      m_aClose(new QAction(MessListImage(2), QStringLiteral("Close"), this)), m_PopupMenu1(new QMenu(this)) {
    setObjectName(QStringLiteral("mess_list_fm"));
    setWindowTitle(QStringLiteral("Addresses of received messages"));
    setModal(false);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    resize(391, 312);
    m_aAddToAntispam->setObjectName(QStringLiteral("aAddToAntispam"));
    m_aClose->setObjectName(QStringLiteral("aClose"));
    connect(m_aAddToAntispam, &QAction::triggered, this, &Tmess_list_fm::aAddToAntispamExecute);
    connect(m_aClose, &QAction::triggered, this, &Tmess_list_fm::aCloseExecute);

    m_clbMessList->setObjectName(QStringLiteral("clbMessList"));
    setLanguage(m_language);
    m_clbMessList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_PopupMenu1->addAction(m_aAddToAntispam);
    m_PopupMenu1->addSeparator();
    if (runMailClient != nullptr) {
        m_PopupMenu1->addAction(runMailClient);
        m_PopupMenu1->addSeparator();
    }
    m_PopupMenu1->addAction(m_aClose);
    connect(m_clbMessList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_PopupMenu1->popup(m_clbMessList->viewport()->mapToGlobal(pos)); });

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFixedHeight(41);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(panelButton(panel, "SpeedButton1", m_aAddToAntispam));
    row->addWidget(panelButton(panel, "SpeedButton2", m_aClose));
    row->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_clbMessList, 1);
    layout->addWidget(panel);
}

void Tmess_list_fm::setLanguage(const std::string& code) {
    m_language = code;
    m_clbMessList->setAccessibleName(tr_("Addresses"));
}

QString Tmess_list_fm::tr_(const char* english) const {
    return fromUtf8(Translate(english, "EN", m_language));
}

void Tmess_list_fm::Open(const std::vector<std::string>& addresses) {
    m_clbMessList->clear();
    for (const std::string& address : addresses) {
        AddFilterEntry(m_clbMessList, address);
    }
    setWindowTitle(tr_("Addresses of received messages"));
    // Also here: a window manager may leave the window unactivated.
    FormActivate();
    if (isVisible()) {
        // Already open: the refill still counts as an opening.
        FormShow();
    }
    show();
    raise();
    activateWindow();
}

void Tmess_list_fm::FormShow() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_aAddToAntispam->setEnabled(m_clbMessList->count() > 0);
    QApplication::restoreOverrideCursor();
}

void Tmess_list_fm::FormActivate() {
    m_aAddToAntispam->setText(tr_("To antispam list"));
    m_aClose->setText(tr_("Close"));
}

void Tmess_list_fm::aAddToAntispamExecute() {
    if (m_clbMessList->count() == 0 || m_senders == nullptr) {
        return;
    }
    for (int i = 0; i < m_clbMessList->count(); ++i) {
        QListWidgetItem* item = m_clbMessList->item(i);
        const std::string address = FilterEntryText(item);
        if (address.empty() || item->checkState() != Qt::Checked) {
            continue;
        }
        // An address the list holds already, in any ASCII case, stays ticked.
        if (m_senders->AddUnique(address)) {
            item->setCheckState(Qt::Unchecked);
        }
    }
    m_senders->SaveList();
}

void Tmess_list_fm::aCloseExecute() {
    hide();
}

void Tmess_list_fm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

bool Tmess_list_fm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        FormActivate();
    }
    return QDialog::event(event);
}

} // namespace qm
