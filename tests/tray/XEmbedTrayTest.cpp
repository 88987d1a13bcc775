// The tray icon under a real X11 system tray: a virtual X server, trayer as the tray host, the
// tray program docked into it, and the pointer driven from outside with xdotool.
#include "TestPaths.h"
#include "TrayHost.h"
#include "PanelHost.h"
#include "TrayProbe.h"
#include "XServer.h"
#include "tray/TrayResources.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 20000;

class XEmbedTrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "trayer", "xdotool", "xwininfo", "import"})
            ASSERT_FALSE(QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                << tool << " missing: the test command installs it";
        QDir().mkpath(QStringLiteral(QM_TEST_TMP_DIR));

        ASSERT_TRUE(m_server.running()) << "Xvfb did not start";
        m_env = m_server.clientEnvironment();

        startTray();
        startProbe(m_env);
        ASSERT_EQ(waitForLine("BACKEND"), QStringLiteral("BACKEND xembed"));
        const QString docked = waitForLine("DOCKED");
        ASSERT_FALSE(docked.isEmpty()) << "never docked";
        m_iconWindow = docked.section(QLatin1Char(' '), 1);
        m_iconCentre = settledGeometry(m_iconWindow).center();
    }

    // The tray lays its slots out after taking a window in: wait until it is mapped and settled.
    QRect settledGeometry(const QString& window) {
        QRect previous;
        int steady = 0;
        QElapsedTimer settling;
        settling.start();
        while (settling.elapsed() < kWaitMs) {
            const QRect now = windowGeometry(window);
            steady = viewable(window) && now == previous && now.width() > 1 ? steady + 1 : 0;
            if (steady >= 3)
                break;
            previous = now;
            QThread::msleep(100);
        }
        return previous;
    }

    void startProbe(const QProcessEnvironment& env) { ASSERT_TRUE(m_probe.start(env)); }

    QString waitForLine(const char* prefix) { return m_probe.waitForLine(prefix); }

    void TearDown() override {
        m_probe.stop();
        m_tray.kill();
    }

    void startTray() { ASSERT_TRUE(m_tray.start(m_env)) << m_tray.failure().toStdString(); }

    // Runs an X client against the test display and returns its output.
    QString x11(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.start(program, arguments);
        process.waitForFinished(kWaitMs);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }

    void pointer(const QStringList& actions) { x11(QStringLiteral("xdotool"), actions); }

    QRect windowGeometry(const QString& window) {
        const QString info = x11(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
        auto field = [&info](const char* name) {
            const QRegularExpression re(QString::fromLatin1(name) + QStringLiteral(":\\s+(-?\\d+)"));
            return re.match(info).captured(1).toInt();
        };
        return {field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height")};
    }

    bool viewable(const QString& window) {
        return x11(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window}).contains(QStringLiteral("IsViewable"));
    }

    // Mapping follows the probe's report asynchronously: wait (bounded) for the expected state.
    bool becomesViewable(const QString& window, bool expected) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kWaitMs) {
            if (viewable(window) == expected)
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    void screenshot(const QString& name) {
        x11(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                       QStringLiteral(QM_TEST_TMP_DIR "/") + name + QStringLiteral(".png")});
    }

    qm::test::XServer m_server{QStringLiteral("640x480x24")};
    qm::test::TrayHost m_tray;
    qm::test::TrayProbe m_probe;
    QProcessEnvironment m_env;
    QString m_iconWindow;
    QPoint m_iconCentre;
};

TEST_F(XEmbedTrayTest, DocksAsAFullSizedIcon) {
    const QRect icon = windowGeometry(m_iconWindow);
    EXPECT_GE(icon.width(), 22);
    EXPECT_GE(icon.height(), 22);
    EXPECT_TRUE(becomesViewable(m_iconWindow, true));
}

