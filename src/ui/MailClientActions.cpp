#include "ui/MailClientActions.h"

#include "platform/MailHandler.h"
#include "platform/gui/ShellOpen.h"
#include "ui/CodePageText.h"
#include "ui/MailClientDialog.h"

namespace qm {

MailClientActions::MailClientActions(std::string& mailClient, TselMailCl_fm* dialog, QObject* parent)
    : QObject(parent), m_mailClient(mailClient), m_dialog(dialog), m_derive([] { return DefaultMailHandler(); }),
      m_start(&ShellOpen) {}

void MailClientActions::aRunMailclientExecute() {
    QString name = fromCodePage(m_mailClient);
    if (m_mailClient.empty()) {
        name = fromUtf8(m_derive());
    }
    if (name.trimmed().isEmpty() || !m_start(name)) {
        aSelectmailClientExecute();
        return;
    }
    m_mailClient = toCodePage(name);
}

void MailClientActions::aSelectmailClientExecute() {
    m_dialog->setMailClient(fromCodePage(m_mailClient));
    if (m_dialog->exec() == QDialog::Accepted) {
        m_mailClient = toCodePage(m_dialog->chosenPath());
    }
}

} // namespace qm
