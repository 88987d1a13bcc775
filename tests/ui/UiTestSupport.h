#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

namespace qm::test {

// A whole file as bytes; empty when missing.
inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

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
// made inside another's answer for a window that window opens. With `wanted`, only a modal window
// it accepts is answered.
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(QWidget*)> answer, int limitMs = 5000,
                           std::function<bool(QWidget*)> wanted = {})
        : m_answer(std::move(answer)), m_wanted(std::move(wanted)), m_outer(QApplication::activeModalWidget()),
          m_ticksLeft(limitMs / kTickMs) {
        m_timer.setInterval(kTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }
    bool answered() const { return m_answered; }

private:
    static constexpr int kTickMs = 10;
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != m_outer && modal->isVisible() && (!m_wanted || m_wanted(modal))) {
            m_timer.stop();
            m_answered = true;
            m_answer(modal);
            return;
        }
        if (--m_ticksLeft <= 0)
            m_timer.stop();
    }

    std::function<void(QWidget*)> m_answer;
    std::function<bool(QWidget*)> m_wanted;
    QWidget* m_outer;
    int m_ticksLeft;
    bool m_answered = false;
    QTimer m_timer;
};

// What a modal value dialog showed when it was answered.
struct ValueDialogSeen {
    QString caption;
    QString label;
    QString okButton;
    QString cancelButton;
    QString value;
};

// Answers the next value dialog (the one with eValue and bbAddEdit): shows what it held in `seen`,
// types `text` over the value and presses OK, or Cancel when ok is false.
inline std::unique_ptr<ModalAnswerer> answerValueDialog(const QString& text, bool ok = true,
                                                        ValueDialogSeen* seen = nullptr) {
    return std::make_unique<ModalAnswerer>([text, ok, seen](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("eValue"));
        auto* okButton = modal->findChild<QPushButton*>(QStringLiteral("bbAddEdit"));
        auto* cancel = modal->findChild<QPushButton*>(QStringLiteral("bbCancel"));
        if (edit == nullptr || okButton == nullptr || cancel == nullptr) {
            modal->close();
            return;
        }
        if (seen != nullptr) {
            *seen = {modal->windowTitle(),
                     modal->findChild<QWidget*>(QStringLiteral("lbMask"))->property("text").toString(),
                     okButton->text(), cancel->text(), edit->text()};
        }
        edit->setText(text);
        QTest::mouseClick(ok ? okButton : cancel, Qt::LeftButton);
    });
}

// How a question box is left.
enum class BoxAnswer { Yes, No, Escape, CloseBox };

// Answers the next message box the given way, keeping its text in `text`.
inline std::unique_ptr<ModalAnswerer> answerMessageBox(BoxAnswer answer, QString* text = nullptr) {
    auto isBox = [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; };
    return std::make_unique<ModalAnswerer>(
        [answer, text](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (text != nullptr)
                *text = box->text();
            switch (answer) {
            case BoxAnswer::Yes:
                QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
                break;
            case BoxAnswer::No:
                QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
                break;
            case BoxAnswer::Escape:
                QTest::keyClick(box, Qt::Key_Escape);
                break;
            case BoxAnswer::CloseBox:
                box->close();
                break;
            }
        },
        5000, isBox);
}

} // namespace qm::test