TEST_F(XEmbedTrayTest, RestingShowsThePopupAndLeavingHidesIt) {
    pointer({QStringLiteral("mousemove"), QString::number(m_iconCentre.x()), QString::number(m_iconCentre.y())});
    EXPECT_EQ(waitForLine("ENTER"), QStringLiteral("ENTER"));
    const QString shown = waitForLine("HINT_SHOWN");
    ASSERT_FALSE(shown.isEmpty());
    const QString popup = shown.section(QLatin1Char(' '), 1);
    EXPECT_TRUE(becomesViewable(popup, true));
    const QRect placed = windowGeometry(popup);
    EXPECT_EQ(placed.x() + placed.width(), m_iconCentre.x()); // left of the pointer
    EXPECT_GE(placed.y(), 0);                                 // inside the screen below a top tray
    screenshot(QStringLiteral("tray-popup"));

    pointer({QStringLiteral("mousemove"), QStringLiteral("200"), QStringLiteral("300")});
    EXPECT_FALSE(waitForLine("HINT_HIDDEN").isEmpty());
    EXPECT_FALSE(waitForLine("EXIT").isEmpty());
    EXPECT_TRUE(becomesViewable(popup, false));
}

TEST_F(XEmbedTrayTest, DoubleClickRunsTheDefaultItem) {
    pointer({QStringLiteral("mousemove"), QString::number(m_iconCentre.x()), QString::number(m_iconCentre.y()),
             QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
             QStringLiteral("60"), QStringLiteral("1")});
    EXPECT_EQ(waitForLine("DEFAULT_ITEM"), QStringLiteral("DEFAULT_ITEM"));
    EXPECT_FALSE(m_probe.seen().contains(QStringLiteral("MENU_SHOWN")));
}

