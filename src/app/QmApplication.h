#pragma once

#include <QApplication>
#include <QString>

#include <functional>

namespace qm {

// The application object: every exception that reaches the event loop ends in
// ApplicationEvents1Exception instead of terminating the process.
class QmApplication : public QApplication {
    Q_OBJECT
public:
    QmApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the text of an error that must reach the user; every other error is dropped.
    static void ApplicationEvents1Exception(const QString& message);

    // Whether an error with this message is shown rather than dropped.
    static bool IsShownError(const QString& message);

    // How a shown error is presented; a plain message box unless replaced.
    static void setErrorPresenter(std::function<void(const QString&)> presenter);
};

} // namespace qm
