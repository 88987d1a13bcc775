// The keyring parts of the account commands. Every keyring call runs on a thread of its own and
// owns copies of what it needs, so a keyring that prompts, is slow or never answers leaves the
// window responsive and a command fails after its bound instead of freezing the window.

#include "ui/AccountActions.h"

#include <QMessageBox>
#include <QStringList>

#include <algorithm>

#include "engine/PasswordKeeping.h"
#include "engine/SessionPassword.h"
#include "settings/AccountCells.h"
#include "ui/AccountDialog.h"
#include "ui/AccountListView.h"
#include "ui/CodePageText.h"
#include "ui/KeyringWait.h"

namespace qm {

namespace {

// Asking whether a keyring answers must not hold the dialog up for long.
constexpr int kKeyringProbeMs = 3000;

} // namespace

SecretResult AccountActions::callKeyring(int boundMs, std::function<SecretResult(SecretCancel&)> call) {
    auto answer = std::make_shared<SecretResult>();
    const KeyringWaitEnd end =
        AwaitKeyring(m_dialogParent, tr_("Waiting for the desktop keyring..."), tr_("Cancel"), boundMs,
                     [answer, call = std::move(call)](SecretCancel& cancel) { *answer = call(cancel); });
    if (end == KeyringWaitEnd::Finished)
        return std::move(*answer);
    return SecretResult(end == KeyringWaitEnd::TimedOut ? SecretStatus::TimedOut : SecretStatus::Aborted);
}

bool AccountActions::keyringAnswers() {
    const int bound = std::min(kKeyringProbeMs, m_keyringTimeoutMs);
    const SecretResult probe = callKeyring(bound, [store = m_secrets, bound](SecretCancel&) {
        return SecretResult(store->Answers(bound) ? SecretStatus::Found : SecretStatus::NoKeyring);
    });
    return probe.status == SecretStatus::Found;
}

QString AccountActions::keptPassword(const AccountRow& row) {
    const int bound = m_keyringTimeoutMs;
    const SecretResult kept = callKeyring(bound, [store = m_secrets, row, bound](SecretCancel& cancel) {
        return ReadKeptPassword(*store, row, bound, cancel);
    });
    return kept.status == SecretStatus::Found ? fromCodePage(kept.secret) : QString();
}

void AccountActions::warnKeyring(const QString& text) {
    QMessageBox box(QMessageBox::Warning, tr_("Keep the password in"), text, QMessageBox::Ok, m_dialogParent);
    box.setObjectName(QStringLiteral("keyringBox"));
    box.exec();
}

bool AccountActions::keepDialogPassword(AccountRow& row) {
    // The worker's own copies: it may still run after the wait has ended.
    auto password = std::make_shared<SecretResult>(SecretStatus::Found, toCodePage(m_dialog->password()));
    auto kept = std::make_shared<AccountRow>(row);
    const auto where = static_cast<PasswordStore>(m_dialog->passwordStore());
    const int bound = m_keyringTimeoutMs;
    const SecretResult result =
        callKeyring(bound, [store = m_secrets, password, kept, where, bound](SecretCancel& cancel) {
            return KeepPassword(*store, *kept, password->secret, where, bound, cancel);
        });
    if (result.status == SecretStatus::Found) {
        row = *kept;
        return true;
    }
    // Aborted: the user closed the waiting box, and knows.
    if (result.status != SecretStatus::Aborted)
        warnKeyring(fromUtf8(KeyringFailure(result, m_language)));
    return false;
}

void AccountActions::forgetEntries(const std::vector<AccountRow>& gone) {
    const std::vector<AccountRow> rows = m_list->rows();
    std::vector<SecretKey> done;
    QStringList stayed;
    SecretResult why;
    bool giveUp = false;
    for (const AccountRow& before : gone) {
        const std::optional<SecretKey> key = EntryLeftBehind(before, rows);
        if (!key || std::find(done.begin(), done.end(), *key) != done.end())
            continue;
        done.push_back(*key);
        SecretResult cleared(SecretStatus::TimedOut);
        if (!giveUp) {
            const int bound = m_keyringTimeoutMs;
            cleared = callKeyring(bound, [store = m_secrets, key = *key, bound](SecretCancel&) {
                return store->Clear(key, bound);
            });
        }
        if (cleared.status == SecretStatus::Found)
            continue;
        // A keyring that did not answer once, or a wait the user ended, is not asked again.
        giveUp = giveUp || cleared.status == SecretStatus::TimedOut || cleared.status == SecretStatus::Aborted;
        if (stayed.isEmpty())
            why = std::move(cleared);
        stayed.append(fromCodePage(AccountOfRow(before)));
    }
    if (!stayed.isEmpty())
        warnKeyring(tr_("Left in the desktop keyring:") + QLatin1Char(' ') + stayed.join(QStringLiteral(", ")) +
                    QLatin1Char('\n') + fromUtf8(KeyringFailure(why, m_language)));
}

void AccountActions::aMoveAllToKeyringExecute() {
    if (executing())
        return;
    const std::vector<AccountRow> before = m_list->rows();
    auto rows = std::make_shared<std::vector<AccountRow>>(before);
    auto moved = std::make_shared<KeyringMove>();
    const int bound = m_keyringTimeoutMs;
    const auto toMove = std::count_if(before.begin(), before.end(), [](const AccountRow& row) {
        return PasswordStoreOfCell(row.PasswordStore) == PasswordStore::File;
    });
    // Each row has the bound for its calls; one that gets no answer ends the command.
    const SecretResult done = callKeyring(
        bound * static_cast<int>(std::min<std::ptrdiff_t>(toMove + 1, 50)),
        [store = m_secrets, rows, moved, bound](SecretCancel& cancel) {
            *moved = MoveAllToKeyring(*store, *rows, bound, cancel);
            return SecretResult(SecretStatus::Found);
        });
    KeyringMove result;
    if (done.status == SecretStatus::Found) {
        result = std::move(*moved);
        for (std::size_t i = 0; i < rows->size(); ++i) {
            if (!((*rows)[i] == before[i]))
                m_list->setRow(static_cast<int>(i), (*rows)[i]);
        }
    } else {
        // The rows stay as they were; whatever the keyring takes later is only a spare copy.
        for (const AccountRow& row : before) {
            if (PasswordStoreOfCell(row.PasswordStore) == PasswordStore::File)
                result.failed.push_back(AccountOfRow(row));
        }
        result.firstFailure = SecretResult(done.status);
    }
    QString summary = tr_("Passwords moved:") + QLatin1Char(' ') + QString::number(result.moved);
    if (!result.failed.empty()) {
        QStringList names;
        for (const std::string& name : result.failed)
            names.append(fromCodePage(name));
        summary += QLatin1Char('\n') + tr_("Not moved:") + QLatin1Char(' ') + names.join(QStringLiteral(", ")) +
                   QLatin1Char('\n') + fromUtf8(KeyringFailure(result.firstFailure, m_language));
    }
    QMessageBox box(QMessageBox::Information, tr_("Move all passwords to the keyring"), summary, QMessageBox::Ok,
                    m_dialogParent);
    box.setObjectName(QStringLiteral("keyringMoveBox"));
    box.exec();
    emit saveSettingsRequested();
}

} // namespace qm
