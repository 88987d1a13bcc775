#include "ui/AboutBox.h"

#include "lang/LangRes.h"
#include "platform/FileVersion.h"
#include "ui/CodePageText.h"
#include "ui/HyperlinkLabel.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

namespace {

QLabel* makeLabel(QWidget* parent, const char* objectName, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);

    const QIcon icon = parent != nullptr ? parent->windowIcon() : QApplication::windowIcon();
    QLabel* programIcon = makeLabel(panel, "ProgramIcon", QString());
    programIcon->setPixmap(icon.pixmap(64, 64));
    QLabel* productName = makeLabel(panel, "ProductName", QStringLiteral("Quillmere32"));
    m_Version = makeLabel(panel, "Version", QStringLiteral("Version: ") + fromUtf8(FileVersionOf(OwnExecutablePath())));
    QLabel* copyright = makeLabel(panel, "Copyright", QStringLiteral("Copyright:"));

    m_AlURL2 = new TAlURL(QString::fromUtf8(QM_AUTHOR_EMAIL), ptMAIL, panel);
    m_AlURL2->setObjectName(QStringLiteral("AlURL2"));
    m_AlURL2->setText(QString::fromUtf8(QM_AUTHOR_NAME));
    m_AlURL1 = new TAlURL(QString::fromUtf8(QM_HOMEPAGE_URL), ptWWW, panel);
    m_AlURL1->setObjectName(QStringLiteral("AlURL1"));
    // The box keeps the dialog's text size for its links.
    for (TAlURL* link : {m_AlURL1, m_AlURL2}) {
        QFont font = this->font();
        font.setUnderline(true);
        link->setFont(font);
        link->setToolTip(LinkTarget(link->Url(), link->Protocol()));
    }

    auto* grid = new QGridLayout(panel);
    grid->addWidget(programIcon, 0, 0, 2, 1);
    grid->addWidget(productName, 0, 1);
    grid->addWidget(m_Version, 1, 1);
    grid->addWidget(copyright, 2, 0);
    grid->addWidget(m_AlURL2, 2, 1);
    grid->addWidget(m_AlURL1, 3, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setLanguage(m_language);
}

void TAboutBox::setLanguage(const std::string& code) {
    m_language = code;
    if (auto* icon = findChild<QLabel*>(QStringLiteral("ProgramIcon"))) {
        icon->setAccessibleName(fromUtf8(Translate("Program icon", "EN", code)));
    }
}

void TAboutBox::FormActivate() {
    setWindowTitle(fromUtf8(Translate("About the program", "EN", m_language)));
}

void TAboutBox::showEvent(QShowEvent* event) {
    FormActivate();
    QDialog::showEvent(event);
}

void TAboutBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FormActivate();
    }
    QDialog::changeEvent(event);
}

} // namespace qm
