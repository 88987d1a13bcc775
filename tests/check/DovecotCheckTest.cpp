// Checks against a real Dovecot POP3 server: exact counts over hundreds of messages, spam gone
// from the maildir after QUIT, TLS on connect and STLS, and quillmere-check from outside.
#include "CycleHarness.h"
#include "DovecotServer.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    const fs::path dir = fs::path(QM_TEST_TMP_DIR) / "check-dovecot";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(QM_BUILD_DIR) / "quillmere-check", dir / "quillmere-check");
    std::ofstream(dir / "quillmere.ini", std::ios::binary)
        << "[Main]\r\nLanguage=EN\r\n[Settings1]\r\nPOP3=127.0.0.1\r\nAccountName=" << dovecot.User()
        << "\r\nAccountPassword=" << ScramblePassword(dovecot.Password()) << "\r\nPort=" << dovecot.Pop3Port()
        << "\r\nTimeOut=30\r\n";
    std::ofstream(dir / "antiSpamSbjList.txt", std::ios::binary) << "Test message 1?\r\n"; // 10 .. 19
    const std::string command = "cd '" + dir.string() + "' && ./quillmere-check >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream out(dir / "out.txt");
    std::stringstream text;
    text << out.rdbuf();
    EXPECT_NE(text.str().find("you have 50 messages in total.\nin total 50 messages:\n127.0.0.1(" + dovecot.User() +
                              "): 50\n"),
              std::string::npos)
        << text.str();
    EXPECT_EQ(MessagesOnDiskSettled(dovecot, 50), 50);
}

} // namespace
} // namespace qm::test