TEST_F(XEmbedTrayTest, RightClickOpensTheMenu) {
    pointer({QStringLiteral("mousemove"), QString::number(m_iconCentre.x()), QString::number(m_iconCentre.y()),
             QStringLiteral("click"), QStringLiteral("3")});
    EXPECT_EQ(waitForLine("MENU_SHOWN"), QStringLiteral("MENU_SHOWN"));
    EXPECT_FALSE(m_probe.seen().contains(QStringLiteral("DEFAULT_ITEM")));
    screenshot(QStringLiteral("tray-menu"));
    pointer({QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_EQ(waitForLine("MENU_HIDDEN"), QStringLiteral("MENU_HIDDEN"));
}

TEST_F(XEmbedTrayTest, ANewTrayTakesTheIconInAgain) {
    m_tray.kill();
    EXPECT_EQ(waitForLine("UNDOCKED"), QStringLiteral("UNDOCKED"));
    EXPECT_TRUE(becomesViewable(m_iconWindow, false)); // not left lying on the desktop
    startTray();
    // Qt may have replaced the native window meanwhile: the report names the one that docked.
    const QString docked = waitForLine("DOCKED");
    ASSERT_FALSE(docked.isEmpty());
    const QString window = docked.section(QLatin1Char(' '), 1);
    EXPECT_TRUE(becomesViewable(window, true));
    EXPECT_GE(settledGeometry(window).width(), 22); // a full slot, not squeezed to a pixel
    screenshot(QStringLiteral("tray-redocked"));
}

TEST_F(XEmbedTrayTest, AtScaleFactorTwoTheIconsAreDrawnWithTwiceThePixels) {
    m_probe.stop();
    m_env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    startProbe(m_env);
    EXPECT_EQ(waitForLine("TEXT_ICON"), QStringLiteral("TEXT_ICON 32"));
    // The envelope too, on the way the monitor hands it over: an icon made into the tray's image.
    EXPECT_EQ(waitForLine("ENVELOPE"), QStringLiteral("ENVELOPE 32"));
}

TEST_F(XEmbedTrayTest, WithoutATrayHidingOnlyMinimizesUntilATrayStarts) {
    m_probe.stop();
    m_tray.kill();
    m_env.insert(QStringLiteral("QM_PROBE_WINDOW"), QStringLiteral("1"));
    startProbe(m_env);
    EXPECT_EQ(waitForLine("HIDE"), QStringLiteral("HIDE minimized"));
    startTray();
    EXPECT_EQ(waitForLine("HIDE"), QStringLiteral("HIDE hidden"));
}

} // namespace

namespace {

// The id of the item labelled `label` in a dbusmenu layout node (ia{sv}av), 0 when none.
int menuItemId(const QDBusArgument& node, const QString& label) {
    int id = 0, found = 0;
    QVariantMap properties;
    node.beginStructure();
    node >> id >> properties;
    if (properties.value(QStringLiteral("label")).toString() == label)
        found = id;
    node.beginArray();
    while (!node.atEnd()) {
        QDBusVariant child;
        node >> child;
        found = found > 0 ? found : menuItemId(child.variant().value<QDBusArgument>(), label);
    }
    node.endArray();
    node.endStructure();
    return found;
}

// Where the probe shows its item: on the X11 display of the fixture, or under a headless Wayland
// compositor started in a private runtime folder.
class StatusNotifierTest : public XEmbedTrayTest, public ::testing::WithParamInterface<const char*> {
protected:
    // The probe on a private session bus with the panel (its watcher and host only with `host`),
    // on the X display or under weston as the row says; with `window`, a window it hides.
    void startOnPanel(bool host, bool window) {
        ASSERT_TRUE(m_panel.connect());
        ASSERT_TRUE(!host || m_panel.startWatcher());
        m_probe.stop();
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_panel.address());
        if (window)
            env.insert(QStringLiteral("QM_PROBE_WINDOW"), QStringLiteral("1"));
        const bool wayland = QByteArray(GetParam()) == "wayland";
        if (wayland) {
            ASSERT_TRUE(m_compositor.start(env)) << "weston did not start";
        }
        startProbe(env);
        EXPECT_EQ(waitForLine("PLATFORM"), wayland ? QStringLiteral("PLATFORM wayland") : QStringLiteral("PLATFORM xcb"));
        EXPECT_EQ(waitForLine("BACKEND"), QStringLiteral("BACKEND statusnotifier"));
    }

    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(m_item, path, interface, method);
        message.setArguments(arguments);
        return QDBusConnection(qm::test::PanelHost::kConnection).call(message, QDBus::Block, kWaitMs);
    }

    QVariant itemProperty(const char* name) {
        const QDBusMessage reply =
            call(QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("Get"), {QStringLiteral("org.kde.StatusNotifierItem"), QString::fromLatin1(name)});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    // The images of an icon (a(iiay)), read as hosts read them: ARGB, each pixel in network byte
    // order; a null image where the bytes do not match the size.
    static QList<QImage> readImages(const QDBusArgument& argument) {
        QList<QImage> images;
        argument.beginArray();
        while (!argument.atEnd()) {
            int width = 0, height = 0;
            QByteArray pixels;
            argument.beginStructure();
            argument >> width >> height >> pixels;
            argument.endStructure();
            QImage image;
            if (width > 0 && height > 0 && pixels.size() == width * height * 4) {
                image = QImage(width, height, QImage::Format_ARGB32);
                const auto* b = reinterpret_cast<const uchar*>(pixels.constData());
                for (int i = 0; i < width * height; ++i, b += 4)
                    image.setPixel(i % width, i / width, qRgba(b[1], b[2], b[3], b[0]));
            }
            images.append(image);
        }
        argument.endArray();
        return images;
    }

    // The image the host shows now.
    QImage shownIcon() {
        const QList<QImage> images = readImages(itemProperty("IconPixmap").value<QDBusArgument>());
        return images.isEmpty() ? QImage() : images.constFirst();
    }

    // The tooltip's title, where the item puts its text.
    QString toolTipTitle() {
        const auto argument = itemProperty("ToolTip").value<QDBusArgument>();
        QString icon, title, subTitle;
        argument.beginStructure();
        argument >> icon;
        readImages(argument);
        argument >> title >> subTitle;
        argument.endStructure();
        return title;
    }

    // Both end after TearDown has stopped the probe.
    qm::test::PanelHost m_panel;
    qm::test::WaylandCompositor m_compositor;
    QString m_item;
};

TEST_P(StatusNotifierTest, AStatusNotifierHostOnTheSessionBusWins) {
    startOnPanel(true, false);
    m_item = m_panel.registeredItem();
    ASSERT_FALSE(m_item.isEmpty()) << "the item never registered with the watcher";
    ASSERT_FALSE(shownIcon().isNull()) << "the host gets no image of the icon";
    EXPECT_GE(shownIcon().width(), 16);

    // The status asks for attention while the envelope animates, and the host gets its frames.
    const QList<QImage> envelope = qm::TrayImagesIm1();
    const auto frameOf = [](const QList<QImage>& frames, const QImage& shown) {
        for (qsizetype i = 0; i < frames.size(); ++i)
            if (frames.at(i).convertToFormat(QImage::Format_ARGB32) == shown)
                return int(i);
        return -1;
    };
    m_probe.send("news");
    ASSERT_EQ(waitForLine("TOLD"), QStringLiteral("TOLD news"));
    EXPECT_EQ(toolTipTitle(), QStringLiteral("mail.example.org: 2 new"));
    EXPECT_EQ(itemProperty("Status").toString(), QStringLiteral("NeedsAttention"));
    EXPECT_GE(frameOf(envelope, shownIcon()), 0);
    m_probe.send("stopped");
    ASSERT_EQ(waitForLine("TOLD"), QStringLiteral("TOLD stopped"));
    EXPECT_EQ(frameOf(qm::TrayImagesStopped(), shownIcon()), 0);
    m_probe.send("quiet");
    ASSERT_EQ(waitForLine("TOLD"), QStringLiteral("TOLD quiet"));
    EXPECT_EQ(toolTipTitle(), QStringLiteral("stopped"));
    EXPECT_EQ(itemProperty("Status").toString(), QStringLiteral("Active"));
    EXPECT_EQ(frameOf(envelope, shownIcon()), 0);

    const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
    call(QStringLiteral("/StatusNotifierItem"), itemInterface, QStringLiteral("Activate"), {0, 0});
    EXPECT_EQ(waitForLine("CLICK"), QStringLiteral("CLICK %1").arg(int(Qt::LeftButton)));

    const QString menuPath = itemProperty("Menu").value<QDBusObjectPath>().path();
    ASSERT_FALSE(menuPath.isEmpty());
    const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");
    const QDBusMessage layout =
        call(menuPath, menuInterface, QStringLiteral("GetLayout"), {0, -1, QStringList()});
    ASSERT_EQ(layout.arguments().size(), 2) << layout.errorMessage().toStdString();
    const auto menu = [&] { return layout.arguments().at(1).value<QDBusArgument>(); };
    const int checkMail = menuItemId(menu(), QStringLiteral("Check mail"));
    const int runClient = menuItemId(menu(), QStringLiteral("Run mail client"));
    const int exit = menuItemId(menu(), QStringLiteral("Exit"));
    ASSERT_GT(checkMail, 0);
    ASSERT_GT(runClient, 0);
    ASSERT_GT(exit, 0);
    const auto click = [&](int id) {
        call(menuPath, menuInterface, QStringLiteral("Event"),
             {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(QVariant(0))), 0u});
    };
    click(checkMail);
    EXPECT_EQ(waitForLine("CHECK_MAIL"), QStringLiteral("CHECK_MAIL"));
    click(runClient);
    EXPECT_EQ(waitForLine("DEFAULT_ITEM"), QStringLiteral("DEFAULT_ITEM"));
    click(exit);
    EXPECT_TRUE(m_probe.finishes());
}

// Under Wayland with no panel yet, hiding only minimizes; once a host runs, hiding hides. (On X11
// the XEmbed test has this case.)
using WaylandWithoutHostTest = StatusNotifierTest;

TEST_P(WaylandWithoutHostTest, HidingOnlyMinimizesUntilAHostStarts) {
    startOnPanel(false, true);
    EXPECT_EQ(waitForLine("HIDE"), QStringLiteral("HIDE minimized"));
    ASSERT_TRUE(m_panel.startWatcher());
    EXPECT_EQ(waitForLine("HIDE"), QStringLiteral("HIDE hidden"));
    EXPECT_FALSE(m_panel.registeredItem().isEmpty()) << "the item did not register with the panel that started";
}

INSTANTIATE_TEST_SUITE_P(Desktops, StatusNotifierTest, ::testing::Values("x11", "wayland"),
                         [](const ::testing::TestParamInfo<const char*>& row) { return std::string(row.param); });
INSTANTIATE_TEST_SUITE_P(Desktops, WaylandWithoutHostTest, ::testing::Values("wayland"),
                         [](const ::testing::TestParamInfo<const char*>& row) { return std::string(row.param); });

} // namespace
