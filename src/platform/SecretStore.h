#pragma once

// Account passwords in the desktop keyring (any Secret Service: gnome-keyring, KWallet,
// KeePassXC), behind a small interface so the session and the dialog can be tested without
// D-Bus. Plain C++; only SecretStore.cpp sees libsecret.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace qm {

// What identifies one account's entry: the schema's string attributes.
struct SecretKey {
    std::string server;            // as the account writes it
    int port = 0;                  // written in decimal
    std::string user;              // the account name
    std::string protocol = "pop3"; // "pop3" or "imap"

    bool operator==(const SecretKey&) const = default;
};

enum class SecretStatus {
    Found,     // lookup: the secret is in the result; store/clear: done
    NoKeyring, // no session bus, or no Secret Service on it
    Locked,    // the collection is locked and was not unlocked in time
    NoEntry,   // the keyring answers but holds no entry for the key
    TimedOut,  // no answer within the time-out
    Aborted,   // cancelled by another thread
    Failed,    // any other error of the keyring
};

// A secret that wipes itself when it goes.
struct SecretResult {
    SecretStatus status = SecretStatus::Failed;
    std::string secret;
    std::string detail; // the keyring's own message, never the secret

    SecretResult() = default;
    SecretResult(SecretStatus s, std::string text = {}, std::string why = {})
        : status(s), secret(std::move(text)), detail(std::move(why)) {}
    SecretResult(SecretResult&& other) noexcept;
    SecretResult& operator=(SecretResult&& other) noexcept;
    SecretResult(const SecretResult&) = delete;
    SecretResult& operator=(const SecretResult&) = delete;
    ~SecretResult();
};

// Overwrites the bytes of a string that held a secret, then empties it.
void WipeSecret(std::string& secret);

// Lets another thread end a running keyring call. Once cancelled, it stays cancelled.
class SecretCancel {
public:
    void Cancel();
    bool Cancelled() const;
    // The store's hook while a call runs; called at once when already cancelled. Empty to remove.
    void SetHook(std::function<void()> hook);

private:
    mutable std::mutex m_mutex;
    bool m_cancelled = false;
    std::function<void()> m_hook;
};

class ISecretStore {
public:
    virtual ~ISecretStore() = default;
    // timeoutMs <= 0: no time limit but cancel.
    virtual SecretResult Lookup(const SecretKey& key, int timeoutMs, SecretCancel& cancel) = 0;
    // Store and Clear answer with a status and the keyring's own message, never with a secret.
    virtual SecretResult Store(const SecretKey& key, std::string_view secret, int timeoutMs) = 0;
    // Found also when there was no entry to remove.
    virtual SecretResult Clear(const SecretKey& key, int timeoutMs) = 0;
    // Whether a Secret Service answers at all.
    virtual bool Answers(int timeoutMs) = 0;
};

// The desktop's Secret Service through libsecret, schema org.quillmere.Quillmere32.Password.
std::shared_ptr<ISecretStore> DesktopSecretStore();

// The label an entry is stored under: "Quillmere32: <user>@<server>".
std::string SecretLabel(const SecretKey& key);

} // namespace qm
