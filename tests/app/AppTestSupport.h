#pragma once

#include "app/MainWindow.h"

#include <QDir>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace qm::test {

// A folder of its own for each test: the fake executable lives there, so the settings and list
// files do too, and the autostart entry goes to its cfg/ (XDG_CONFIG_HOME).
class AppFolder {
public:
    AppFolder();
    std::filesystem::path path() const;
    std::filesystem::path executable() const { return path() / "quillmere"; }
    std::filesystem::path file(const char* name) const { return path() / name; }
    std::filesystem::path configHome() const { return path() / "cfg"; }

private:
    QTemporaryDir m_dir;
};

// Whole file as bytes; empty when missing.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// The settings file a first start writes.
std::string defaultSettingsFile();

// Whether the window's tray icon finds a tray (the offscreen screen has none): the test says.
void setTrayPresent(TmQuillmere& window, bool present);
// Creates the window and waits until its start-up step has run (the refresh tick is on).
std::unique_ptr<TmQuillmere> startWindow(const AppFolder& folder, bool show = true, bool trayPresent = true);

// Waits (event loop running) until pred holds; false when it never did within the limit.
bool waitFor(const std::function<bool()>& pred, int timeoutMs = 10000);

// Answers the next message box that opens with the given button and records its text.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer);
    bool answered() const { return m_answered; }
    QString text() const { return m_text; }
    QString objectName() const { return m_objectName; }

private:
    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
    bool m_answered = false;
    QString m_text;
    QString m_objectName;
};

} // namespace qm::test
