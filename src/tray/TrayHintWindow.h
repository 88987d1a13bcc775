#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

namespace qm {

// The popup that lists the news when the pointer rests on the tray icon: a tooltip-style window
// in the desktop's tooltip colours with the tooltip font in bold. It never takes the focus and
// lets the pointer pass through, so it cannot steal the pointer from the tray icon beneath it.
class TrayHintWindow : public QWidget {
public:
    TrayHintWindow();

    // The size the text needs, wrapped at maxWidth: text width + 6 by text height + 2.
    QSize CalcHintRect(int maxWidth, const QString& text) const;

    // Shows the text in rect (made 4 pixels taller), moved to lie inside the desktop.
    void ActivateHint(const QRect& rect, const QString& text);

    // Where a hint rectangle ends up on a desktop: pushed up and left off the bottom and right
    // edges, right off the left edge; one that would leave the top opens below its bottom edge
    // (the pointer) instead, for trays along the top of the screen.
    static QRect PlaceHint(const QRect& rect, const QRect& desktop);

    const QString& text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static QString displayText(const QString& text);

    QString m_text;
};

} // namespace qm
