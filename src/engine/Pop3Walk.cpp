// The walk of a POP3 session through the mailbox: fetch, judge, delete, hand over.
#include "engine/Pop3Session.h"

#include "engine/SessionContext.h"
#include "engine/SessionFailures.h"
#include "pop3/IdExceptions.h"

#include <exception>
#include <string>
#include <utility>

namespace qm {

namespace {

// Commands sent ahead of their replies, in bytes (about 300 fetches with their LIST): far below
// what the socket buffers of both sides hold, so the client never blocks writing while the
// server waits for it to read. The window is topped up once half of it has been answered.
constexpr std::size_t kPipelineWindowBytes = 8192;

// The longest fetch: "RETR 2147483647" and "LIST 2147483647", each with its line end.
constexpr std::size_t kLongestFetchBytes = 34;

// Consecutive -ERR answers to fetches after which the session gives up: a server announcing
// billions of messages and refusing each would otherwise hold the worker for a day.
constexpr int kMaxRefusedInARow = 100;

} // namespace

void Pop3Session::RethrowIfDisconnected() {
    if (!m_client.IsConnected()) {
        throw;
    }
}

void Pop3Session::ReadKeys(int count) {
    if (!m_context.Known().Enabled()) {
        return;
    }
    // Asked only of a server that announces it: one that does not answer CAPA gets the
    // commands it always got.
    if (!m_client.Capabilities().uidl) {
        m_context.NoMessageKeys("The server does not announce UIDL, so its messages cannot be told apart.");
        return;
    }
    std::vector<std::string> present;
    if (count > 0) {
        std::optional<std::vector<std::string>> ids = m_client.UniqueIds(count);
        if (!ids) {
            m_context.NoMessageKeys("The server's UIDL listing does not tell its messages apart.");
            return;
        }
        m_keys = std::move(*ids);
        for (const std::string& key : m_keys) {
            if (!key.empty()) {
                present.push_back(key);
            }
        }
    }
    m_context.Known().Present(present);
}

void Pop3Session::Queue(SentCommand command) {
    const std::size_t before = m_client.QueuedBytes();
    if (command.settled) {
        // Nothing to send: its turn comes in the order of the replies, so the results keep the
        // order of a walk that reads every message.
    } else if (command.fetch) {
        m_client.QueueFetch(command.number, m_context.Options().inform);
        if (command.listed) {
            m_client.QueueListing(command.number);
        }
    } else {
        m_client.QueueDelete(command.number);
    }
    command.bytes = m_client.QueuedBytes() - before;
    m_bytesInFlight += command.bytes;
    m_sent.push_back(std::move(command));
}

void Pop3Session::WalkMailbox(int count) {
    // Without pipelining the window holds one command: each reply is read before the next is
    // sent, so no reply can be taken for another, and the wire carries no LIST.
    const bool pipelined = m_client.Capabilities().pipelining;
    const std::size_t window = pipelined ? kPipelineWindowBytes : 0;
    int next = count;
    while (next >= 1 || !m_sent.empty()) {
        if (!m_context.IsOpen()) {
            throw SessionStopped{};
        }
        if (next >= 1 && m_bytesInFlight <= window / 2) {
            do {
                SentCommand command{next--, true, pipelined, 0, std::nullopt, std::string(), false};
                if (!m_keys.empty()) {
                    command.key = m_keys[static_cast<std::size_t>(command.number - 1)];
                    command.settled = !command.key.empty() && m_context.Known().Reusable(command.key).has_value();
                }
                Queue(std::move(command));
            } while (next >= 1 && m_bytesInFlight + kLongestFetchBytes <= window);
            if (m_client.QueuedBytes() > 0) {
                m_client.SendQueued();
            }
        }
        SentCommand command = std::move(m_sent.front());
        m_sent.pop_front();
        m_bytesInFlight -= command.bytes;
        if (command.settled) {
            m_context.SettleKnown(command.key);
        } else if (command.fetch) {
            TakeMessage(command);
        } else {
            ConfirmDelete(command);
        }
        m_context.HandOverIfFull();
    }
}

void Pop3Session::ConfirmDelete(SentCommand& command) {
    try {
        // Recorded only now that the server has confirmed it.
        if (m_client.ReadDeleteReply()) {
            m_deletions.push_back(std::move(*command.record));
        }
    } catch (const std::exception&) {
        RethrowIfDisconnected();
    }
}

Pop3Session::Read Pop3Session::ReadMessage(bool whole) {
    try {
        return m_client.ReadFetchReply(m_current, whole) ? Read::Message : Read::Refused;
    } catch (const EIdReadTimeout&) {
        // A server that stops answering mid-check fails the session, like a lost connection.
        throw;
    } catch (const EIdProtocolReplyError&) {
        RethrowIfDisconnected();
        return Read::Refused;
    } catch (const std::exception&) {
        // Too large or not readable as a message: skipped, and counted as not checked.
        RethrowIfDisconnected();
        return Read::Unreadable;
    }
}

void Pop3Session::TakeMessage(const SentCommand& command) {
    const bool whole = m_context.Options().inform;
    const Read read = ReadMessage(whole);
    if (command.listed) {
        // Before anything is done with what was read: it must have been this message's reply.
        m_client.ReadListingReply(command.number, read != Read::Refused);
    }
    if (read == Read::Refused) {
        // A message the server refuses (deleted by another client meanwhile) is skipped; a
        // server refusing message after message is not serving this mailbox.
        if (++m_refusedInARow >= kMaxRefusedInARow) {
            throw SessionFailed("The server refused " + std::to_string(kMaxRefusedInARow) + " messages in a row.");
        }
    } else if (read == Read::Unreadable) {
        m_context.CountUnchecked();
    } else {
        m_refusedInARow = 0;
        try {
            std::optional<DeletionRecord> spam =
                m_context.Judge(m_current, whole ? m_client.LastMessageSize() : std::nullopt, command.key);
            if (spam) {
                Queue(SentCommand{command.number, false, false, 0, std::move(spam), std::string(), false});
                m_client.SendQueued();
            }
        } catch (const SessionStopped&) {
            throw;
        } catch (const std::exception&) {
            // A mask that cannot be used or a message the conditions cannot read: skipped.
            RethrowIfDisconnected();
            m_context.CountUnchecked();
        }
    }
    m_current.Clear();
}

bool Pop3Session::ReadUnanswered() {
    TIdMessage dropped;
    while (!m_sent.empty()) {
        SentCommand command = std::move(m_sent.front());
        m_sent.pop_front();
        if (command.settled) {
            continue;
        }
        try {
            if (command.fetch) {
                bool fetched = true;
                try {
                    fetched = m_client.ReadFetchReply(dropped, m_context.Options().inform);
                } catch (const std::exception&) {
                    RethrowIfDisconnected();
                }
                if (command.listed) {
                    m_client.ReadListingReply(command.number, fetched);
                }
            } else if (m_client.ReadDeleteReply()) {
                m_deletions.push_back(std::move(*command.record));
            }
        } catch (const EIdOutOfStep&) {
            return false;
        } catch (const std::exception&) {
            if (!m_client.IsConnected()) {
                return false;
            }
        }
        dropped.Clear();
    }
    m_bytesInFlight = 0;
    return m_client.IsConnected();
}

} // namespace qm
