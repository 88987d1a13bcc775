#include "tray/TextTrayIcon.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include <cmath>

namespace qm {

namespace {

bool sameRgb(const QColor& a, const QColor& b) {
    return a.isValid() && b.isValid() && a.rgb() == b.rgb();
}

// Pixels of the key colour become fully transparent.
void clearKeyColour(QImage& image, const QColor& key) {
    if (!key.isValid())
        return;
    const QRgb rgb = key.rgb() & 0xFFFFFFu;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFFu) == rgb && qAlpha(line[x]) == 255)
                line[x] = 0;
        }
    }
}

// A square of kSide points in the pixels of the screen: at a scale factor of 2 the text is drawn
// with twice the pixels instead of being blown up from 16.
QImage emptySquare(int side) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const int pixels = static_cast<int>(std::ceil(side * ratio));
    QImage image(pixels, pixels, QImage::Format_ARGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

TTextTrayIcon::TTextTrayIcon(QObject* parent, TrayBackendKind backend)
    : TCoolTrayIcon(parent, backend), m_color(QGuiApplication::palette().color(QPalette::Button)) {}

void TTextTrayIcon::SetBackgroundIcon(const QImage& icon) {
    m_backgroundIcon = icon;
    rebuildIcon();
}

void TTextTrayIcon::SetText(const QString& text) {
    m_text = text;
    rebuildIcon();
}

void TTextTrayIcon::SetFont(const QFont& font) {
    m_font = font;
    rebuildIcon();
}

void TTextTrayIcon::SetFontColor(const QColor& color) {
    m_fontColor = color;
    rebuildIcon();
}

void TTextTrayIcon::SetColor(const QColor& color) {
    m_color = color;
    rebuildIcon();
}

void TTextTrayIcon::SetBorder(bool border) {
    m_border = border;
    rebuildIcon();
}

void TTextTrayIcon::SetBorderColor(const QColor& color) {
    m_borderColor = color;
    rebuildIcon();
}

void TTextTrayIcon::SetOptions(const TOffsetOptions& options) {
    if (options == m_options)
        return;
    m_options = options;
    rebuildIcon();
}

void TTextTrayIcon::ApplyStartupText() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(24);
    SetFont(font);
    SetFontColor(QColor(0, 0, 128)); // navy
    SetColor(Qt::white);
    SetBorder(true);
    SetBorderColor(Qt::black);
    SetOptions({});
    SetText(QStringLiteral("OO"));
}

QColor TTextTrayIcon::invertedFontColor() const {
    return QColor::fromRgb(~m_fontColor.rgb() | 0xFF000000u);
}

bool TTextTrayIcon::colorIsNoneOrFont() const {
    return !m_color.isValid() || sameRgb(m_color, m_fontColor);
}

QList<QPoint> TTextTrayIcon::LayoutLines(const QList<int>& lineWidths, int textHeight, const TOffsetOptions& options) {
    QList<QPoint> corners;
    const auto count = static_cast<int>(lineWidths.size());
    if (count == 1) {
        corners.append(QPoint((15 - lineWidths.at(0)) / 2 + options.OffsetX, (15 - textHeight) / 2 + options.OffsetY));
        return corners;
    }
    const int lineHeight = textHeight + options.LineDistance;
    const int top = (15 - count * lineHeight) / 2 + options.OffsetY;
    for (int i = 0; i < count; ++i)
        corners.append(QPoint((15 - lineWidths.at(i)) / 2 + options.OffsetX, top + i * lineHeight));
    return corners;
}

void TTextTrayIcon::PaintText() {
    m_keyColor = colorIsNoneOrFont() ? invertedFontColor() : QColor::fromRgb(m_color.rgb());
    QImage picture = emptySquare(kSide);
    picture.fill(m_keyColor);

    // Plain pixels only: a smoothed edge would mix in colours that are neither text nor key.
    QFont font = m_font;
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(font);
    const QStringList lines = m_text.split(QLatin1Char('\r'));
    QList<int> widths;
    for (const QString& line : lines)
        widths.append(metrics.horizontalAdvance(line));

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(m_fontColor.rgb()));
    const QList<QPoint> corners = LayoutLines(widths, metrics.height(), m_options);
    for (qsizetype i = 0; i < lines.size(); ++i)
        painter.drawText(corners.at(i) + QPoint(0, metrics.ascent()), lines.at(i));
    if (m_border) {
        painter.setPen(QColor::fromRgb(m_borderColor.rgb()));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(0, 0, kSide - 1, kSide - 1);
    }
    painter.end();
    m_textPicture = picture;
}

void TTextTrayIcon::rebuildIcon() {
    SetCycleIcons(false);
    PaintText();
    QImage icon;
    if (m_backgroundIcon.isNull()) {
        // A fill colour makes the whole square opaque; without one, the key colour shows through.
        if (m_color.isValid())
            m_keyColor = QColor();
        icon = m_textPicture;
        clearKeyColour(icon, m_keyColor);
    } else {
        const QColor mask = colorIsNoneOrFont() ? invertedFontColor() : QColor::fromRgb(m_color.rgb());
        icon = emptySquare(kSide);
        icon.fill(mask);
        QPainter painter(&icon);
        painter.drawImage(QRect(0, 0, kSide, kSide), m_backgroundIcon);
        QImage text = m_textPicture;
        clearKeyColour(text, m_keyColor);
        painter.drawImage(0, 0, text);
        painter.end();
        clearKeyColour(icon, mask);
    }
    SetIcon(icon);
}

} // namespace qm
