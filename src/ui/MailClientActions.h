#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>

namespace qm {

class TselMailCl_fm;

// Starting the mail client and choosing it. The client is a program path or a bare name looked up
// on PATH (code page bytes, kept by the caller); an empty one is the desktop's default mail
// handler, remembered once it has started.
class MailClientActions : public QObject {
    Q_OBJECT
public:
    // The desktop's default mail handler as a bare program name (UTF-8); empty when there is none.
    using Derivation = std::function<std::string()>;
    // Starts a program; false when it cannot be started.
    using Starter = std::function<bool(const QString&)>;

    // Reads and replaces the caller's client.
    using Getter = std::function<std::string()>;
    using Setter = std::function<void(std::string)>;

    MailClientActions(Getter get, Setter set, TselMailCl_fm* dialog, QObject* parent = nullptr);

    void setDerivation(Derivation derive) { m_derive = std::move(derive); }
    void setStarter(Starter start) { m_start = std::move(start); }

    // Starts the client; when it cannot be started the selection dialog opens instead and the
    // client stays as it was.
    void aRunMailclientExecute();
    // Shows the selection dialog; Save takes its text (empty: the desktop's handler again).
    void aSelectmailClientExecute();

signals:
    // The client has started.
    void started();

private:
    Getter m_get;
    Setter m_set;
    TselMailCl_fm* m_dialog;
    Derivation m_derive;
    Starter m_start;
};

} // namespace qm
