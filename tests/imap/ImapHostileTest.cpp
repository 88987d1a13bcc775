// The IMAP client against scripted servers on loopback, one table: the sign-in paths, the
// fallbacks of a move and a deletion, and servers that misbehave (wrong tags, huge literals,
// replies nobody asked for, BYE in the middle of a fetch, silence). Every row ends with a clear
// result or error, never a hang, and the wire shows exactly what was sent.

#include "FakePop3Server.h"
#include "imap/IdIMAP4.h"
#include "pop3/IdExceptions.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace qm {
namespace {

using test::FakePop3Server;

enum class Action { Connect, Select, List, Search, Fetch, Move, Delete, Idle };

struct Row {
    const char* name;
    std::string capabilities; // after IMAP4rev1, in the greeting and after the login
    int security;
    int auth;
    bool login;                      // the script starts with the greeting and a LOGIN as user/secret
    std::vector<std::string> script; // "S line" sent, "C line" expected, "R bytes" raw, "X" close
    Action action;
    std::string folder;              // Move
    std::string result;              // what the action gave, or the error's text (part of it)
    std::string neverSent = "LOGIN"; // no client line may start with this after a failed row
};

std::string Render(TIdIMAP4& client, const Row& row) {
    std::ostringstream out;
    switch (row.action) {
    case Action::Connect:
        break;
    case Action::Select: {
        const ImapFolderState s = client.SelectFolder("INBOX", false);
        out << s.exists << "/" << s.uidValidity << "/" << s.uidNext;
        break;
    }
    case Action::List:
        out << client.ListFolders().size() << " folders";
        break;
    case Action::Search:
        for (std::uint32_t uid : client.SearchUids("UNSEEN")) {
            out << uid << " ";
        }
        break;
    case Action::Fetch:
        client.FetchHeaders({1, 2}, [&](ImapFetched& f) { out << f.uid << ":" << f.message.Subject << " "; });
        break;
    case Action::Move:
    case Action::Delete: {
        const ImapActionResult r =
            row.action == Action::Move ? client.MoveMessages({1, 2}, row.folder) : client.DeleteMessages({1, 2});
        for (std::uint32_t uid : r.confirmed) {
            out << uid << " ";
        }
        out << (r.expunged ? "expunged" : "kept") << r.error;
        break;
    }
    case Action::Idle: {
        client.StartIdle();
        const ImapIdleEvent e = client.WaitIdle(10000);
        client.StopIdle();
        out << (e.kind == ImapIdleEvent::Kind::Exists ? "exists " : "other ") << e.number;
        break;
    }
    }
    return out.str();
}

class ImapScripted : public testing::TestWithParam<Row> {};

TEST_P(ImapScripted, EndsClearly) {
    const Row& row = GetParam();
    FakePop3Server server;
    const std::string caps = "IMAP4rev1" + (row.capabilities.empty() ? "" : " " + row.capabilities);
    if (row.login) {
        server.SendLine("* OK [CAPABILITY " + caps + "] ready")
            .Reply("Q0001 LOGIN \"user\" \"secret\"", "Q0001 OK [CAPABILITY " + caps + "] in");
    }
    for (const std::string& step : row.script) {
        const std::string text = step.size() > 2 ? step.substr(2) : "";
        switch (step[0]) {
        case 'S':
            server.SendLine(text);
            break;
        case 'C':
            server.Expect(text);
            break;
        case 'R':
            server.Send(text);
            break;
        default:
            server.Close();
            break;
        }
    }
    server.Start();
    TIdIMAP4 client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Username = "user";
    client.Password = "secret";
    client.Security = row.security;
    client.Auth = row.auth;
    std::string result;
    try {
        client.Connect(3000);
        result = Render(client, row);
    } catch (const EIdException& e) {
        result = e.what();
    }
    EXPECT_NE(result.find(row.result), std::string::npos) << row.name << ": " << result;
    EXPECT_EQ(result.find("secret"), std::string::npos) << row.name;
    client.Disconnect();
    server.Join();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{}) << row.name;
    if (!row.login) {
        for (const std::string& line : server.Received()) {
            EXPECT_EQ(line.find(row.neverSent), std::string::npos) << row.name << ": sent " << line;
        }
    }
}

constexpr int kNone = TIdIMAP4::kSecurityNone;
constexpr int kLogin = TIdIMAP4::kAuthLogin;
const std::string kFetch = "C Q0002 UID FETCH 1:2 (UID FLAGS RFC822.SIZE BODY.PEEK[HEADER])";
const std::string kOne = "R * 1 FETCH (UID 1 FLAGS () BODY[HEADER] {14}\r\nSubject: one\r\n)\r\n";

