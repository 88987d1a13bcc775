// The tray icon's dock requests, seen from a tray of our own: a bare X client that owns the
// tray selection, counts the requests it gets and takes the icon in when the test says so.
#include "TrayProbe.h"
#include "XServer.h"

#include <QThread>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr uint32_t kRequestDock = 0;

class FakeTray {
public:
    explicit FakeTray(const QString& display)
        : m_connection(xcb_connect(display.toLocal8Bit().constData(), nullptr), &xcb_disconnect) {
        if (xcb_connection_has_error(m_connection.get()))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get())).data->root;
        m_selection = atom("_NET_SYSTEM_TRAY_S0");
        m_opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
        m_manager = atom("MANAGER");
        m_window = createWindow(0, 0);
        xcb_set_selection_owner(m_connection.get(), m_window, m_selection, XCB_CURRENT_TIME);
        xcb_flush(m_connection.get());
        m_ready = true;
    }

    bool ready() const { return m_ready; }

    // What a tray says on the root window when it starts; here said again at will.
    void announce() {
        xcb_client_message_event_t event = message(m_root, m_manager);
        event.data.data32[1] = m_selection;
        event.data.data32[2] = m_window;
        send(m_root, XCB_EVENT_MASK_STRUCTURE_NOTIFY, event);
    }

    // Puts the icon into a slot of its own at the top left corner, as a tray does on a request.
    void takeIn(xcb_window_t icon) {
        const xcb_window_t slot = createWindow(22, 22);
        xcb_map_window(m_connection.get(), slot);
        xcb_reparent_window(m_connection.get(), icon, slot, 0, 0);
        xcb_flush(m_connection.get());
    }

    // Asks the icon's window to close, as a tray may do with windows it drops.
    void askToClose(xcb_window_t icon) {
        xcb_client_message_event_t event = message(icon, atom("WM_PROTOCOLS"));
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        send(icon, XCB_EVENT_MASK_NO_EVENT, event);
    }

    void movePointer(int16_t x, int16_t y) {
        xcb_warp_pointer(m_connection.get(), XCB_NONE, m_root, 0, 0, 0, 0, x, y);
        xcb_flush(m_connection.get());
    }

    // The windows of the dock requests received so far, oldest first.
    std::vector<xcb_window_t> requests() {
        xcb_get_input_focus_reply_t* sync = xcb_get_input_focus_reply(
            m_connection.get(), xcb_get_input_focus(m_connection.get()), nullptr); // a round trip
        std::free(sync);
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection.get())) {
            const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && client->type == m_opcode &&
                client->data.data32[1] == kRequestDock)
                m_requests.push_back(client->data.data32[2]);
            std::free(event);
        }
        return m_requests;
    }

    bool viewable(xcb_window_t window) {
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            m_connection.get(), xcb_get_window_attributes(m_connection.get(), window), nullptr);
        const bool result = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        return result;
    }

private:
    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection.get(), xcb_intern_atom(m_connection.get(), 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return value;
    }

    xcb_window_t createWindow(uint16_t width, uint16_t height) {
        const xcb_window_t window = xcb_generate_id(m_connection.get());
        xcb_create_window(m_connection.get(), XCB_COPY_FROM_PARENT, window, m_root, 0, 0, std::max<uint16_t>(width, 1),
                          std::max<uint16_t>(height, 1), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0,
                          nullptr);
        return window;
    }

    static xcb_client_message_event_t message(xcb_window_t window, xcb_atom_t type) {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = type;
        event.data.data32[0] = XCB_CURRENT_TIME;
        return event;
    }

    void send(xcb_window_t to, uint32_t mask, const xcb_client_message_event_t& event) {
        xcb_send_event(m_connection.get(), 0, to, mask, reinterpret_cast<const char*>(&event));
        xcb_flush(m_connection.get());
    }

    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> m_connection;
    xcb_window_t m_root = 0;
    xcb_window_t m_window = 0;
    xcb_atom_t m_selection = 0;
    xcb_atom_t m_opcode = 0;
    xcb_atom_t m_manager = 0;
    std::vector<xcb_window_t> m_requests;
    bool m_ready = false;
};

class XEmbedDockRequest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.running()) << "Xvfb did not start";
        m_tray = std::make_unique<FakeTray>(m_server.display());
        ASSERT_TRUE(m_tray->ready());
        ASSERT_TRUE(m_probe.start(m_server.clientEnvironment()));
        ASSERT_EQ(m_probe.waitForLine("BACKEND"), QStringLiteral("BACKEND xembed"));
        for (int tries = 0; tries < 200 && m_tray->requests().empty(); ++tries)
            QThread::msleep(100);
        ASSERT_EQ(m_tray->requests().size(), 1u) << "the icon never asked to dock";
        m_icon = m_tray->requests().front();
    }

    // Takes the icon in and waits until the icon reports it: the icon has dealt with everything
    // the tray sent before. Its own requests made meanwhile reach the server a moment later.
    void takeInAndSettle() {
        m_tray->takeIn(m_icon);
        ASSERT_EQ(m_probe.waitForLine("DOCKED"), QStringLiteral("DOCKED ") + QString::number(m_icon));
        QThread::msleep(300);
    }

    qm::test::XServer m_server{QStringLiteral("640x480x24")};
    std::unique_ptr<FakeTray> m_tray;
    qm::test::TrayProbe m_probe;
    xcb_window_t m_icon = 0;
};

TEST_F(XEmbedDockRequest, AnAnnouncementArrivingAfterTheRequestDoesNotAskTwice) {
    // A tray's announcement can reach a program after that program found the tray and asked to
    // dock; asked twice, real trays make two slots and drop the window from both.
    m_tray->announce();
    m_tray->announce();
    takeInAndSettle();
    EXPECT_EQ(m_tray->requests().size(), 1u);
    EXPECT_TRUE(m_tray->viewable(m_icon));
}

TEST_F(XEmbedDockRequest, TheIconIgnoresATrayAskingItsWindowToClose) {
    takeInAndSettle();
    m_tray->askToClose(m_icon);
    // The pointer entering the icon reaches the program after the close request; a closed icon
    // would not see it.
    m_tray->movePointer(11, 11);
    EXPECT_EQ(m_probe.waitForLine("ENTER"), QStringLiteral("ENTER"));
    EXPECT_TRUE(m_tray->viewable(m_icon));
    EXPECT_FALSE(m_probe.seen().contains(QStringLiteral("UNDOCKED")));
}

} // namespace
