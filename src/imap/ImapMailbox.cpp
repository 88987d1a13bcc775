// The IMAP client's mailbox part: folders, selection, search, batched fetches, moves, deletions
// and IDLE.
#include "imap/IdIMAP4.h"

#include "imap/ImapStrings.h"
#include "pop3/IdExceptions.h"
#include "text/AsciiText.h"

#include <algorithm>
#include <chrono>
#include <deque>

namespace qm {

namespace {

// Feeds the lines of a fetched literal to the message reader, ending it as a POP3 answer ends
// ("." after the content, dot-stuffed lines), so the reader works as it does for POP3.
class LiteralLines : public TIdLineSource {
public:
    explicit LiteralLines(const std::string& text) : m_text(text) {}
    std::string ReadLine() override {
        if (m_pos >= m_text.size()) {
            return ".";
        }
        std::size_t lf = m_text.find('\n', m_pos);
        if (lf == std::string::npos) {
            lf = m_text.size();
        }
        std::string line = m_text.substr(m_pos, lf - m_pos);
        m_pos = lf + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == '.') {
            line.insert(0, 1, '.');
        }
        return line;
    }

private:
    const std::string& m_text;
    std::size_t m_pos = 0;
};

std::vector<std::vector<std::uint32_t>> Chunks(std::vector<std::uint32_t> uids, std::size_t size) {
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    std::vector<std::vector<std::uint32_t>> chunks;
    for (std::size_t i = 0; i < uids.size(); i += size) {
        chunks.emplace_back(uids.begin() + static_cast<std::ptrdiff_t>(i),
                            uids.begin() + static_cast<std::ptrdiff_t>(std::min(uids.size(), i + size)));
    }
    return chunks;
}

} // namespace

std::vector<ImapFolder> TIdIMAP4::ListFolders() {
    std::vector<ImapFolder> folders;
    std::size_t listed = 0; // the folder list is bounded as a whole, like any other answer
    const bool specialUse = HasCapability("SPECIAL-USE") && HasCapability("LIST-EXTENDED");
    Command(specialUse ? "LIST \"\" \"*\" RETURN (SPECIAL-USE)" : "LIST \"\" \"*\"", [&](const ImapReply& r) {
        if (r.name != "LIST") {
            return false;
        }
        listed += r.consumed;
        if (listed > kMaxReplyBytes) {
            Broken("The IMAP server's folder list is longer than " + std::to_string(kMaxReplyBytes) + " bytes.");
        }
        if (r.items.size() < 3 || r.items[0].kind != ImapItem::Kind::List || r.items[2].kind == ImapItem::Kind::List ||
            r.items[2].kind == ImapItem::Kind::Nil) {
            Broken("The IMAP server sent a malformed LIST reply.");
        }
        ImapFolder folder;
        for (const ImapItem& flag : r.items[0].items) {
            folder.flags.push_back(flag.text);
        }
        if (r.items[1].kind == ImapItem::Kind::String && r.items[1].text.size() == 1) {
            folder.delimiter = r.items[1].text[0];
        }
        folder.name = r.items[2].text;
        folder.displayName = DecodeFolderName(folder.name);
        folders.push_back(std::move(folder));
        return true;
    });
    return folders;
}

std::optional<ImapFolder> TIdIMAP4::FindFolder(const std::vector<ImapFolder>& folders, std::string_view specialUse,
                                               const std::vector<std::string>& names) {
    auto usable = [](const ImapFolder& f) {
        return !f.HasFlag("\\Noselect") && !f.HasFlag("\\NonExistent") && !f.HasFlag("\\All");
    };
    for (const ImapFolder& folder : folders) {
        if (usable(folder) && folder.HasFlag(specialUse)) {
            return folder;
        }
    }
    for (const std::string& name : names) {
        for (const ImapFolder& folder : folders) {
            const std::string underInbox =
                folder.delimiter != 0 ? "INBOX" + std::string(1, folder.delimiter) + name : "";
            if (usable(folder) && (EqualNoCase(folder.displayName, name) ||
                                   (!underInbox.empty() && EqualNoCase(folder.displayName, underInbox)))) {
                return folder;
            }
        }
    }
    return std::nullopt;
}

