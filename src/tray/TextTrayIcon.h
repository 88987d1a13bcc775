#pragma once

#include "tray/CoolTrayIcon.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>

namespace qm {

// Shifts of the painted text and the extra space between its lines, in pixels.
struct TOffsetOptions {
    int OffsetX = 0;
    int OffsetY = 0;
    int LineDistance = 0;
    bool operator==(const TOffsetOptions&) const = default;
};

// A tray icon that can show a short text painted into its 16x16 picture, optionally over a
// background icon. Any text setting paints the picture again and stops the animation; choosing
// an image of IconList afterwards shows that image instead.
class TTextTrayIcon : public TCoolTrayIcon {
    Q_OBJECT

public:
    static constexpr int kSide = 16;

    explicit TTextTrayIcon(QObject* parent = nullptr, TrayBackendKind backend = TrayBackendKind::Automatic);

    const QImage& BackgroundIcon() const { return m_backgroundIcon; }
    void SetBackgroundIcon(const QImage& icon);

    // A carriage return starts a new line.
    const QString& Text() const { return m_text; }
    void SetText(const QString& text);

    const QFont& Font() const { return m_font; }
    void SetFont(const QFont& font);
    const QColor& FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor& color);

    // Fill of the square; an invalid colour means none: the background stays transparent.
    const QColor& Color() const { return m_color; }
    void SetColor(const QColor& color);

    bool Border() const { return m_border; }
    void SetBorder(bool border);
    const QColor& BorderColor() const { return m_borderColor; }
    void SetBorderColor(const QColor& color);

    const TOffsetOptions& Options() const { return m_options; }
    void SetOptions(const TOffsetOptions& options);

    // The last painted text picture (opaque) and the colour it was filled with.
    const QImage& TextPicture() const { return m_textPicture; }
    const QColor& KeyColor() const { return m_keyColor; }

    // Top left corners of the text lines in the square. A single line is centred on its own
    // height; several lines are spaced by textHeight + LineDistance. Division truncates to zero.
    static QList<QPoint> LayoutLines(const QList<int>& lineWidths, int textHeight, const TOffsetOptions& options);

    // The picture the tray shows while the program starts: "OO" in navy on white with a frame.
    void ApplyStartupText();

protected:
    // Paints Text into the text picture.
    virtual void PaintText();

private:
    void rebuildIcon();
    QColor invertedFontColor() const;
    bool colorIsNoneOrFont() const;

    QImage m_backgroundIcon;
    QString m_text;
    QFont m_font;
    QColor m_fontColor{Qt::black};
    QColor m_color;
    bool m_border = false;
    QColor m_borderColor{Qt::black};
    TOffsetOptions m_options;
    QImage m_textPicture;
    QColor m_keyColor;
};

} // namespace qm
