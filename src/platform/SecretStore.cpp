#include "platform/SecretStore.h"

#include <libsecret/secret.h>
#include <openssl/crypto.h>

#include <chrono>
#include <condition_variable>
#include <thread>
#include <utility>

namespace qm {

namespace {

const SecretSchema kSchema = {"org.quillmere.Quillmere32.Password",
                              SECRET_SCHEMA_NONE,
                              {{"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"port", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"protocol", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                              0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

// The attribute table of a key; the strings live as long as `port` and the key.
GHashTable* Attributes(const SecretKey& key, const std::string& port) {
    GHashTable* table = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(table, const_cast<char*>("server"), const_cast<char*>(key.server.c_str()));
    g_hash_table_insert(table, const_cast<char*>("port"), const_cast<char*>(port.c_str()));
    g_hash_table_insert(table, const_cast<char*>("user"), const_cast<char*>(key.user.c_str()));
    g_hash_table_insert(table, const_cast<char*>("protocol"), const_cast<char*>(key.protocol.c_str()));
    return table;
}

// A GCancellable that fires when the caller's SecretCancel does, or at the time-out.
class CallWatch {
public:
    CallWatch(SecretCancel* cancel, int timeoutMs) : m_cancellable(g_cancellable_new()), m_cancel(cancel) {
        if (m_cancel != nullptr) {
            GCancellable* c = m_cancellable;
            m_cancel->SetHook([c] { g_cancellable_cancel(c); });
        }
        if (timeoutMs > 0) {
            m_timer = std::thread([this, timeoutMs] {
                std::unique_lock lock(m_mutex);
                if (!m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_done; })) {
                    m_timedOut = true;
                    g_cancellable_cancel(m_cancellable);
                }
            });
        }
    }
    ~CallWatch() {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        if (m_timer.joinable()) {
            m_timer.join();
        }
        if (m_cancel != nullptr) {
            m_cancel->SetHook({});
        }
        g_object_unref(m_cancellable);
    }
    CallWatch(const CallWatch&) = delete;
    CallWatch& operator=(const CallWatch&) = delete;

    GCancellable* Cancellable() const { return m_cancellable; }

    // What a failed call means; frees the error.
    SecretResult Failure(GError* error, SecretStatus otherwise) {
        std::string detail = error != nullptr ? error->message : "";
        const bool cancelled = error != nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        const bool noService =
            error != nullptr && error->domain == G_DBUS_ERROR &&
            (error->code == G_DBUS_ERROR_SERVICE_UNKNOWN || error->code == G_DBUS_ERROR_NAME_HAS_NO_OWNER ||
             error->code == G_DBUS_ERROR_SPAWN_EXEC_FAILED || error->code == G_DBUS_ERROR_SPAWN_CHILD_EXITED ||
             error->code == G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND || error->code == G_DBUS_ERROR_SPAWN_FAILED);
        // Storing into or removing from a locked collection whose unlock prompt failed.
        const bool locked = error != nullptr && g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED);
        if (error != nullptr) {
            g_error_free(error);
        }
        if (cancelled || g_cancellable_is_cancelled(m_cancellable)) {
            const std::lock_guard lock(m_mutex);
            return {m_timedOut ? SecretStatus::TimedOut : SecretStatus::Aborted, {}, detail};
        }
        return {noService ? SecretStatus::NoKeyring : locked ? SecretStatus::Locked : otherwise, {}, detail};
    }

private:
    GCancellable* m_cancellable;
    SecretCancel* m_cancel;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    bool m_timedOut = false;
    std::thread m_timer;
};

// A service connection of its own for each call: nothing is kept from a bus that went away.
SecretService* OpenService(CallWatch& watch, GError** error) {
    return secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_NONE, watch.Cancellable(), error);
}

SecretResult LookupWith(CallWatch& watch, const SecretKey& key) {
    GError* error = nullptr;
    SecretService* service = OpenService(watch, &error);
    if (service == nullptr) {
        SecretResult failed = watch.Failure(error, SecretStatus::NoKeyring);
        // No bus at all is no keyring, whatever GLib calls it.
        if (failed.status == SecretStatus::Failed) {
            failed.status = SecretStatus::NoKeyring;
        }
        return failed;
    }
    const std::string port = std::to_string(key.port);
    GHashTable* attributes = Attributes(key, port);
    GList* items = secret_service_search_sync(service, &kSchema, attributes, SECRET_SEARCH_NONE,
                                              watch.Cancellable(), &error);
    g_hash_table_unref(attributes);
    SecretResult result;
    if (error != nullptr) {
        result = watch.Failure(error, SecretStatus::Failed);
    } else if (items == nullptr) {
        result = SecretResult(SecretStatus::NoEntry);
    } else {
        auto* item = static_cast<SecretItem*>(items->data);
        bool locked = secret_item_get_locked(item) != FALSE;
        if (locked) {
            GList* one = g_list_append(nullptr, item);
            GList* unlocked = nullptr;
            secret_service_unlock_sync(service, one, watch.Cancellable(), &unlocked, &error);
            g_list_free(one);
            locked = error != nullptr || unlocked == nullptr;
            g_list_free_full(unlocked, g_object_unref);
            if (locked) {
                result = watch.Failure(error, SecretStatus::Locked);
                // A prompt nobody answers in time leaves the collection locked.
                if (result.status == SecretStatus::TimedOut || result.status == SecretStatus::Failed) {
                    result.status = SecretStatus::Locked;
                }
            }
        }
        if (!locked) {
            if (secret_item_load_secret_sync(item, watch.Cancellable(), &error) == FALSE) {
                result = watch.Failure(error, SecretStatus::Failed);
            } else if (SecretValue* value = secret_item_get_secret(item); value == nullptr) {
                result = SecretResult(SecretStatus::NoEntry);
            } else {
                gsize length = 0;
                gchar* password = secret_value_unref_to_password(value, &length);
                result = SecretResult(SecretStatus::Found,
                                      password != nullptr ? std::string(password, length) : std::string());
                secret_password_free(password);
            }
        }
    }
    g_list_free_full(items, g_object_unref);
    g_object_unref(service);
    return result;
}

} // namespace

