#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

#include <functional>

namespace qm {

// Which scheme a hyperlink label puts in front of its Url.
enum TProtocol { ptNONE, ptMAIL, ptWWW, ptFTP, ptFILE };

// "", "mailto:", "http://", "ftp://", "file:".
QString ProtocolPrefix(TProtocol protocol);

// What a link opens: prefix + url, or url alone when it already begins with the prefix.
QString LinkTarget(const QString& url, TProtocol protocol);

// A label that opens an address when clicked: blue and underlined with the hand cursor, turning
// ActiveColor while the left button is held on it.
class TAlURL : public QLabel {
    Q_OBJECT
public:
    // Opens a link target; returns whether something was started.
    using Opener = std::function<bool(const QString&)>;

    // The caption starts as url.
    explicit TAlURL(const QString& url, TProtocol protocol, QWidget* parent = nullptr);

    QString Url() const { return m_url; }
    void setUrl(const QString& url) { m_url = url; }
    TProtocol Protocol() const { return m_protocol; }
    void setProtocol(TProtocol protocol) { m_protocol = protocol; }
    QColor ActiveColor() const { return m_activeColor; }
    void setActiveColor(const QColor& colour) { m_activeColor = colour; }
    // The desktop's opener by default.
    void setOpener(Opener opener) { m_opener = std::move(opener); }

    // The font colour shown now.
    QColor fontColour() const;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setFontColour(const QColor& colour);
    void open();

    QString m_url;
    TProtocol m_protocol;
    QColor m_activeColor{0x80, 0x00, 0x80};
    QColor m_pressedFrom;
    bool m_pressed = false;
    Opener m_opener;
};

} // namespace qm
