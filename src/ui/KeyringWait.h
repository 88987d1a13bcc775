#pragma once

// Keyring calls of the account commands run on a thread of their own, so the window keeps painting
// and answering while a keyring asks for its password, is slow, or never answers at all.

#include <QString>

#include <functional>

class QWidget;

namespace qm {

class SecretCancel;

enum class KeyringWaitEnd {
    Finished,  // the work ended in time: what it produced may be used
    TimedOut,  // the bound passed first
    Cancelled, // the user closed the waiting box, or the program is leaving
};

// Runs work(cancel) on a new thread and handles the window's events until it ends or boundMs pass:
// at first without the user's input, then behind a modal box (object name keyringWait) that says
// `waiting` and offers `cancelCaption`. Unless Finished, `cancel` is cancelled and the work ends
// alone later, so it must own what it touches, and the caller must not read what it leaves. Work
// that has ended counts as Finished even when the bound or the user came a moment before.
KeyringWaitEnd AwaitKeyring(QWidget* parent, const QString& waiting, const QString& cancelCaption, int boundMs,
                            std::function<void(SecretCancel&)> work);

} // namespace qm
