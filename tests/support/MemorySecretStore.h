#pragma once

// A keyring in memory for tests that need no D-Bus: entries by key, and a state that makes every
// call answer as a missing, locked or silent keyring would.

#include "platform/SecretStore.h"

#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace qm::test {

class MemorySecretStore : public ISecretStore {
public:
    // Found: the entries answer; anything else: every call answers with it.
    SecretStatus state = SecretStatus::Found;

    SecretResult Lookup(const SecretKey& key, int, SecretCancel& cancel) override {
        const std::lock_guard lock(m_mutex);
        ++lookups;
        if (cancel.Cancelled()) {
            return SecretResult(SecretStatus::Aborted);
        }
        if (state != SecretStatus::Found) {
            return SecretResult(state);
        }
        const auto it = m_entries.find(Id(key));
        return it == m_entries.end() ? SecretResult(SecretStatus::NoEntry) : SecretResult(SecretStatus::Found, it->second);
    }
    SecretResult Store(const SecretKey& key, std::string_view secret, int) override {
        const std::lock_guard lock(m_mutex);
        if (state == SecretStatus::Found) {
            m_entries[Id(key)] = std::string(secret);
        }
        return SecretResult(state);
    }
    SecretResult Clear(const SecretKey& key, int) override {
        const std::lock_guard lock(m_mutex);
        if (state == SecretStatus::Found) {
            m_entries.erase(Id(key));
        }
        return SecretResult(state);
    }
    bool Answers(int) override { return state != SecretStatus::NoKeyring; }
    std::size_t Size() const {
        const std::lock_guard lock(m_mutex);
        return m_entries.size();
    }

    int lookups = 0;

private:
    using Key = std::tuple<std::string, int, std::string, std::string>;
    static Key Id(const SecretKey& k) { return {k.server, k.port, k.user, k.protocol}; }
    mutable std::mutex m_mutex;
    std::map<Key, std::string> m_entries;
};

} // namespace qm::test
