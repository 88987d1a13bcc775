// The version check in the window, against a loopback HTTP responder and a stand-in browser.
#include "AppTestSupport.h"
#include "DesktopStandIns.h"
#include "HttpResponder.h"

#include "app/UpdateWiring.h"

#include <QCheckBox>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

std::string ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Waits for count more refresh ticks of a started window.
bool waitTicks(TmQuillmere& window, int count) {
    int ticks = 0;
    const auto connection = QObject::connect(window.refreshTimer(), &QTimer::timeout, [&ticks] { ++ticks; });
    const bool passed = waitFor([&ticks, count] { return ticks >= count; });
    QObject::disconnect(connection);
    return passed;
}

class UpdateCheckWindow : public ::testing::Test {
protected:
    void SetUp() override { m_env.set(kUpdateServerVariable, m_responder.Address()); }

    void setCheckOption(bool on) {
        writeFile(m_folder.file("quillmere.ini"), "[Main]\r\nCheckNewVersion=" + std::string(on ? "1" : "0") + "\r\n");
    }

    AppFolder m_folder;
    StandInDesktop m_desktop{m_folder.path()};
    HttpResponder m_responder;
    ScopedEnv m_env;
};

TEST_F(UpdateCheckWindow, ANewerVersionIsOfferedOnceAndYesOpensTheDownloadPage) {
    m_responder.Answer(ok(" 2.7.0.0\r\n"));
    m_responder.Start();
    BoxAnswerer yes(QMessageBox::Yes);
    auto window = startWindow(m_folder);
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitFor([&] { return yes.answered(); }));
    EXPECT_EQ(yes.objectName(), QStringLiteral("updateBox"));
    EXPECT_EQ(yes.text(), QStringLiteral("Quillmere32 ver.2.6.0.0\nFounded new version 2.7.0.0\nDownload it now?"));
    const std::string address = "http://127.0.0.1:" + std::to_string(m_responder.Port()) +
                                "/soft/download.jsp?program=quillmere32.zip&upd=updated_from2.6.0.0_to_2.7.0.0";
    EXPECT_TRUE(waitFor([&] { return m_desktop.browsed() == std::vector<std::string>{address}; }))
        << (m_desktop.browsed().empty() ? "" : m_desktop.browsed().front());

    BoxAnswerer again(QMessageBox::No);
    ASSERT_TRUE(waitTicks(*window, 3));
    EXPECT_FALSE(again.answered());
    EXPECT_EQ(m_responder.Connections(), 1);
}

TEST_F(UpdateCheckWindow, EqualOlderOrFailedAnswersAskNothing) {
    for (const std::string& response : {ok("2.6.0.0"), ok("2.5.9.9\r\n"), ok("<html>2.7.0.0</html>"),
                                        std::string("HTTP/1.1 404 Not Found\r\nContent-Length: 7\r\n\r\n2.7.0.0")}) {
        HttpResponder responder;
        responder.Answer(response);
        responder.Start();
        ScopedEnv env;
        env.set(kUpdateServerVariable, responder.Address());
        BoxAnswerer box(QMessageBox::No);
        auto window = startWindow(m_folder);
        ASSERT_TRUE(window);
        ASSERT_TRUE(waitFor([&] {
            const CheckVers* check = window->updateWiring()->check();
            return check != nullptr && check->Finished();
        })) << response;
        ASSERT_TRUE(waitTicks(*window, 2));
        EXPECT_FALSE(box.answered()) << response;
        EXPECT_EQ(responder.Connections(), 1) << response;
    }
}

TEST_F(UpdateCheckWindow, WithTheOptionOffNothingGoesOverTheNetwork) {
    setCheckOption(false);
    m_responder.Answer(ok("9.9.9.9"));
    m_responder.Start();
    auto window = startWindow(m_folder);
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitTicks(*window, 2));
    EXPECT_EQ(window->updateWiring()->check(), nullptr);
    EXPECT_EQ(m_responder.Connections(), 0);
}

TEST_F(UpdateCheckWindow, WithoutAServerTheBoxIsDisabledAndItsValueKept) {
    if (!BuiltInUpdateHost().empty()) {
        GTEST_SKIP() << "this build names an update server";
    }
    m_env.unset(kUpdateServerVariable);
    setCheckOption(true);
    auto window = startWindow(m_folder);
    ASSERT_TRUE(window);
    auto* box = window->findChild<QCheckBox*>(QStringLiteral("cbCheckNewVersion"));
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isEnabled());
    EXPECT_FALSE(box->toolTip().isEmpty());
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(window->updateWiring()->check(), nullptr);
    window->SaveSettings();
    EXPECT_NE(readFile(m_folder.file("quillmere.ini")).find("CheckNewVersion=1\r\n"), std::string::npos);
}

} // namespace
} // namespace qm::test
