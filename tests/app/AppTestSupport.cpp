#include "AppTestSupport.h"

#include "TestPaths.h"
#include "app/TextTrayFacade.h"
#include "tray/TextTrayIcon.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>

#include <fstream>
#include <iterator>

namespace qm::test {

AppFolder::AppFolder() : m_dir(QStringLiteral(QM_TEST_TMP_DIR "/app-XXXXXX")) {
    QDir().mkpath(QStringLiteral(QM_TEST_TMP_DIR));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(QString::fromStdString(configHome().string())));
}

std::filesystem::path AppFolder::path() const {
    return std::filesystem::path(QFile::encodeName(m_dir.path()).toStdString());
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string defaultSettingsFile() {
    const char* lines[] = {"[Main]",
                           "Interval=5",
                           "Executing=0",
                           "Language=EN",
                           "FromAddress=",
                           "Subject=",
                           "UseFrom=0",
                           "UseSubject=0",
                           "Attach=0",
                           "WriteToFile=0",
                           "Overwrite=0",
                           "FileName=messages.txt",
                           "AntiSpamListEnabled=1",
                           "AntiSpamSubjListEnabled=1",
                           "CheckNewVersion=1"};
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text + "\r\n";
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs) {
    return QTest::qWaitFor(pred, timeoutMs);
}

void setTrayPresent(TmQuillmere& window, bool present) {
    qobject_cast<TextTrayFacade*>(window.tray())->icon().SetTrayPresence([present] { return present; });
}

std::unique_ptr<TmQuillmere> startWindow(const AppFolder& folder, bool show, bool trayPresent) {
    auto window = std::make_unique<TmQuillmere>(folder.executable());
    setTrayPresent(*window, trayPresent);
    if (show) {
        window->show();
    }
    TmQuillmere* raw = window.get();
    if (!waitFor([raw] { return raw->refreshTimer()->isActive(); })) {
        return nullptr;
    }
    return window;
}

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer) {
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        m_timer.stop();
        m_answered = true;
        m_text = box->text();
        m_objectName = box->objectName();
        if (QAbstractButton* button = box->button(m_answer)) {
            button->click();
        } else {
            box->reject();
        }
    });
    m_timer.start();
}

} // namespace qm::test
