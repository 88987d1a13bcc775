// The IMAP client against a real Dovecot started for the test: sign-in over plain text, STARTTLS
// and TLS on connect, refused certificates and passwords; then one mailbox walked as a check
// walks it: counts, unseen messages, headers and whole messages fetched without changing a flag,
// a move that lands in the junk folder on disk, a deletion expunged, a missing folder, and IDLE.

#include "DovecotServer.h"
#include "HttpResponder.h"
#include "TestPki.h"
#include "imap/IdIMAP4.h"
#include "imap/ImapFolders.h"
#include "pop3/IdExceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace qm {
namespace {

using test::DovecotServer;
using test::HttpResponder;
using test::ScopedCaFile;

constexpr const char* kToken = "ya29-imap-token";

std::unique_ptr<TIdIMAP4> clientFor(const DovecotServer& dovecot, int security, int auth = TIdIMAP4::kAuthLogin) {
    auto client = std::make_unique<TIdIMAP4>();
    client->Host = "localhost";
    client->Port = security == TIdIMAP4::kSecurityTls ? dovecot.ImapsPort() : dovecot.ImapPort();
    client->Username = dovecot.User();
    client->Password = dovecot.Password();
    client->Security = security;
    client->Auth = auth;
    return client;
}

struct SignIn {
    const char* name;
    DovecotServer::Certificate certificate;
    int security;
    int auth;
    bool wrongSecret;  // the password, or the OAuth2 token
    const char* error; // empty: signed in
};

class ImapDovecotSignIn : public testing::TestWithParam<SignIn> {};

TEST_P(ImapDovecotSignIn, SignsInOrFailsClearly) {
    const SignIn& c = GetParam();
    // Dovecot's OAuth2 passdb asks this responder whether a token is good.
    HttpResponder introspection;
    test::ServeIntrospection(introspection, kToken, "qmtest");
    DovecotServer dovecot(c.certificate, "http://" + introspection.Address() + "/introspect");
    ScopedCaFile trust(dovecot.Pki().CaFile());
    auto client = clientFor(dovecot, c.security, c.auth);
    client->AccessToken = c.wrongSecret ? "not-the-password" : kToken;
    if (c.wrongSecret) {
        client->Password = "not-the-password";
    }
    std::string error;
    try {
        client->Connect(10000);
    } catch (const EIdException& e) {
        error = e.what();
    }
    if (std::string(c.error).empty()) {
        ASSERT_EQ(error, "") << c.name;
        EXPECT_TRUE(client->HasCapability("IMAP4REV1"));
        // What was learnt before the login is replaced by what the signed-in session offers.
        EXPECT_TRUE(client->HasCapability("MOVE"));
        EXPECT_FALSE(client->HasCapability("STARTTLS") && c.security != TIdIMAP4::kSecurityNone);
        client->Logout();
        EXPECT_FALSE(client->IsConnected());
    } else {
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(error.find("not-the-password"), std::string::npos);
        EXPECT_FALSE(client->IsConnected());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dovecot, ImapDovecotSignIn,
    testing::Values(SignIn{"plain login", DovecotServer::Certificate::Trusted, TIdIMAP4::kSecurityNone,
                           TIdIMAP4::kAuthLogin, false, ""},
                    SignIn{"starttls, authenticate plain", DovecotServer::Certificate::Trusted,
                           TIdIMAP4::kSecurityStartTls, TIdIMAP4::kAuthPlain, false, ""},
                    SignIn{"tls on connect", DovecotServer::Certificate::Trusted, TIdIMAP4::kSecurityTls,
                           TIdIMAP4::kAuthLogin, false, ""},
                    SignIn{"wrong password", DovecotServer::Certificate::Trusted, TIdIMAP4::kSecurityTls,
                           TIdIMAP4::kAuthLogin, true, "LOGIN: NO [AUTHENTICATIONFAILED]"},
                    SignIn{"wrong password, plain", DovecotServer::Certificate::Trusted, TIdIMAP4::kSecurityNone,
                           TIdIMAP4::kAuthPlain, true, "AUTHENTICATE PLAIN: NO [AUTHENTICATIONFAILED]"},
                    SignIn{"xoauth2, tls on connect", DovecotServer::Certificate::Trusted, TIdIMAP4::kSecurityTls,
                           TIdIMAP4::kAuthXOAuth2, false, ""},
                    SignIn{"oauthbearer, starttls", DovecotServer::Certificate::Trusted, TIdIMAP4::kSecurityStartTls,
                           TIdIMAP4::kAuthOAuthBearer, false, ""},
                    SignIn{"stale token", DovecotServer::Certificate::Trusted, TIdIMAP4::kSecurityTls,
                           TIdIMAP4::kAuthXOAuth2, true, "AUTHENTICATE XOAUTH2: NO"},
                    SignIn{"wrong host name", DovecotServer::Certificate::WrongHost, TIdIMAP4::kSecurityTls,
                           TIdIMAP4::kAuthLogin, false, "TLS: "},
                    SignIn{"wrong host name, starttls", DovecotServer::Certificate::WrongHost,
                           TIdIMAP4::kSecurityStartTls, TIdIMAP4::kAuthLogin, false, "TLS: "},
                    SignIn{"self-signed", DovecotServer::Certificate::SelfSigned, TIdIMAP4::kSecurityTls,
                           TIdIMAP4::kAuthLogin, false, "TLS: "}));

std::vector<std::string> Subjects(TIdIMAP4& client, const std::vector<std::uint32_t>& uids, bool& anySeen) {
    std::vector<std::string> subjects;
    client.FetchHeaders(uids, [&](ImapFetched& f) {
        EXPECT_EQ(f.parseError, "");
        EXPECT_GT(f.size, 0u);
        anySeen = anySeen || f.seen;
        subjects.push_back(f.message.Subject);
    });
    return subjects;
}

TEST(ImapDovecot, MailboxWalkedAsACheckWalksIt) {
    DovecotServer dovecot;
    ScopedCaFile trust(dovecot.Pki().CaFile());
    dovecot.AddMessage("From: a@example.com\r\nSubject: Read already\r\n\r\nold\r\n", 0, true);
    dovecot.AddMessages(300); // more than one FETCH command's UID set
    dovecot.AddMessage("From: b@example.com\r\nSubject: Gr\xc3\xbc\xc3\x9f"
                       "e raw\r\n\r\nbody\r\n");
    dovecot.AddMessage("From: c@example.com\r\nSubject: =?UTF-8?B?0J/RgNC40LLQtdGC?=\r\n =?UTF-8?Q?_mir?=\r\n\r\n"
                       "line\r\n.\r\n..two\r\n");
    dovecot.AddMessage("From: d@example.com\r\nSubject: Also read\r\n\r\nold\r\n", 0, true);
    const std::vector<std::string> before = dovecot.MessageFiles();

    auto client = clientFor(dovecot, TIdIMAP4::kSecurityStartTls);
    client->Connect(10000);
    const ImapFolderState examined = client->SelectFolder("INBOX", true);
    EXPECT_EQ(examined.exists, 304u);
    EXPECT_TRUE(examined.readOnly);
    EXPECT_GT(examined.uidValidity, 0u);
    EXPECT_EQ(examined.uidNext, 305u);
    const ImapFolderState status = client->FolderStatus("INBOX");
    EXPECT_EQ(std::vector({status.exists, status.unseen, status.uidNext, status.uidValidity}),
              std::vector({304u, 302u, 305u, examined.uidValidity}));

    const std::vector<std::uint32_t> unseen = client->SearchUids("UNSEEN");
    ASSERT_EQ(unseen.size(), 302u);
    EXPECT_EQ(client->SearchUids("ALL").size(), 304u);
    bool anySeen = false;
    std::vector<std::string> subjects = Subjects(*client, unseen, anySeen);
    EXPECT_FALSE(anySeen);
    ASSERT_EQ(subjects.size(), 302u);
    EXPECT_EQ(subjects[0], "Test message 1");
    EXPECT_EQ(subjects[299], "Test message 300");
    EXPECT_EQ(subjects[300], "Gr\xc3\xbc\xc3\x9f"
                             "e raw");
    // Folded across lines of the literal; the check decodes it as it decodes a POP3 subject.
    EXPECT_EQ(subjects[301], "=?UTF-8?B?0J/RgNC40LLQtdGC?= =?UTF-8?Q?_mir?=");

    std::vector<std::vector<std::string>> bodies;
    client->FetchMessages({unseen.back(), 999}, [&](ImapFetched& f) { bodies.push_back(f.message.Body); });
    EXPECT_EQ(bodies, (std::vector<std::vector<std::string>>{{"line", ".", "..two"}})); // 999: no such UID

    // Nothing above changed a flag: the same unseen messages, the same files on disk.
    EXPECT_EQ(client->SearchUids("UNSEEN"), unseen);
    EXPECT_EQ(dovecot.MessageFiles(), before);

    const std::vector<ImapFolder> folders = client->ListFolders();
    const auto junk = SpamFolder(folders, false, "");
    ASSERT_TRUE(junk.has_value());
    EXPECT_EQ(junk->name, "Junk");
    const auto trash = SpamFolder(folders, true, "");
    ASSERT_TRUE(trash.has_value());
    EXPECT_EQ(trash->name, "Trash");
    EXPECT_FALSE(TIdIMAP4::FindFolder(folders, "\\All", {"All Mail"}).has_value());

    const ImapFolderState selected = client->SelectFolder("INBOX", false);
    EXPECT_FALSE(selected.readOnly);
    EXPECT_EQ(selected.uidValidity, examined.uidValidity);
    const ImapActionResult moved = client->MoveMessages({unseen[0], unseen[1]}, junk->name);
    EXPECT_EQ(moved.error, "");
    EXPECT_EQ(moved.confirmed, (std::vector<std::uint32_t>{unseen[0], unseen[1]}));
    EXPECT_TRUE(moved.expunged);
    EXPECT_EQ(dovecot.MessagesOnDisk(0, "Junk"), 2);
    const ImapActionResult deleted = client->DeleteMessages({unseen[2]});
    EXPECT_EQ(deleted.confirmed, (std::vector<std::uint32_t>{unseen[2]}));
    EXPECT_TRUE(deleted.expunged);
    EXPECT_EQ(dovecot.MessagesOnDisk(), 301);
    const ImapActionResult nowhere = client->MoveMessages({unseen[3]}, "No such folder");
    EXPECT_TRUE(nowhere.confirmed.empty());
    EXPECT_NE(nowhere.error.find("TRYCREATE"), std::string::npos) << nowhere.error;

    try {
        client->SelectFolder("Missing \"quoted\\\" one", true);
        ADD_FAILURE() << "a missing folder was selected";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_NE(std::string(e.what()).find("Folder \"Missing \"quoted\\\" one\": NO"), std::string::npos) << e.what();
    }

    // New mail while idle is told at once; DONE ends IDLE and the session goes on.
    EXPECT_EQ(client->SelectFolder("INBOX", true).exists, 301u);
    client->StartIdle();
    dovecot.AddMessage("From: e@example.com\r\nSubject: Pushed\r\n\r\nnew\r\n");
    ImapIdleEvent event = client->WaitIdle(30000);
    EXPECT_EQ(event.kind, ImapIdleEvent::Kind::Exists);
    EXPECT_EQ(event.number, 302u);
    client->StopIdle();
    EXPECT_EQ(client->SearchUids("UNSEEN").size(), 300u);
    client->Logout();
}

} // namespace
} // namespace qm
