// Sessions that sign in with SASL: the token command run per session, its failures, OAuth2
// refused without TLS before anything is run or sent, unknown methods refused, and the token kept
// out of every text the session reports.

#include "FakePop3Server.h"
#include "MemorySecretStore.h"
#include "SessionHarness.h"
#include "SuitePki.h"
#include "pop3/MessageDecoders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qm::test {
namespace {

using Lines = std::vector<std::string>;

// Prints "tok-42-abc" without the token appearing in the command line.
const std::string kTokenCommand = "sh -c 'echo tok-$((6*7))-abc'";
const std::string kToken = "tok-42-abc";

class SessionSignIn : public SuitePkiTest {
protected:
    FakePop3Server& secure() {
        m_server.SetTls(Pki().Server());
        m_server.SetImplicitTls(true);
        return m_server.SendLine("+OK ready");
    }

    AccountRow row(const std::string& security, const std::string& auth, const std::string& command = kTokenCommand) {
        AccountRow r = MakeRow(m_server.Port());
        r.Security = security;
        r.Auth = auth;
        r.TokenCommand = command;
        return r;
    }

    // Runs the session; returns the error it reported last ("" when none).
    std::string run(const AccountRow& r) {
        m_server.Start();
        RunSession(r, CheckOptions{}, m_report);
        std::string error;
        for (const std::string& call : m_report.calls) {
            const std::string prefix = "error:0:127.0.0.1:user:";
            if (call.rfind(prefix, 0) == 0) {
                error = call.substr(prefix.size());
            }
        }
        for (const std::string& call : m_report.calls) {
            EXPECT_EQ(call.find(kToken), std::string::npos) << call;
        }
        return error;
    }

