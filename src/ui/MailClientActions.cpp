#include "ui/MailClientActions.h"

#include "platform/MailHandler.h"
#include "platform/gui/ShellOpen.h"
#include "ui/CodePageText.h"
#include "ui/MailClientDialog.h"

namespace qm {

MailClientActions::MailClientActions(Getter get, Setter set, TselMailCl_fm* dialog, QObject* parent)
    : QObject(parent), m_get(std::move(get)), m_set(std::move(set)), m_dialog(dialog),
      m_derive([] { return DefaultMailHandler(); }), m_start(&ShellOpen) {}

void MailClientActions::aRunMailclientExecute() {
    const std::string client = m_get();
    QString name = fromCodePage(client);
    if (client.empty()) {
        name = fromUtf8(m_derive());
    }
    if (name.trimmed().isEmpty() || !m_start(name)) {
        aSelectmailClientExecute();
        return;
    }
    m_set(toCodePage(name));
    emit started();
}

void MailClientActions::aSelectmailClientExecute() {
    m_dialog->setMailClient(fromCodePage(m_get()));
    if (m_dialog->exec() == QDialog::Accepted) {
        m_set(toCodePage(m_dialog->chosenPath()));
    }
}

} // namespace qm
