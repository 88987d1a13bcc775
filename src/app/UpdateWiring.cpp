#include "app/UpdateWiring.h"

#include "app/MainWindow.h"
#include "platform/FileVersion.h"
#include "platform/gui/ShellOpen.h"
#include "text/AsciiText.h"

#include <QCheckBox>
#include <QMessageBox>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace qm {

namespace {

std::optional<std::string> overrideFromEnvironment() {
    if (const char* value = std::getenv(kUpdateServerVariable)) {
        return std::string(value);
    }
    return std::nullopt;
}

std::string ownVersion() {
    return std::string(TrimControls(FileVersionOf(OwnExecutablePath())));
}

} // namespace

UpdateWiring::UpdateWiring(TmQuillmere& window)
    : m_window(window), m_server(ChooseUpdateServer(BuiltInUpdateHost(), overrideFromEnvironment())) {
    m_window.UpdateCheck = [this] { StartCheck(); };
    m_window.OfferUpdate = [this](const std::string& newVersion) { OfferUpdate(newVersion); };
    if (!m_server) {
        if (auto* box = m_window.findChild<QCheckBox*>(QStringLiteral("cbCheckNewVersion"))) {
            box->setEnabled(false);
            box->setToolTip(QStringLiteral("This build has no update server"));
        }
    }
}

UpdateWiring::~UpdateWiring() {
    if (!m_check) {
        return;
    }
    m_check->Cancel();
    // A cancelled check ends at once unless it is still resolving the server's name; the program's
    // teardown should not meet it, but leaving never waits long for it either.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!m_check->Finished() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void UpdateWiring::StartCheck() {
    // Once per run, and never without a server.
    if (!m_server || m_check) {
        return;
    }
    CheckVers::Job job;
    job.server = *m_server;
    job.localVersion = ownVersion();
    TmQuillmere* window = &m_window;
    m_check = CheckVers::Start(job, [window](const std::string& newVersion) { window->postUpdateResult(newVersion); });
}

void UpdateWiring::OfferUpdate(const std::string& newVersion) {
    if (newVersion.empty() || !m_server) {
        return;
    }
    const std::string current = ownVersion();
    // The published text is digits and dots only, or it would not have been newer.
    const QString text = QStringLiteral("Quillmere32 ver.") + QString::fromLatin1(current) + QLatin1Char('\n') +
                         m_window.tr_("Founded new version") + QLatin1Char(' ') + QString::fromLatin1(newVersion) +
                         QLatin1Char('\n') + m_window.tr_("Download it now?");
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
                    &m_window);
    box.setObjectName(QStringLiteral("updateBox"));
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() == QMessageBox::Yes) {
        ShellOpen(QString::fromLatin1(DownloadAddress(*m_server, current, newVersion)));
    }
}

} // namespace qm