ImapFolderState TIdIMAP4::SelectFolder(const std::string& name, bool readOnly) {
    ImapFolderState state;
    m_exists = 0;
    const std::string tag = NextTag();
    WriteLine(tag + (readOnly ? " EXAMINE " : " SELECT ") + Quoted(EncodeFolderName(name), "folder name"));
    const ImapReply reply = ReadUntilTagged(
        tag,
        [&](const ImapReply& r) {
            const std::vector<std::string> words = CodeWords(r.code);
            if (r.status == "OK" && words.size() == 2) {
                const ImapItem number{ImapItem::Kind::Atom, words[1], {}, false};
                if (EqualNoCase(words[0], "UIDVALIDITY")) {
                    state.uidValidity = number.Number().value_or(0);
                } else if (EqualNoCase(words[0], "UIDNEXT")) {
                    state.uidNext = number.Number().value_or(0);
                }
            }
            return false;
        },
        0);
    if (reply.status != "OK") {
        Refused(reply, "Folder \"" + name + "\"");
    }
    state.exists = m_exists;
    state.readOnly = EqualNoCase(reply.code, "READ-ONLY");
    return state;
}

ImapFolderState TIdIMAP4::FolderStatus(const std::string& name) {
    ImapFolderState state;
    const std::string quoted = Quoted(EncodeFolderName(name), "folder name");
    bool answered = false;
    const std::string tag = NextTag();
    WriteLine(tag + " STATUS " + quoted + " (MESSAGES UNSEEN UIDNEXT UIDVALIDITY)");
    const ImapReply reply = ReadUntilTagged(
        tag,
        [&](const ImapReply& r) {
            if (r.name != "STATUS") {
                return false;
            }
            if (answered || r.items.size() != 2 || r.items[1].kind != ImapItem::Kind::List) {
                Broken("The IMAP server sent a malformed STATUS reply.");
            }
            answered = true;
            const std::vector<ImapItem>& items = r.items[1].items;
            for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
                const std::uint32_t value = items[i + 1].Number().value_or(0);
                if (items[i].IsAtom("MESSAGES")) {
                    state.exists = value;
                } else if (items[i].IsAtom("UNSEEN")) {
                    state.unseen = value;
                } else if (items[i].IsAtom("UIDNEXT")) {
                    state.uidNext = value;
                } else if (items[i].IsAtom("UIDVALIDITY")) {
                    state.uidValidity = value;
                }
            }
            return true;
        },
        0);
    if (reply.status != "OK") {
        Refused(reply, "Folder \"" + name + "\"");
    }
    if (!answered) {
        Broken("The IMAP server did not tell the status of folder \"" + name + "\".");
    }
    return state;
}

std::vector<std::uint32_t> TIdIMAP4::SearchUids(const std::string& criteria) {
    std::vector<std::uint32_t> uids;
    Command("UID SEARCH " + criteria, [&](const ImapReply& r) {
        if (r.name != "SEARCH") {
            return false;
        }
        for (const ImapItem& item : r.items) {
            const auto uid = item.Number();
            if (!uid || *uid == 0) {
                Broken("The IMAP server sent a malformed SEARCH reply.");
            }
            uids.push_back(*uid);
        }
        return true;
    });
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    return uids;
}

