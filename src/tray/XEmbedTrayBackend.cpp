// freedesktop.org System Tray Protocol 0.3 over XEmbed 0.5.
#include "tray/XEmbedTrayBackend.h"

#include "tray/CoolTrayIcon.h"

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace qm {

namespace {

constexpr uint32_t kSystemTrayRequestDock = 0;
constexpr uint32_t kXEmbedVersion = 0;

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The screen number in DISPLAY (":0.1" is screen 1); the tray selection is per screen.
int x11ScreenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (colon < 0 || dot < 0)
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok && screen >= 0 ? screen : 0;
}

xcb_window_t rootWindow(xcb_connection_t* connection, int screenNumber) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i) {
        if (i == screenNumber)
            return it.data->root;
    }
    it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return it.rem > 0 ? it.data->root : 0;
}

xcb_atom_t internAtom(xcb_connection_t* connection, const QByteArray& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData()), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

QByteArray selectionName() {
    return "_NET_SYSTEM_TRAY_S" + QByteArray::number(x11ScreenNumber());
}

xcb_window_t selectionOwner(xcb_connection_t* connection, xcb_atom_t selection) {
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    if (!reply)
        return XCB_WINDOW_NONE;
    const xcb_window_t owner = reply->owner;
    std::free(reply);
    return owner;
}

} // namespace

XEmbedTrayWidget::XEmbedTrayWidget(TCoolTrayIcon& owner)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_owner(owner) {
    setObjectName(QStringLiteral("TrayIconWindow"));
    setWindowTitle(QStringLiteral("quillmere tray"));
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setMouseTracking(true);
    // Trays size their slots from the window's minimum size; smaller ones end up a pixel wide.
    setMinimumSize(22, 22);
    resize(22, 22);
}

void XEmbedTrayWidget::setIcon(const QImage& icon) {
    m_icon = icon;
    update();
}

void XEmbedTrayWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_icon.isNull())
        return;
    // Crisp pixels: scale by whole steps only, centred in the slot the tray gave us. Sizes are in
    // points, so a picture drawn for a scaled screen keeps its own pixels.
    const QSize points = m_icon.deviceIndependentSize().toSize();
    const int side = std::min(width(), height());
    const int factor = std::max(1, side / std::max(1, std::max(points.width(), points.height())));
    const QSize size = points * factor;
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.drawImage(target, m_icon);
}

void XEmbedTrayWidget::enterEvent(QEnterEvent* event) {
    m_owner.MouseMoved(event->globalPosition().toPoint(), QGuiApplication::keyboardModifiers());
}

void XEmbedTrayWidget::mouseMoveEvent(QMouseEvent* event) {
    m_owner.MouseMoved(event->globalPosition().toPoint(), event->modifiers());
}

void XEmbedTrayWidget::leaveEvent(QEvent*) {
    m_owner.MouseLeft();
}

void XEmbedTrayWidget::mousePressEvent(QMouseEvent* event) {
    m_owner.ButtonPressed(event->button(), event->globalPosition().toPoint(), event->modifiers());
}

void XEmbedTrayWidget::mouseReleaseEvent(QMouseEvent* event) {
    m_owner.ButtonReleased(event->button(), event->globalPosition().toPoint(), event->modifiers());
}

void XEmbedTrayWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_owner.DoubleClicked(event->globalPosition().toPoint());
    else
        m_owner.ButtonPressed(event->button(), event->globalPosition().toPoint(), event->modifiers());
}

void XEmbedTrayWidget::closeEvent(QCloseEvent* event) {
    // Only the icon itself decides when it goes; a tray asking the window to close is ignored.
    event->ignore();
}

