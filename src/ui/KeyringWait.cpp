#include "ui/KeyringWait.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/SecretStore.h"

namespace qm {

namespace {

// Most keyring calls end well within this; only a slower one shows the box, so there is no flicker.
constexpr int kShowAfterMs = 400;

// What the worker and the waiting window share; the worker may outlive the wait.
struct Handoff {
    std::mutex mutex;
    QObject* waiter = nullptr; // lives on the window's thread; null once nobody waits
    std::function<void()> wake;
    bool finished = false;
    SecretCancel cancel;
};

} // namespace

KeyringWaitEnd AwaitKeyring(QWidget* parent, const QString& waiting, const QString& cancelCaption, int boundMs,
                            std::function<void(SecretCancel&)> work) {
    auto handoff = std::make_shared<Handoff>();
    QEventLoop loop;
    std::optional<KeyringWaitEnd> end;
    bool showBox = false;
    // Declared after what its calls use: posted calls go with it, unrun.
    QObject waiter;
    {
        const std::lock_guard lock(handoff->mutex);
        handoff->waiter = &waiter;
        handoff->wake = [&loop, &end] {
            if (!end)
                end = KeyringWaitEnd::Finished;
            loop.quit();
        };
    }
    std::thread([handoff, work = std::move(work)]() mutable {
        work(handoff->cancel);
        work = nullptr; // what the work owned goes here, off the window's thread
        const std::lock_guard lock(handoff->mutex);
        handoff->finished = true;
        if (handoff->waiter != nullptr)
            QMetaObject::invokeMethod(handoff->waiter, handoff->wake, Qt::QueuedConnection);
    }).detach();

    QTimer::singleShot(boundMs, &waiter, [&loop, &end] {
        if (!end)
            end = KeyringWaitEnd::TimedOut;
        loop.quit();
    });
    QTimer::singleShot(kShowAfterMs, &waiter, [&loop, &showBox] {
        showBox = true;
        loop.quit();
    });
    const auto finished = [&handoff] {
        const std::lock_guard lock(handoff->mutex);
        return handoff->finished;
    };
    // Clicks and keys wait meanwhile, so no other command starts inside this one.
    if (!finished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!end && showBox && !finished()) {
        QProgressDialog box(waiting, cancelCaption, 0, 0, parent);
        box.setObjectName(QStringLiteral("keyringWait"));
        box.setAccessibleName(waiting);
        box.setWindowTitle(waiting);
        box.setWindowModality(Qt::ApplicationModal);
        box.setAutoClose(false);
        box.setAutoReset(false);
        QObject::connect(&box, &QProgressDialog::canceled, &waiter, [&loop, &end] {
            if (!end)
                end = KeyringWaitEnd::Cancelled;
            loop.quit();
        });
        box.show();
        loop.exec();
    }
    const std::lock_guard lock(handoff->mutex);
    handoff->waiter = nullptr;
    handoff->wake = nullptr;
    // Work that is done counts even when the bound or the user came a moment earlier.
    const KeyringWaitEnd result =
        handoff->finished ? KeyringWaitEnd::Finished : end.value_or(KeyringWaitEnd::Cancelled);
    if (result != KeyringWaitEnd::Finished)
        handoff->cancel.Cancel();
    return result;
}

} // namespace qm
