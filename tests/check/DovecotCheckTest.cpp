// Checks against a real Dovecot POP3 server: exact counts over hundreds of messages, spam gone
// from the maildir after QUIT, TLS on connect and STLS, and quillmere-check from outside.
#include "CycleHarness.h"
#include "DovecotServer.h"
#include "HttpResponder.h"
#include "ScratchDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

namespace qm::test {
namespace {

AccountRow DovecotRow(const DovecotServer& dovecot, int port, int security, const std::string& host = "127.0.0.1") {
    AccountRow row = CycleRow(port, dovecot.User(), dovecot.Password());
    row.Caption = host;
    row.Security = std::to_string(security);
    return row;
}

// The session does not wait for the answer to QUIT, so the server may still be committing the
// deletions when the check has ended: wait (up to a generous bound) for the maildir to settle.
int MessagesOnDiskSettled(const DovecotServer& dovecot, int expected) {
    for (int i = 0; i < 600 && dovecot.MessagesOnDisk() != expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return dovecot.MessagesOnDisk();
}

std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The bearer token of each request the endpoint got, in sorted order.
std::vector<std::string> BearerTokens(const HttpResponder& http) {
    std::vector<std::string> tokens;
    const std::string field = "\r\nAuthorization: Bearer ";
    for (const std::string& request : http.Requests()) {
        const auto at = request.find(field);
        if (at != std::string::npos) {
            const auto begin = at + field.size();
            tokens.push_back(request.substr(begin, request.find("\r\n", begin) - begin));
        }
    }
    std::sort(tokens.begin(), tokens.end());
    return tokens;
}

// A fresh folder holding a copy of quillmere-check, for a run from outside.
std::filesystem::path CheckerFolder(const std::string& name) {
    const std::filesystem::path dir = ScratchDir(name);
    std::filesystem::copy_file(std::filesystem::path(QM_BUILD_DIR) / "quillmere-check", dir / "quillmere-check");
    return dir;
}

// Runs the quillmere-check in dir on one account of the first user, with the sender anti-spam list
// "*@spam.example"; returns its exit status, its output in out and err.
int RunChecker(const std::filesystem::path& dir, const DovecotServer& dovecot, int port, const std::string& keys,
               const std::string& args, std::string& out, std::string& err, const std::string& mainKeys = "") {
    std::ofstream(dir / "quillmere.ini", std::ios::binary)
        << "[Main]\r\nLanguage=EN\r\n"
        << mainKeys << "[Settings1]\r\nPOP3=127.0.0.1\r\nAccountName=" << dovecot.User()
        << "\r\nAccountPassword=" << ScramblePassword(dovecot.Password()) << "\r\nPort=" << port << "\r\nTimeOut=30\r\n"
        << keys;
    std::ofstream(dir / "antiSpamList.txt", std::ios::binary) << "*@spam.example\r\n";
    const std::string command = "cd '" + dir.string() + "' && ./quillmere-check " + args + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    out = FileText(dir / "out.txt");
    err = FileText(dir / "err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CheckSummary RunOneCheck(const std::vector<AccountRow>& rows, const CheckOptions& options,
                         std::vector<CheckCycle::AccountFailure>* failures = nullptr) {
    CycleFixture f;
    f.cycle->BeginCheck(rows, options, MessageLogOptions{});
    f.RunUntilSummaries(1);
    if (failures != nullptr) {
        *failures = f.cycle->AccountErrors();
    }
    return f.view.summaries.at(0);
}

TEST(DovecotCheck, CountsHundredsOfMessagesExactly) {
    DovecotServer dovecot;
    dovecot.AddMessages(300);
    const CheckSummary s = RunOneCheck({DovecotRow(dovecot, dovecot.Pop3Port(), 0)}, CheckOptions{});
    EXPECT_TRUE(s.news);
    EXPECT_EQ(s.messagesOnServer, 300);
    EXPECT_EQ(s.noticedMessages, 300);
    EXPECT_EQ(s.hintText, "in total 300 messages:\r127.0.0.1(" + dovecot.User() + "): 300\r");
    EXPECT_EQ(dovecot.MessagesOnDisk(), 300);
}

TEST(DovecotCheck, SpamIsGoneAfterQuitAndTheRestIsCountedAgain) {
    DovecotServer dovecot;
    dovecot.AddMessages(40);
    for (int i = 0; i < 7; ++i) {
        dovecot.AddMessage("From: Offers <deal" + std::to_string(i) +
                           "@spam.example>\r\nSubject: buy now\r\n\r\ncheap\r\n");
    }
    CheckOptions options;
    options.senderFilter = {"*@SPAM.EXAMPLE"};
    const auto row = DovecotRow(dovecot, dovecot.Pop3Port(), 0);
    const CheckSummary first = RunOneCheck({row}, options);
    EXPECT_EQ(first.messagesOnServer, 40);
    EXPECT_EQ(first.noticedMessages, 40);
    EXPECT_EQ(MessagesOnDiskSettled(dovecot, 40), 40) << dovecot.Log();

    const CheckSummary second = RunOneCheck({row}, options);
    EXPECT_EQ(second.messagesOnServer, 40);
    EXPECT_EQ(second.noticedMessages, 40);
}

TEST(DovecotCheck, InformReadsWholeMessagesAndAppliesConditions) {
    DovecotServer dovecot;
    dovecot.AddMessages(25); // senders sender1@example.com ... sender25@example.com
    CheckOptions options;
    options.inform = true;
    options.useFrom = true;
    options.fromMasks = {"sender1?@example.com"}; // sender10 .. sender19
    const CheckSummary s = RunOneCheck({DovecotRow(dovecot, dovecot.Pop3Port(), 0)}, options);
    EXPECT_EQ(s.messagesOnServer, 25);
    EXPECT_EQ(s.noticedMessages, 10);
}

TEST(DovecotCheck, TlsOnConnectAndStls) {
    DovecotServer dovecot;
    dovecot.AddMessages(12);
    ScopedCaFile trust(dovecot.Pki().CaFile());
    std::vector<CheckCycle::AccountFailure> failures;
    const CheckSummary s = RunOneCheck(
        {DovecotRow(dovecot, dovecot.Pop3sPort(), 1, "localhost"), DovecotRow(dovecot, dovecot.Pop3Port(), 2)},
        CheckOptions{}, &failures);
    EXPECT_TRUE(failures.empty()) << failures.at(0).error;
    EXPECT_EQ(s.messagesOnServer, 24);
}

TEST(DovecotCheck, UntrustedCertificateFailsTheAccount) {
    DovecotServer dovecot(DovecotServer::Certificate::SelfSigned);
    dovecot.AddMessages(3);
    std::vector<CheckCycle::AccountFailure> failures;
    const CheckSummary s =
        RunOneCheck({DovecotRow(dovecot, dovecot.Pop3sPort(), 1, "localhost")}, CheckOptions{}, &failures);
    EXPECT_FALSE(s.news);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].error.rfind("TLS: ", 0), 0u) << failures[0].error;
}

TEST(DovecotCheck, ConsoleCheckerFromOutside) {
    DovecotServer dovecot;
    dovecot.AddMessages(60);
    namespace fs = std::filesystem;
    const fs::path dir = CheckerFolder("check-dovecot");
    std::ofstream(dir / "quillmere.ini", std::ios::binary)
        << "[Main]\r\nLanguage=EN\r\n[Settings1]\r\nPOP3=127.0.0.1\r\nAccountName=" << dovecot.User()
        << "\r\nAccountPassword=" << ScramblePassword(dovecot.Password()) << "\r\nPort=" << dovecot.Pop3Port()
        << "\r\nTimeOut=30\r\n";
    std::ofstream(dir / "antiSpamSbjList.txt", std::ios::binary) << "Test message 1?\r\n"; // 10 .. 19
    const std::string command = "cd '" + dir.string() + "' && ./quillmere-check >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string text = FileText(dir / "out.txt");
    EXPECT_NE(
        text.find("you have 50 messages in total.\nin total 50 messages:\n127.0.0.1(" + dovecot.User() + "): 50\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(MessagesOnDiskSettled(dovecot, 50), 50);
}

// Every way of signing in, through quillmere-check from outside, against a Dovecot whose OAuth2
// passdb checks tokens at an introspection responder on loopback. The token is made by the
// helper at run time, so it is in no file of the test; afterwards it is in none either, nor in
// anything the program printed.
TEST(DovecotCheck, ConsoleCheckerSignsInEveryWayAndNeverShowsTheToken) {
    const std::string token = "ya29-k7Qx1337";
    const std::string tokenCommand = "sh -c 'printf \"%s-%s\\n\" ya29 k7Qx$((1000+337))'";
    HttpResponder introspection;
    ServeIntrospection(introspection, token, "qmtest");
    DovecotServer dovecot(DovecotServer::Certificate::Trusted, "http://" + introspection.Address() + "/introspect");
    dovecot.AddMessages(3);
    namespace fs = std::filesystem;
    const fs::path dir = CheckerFolder("check-dovecot-signin");
    std::ofstream ini(dir / "quillmere.ini", std::ios::binary);
    ini << "[Main]\r\nLanguage=EN\r\nInform=1\r\nWriteToFile=1\r\n";
    struct Account {
        int port;
        int security;
        int auth;
        std::string command;
    };
    const Account accounts[] = {
        {dovecot.Pop3sPort(), 1, 2, tokenCommand},
        {dovecot.Pop3Port(), 2, 3, tokenCommand},
        {dovecot.Pop3Port(), 0, 1, ""},
        {dovecot.Pop3sPort(), 1, 2, "echo ya29-stale"},
        {dovecot.Pop3sPort(), 1, 3, "echo ya29-stale"},
        {dovecot.Pop3sPort(), 1, 3, "sh -c 'echo no refresh token for qmtest >&2; exit 4'"},
    };
    int n = 0;
    for (const Account& a : accounts) {
        ini << "[Settings" << ++n << "]\r\nPOP3=localhost\r\nAccountName=" << dovecot.User()
            << "\r\nAccountPassword=" << ScramblePassword(dovecot.Password()) << "\r\nPort=" << a.port
            << "\r\nTimeOut=30\r\nSecurity=" << a.security << "\r\nAuth=" << a.auth << "\r\nTokenCommand=" << a.command
            << "\r\n";
    }
    ini.close();
    const std::string command = "cd '" + dir.string() + "' && SSL_CERT_FILE='" + dovecot.Pki().CaFile() +
                                "' ./quillmere-check >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string out = FileText(dir / "out.txt");
    const std::string err = FileText(dir / "err.txt");
    EXPECT_NE(out.find("in total 9 messages:\n"), std::string::npos) << out << err;
    EXPECT_NE(err.find("localhost (qmtest): [AUTH] Authentication failed. (OAuth2 status: 401)\n"), std::string::npos)
        << err;
    EXPECT_NE(err.find("localhost (qmtest): Token command failed with exit status 4: no refresh token for qmtest\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("localhost (qmtest): [AUTH] Authentication failed. (OAuth2 status: invalid_token)\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 3) << err;
    // Sessions run in parallel: the tokens arrive in any order.
    EXPECT_EQ(BearerTokens(introspection), (std::vector<std::string>{token, token, "ya29-stale", "ya29-stale"}));
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().filename() != "quillmere-check") {
            EXPECT_EQ(FileText(entry.path()).find(token), std::string::npos) << entry.path();
        }
    }
    EXPECT_TRUE(fs::exists(dir / "messages.txt"));
}

// One INBOX checked over IMAP through quillmere-check: two messages read elsewhere (one of them
// spam) are counted and not judged, the unseen spam goes where the account says, its record
// says what the server did, and no flag of the messages left changes.
struct ImapRow {
    const char* name;
    std::string keys; // account keys after Protocol=1
    std::string args;
    std::string outPart, errPart, recordEnd; // recordEnd: the record's last field; "" for no record
    int inbox, junk, trash;
    int total = 3; // on the server, the spam not counted
    std::string mainKeys = "";
};

class DovecotImapCheck : public ::testing::TestWithParam<ImapRow> {};

std::vector<std::string> Flags(const DovecotServer& dovecot, const std::string& folder = {}) {
    std::vector<std::string> flags;
    for (const std::string& file : dovecot.MessageFiles(0, folder)) {
        const auto at = file.find(":2,");
        flags.push_back(at == std::string::npos ? "" : file.substr(at + 3));
    }
    std::sort(flags.begin(), flags.end());
    return flags;
}

TEST_P(DovecotImapCheck, JudgesOnlyUnseenMessagesAndRecordsWhatTheServerDid) {
    const ImapRow& row = GetParam();
    DovecotServer dovecot;
    dovecot.AddMessage("From: a@x.example\r\nSubject: read\r\n\r\nb\r\n", 0, true);
    dovecot.AddMessage("From: x@spam.example\r\nSubject: read spam\r\n\r\nb\r\n", 0, true);
    dovecot.AddMessage("From: b@x.example\r\nSubject: new\r\n\r\nb\r\n");
    dovecot.AddMessage("From: y@spam.example\r\nSubject: =?UTF-8?Q?Caf=C3=A9?= offer\r\n\r\nb\r\n");
    const std::vector<std::string> before = Flags(dovecot);
    const std::filesystem::path dir = CheckerFolder("check-imap");
    std::string out, err;
    EXPECT_EQ(
        RunChecker(dir, dovecot, dovecot.ImapPort(), "Protocol=1\r\n" + row.keys, row.args, out, err, row.mainKeys), 0)
        << err; // news: the one unseen message
    const std::string total = std::to_string(row.total);
    EXPECT_NE(out.find("you have " + total + " messages in total.\nin total " + total + " messages:\n127.0.0.1(" +
                       dovecot.User() + "): 1\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(row.outPart), std::string::npos) << out;
    EXPECT_EQ(row.errPart.empty(), err.empty()) << err;
    EXPECT_NE(err.find(row.errPart), std::string::npos) << err;
    const std::string record = FileText(dir / "deleted.txt");
    EXPECT_EQ(record.empty(), row.recordEnd.empty()) << record;
    if (!row.recordEnd.empty()) {
        EXPECT_NE(record.find("\tCafé offer\t65\t"), std::string::npos) << record; // RFC822.SIZE
        EXPECT_NE(record.find("\tsender: *@spam.example\t" + row.recordEnd + "\n"), std::string::npos) << record;
    }
    EXPECT_EQ(dovecot.MessagesOnDisk(), row.inbox);
    EXPECT_EQ(dovecot.MessagesOnDisk(0, "Junk"), row.junk);
    EXPECT_EQ(dovecot.MessagesOnDisk(0, "Trash"), row.trash);
    if (row.inbox == 4) {
        EXPECT_EQ(Flags(dovecot), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DovecotImapCheck,
    ::testing::Values(ImapRow{"to_junk", "", "", "", "", "moved to Junk", 3, 1, 0},
                      ImapRow{"to_trash", "SpamAction=1\r\n", "", "", "", "moved to Trash", 3, 0, 1},
                      ImapRow{"deleted", "SpamAction=2\r\n", "", "", "", "deleted", 3, 0, 0},
                      ImapRow{"dry_run", "", "--dry-run", "would move to Junk: 127.0.0.1 (", "", "", 4, 0, 0},
                      ImapRow{"no_such_junk_folder", "JunkFolder=Nowhere\r\n", "", "",
                              "The junk folder Nowhere does not exist", "", 4, 0, 0, 4},
                      ImapRow{"whole_messages", "", "", "", "", "moved to Junk", 3, 1, 0, 3, "Inform=1\r\n"},
                      ImapRow{"missing_watched_folder", "Folders=INBOX;Missing\r\n", "", "", "Missing", "moved to Junk",
                              3, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// One mailbox, nothing read yet, checked over POP3 and over IMAP as a dry run: the same report,
// the same spam, the same fields on each spam line; only the action differs.
TEST(DovecotCheck, Pop3AndImapReportOneMailboxAlike) {
    DovecotServer dovecot;
    dovecot.AddMessages(5);
    dovecot.AddMessage("From: y@spam.example\r\nSubject: =?UTF-8?Q?Caf=C3=A9?= offer\r\n\r\nb\r\n");
    dovecot.AddMessage("From: \"Z\" <z@spam.example>\r\nSubject: {5}\r\n\r\nliteral-like\r\n");
    // POP3 walks from the newest message down, IMAP in the server's order: compared as sets of lines.
    std::multiset<std::string> lines[2];
    for (const int protocol : {0, 1}) {
        std::string out, err;
        const int port = protocol == 1 ? dovecot.ImapPort() : dovecot.Pop3Port();
        EXPECT_EQ(RunChecker(CheckerFolder("parity"), dovecot, port, "Protocol=" + std::to_string(protocol) + "\r\n",
                             "--dry-run", out, err),
                  0)
            << err;
        std::istringstream in(std::regex_replace(out, std::regex("would (delete|move to Junk): "), "would act: "));
        for (std::string line; std::getline(in, line);)
            lines[protocol].insert(line);
    }
    EXPECT_EQ(lines[0], lines[1]);
    EXPECT_EQ(std::count_if(lines[1].begin(), lines[1].end(), [](auto& l) { return l.starts_with("would act: "); }), 2);
}

// The last session's logout line in Dovecot's log: what it fetched ("top=3/..., retr=0/0" for
// POP3, "hdr_count=3 ... body_count=0" for IMAP).
std::string LastLogout(const DovecotServer& dovecot, const std::string& protocol) {
    std::istringstream log(dovecot.Log());
    std::string last;
    for (std::string line; std::getline(log, line);) {
        if (line.find(protocol + "(" + dovecot.User() + ")") != std::string::npos &&
            line.find("Disconnected") != std::string::npos) {
            last = line;
        }
    }
    return last;
}

// quillmere-check run after run on one data folder, so each run starts from the state file the
// last one left: the same report as the first, nothing fetched again, news only until marked read.
TEST(DovecotCheck, RunAfterRunReusesVerdictsAndKeepsNewsUntilMarkedRead) {
    for (const int protocol : {0, 1}) {
        DovecotServer dovecot;
        dovecot.AddMessages(4);
        dovecot.AddMessage("From: y@spam.example\r\nSubject: offer\r\n\r\nb\r\n");
        const int port = protocol == 1 ? dovecot.ImapPort() : dovecot.Pop3Port();
        const std::string keys = "Protocol=" + std::to_string(protocol) + "\r\n";
        const std::string name = protocol == 1 ? "imap" : "pop3";
        const std::filesystem::path dir = CheckerFolder("kept-" + name);
        std::string first, out, err;
        EXPECT_EQ(RunChecker(dir, dovecot, port, keys, "", first, err, "NewOnly=1\r\n"), 0) << err;
        EXPECT_NE(first.find("(" + dovecot.User() + "): 4\n"), std::string::npos) << first;
        EXPECT_EQ(RunChecker(dir, dovecot, port, keys, "--mark-read", out, err, "NewOnly=1\r\n"), 0) << err;
        EXPECT_EQ(out, first) << "still news: nobody looked";
        const std::string logout = LastLogout(dovecot, name);
        EXPECT_NE(logout.find(protocol == 1 ? "hdr_count=0 " : "top=0/0, retr=0/0"), std::string::npos) << logout;
        EXPECT_EQ(RunChecker(dir, dovecot, port, keys, "", out, err, "NewOnly=1\r\n"), 1) << out << err;
        EXPECT_NE(out.find("you haven't new messages"), std::string::npos) << out;
        EXPECT_EQ(RunChecker(dir, dovecot, port, keys, "", out, err), 0) << "without NewOnly: news again";
        dovecot.AddMessage("From: late@x.example\r\nSubject: later\r\n\r\nb\r\n");
        EXPECT_EQ(RunChecker(dir, dovecot, port, keys, "", out, err, "NewOnly=1\r\n"), 0) << err;
        EXPECT_NE(out.find("(" + dovecot.User() + "): 1\n"), std::string::npos) << out;
        EXPECT_NE(LastLogout(dovecot, name).find(protocol == 1 ? "hdr_count=1 " : "top=1/"), std::string::npos)
            << LastLogout(dovecot, name);
        // A damaged state file is nothing known yet: every message is read and news again.
        std::ofstream(dir / "mailstate.txt", std::ios::binary) << "Quillmere32 mail state 1\naccount";
        EXPECT_EQ(RunChecker(dir, dovecot, port, keys, "", out, err, "NewOnly=1\r\n"), 0) << err;
        EXPECT_NE(out.find("(" + dovecot.User() + "): 5\n"), std::string::npos) << out;
        EXPECT_EQ(FileText(dir / "mailstate.txt").rfind("Quillmere32 mail state 1\n", 0), 0u);
    }
}

} // namespace
} // namespace qm::test
