#include "tray/TrayHintWindow.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

#include <climits>

namespace qm {

namespace {

// Ampersands stay as they are: no mnemonic handling unless asked for.
constexpr int kTextFlags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
constexpr int kGrowBottom = 4;

} // namespace

TrayHintWindow::TrayHintWindow()
    : QWidget(nullptr,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("TrayHintWindow"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette colours = QToolTip::palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);
    QFont bold = QToolTip::font();
    bold.setBold(true);
    setFont(bold);
}

QString TrayHintWindow::displayText(const QString& text) {
    // Lines are separated by carriage returns; CR LF counts as one break.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QSize TrayHintWindow::CalcHintRect(int maxWidth, const QString& text) const {
    const QRect laid = QFontMetrics(font()).boundingRect(QRect(0, 0, std::max(1, maxWidth), INT_MAX / 2), kTextFlags,
                                                         displayText(text));
    return {laid.width() + 6, laid.height() + 2};
}

QRect TrayHintWindow::PlaceHint(const QRect& rect, const QRect& desktop) {
    int x = rect.x();
    int y = rect.y();
    const int w = rect.width();
    const int h = rect.height();
    if (y < desktop.y())
        y += h - kGrowBottom + 1;
    if (y + h > desktop.y() + desktop.height())
        y = desktop.y() + desktop.height() - h;
    if (x + w > desktop.x() + desktop.width())
        x = desktop.x() + desktop.width() - w;
    if (x < desktop.x())
        x = desktop.x();
    return {x, y, w, h};
}

void TrayHintWindow::ActivateHint(const QRect& rect, const QString& text) {
    m_text = text;
    QRect grown = rect;
    grown.setHeight(rect.height() + kGrowBottom);
    const QScreen* screen = QGuiApplication::screenAt(rect.bottomRight());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect placed = screen ? PlaceHint(grown, screen->virtualGeometry()) : grown;
    setGeometry(placed);
    show();
    raise();
    update();
}

void TrayHintWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(rect().adjusted(2, 2, 0, 0), kTextFlags, displayText(m_text));
}

} // namespace qm
