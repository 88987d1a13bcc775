#include "ui/HyperlinkLabel.h"

#include "platform/gui/ShellOpen.h"
#include "ui/ReadableColour.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace qm {

QString ProtocolPrefix(TProtocol protocol) {
    switch (protocol) {
    case ptMAIL:
        return QStringLiteral("mailto:");
    case ptWWW:
        return QStringLiteral("http://");
    case ptFTP:
        return QStringLiteral("ftp://");
    case ptFILE:
        return QStringLiteral("file:");
    case ptNONE:
        break;
    }
    return {};
}

QString LinkTarget(const QString& url, TProtocol protocol) {
    const QString prefix = ProtocolPrefix(protocol);
    return url.startsWith(prefix) ? url : prefix + url;
}

TAlURL::TAlURL(const QString& url, TProtocol protocol, QWidget* parent)
    : QLabel(url, parent), m_url(url), m_protocol(protocol), m_opener(&ShellOpen) {
    QFont font = this->font();
    font.setPointSize(12);
    font.setUnderline(true);
    setFont(font);
    setFontColour(ReadableOn(Qt::blue, palette().color(QPalette::Window)));
    setCursor(Qt::PointingHandCursor);
    // Reachable without a mouse too: Tab gives it focus, Enter or Space opens it.
    setFocusPolicy(Qt::StrongFocus);
}

QColor TAlURL::fontColour() const {
    return palette().color(QPalette::WindowText);
}

void TAlURL::setFontColour(const QColor& colour) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, colour);
    setPalette(colours);
}

void TAlURL::mousePressEvent(QMouseEvent* event) {
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    m_pressedFrom = fontColour();
    m_pressed = true;
    setFontColour(ReadableOn(m_activeColor, palette().color(QPalette::Window)));
    event->accept();
}

void TAlURL::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_pressed || event->button() != Qt::LeftButton) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    setFontColour(m_pressedFrom);
    event->accept();
    if (isEnabled() && rect().contains(event->position().toPoint())) {
        emit clicked();
        open();
    }
}

void TAlURL::keyPressEvent(QKeyEvent* event) {
    if (isEnabled() &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)) {
        emit clicked();
        open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void TAlURL::open() {
    // Nothing visible happens when no program takes the address.
    if (m_opener) {
        m_opener(LinkTarget(m_url, m_protocol));
    }
}

} // namespace qm