bool TIdIMAP4::ReadFetched(const ImapReply& reply, const std::set<std::uint32_t>& asked, ImapFetched& fetched,
                           bool wholeMessage) {
    if (reply.name != "FETCH" || reply.items.size() != 1 || reply.items[0].kind != ImapItem::Kind::List) {
        return false;
    }
    const std::vector<ImapItem>& items = reply.items[0].items;
    const ImapItem* body = nullptr;
    std::optional<std::uint32_t> uid;
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
        const ImapItem& value = items[i + 1];
        if (items[i].IsAtom("UID")) {
            uid = value.Number();
        } else if (items[i].IsAtom("FLAGS") && value.kind == ImapItem::Kind::List) {
            for (const ImapItem& flag : value.items) {
                fetched.flags.push_back(flag.text);
                fetched.seen = fetched.seen || EqualNoCase(flag.text, "\\Seen");
            }
        } else if (items[i].IsAtom("RFC822.SIZE")) {
            fetched.size = value.Number().value_or(0);
        } else if (StartsWithNoCase(items[i].text, "BODY[")) {
            body = &value;
        }
    }
    if (body == nullptr) {
        return false; // a flag change, not an answer
    }
    if (!uid || asked.count(*uid) == 0) {
        Broken("The IMAP server sent a message that was not asked for.");
    }
    fetched.uid = *uid;
    try {
        LiteralLines lines(body->text);
        if (fetched.message.ReadHeaderBlock(lines, "") != "." && wholeMessage) {
            fetched.message.ReadMessageBody(lines);
        }
    } catch (const EIdException& e) {
        fetched.parseError = e.what();
    }
    return true;
}

void TIdIMAP4::FetchHeaders(const std::vector<std::uint32_t>& uids, const std::function<void(ImapFetched&)>& each) {
    FetchBatched(uids, false, each);
}

void TIdIMAP4::FetchMessages(const std::vector<std::uint32_t>& uids, const std::function<void(ImapFetched&)>& each) {
    FetchBatched(uids, true, each);
}

void TIdIMAP4::FetchBatched(const std::vector<std::uint32_t>& uids, bool wholeMessages,
                            const std::function<void(ImapFetched&)>& each) {
    const char* const items =
        wholeMessages ? " (UID FLAGS RFC822.SIZE BODY.PEEK[])\r\n" : " (UID FLAGS RFC822.SIZE BODY.PEEK[HEADER])\r\n";
    const auto chunks = Chunks(uids, kUidsPerCommand);
    std::deque<std::pair<std::string, std::size_t>> inFlight; // tag, chunk
    std::set<std::uint32_t> asked;
    std::size_t next = 0;
    while (next < chunks.size() || !inFlight.empty()) {
        std::string commands;
        while (inFlight.size() < kFetchesInFlight && next < chunks.size()) {
            const std::string tag = NextTag();
            commands += tag + " UID FETCH " + UidSet(chunks[next]) + items;
            asked.insert(chunks[next].begin(), chunks[next].end());
            inFlight.emplace_back(tag, next++);
        }
        WriteText(commands);
        const ImapReply reply = ReadUntilTagged(
            inFlight.front().first,
            [&](const ImapReply& r) {
                ImapFetched fetched;
                if (!ReadFetched(r, asked, fetched, wholeMessages)) {
                    return false;
                }
                asked.erase(fetched.uid);
                try {
                    each(fetched);
                } catch (...) {
                    CloseSocket(); // the rest of the walk's replies would go unread
                    throw;
                }
                return true;
            },
            wholeMessages ? kMaxMessageBytes : TIdMessage::kMaxHeaderBytes);
        if (reply.status != "OK") {
            if (inFlight.size() > 1) {
                CloseSocket(); // the replies to the fetches still in flight would go unread
            }
            Refused(reply, "UID FETCH");
        }
        for (std::uint32_t uid : chunks[inFlight.front().second]) {
            asked.erase(uid);
        }
        inFlight.pop_front();
    }
}

