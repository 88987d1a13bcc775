#pragma once

// Accounts, mailboxes and logins for checks against the fake POP3 server on loopback. Header
// only: it needs the settings library, which every check test links and the fake server does not.

#include "FakePop3Server.h"
#include "settings/PasswordScrambler.h"
#include "settings/SettingsFile.h"

#include <string>
#include <utility>
#include <vector>

namespace qm::test {

// A plain POP3 account on 127.0.0.1, its password scrambled the way the settings file keeps it.
inline AccountRow LoopbackAccount(int port, const std::string& user, const std::string& password,
                                  const std::string& timeOut, bool disabled) {
    AccountRow row;
    row.Caption = "127.0.0.1";
    row.AccountName = user;
    row.AccountPassword = ScramblePassword(password);
    row.Port = std::to_string(port);
    row.TimeOut = timeOut;
    row.Disabled = disabled ? "True" : "False";
    row.Security = "0";
    return row;
}

// A message with the usual header fields and a fixed date.
inline std::string DatedMessage(const std::string& from, const std::string& subject, const std::string& body) {
    return "From: " + from + "\r\nSubject: " + subject + "\r\nDate: Mon, 3 Jun 2024 10:00:00 +0000\r\n\r\n" + body +
           "\r\n";
}

// The mailbox of user (password "secret") holding the messages.
inline FakeMailbox MailboxOf(std::vector<std::string> messages, const std::string& user = "user") {
    FakeMailbox mb;
    mb.user = user;
    mb.messages = std::move(messages);
    return mb;
}

// Greeting and a successful login of user/secret; the test scripts what follows.
inline FakePop3Server& LoginScript(FakePop3Server& server) {
    return server.SendLine("+OK ready").Reply("USER user", "+OK").Reply("PASS secret", "+OK");
}

} // namespace qm::test