// One row a line where it fits: the formatter would put every field of a row on its own line.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Servers, ImapScripted,
    testing::Values(
        Row{"greeting bye", "", kNone, kLogin, false, {"S * BYE go away"}, Action::Connect, "", "refused the session"},
        Row{"preauth before starttls", "", TIdIMAP4::kSecurityStartTls, kLogin, false,
            {"S * PREAUTH [CAPABILITY IMAP4rev1 STARTTLS] hi"}, Action::Connect, "", "signed in before STARTTLS",
            "STARTTLS"},
        Row{"starttls refused", "", TIdIMAP4::kSecurityStartTls, kLogin, false,
            {"S * OK [CAPABILITY IMAP4rev1 STARTTLS] hi", "C Q0001 STARTTLS", "S Q0001 NO not today"},
            Action::Connect, "", "TLS: the server refused STARTTLS: NO not today"},
        Row{"capability asked when not told", "", kNone, kLogin, false,
            {"S * OK hi", "C Q0001 CAPABILITY", "S * CAPABILITY IMAP4rev1 ID", "S Q0001 OK",
             "C Q0002 ID (\"name\" \"Quillmere32\")", "S * ID NIL", "S Q0002 OK",
             "C Q0003 LOGIN \"user\" \"secret\"", "S Q0003 OK in", "C Q0004 CAPABILITY",
             "S * CAPABILITY IMAP4rev1 MOVE", "S Q0004 OK"},
            Action::Connect, "", "", "AUTHENTICATE"},
        Row{"login refused, secret not echoed", "", kNone, kLogin, false,
            {"S * OK [CAPABILITY IMAP4rev1] hi", "C Q0001 LOGIN \"user\" \"secret\"",
             "S Q0001 NO [AUTHENTICATIONFAILED] bad secret"},
            Action::Connect, "", "LOGIN: NO [AUTHENTICATIONFAILED] bad ***", "CAPABILITY"},
        Row{"plain with sasl-ir", "", kNone, TIdIMAP4::kAuthPlain, false,
            {"S * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN] hi", "C Q0001 AUTHENTICATE PLAIN AHVzZXIAc2VjcmV0",
             "S Q0001 OK [CAPABILITY IMAP4rev1] in"},
            Action::Connect, "", ""},
        Row{"plain after continuation", "", kNone, TIdIMAP4::kAuthPlain, false,
            {"S * OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] hi", "C Q0001 AUTHENTICATE PLAIN", "S + ", "C AHVzZXIAc2VjcmV0",
             "S Q0001 OK [CAPABILITY IMAP4rev1] in"},
            Action::Connect, "", ""},
        Row{"login answered with a wrong tag", "", kNone, kLogin, false,
            {"S * OK [CAPABILITY IMAP4rev1] hi", "C Q0001 LOGIN \"user\" \"secret\"", "S Q0009 OK in"}, Action::Connect,
            "", "not sent (tag Q0009, awaited Q0001)", "CAPABILITY"},
        Row{"select counts", "", kNone, kLogin, true,
            {"C Q0002 SELECT \"INBOX\"", "S * 3 EXISTS", "S * OK [UIDVALIDITY 77] v", "S * OK [UIDNEXT 9] n",
             "S * FLAGS (\\Seen)", "S Q0002 OK [READ-WRITE] done"},
            Action::Select, "", "3/77/9"},
        Row{"continuation nobody asked for", "", kNone, kLogin, true, {"C Q0002 SELECT \"INBOX\"", "S + go on"},
            Action::Select, "", "asked for data no command offers"},
        Row{"search nobody asked for", "", kNone, kLogin, true, {"C Q0002 SELECT \"INBOX\"", "S * SEARCH 1 2"},
            Action::Select, "", "\"SEARCH\" reply that was not asked for"},
        Row{"tagged reply of no kind", "", kNone, kLogin, true, {"C Q0002 SELECT \"INBOX\"", "S Q0002 MAYBE"},
            Action::Select, "", "not OK, NO or BAD"},
        Row{"silence", "", kNone, kLogin, true, {"C Q0002 SELECT \"INBOX\""}, Action::Select, "", "Read Timeout"},
        Row{"search", "", kNone, kLogin, true, {"C Q0002 UID SEARCH UNSEEN", "S * SEARCH 9 4", "S Q0002 OK"},
            Action::Search, "", "4 9 "},
        Row{"search literal past the reply limit", "", kNone, kLogin, true,
            {"C Q0002 UID SEARCH UNSEEN", "S * SEARCH {2000000}"}, Action::Search, "", "passes the limit"},
        Row{"folder list past the reply limit", "", kNone, kLogin, true,
            {"C Q0002 LIST \"\" \"*\"", "R " + test::MegabyteOfLines("* LIST () \"/\" f"), "S Q0002 OK"}, Action::List,
            "", "folder list is longer than 1048576 bytes"},
        Row{"malformed search", "", kNone, kLogin, true, {"C Q0002 UID SEARCH UNSEEN", "S * SEARCH 4 x"},
            Action::Search, "", "malformed SEARCH"},
        Row{"fetch, a flag change on the side", "", kNone, kLogin, true,
            {kFetch, "S * 5 FETCH (FLAGS (\\Seen))", kOne, "S Q0002 OK"}, Action::Fetch, "", "1:one "},
        Row{"bye mid-fetch", "", kNone, kLogin, true, {kFetch, kOne, "S * BYE shutting down"}, Action::Fetch, "",
            "closed the session: shutting down"},
        Row{"closed mid-literal", "", kNone, kLogin, true, {kFetch, "R * 1 FETCH (UID 1 BODY[HEADER] {40}\r\nSub", "X"},
            Action::Fetch, "", "Connection Closed Gracefully"},
        Row{"huge literal", "", kNone, kLogin, true, {kFetch, "S * 1 FETCH (UID 1 BODY[HEADER] {999999999}"},
            Action::Fetch, "", "passes the limit"},
        Row{"message not asked for", "", kNone, kLogin, true,
            {kFetch, "R * 1 FETCH (UID 7 BODY[HEADER] {14}\r\nSubject: one\r\n)\r\n"}, Action::Fetch, "",
            "message that was not asked for"},
        Row{"fetch answered by the next tag", "", kNone, kLogin, true, {kFetch, kOne, "S Q0003 OK"}, Action::Fetch,
            "", "not sent (tag Q0003, awaited Q0002)"},
        Row{"move narrowed by copyuid", "MOVE UIDPLUS", kNone, kLogin, true,
            {"C Q0002 UID MOVE 1:2 \"Junk\"", "S * OK [COPYUID 5 2 9] moved", "S * 2 EXPUNGE", "S Q0002 OK done"},
            Action::Move, "Junk", "2 expunged"},
        Row{"move refused", "MOVE", kNone, kLogin, true,
            {"C Q0002 UID MOVE 1:2 \"Sp\\\"am\\\\x\"", "S Q0002 NO [TRYCREATE] no such folder"}, Action::Move,
            "Sp\"am\\x", "expungedUID MOVE: NO [TRYCREATE] no such folder"},
        Row{"copy, store, uid expunge", "UIDPLUS", kNone, kLogin, true,
            {"C Q0002 UID COPY 1:2 \"Junk\"", "S Q0002 OK [COPYUID 5 1:2 9:10] copied",
             "C Q0003 UID STORE 1:2 +FLAGS.SILENT (\\Deleted)", "S Q0003 OK",
             "C Q0004 UID EXPUNGE 1:2", "S * 1 EXPUNGE", "S * 1 EXPUNGE", "S Q0004 OK"},
            Action::Move, "Junk", "1 2 expunged"},
        Row{"copy and store only", "", kNone, kLogin, true,
            {"C Q0002 UID COPY 1:2 \"Junk\"", "S Q0002 OK copied", "C Q0003 UID STORE 1:2 +FLAGS.SILENT (\\Deleted)",
             "S Q0003 OK"},
            Action::Move, "Junk", "1 2 kept"},
        Row{"delete with uid expunge", "UIDPLUS", kNone, kLogin, true,
            {"C Q0002 UID STORE 1:2 +FLAGS.SILENT (\\Deleted)", "S Q0002 OK", "C Q0003 UID EXPUNGE 1:2", "S Q0003 OK"},
            Action::Delete, "", "1 2 expunged"},
        Row{"delete refused", "", kNone, kLogin, true,
            {"C Q0002 UID STORE 1:2 +FLAGS.SILENT (\\Deleted)", "S Q0002 NO read-only"}, Action::Delete, "",
            "keptUID STORE: NO read-only"},
        Row{"idle", "IDLE", kNone, kLogin, true,
            {"C Q0002 IDLE", "S + idling", "S * OK Still here", "S * 4 EXISTS", "C DONE", "S Q0002 OK done"},
            Action::Idle, "", "exists 4"},
        Row{"idle ended by the server", "IDLE", kNone, kLogin, true, {"C Q0002 IDLE", "S + idling", "S Q0002 OK"},
            Action::Idle, "", "ended IDLE unasked"}));
// clang-format on

} // namespace
} // namespace qm