XEmbedTrayBackend::XEmbedTrayBackend(TCoolTrayIcon& owner) : m_owner(owner) {
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return;
    m_root = rootWindow(connection, x11ScreenNumber());
    m_selectionAtom = internAtom(connection, selectionName());
    m_opcodeAtom = internAtom(connection, "_NET_SYSTEM_TRAY_OPCODE");
    m_managerAtom = internAtom(connection, "MANAGER");

    // A tray that starts later announces itself on the root window; listen for that without
    // dropping the events Qt already selected there.
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, m_root), nullptr);
    if (attributes) {
        const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        std::free(attributes);
        xcb_change_window_attributes(connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

XEmbedTrayBackend::~XEmbedTrayBackend() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    dropWidget();
}

void XEmbedTrayBackend::dropWidget() {
    // Deleted later: this may run inside one of the widget's own mouse handlers (a double click
    // whose default item hides the icon). Hidden, it gets no more pointer events meanwhile.
    if (m_widget) {
        m_widget->hide();
        m_widget->deleteLater();
        m_widget = nullptr;
    }
}

bool XEmbedTrayBackend::trayManagerPresent() {
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return false;
    const xcb_atom_t selection = internAtom(connection, selectionName());
    return selection != XCB_ATOM_NONE && selectionOwner(connection, selection) != XCB_WINDOW_NONE;
}

void XEmbedTrayBackend::setVisible(bool visible) {
    m_visible = visible;
    if (visible) {
        if (!m_widget)
            createWidget();
        requestDock();
    } else {
        // Destroying the window is what makes every tray drop its slot.
        dropWidget();
        setEmbedded(false);
        m_askedManager = 0;
    }
}

void XEmbedTrayBackend::setIcon(const QImage& icon) {
    m_icon = icon;
    if (m_widget)
        m_widget->setIcon(icon);
}

void XEmbedTrayBackend::setToolTip(const QString& text) {
    m_toolTip = text;
    if (m_widget)
        m_widget->setToolTip(text);
}

void XEmbedTrayBackend::createWidget() {
    m_widget = new XEmbedTrayWidget(m_owner);
    m_widget->setIcon(m_icon);
    m_widget->setToolTip(m_toolTip);
    m_widget->winId(); // creates the window, unmapped
}

uint32_t XEmbedTrayBackend::currentWindow() const {
    // Ask the platform window: it may have replaced its X window since the widget was created.
    const QWindow* handle = m_widget ? m_widget->windowHandle() : nullptr;
    return handle ? static_cast<uint32_t>(handle->winId()) : 0;
}

void XEmbedTrayBackend::requestDock() {
    xcb_connection_t* connection = x11Connection();
    if (!connection || !m_widget || m_selectionAtom == XCB_ATOM_NONE)
        return;
    const xcb_window_t manager = selectionOwner(connection, m_selectionAtom);
    if (manager == XCB_WINDOW_NONE)
        return; // no tray now; its MANAGER announcement brings us back here
    // A tray that has our request already announces itself late sometimes; asked twice, it makes
    // two slots and throws the window out of both.
    const xcb_window_t window = currentWindow();
    if (manager == m_askedManager && window == m_askedWindow)
        return;
    m_askedManager = manager;
    m_askedWindow = window;
    // Said before every request: Qt may have replaced the window since the last dock, and a new
    // one would ask the tray to map it at once. We map ourselves once the tray has taken it in.
    const uint32_t info[2] = {kXEmbedVersion, 0};
    const xcb_atom_t xembedInfo = internAtom(connection, "_XEMBED_INFO");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, xembedInfo, xembedInfo, 32, 2, info);
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = manager;
    event.type = m_opcodeAtom;
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = kSystemTrayRequestDock;
    event.data.data32[2] = window;
    xcb_send_event(connection, 0, manager, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

void XEmbedTrayBackend::setEmbedded(bool embedded) {
    if (embedded == m_embedded)
        return;
    m_embedded = embedded;
    emit m_owner.Docked(embedded);
}

bool XEmbedTrayBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_REPARENT_NOTIFY: {
        const auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
        if (!m_widget || reparent->window != currentWindow())
            break;
        if (reparent->parent == m_root) {
            // The tray went away and left us on the desktop: stay out of sight until the next one.
            m_widget->hide();
            setEmbedded(false);
            m_askedManager = 0;
        } else if (m_visible) {
            // Mapping only now: a window shown before the tray took it gets squeezed to a pixel.
            m_widget->show();
            setEmbedded(true);
        }
        break;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (client->window == m_root && client->type == m_managerAtom && client->format == 32 &&
            client->data.data32[1] == m_selectionAtom && m_visible && !m_embedded)
            requestDock();
        break;
    }
    default:
        break;
    }
    return false;
}

} // namespace qm
