#include "app/QmApplication.h"

#include <QMessageBox>

#include <exception>

namespace qm {

namespace {

std::function<void(const QString&)>& errorPresenter() {
    static std::function<void(const QString&)> presenter;
    return presenter;
}

} // namespace

QmApplication::QmApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool QmApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ApplicationEvents1Exception(QString::fromUtf8(error.what()));
    } catch (...) {
        // Not one of ours and without a message: dropped like every other error.
    }
    return false;
}

bool QmApplication::IsShownError(const QString& message) {
    // The language table reports its capacity this way; the user should learn about it.
    return message.contains(QStringLiteral("The allowable quantity of records"));
}

void QmApplication::ApplicationEvents1Exception(const QString& message) {
    if (!IsShownError(message)) {
        return;
    }
    if (errorPresenter()) {
        errorPresenter()(message);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorMessageBox"));
    box.exec();
}

void QmApplication::setErrorPresenter(std::function<void(const QString&)> presenter) {
    errorPresenter() = std::move(presenter);
}

} // namespace qm