    FakePop3Server m_server;
    RecordingReport m_report;
};

TEST_F(SessionSignIn, XOAuth2WithTheTokenTheCommandPrints) {
    const std::string auth = "AUTH XOAUTH2 " + EncodeBase64("user=user\x01"
                                                            "auth=Bearer " +
                                                            kToken + "\x01\x01");
    secure().Reply(auth, "+OK").Reply("STAT", "+OK 0 0").Expect("QUIT");
    EXPECT_EQ(run(row("1", "2")), "");
    m_server.Join();
    EXPECT_EQ(m_server.Received(), (Lines{auth, "STAT", "QUIT"}));
    EXPECT_TRUE(m_report.Has("connected:0"));
}

// Refused before the token command runs and before anything is sent.
TEST_F(SessionSignIn, RefusalsHappenBeforeTheCommandRunsOrTheServerIsReached) {
    const std::string marker = Folder() + "/ran";
    const std::string command = "sh -c 'touch " + marker + "; echo tok'";
    struct Case {
        std::string security;
        std::string auth;
        std::string error;
    };
    const Case cases[] = {
        {"0", "2", "OAuth2 sign-in needs a TLS connection: choose SSL/TLS or STARTTLS for this account."},
        {"0", "3", "OAuth2 sign-in needs a TLS connection: choose SSL/TLS or STARTTLS for this account."},
        {"1", "4", "Unknown sign-in method 4."},
        {"1", "oauth", "Unknown sign-in method oauth."},
    };
    m_server.Start();
    for (const Case& c : cases) {
        RecordingReport report;
        RunSession(row(c.security, c.auth, command), CheckOptions{}, report);
        EXPECT_TRUE(report.Has("error:0:127.0.0.1:user:" + c.error)) << c.auth;
        EXPECT_TRUE(report.Has("failed:0")) << c.auth;
        EXPECT_FALSE(std::filesystem::exists(marker)) << c.auth;
    }
    m_server.Stop();
    EXPECT_EQ(m_server.Sessions(), 0);
}

// Whatever the server echoes of what it was sent, raw or in base64, is masked.
TEST_F(SessionSignIn, SecretsEchoedByTheServerAreNotShown) {
    struct Case {
        std::string auth;
        std::string echo; // "%s" stands for the base64 of what was sent
    };
    const Case cases[] = {
        {"2", "token " + kToken + " is not valid"},
        {"2", "[AUTH] rejected %s"},
        {"3", "[AUTH] rejected %s"},
        {"1", "[AUTH] rejected %s"},
        {"1", "bad password PASS secret"},
        {"1", "bad password " + EncodeBase64("secret")},
    };
    for (const Case& c : cases) {
        FakePop3Server server;
        server.SetTls(Pki().Server());
        server.SetImplicitTls(true);
        const std::string port = std::to_string(server.Port());
        const std::string sent = c.auth == "1"   ? std::string("\0user\0secret", 12)
                                 : c.auth == "2" ? "user=user\x01"
                                                   "auth=Bearer " +
                                                       kToken + "\x01\x01"
                                                 : "n,a=user,\x01host=127.0.0.1\x01port=" + port +
                                                       "\x01"
                                                       "auth=Bearer " +
                                                       kToken + "\x01\x01";
        std::string echo = c.echo;
        if (const std::size_t at = echo.find("%s"); at != std::string::npos) {
            echo.replace(at, 2, EncodeBase64(sent));
        }
        server.SendLine("+OK ready").ExpectAny().SendLine("-ERR " + echo).Expect("QUIT");
        server.Start();
        AccountRow r = MakeRow(server.Port());
        r.Security = "1";
        r.Auth = c.auth;
        r.TokenCommand = kTokenCommand;
        RecordingReport report;
        RunSession(r, CheckOptions{}, report);
        server.Stop();
        bool masked = false;
        for (const std::string& call : report.calls) {
            masked = masked || call.find("***") != std::string::npos;
            for (const std::string& secret :
                 {EncodeBase64(sent), EncodeBase64("secret"), kToken, std::string("secret")}) {
                EXPECT_EQ(call.find(secret), std::string::npos) << call;
            }
        }
        EXPECT_TRUE(masked) << echo;
    }
}

// A keyring account signs in with the keyring's password and never with the file's cell; when the
// keyring cannot give it, the session fails with the reason before the server is reached.
TEST_F(SessionSignIn, KeyringPasswordsAreReadAtTheStartOfTheSession) {
    struct Case {
        SecretStatus state;
        std::string storeCell;
        std::string error; // "" when it signs in
    };
    const Case cases[] = {
        {SecretStatus::Found, "1", ""},
        {SecretStatus::NoKeyring, "1", "The password is kept in the desktop keyring, which is not running."},
        {SecretStatus::Locked, "1", "The password is kept in the desktop keyring, which is locked."},
        {SecretStatus::NoEntry, "1", "The password is kept in the desktop keyring, which holds no entry for this account."},
        {SecretStatus::TimedOut, "1", "The desktop keyring did not answer in time."},
        {SecretStatus::Found, "wallet", "Unknown password store wallet."},
    };
    auto store = std::make_shared<MemorySecretStore>();
    SetSessionSecretStore(store);
    for (const Case& c : cases) {
        FakePop3Server server;
        if (c.error.empty()) {
            server.SendLine("+OK ready").Reply("USER user", "+OK").Reply("PASS from-keyring", "+OK");
            server.Reply("STAT", "+OK 0 0").Expect("QUIT");
        }
        server.Start();
        AccountRow r = MakeRow(server.Port(), "user", "");
        r.PasswordStore = c.storeCell;
        store->state = c.state;
        ASSERT_EQ(store->Store(SecretKeyOf(r), "from-keyring", 0).status, c.state);
        RecordingReport report;
        RunSession(r, CheckOptions{}, report);
        if (c.error.empty()) {
            server.Join();
            EXPECT_TRUE(report.Has("connected:0"));
        } else {
            server.Stop();
            EXPECT_TRUE(report.Has("error:0:127.0.0.1:user:" + c.error)) << c.error;
            EXPECT_EQ(server.Sessions(), 0) << c.error;
        }
        store->state = SecretStatus::Found;
        store->Clear(SecretKeyOf(r), 0);
    }
    SetSessionSecretStore(nullptr);
}

} // namespace
} // namespace qm::test
