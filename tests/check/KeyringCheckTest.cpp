// quillmere-check with an account whose password is in the desktop keyring: a real
// gnome-keyring-daemon on a private session bus, with a home of its own, unlocked with a test
// password and its entries planted with secret-tool.

#include "ConsoleCheckFixture.h"
#include "KeyringSession.h"

namespace qm::test {
namespace {

class KeyringCheck : public ConsoleCheck {
protected:
    enum class Keyring { NoBus, Missing, Planted, Locked };

    // The check under a private bus whose keyring holds what `keyring` says.
    void UnderKeyring(Keyring keyring, int port) {
        const fs::path home = m_root / "home";
        const fs::path runtime = m_root / "run";
        fs::create_directories(home);
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS HOME='" +
                                home.string() + "' XDG_RUNTIME_DIR='" + runtime.string() + "' ";
        if (keyring == Keyring::NoBus) {
            m_launcher = env;
            return;
        }
        const std::string attributes = KeyringAttributes("127.0.0.1", port, "user");
        std::string script = StartKeyringLines(m_root);
        if (keyring != Keyring::Missing) {
            script += "printf from-keyring | secret-tool store --label=t " + attributes + "\n";
        }
        if (keyring == Keyring::Locked) {
            script += "gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets"
                      " --method org.freedesktop.Secret.Service.Lock \"['/org/freedesktop/secrets/collection/login']\""
                      " >/dev/null\n";
        }
        script += "exec \"$@\"\n";
        WriteAll(m_root / "keyring.sh", script);
        // The bus daemon's own complaints (fd limits in containers) stay out of the check's stderr.
        const fs::path daemon = m_root / "quiet-dbus-daemon";
        WriteAll(daemon, "#!/bin/sh\nexec dbus-daemon \"$@\" 2>/dev/null\n");
        fs::permissions(daemon, fs::perms::owner_all);
        m_launcher = env + "dbus-run-session --dbus-daemon='" + daemon.string() + "' -- sh '" +
                     (m_root / "keyring.sh").string() + "'";
    }
};

// The file's cell is empty: the password the server sees comes from the keyring, and when the
// keyring cannot give it the account fails with the reason and nothing reaches the server.
TEST_F(KeyringCheck, SignsInWithTheKeyringsPasswordOrSaysWhyNot) {
    struct Case {
        Keyring keyring;
        std::string error; // "" when it signs in
    };
    const Case cases[] = {
        {Keyring::Planted, ""},
        {Keyring::NoBus, "The password is kept in the desktop keyring, which is not running."},
        {Keyring::Locked, "The password is kept in the desktop keyring, which is locked."},
        {Keyring::Missing, "The password is kept in the desktop keyring, which holds no entry for this account."},
    };
    for (const Case& c : cases) {
        FakePop3Server server;
        if (c.error.empty()) {
            FakeMailbox box = Box({Msg("a@x.example")});
            box.password = "from-keyring";
            server.ServeMailbox(box);
        }
        server.Start();
        WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port(), "") + "PasswordStore=1\r\n"}));
        UnderKeyring(c.keyring, server.Port());
        const Result r = Run("--dir '" + m_app.string() + "'");
        if (c.error.empty()) {
            EXPECT_EQ(r.code, 0) << r.err;
            server.Join();
            EXPECT_EQ(server.Received(),
                      (std::vector<std::string>{"USER user", "PASS from-keyring", "STAT", "TOP 1 0", "QUIT"}));
        } else {
            EXPECT_EQ(r.err, "127.0.0.1 (user): " + c.error + "\n") << r.out;
            server.Stop();
            EXPECT_EQ(server.Sessions(), 0) << c.error;
        }
        fs::remove_all(m_root / "home");
        fs::remove_all(m_root / "run");
        fs::remove_all(m_root / "keyring-home");
    }
}

} // namespace
} // namespace qm::test
