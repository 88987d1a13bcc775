// The walk of a session through the mailbox: fetch, judge, delete, count, hand over.
#include "engine/ConnThread.h"

#include "engine/CheckHost.h"
#include "engine/SessionFailures.h"
#include "engine/SessionLink.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/IdPOP3.h"

#include <exception>
#include <string>
#include <utility>

namespace qm {

namespace {

// Commands sent ahead of their replies, in bytes (about 680 TOP commands): far below what the
// socket buffers of both sides hold, so the client never blocks writing while the server waits
// for it to read. The window is topped up once half of it has been answered.
constexpr std::size_t kPipelineWindowBytes = 8192;

// The longest fetch command: "RETR 2147483647" and its line end.
constexpr std::size_t kLongestFetchBytes = 17;

// The results of this many messages cross to the main thread in one call.
constexpr std::size_t kHandOverBatch = 64;

// Consecutive -ERR answers to fetches after which the session gives up: a server announcing
// billions of messages and refusing each would otherwise hold the worker for a day.
constexpr int kMaxRefusedInARow = 100;

} // namespace

bool TConnThread::MailboxWalk::DeletePending() const {
    for (const SentCommand& command : sent) {
        if (!command.fetch) {
            return true;
        }
    }
    return false;
}

void TConnThread::Queue(TIdPOP3& client, MailboxWalk& walk, SentCommand command, bool wholeMessage) {
    const std::size_t before = client.QueuedBytes();
    if (command.fetch) {
        client.QueueFetch(command.number, wholeMessage);
    } else {
        client.QueueDelete(command.number);
    }
    command.bytes = client.QueuedBytes() - before;
    walk.bytesInFlight += command.bytes;
    walk.sent.push_back(std::move(command));
}

void TConnThread::WalkMailbox(TIdPOP3& client, int count, MailboxWalk& walk) {
    const bool whole = m_options.inform;
    // Without pipelining the window holds one command: each reply is read before the next is sent.
    const std::size_t window = client.Capabilities().pipelining ? kPipelineWindowBytes : 0;
    TIdMessage current;
    int next = count;
    while (next >= 1 || !walk.sent.empty()) {
        if (!m_link->IsOpen()) {
            throw SessionStopped{};
        }
        if (next >= 1 && walk.bytesInFlight <= window / 2) {
            do {
                Queue(client, walk, SentCommand{next--, true, 0, std::nullopt}, whole);
            } while (next >= 1 && walk.bytesInFlight + kLongestFetchBytes <= window);
            client.SendQueued();
        }
        SentCommand command = std::move(walk.sent.front());
        walk.sent.pop_front();
        walk.bytesInFlight -= command.bytes;
        if (command.fetch) {
            TakeMessage(client, command.number, current, walk);
        } else {
            try {
                // Recorded only now that the server has confirmed it.
                if (client.ReadDeleteReply()) {
                    walk.deletions.push_back(std::move(*command.record));
                }
            } catch (const std::exception&) {
                if (!client.IsConnected()) {
                    throw;
                }
            }
        }
        if (walk.handOver.size() >= kHandOverBatch) {
            HandOver(walk);
        }
    }
}

void TConnThread::TakeMessage(TIdPOP3& client, int number, TIdMessage& current, MailboxWalk& walk) {
    const bool whole = m_options.inform;
    // A message the server refuses (deleted by another client meanwhile) is skipped; a server
    // refusing message after message is not serving this mailbox.
    const auto refused = [&walk] {
        if (++walk.refusedInARow >= kMaxRefusedInARow) {
            throw SessionFailed("The server refused " + std::to_string(kMaxRefusedInARow) + " messages in a row.");
        }
    };
    try {
        if (!client.ReadFetchReply(current, whole)) {
            refused();
            current.Clear();
            return;
        }
        walk.refusedInARow = 0;
        if (const std::optional<SpamMatch> match = FindSpamMatch(current, m_options)) {
            DeletionRecord record = Record(current, *match);
            if (whole) {
                record.size = client.LastMessageSize();
            }
            if (m_options.dryRun) {
                const int row = m_accountRow;
                walk.handOver.emplace_back([row, record = std::move(record)](ISessionReport& r) mutable {
                    r.WouldDelete(row, std::move(record));
                });
                ++walk.spamFound;
            } else {
                Queue(client, walk, SentCommand{number, false, 0, std::move(record)}, whole);
                client.SendQueued();
            }
            current.Clear();
            return;
        }
        const bool noticed = !whole || MeetsNoticeConditions(current, m_options);
        if (noticed && whole && m_options.writeToFile) {
            // Counted only once the log has taken it: a message the log refuses is skipped.
            // Swapped with a fresh message, so `current` stays ready for the next one.
            auto message = std::make_shared<TIdMessage>();
            std::swap(*message, current);
            walk.handOver.emplace_back([message, &walk](ISessionReport& r) {
                try {
                    r.SaveMessage(*message);
                } catch (const std::exception&) {
                    return;
                }
                ++walk.noticed;
                r.AddAddress(message->From.Address);
            });
        } else {
            if (noticed) {
                ++walk.noticed;
            }
            walk.handOver.emplace_back([address = current.From.Address](ISessionReport& r) { r.AddAddress(address); });
        }
    } catch (const SessionFailed&) {
        throw;
    } catch (const EIdReadTimeout&) {
        // A server that stops answering mid-check fails the session, like a lost connection.
        throw;
    } catch (const EIdProtocolReplyError&) {
        if (!client.IsConnected()) {
            throw;
        }
        refused();
    } catch (const std::exception&) {
        // This message is skipped: not deleted, not counted, its address not collected.
        if (!client.IsConnected()) {
            // The connection is gone: the check of this mailbox is incomplete.
            throw;
        }
    }
    current.Clear();
}

bool TConnThread::ReadUnanswered(TIdPOP3& client, MailboxWalk& walk) {
    TIdMessage dropped;
    while (!walk.sent.empty()) {
        SentCommand command = std::move(walk.sent.front());
        walk.sent.pop_front();
        try {
            if (command.fetch) {
                (void)client.ReadFetchReply(dropped, m_options.inform);
            } else if (client.ReadDeleteReply()) {
                walk.deletions.push_back(std::move(*command.record));
            }
        } catch (const std::exception&) {
            if (!client.IsConnected()) {
                return false;
            }
        }
        dropped.Clear();
    }
    walk.bytesInFlight = 0;
    return client.IsConnected();
}

} // namespace qm