ImapActionResult TIdIMAP4::MoveMessages(const std::vector<std::uint32_t>& uids, const std::string& folder) {
    ImapActionResult result;
    const std::string target = Quoted(EncodeFolderName(folder), "folder name");
    const bool move = HasCapability("MOVE");
    const bool uidPlus = HasCapability("UIDPLUS");
    result.expunged = move || uidPlus;
    for (const auto& chunk : Chunks(uids, kUidsPerCommand)) {
        const std::string set = UidSet(chunk);
        std::optional<std::vector<std::uint32_t>> copied;
        auto copyUid = [&](const ImapReply& r) {
            const std::vector<std::string> words = CodeWords(r.code);
            if (words.size() == 4 && EqualNoCase(words[0], "COPYUID")) {
                copied = ParseUidSet(words[2]);
            }
        };
        try {
            const ImapReply done =
                Command(std::string(move ? "UID MOVE " : "UID COPY ") + set + " " + target, [&](const ImapReply& r) {
                    copyUid(r);
                    return false;
                });
            copyUid(done);
            std::vector<std::uint32_t> moved = chunk;
            if (copied) {
                std::erase_if(moved, [&](std::uint32_t uid) {
                    return std::find(copied->begin(), copied->end(), uid) == copied->end();
                });
            }
            if (!move) {
                Command("UID STORE " + UidSet(moved) + " +FLAGS.SILENT (\\Deleted)");
                if (uidPlus) {
                    Command("UID EXPUNGE " + UidSet(moved));
                }
            }
            result.confirmed.insert(result.confirmed.end(), moved.begin(), moved.end());
        } catch (const EIdProtocolReplyError& e) {
            result.error = e.what();
            break;
        }
    }
    return result;
}

ImapActionResult TIdIMAP4::DeleteMessages(const std::vector<std::uint32_t>& uids) {
    ImapActionResult result;
    result.expunged = HasCapability("UIDPLUS");
    for (const auto& chunk : Chunks(uids, kUidsPerCommand)) {
        try {
            Command("UID STORE " + UidSet(chunk) + " +FLAGS.SILENT (\\Deleted)");
            if (result.expunged) {
                Command("UID EXPUNGE " + UidSet(chunk));
            }
            result.confirmed.insert(result.confirmed.end(), chunk.begin(), chunk.end());
        } catch (const EIdProtocolReplyError& e) {
            result.error = e.what();
            break;
        }
    }
    return result;
}

void TIdIMAP4::StartIdle() {
    const std::string tag = NextTag();
    WriteLine(tag + " IDLE");
    for (;;) {
        const ImapReply reply = ReadReply(0);
        if (reply.type == ImapReply::Type::Continuation) {
            m_idleTag = tag;
            return;
        }
        if (reply.type == ImapReply::Type::Tagged) {
            if (reply.tag != tag) {
                Broken("The IMAP server answered a command that was not sent (tag " + reply.tag.substr(0, 40) + ").");
            }
            Refused(reply, "IDLE");
        }
        CommonUntagged(reply);
    }
}

ImapIdleEvent TIdIMAP4::WaitIdle(int timeoutMs) {
    if (m_idleTag.empty()) {
        throw EIdException("IDLE has not been started.");
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return {};
        }
        std::string line = ReadLine("\n", static_cast<int>(left.count()), static_cast<int>(ImapLimits{}.maxReplyBytes));
        if (ReadLnTimedOut()) {
            return {};
        }
        if (line.empty() || line == "\r") {
            continue;
        }
        if (line.back() == '\r') {
            line.pop_back();
        }
        const ImapReply reply = ReadReply(TIdMessage::kMaxHeaderBytes, std::move(line));
        if (reply.type != ImapReply::Type::Untagged) {
            Broken("The IMAP server ended IDLE unasked.");
        }
        if (reply.number && (reply.name == "EXISTS" || reply.name == "EXPUNGE")) {
            CommonUntagged(reply);
            return {reply.name == "EXISTS" ? ImapIdleEvent::Kind::Exists : ImapIdleEvent::Kind::Expunge, *reply.number};
        }
        CommonUntagged(reply);
    }
}

void TIdIMAP4::StopIdle() {
    if (m_idleTag.empty()) {
        return;
    }
    const std::string tag = m_idleTag;
    m_idleTag.clear();
    WriteLine("DONE");
    const ImapReply reply = ReadUntilTagged(tag, {}, TIdMessage::kMaxHeaderBytes);
    if (reply.status != "OK") {
        Refused(reply, "IDLE");
    }
}

} // namespace qm
