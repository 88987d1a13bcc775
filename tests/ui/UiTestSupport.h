#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace qm::test {

// The widget tests share one application object for the whole run; it is never destroyed, so
// nothing Qt owns outlives it.
inline QApplication* ensureApp() {
    // Widget tests never need a display, whatever the test runner passed on.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

// Answers the next modal window (dialog or message box) once it is shown, with the answer
// callback. If none comes within the limit, nothing is answered and `answered()` stays false.
// A modal window already open when the answerer is made is not the next one: answerers can be
// made inside another's answer for a window that window opens.
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(QWidget*)> answer, int limitMs = 5000)
        : m_answer(std::move(answer)), m_outer(QApplication::activeModalWidget()), m_ticksLeft(limitMs / kTickMs) {
        m_timer.setInterval(kTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }
    bool answered() const { return m_answered; }

private:
    static constexpr int kTickMs = 10;
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != m_outer && modal->isVisible()) {
            m_timer.stop();
            m_answered = true;
            m_answer(modal);
            return;
        }
        if (--m_ticksLeft <= 0)
            m_timer.stop();
    }

    std::function<void(QWidget*)> m_answer;
    QWidget* m_outer;
    int m_ticksLeft;
    bool m_answered = false;
    QTimer m_timer;
};

} // namespace qm::test