SecretResult::SecretResult(SecretResult&& other) noexcept
    : status(other.status), secret(std::move(other.secret)), detail(std::move(other.detail)) {
    WipeSecret(other.secret);
}

SecretResult& SecretResult::operator=(SecretResult&& other) noexcept {
    if (this != &other) {
        WipeSecret(secret);
        status = other.status;
        secret = std::move(other.secret);
        detail = std::move(other.detail);
        WipeSecret(other.secret);
    }
    return *this;
}

SecretResult::~SecretResult() {
    WipeSecret(secret);
}

void WipeSecret(std::string& secret) {
    // The whole buffer: a string that was moved from or shortened still holds bytes past its end.
    secret.resize(secret.capacity());
    if (!secret.empty()) {
        OPENSSL_cleanse(secret.data(), secret.size());
    }
    secret.clear();
}

void SecretCancel::Cancel() {
    const std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_hook) {
        m_hook();
    }
}

bool SecretCancel::Cancelled() const {
    const std::lock_guard lock(m_mutex);
    return m_cancelled;
}

void SecretCancel::SetHook(std::function<void()> hook) {
    const std::lock_guard lock(m_mutex);
    m_hook = std::move(hook);
    if (m_cancelled && m_hook) {
        m_hook();
    }
}

std::string SecretLabel(const SecretKey& key) {
    return "Quillmere32: " + key.user + "@" + key.server;
}

namespace {

class DesktopStore final : public ISecretStore {
public:
    SecretResult Lookup(const SecretKey& key, int timeoutMs, SecretCancel& cancel) override {
        CallWatch watch(&cancel, timeoutMs);
        return LookupWith(watch, key);
    }

    SecretResult Store(const SecretKey& key, std::string_view secret, int timeoutMs) override {
        CallWatch watch(nullptr, timeoutMs);
        const std::string port = std::to_string(key.port);
        std::string text(secret);
        GHashTable* attributes = Attributes(key, port);
        GError* error = nullptr;
        secret_password_storev_sync(&kSchema, attributes, SECRET_COLLECTION_DEFAULT, SecretLabel(key).c_str(),
                                    text.c_str(), watch.Cancellable(), &error);
        g_hash_table_unref(attributes);
        WipeSecret(text);
        return error == nullptr ? SecretResult(SecretStatus::Found) : watch.Failure(error, SecretStatus::Failed);
    }

    SecretResult Clear(const SecretKey& key, int timeoutMs) override {
        CallWatch watch(nullptr, timeoutMs);
        const std::string port = std::to_string(key.port);
        GHashTable* attributes = Attributes(key, port);
        GError* error = nullptr;
        secret_password_clearv_sync(&kSchema, attributes, watch.Cancellable(), &error);
        g_hash_table_unref(attributes);
        return error == nullptr ? SecretResult(SecretStatus::Found) : watch.Failure(error, SecretStatus::Failed);
    }

    bool Answers(int timeoutMs) override;
};

bool DesktopStore::Answers(int timeoutMs) {
    CallWatch watch(nullptr, timeoutMs);
    GError* error = nullptr;
    SecretService* service = OpenService(watch, &error);
    if (service == nullptr) {
        g_clear_error(&error);
        return false;
    }
    // A search for nothing asks the service itself, not only the bus.
    GHashTable* none = g_hash_table_new(g_str_hash, g_str_equal);
    GList* items = secret_service_search_sync(service, &kSchema, none, SECRET_SEARCH_NONE, watch.Cancellable(), &error);
    g_hash_table_unref(none);
    g_list_free_full(items, g_object_unref);
    g_object_unref(service);
    const bool answered = error == nullptr;
    g_clear_error(&error);
    return answered;
}

} // namespace

std::shared_ptr<ISecretStore> DesktopSecretStore() {
    return std::make_shared<DesktopStore>();
}

} // namespace qm
