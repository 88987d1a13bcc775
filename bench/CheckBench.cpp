// Whole checks over loopback: the check cycle, its session workers and the POP3 client against
// the fake server's mailbox mode, and against a private Dovecot.
#include "DovecotServer.h"
#include "FakePop3Server.h"
#include "TestPki.h"
#include "check/ConsoleInvoker.h"
#include "engine/CheckCycle.h"
#include "pop3/IdPOP3.h"
#include "settings/PasswordScrambler.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kMessages = 2000;

class SummaryView : public qm::ICheckView {
public:
    std::vector<qm::CheckSummary> summaries;
    void ShowStatus(const std::string&) override {}
    void MarkConnected(int, int) override {}
    void MarkFailed(int, int) override {}
    void TrayConnected() override {}
    void PublishSummary(const qm::CheckSummary& summary) override { summaries.push_back(summary); }
};

// The main thread of the console checker, played by the benchmark thread: one cycle, reused for
// every check as the monitor reuses its own.
struct CycleDriver {
    std::shared_ptr<qm::ConsoleInvoker> invoker = std::make_shared<qm::ConsoleInvoker>();
    SummaryView view;
    qm::CheckCycle cycle{invoker, view};

    // One whole check; its summary.
    qm::CheckSummary Check(const std::vector<qm::AccountRow>& rows, const qm::CheckOptions& options) {
        const std::size_t before = view.summaries.size();
        cycle.BeginCheck(rows, options, qm::MessageLogOptions{});
        invoker->RunUntil([&] { return view.summaries.size() > before; });
        return view.summaries.back();
    }
    ~CycleDriver() {
        invoker->Close();
        cycle.Shutdown(std::chrono::seconds(30));
    }
};

qm::AccountRow Row(const std::string& host, int port, const std::string& user, const std::string& password,
                   int security = 0) {
    qm::AccountRow row;
    row.Caption = host;
    row.AccountName = user;
    row.AccountPassword = qm::ScramblePassword(password);
    row.Port = std::to_string(port);
    row.TimeOut = "30";
    row.Disabled = "False";
    row.Security = std::to_string(security);
    return row;
}

// An ordinary message of a busy mailbox; every `spamEvery`-th one (0: none) comes from a
// domain on the sender list.
std::string MailboxMessage(int i, int spamEvery) {
    const std::string n = std::to_string(i);
    const bool spam = spamEvery > 0 && i % spamEvery == 0;
    const std::string from =
        spam ? "Offers <deal" + n + "@spam997.example>"
             : "Person " + n + " <person" + n + ".lastname@host" + std::to_string(i % 500) + ".example.org>";
    return "Return-Path: <bounce@example.org>\r\n"
           "Received: from mx.example.org (mx.example.org [192.0.2.10])\r\n"
           "\tby mail.example.org with ESMTPS id " +
           n +
           "\r\n"
           "From: " +
           from +
           "\r\n"
           "To: user@example.org\r\n"
           "Subject: =?UTF-8?Q?Bericht_Nummer_" +
           n +
           "_f=C3=BCr_die_Woche?=\r\n"
           "Date: Mon, 6 Nov 2023 10:00:00 +0100\r\n"
           "Message-ID: <" +
           n +
           "@example.org>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n"
           "\r\n"
           "Body line one of message " +
           n + "\r\n.a line with a leading dot\r\nthe last line\r\n";
}

// The sender list of the mask benchmarks: 1,000 masks, the spam domain near its end.
std::vector<std::string> SenderList() {
    std::vector<std::string> masks;
    for (int i = 0; i < 1000; ++i) {
        const std::string n = std::to_string(i);
        masks.push_back(i % 4 < 2 ? "*@spam" + n + ".example"
                                  : (i % 4 == 2 ? "*offer" + n + "*" : "promo" + n + "@*.biz"));
    }
    return masks;
}

std::vector<std::string> SubjectList() {
    std::vector<std::string> masks;
    for (int i = 0; i < 100; ++i) {
        masks.push_back("*cheap pills " + std::to_string(i) + "*");
    }
    return masks;
}

enum Mode { kTop, kTopWithLists, kTopWithListsAndSpam, kRetrWithConditions };

const char* ModeLabel(int mode) {
    switch (mode) {
    case kTop:
        return "TOP, lists empty";
    case kTopWithLists:
        return "TOP, 1000 sender + 100 subject masks, no spam";
    case kTopWithListsAndSpam:
        return "TOP, 1000 + 100 masks, every 10th spam (DELE)";
    default:
        return "RETR, notice conditions on";
    }
}

qm::CheckOptions OptionsFor(int mode) {
    qm::CheckOptions options;
    if (mode != kTop) {
        options.senderFilter = SenderList();
        options.subjectFilter = SubjectList();
    }
    if (mode == kRetrWithConditions) {
        options.inform = true;
        options.useFrom = true;
        options.fromMasks = {"*@*example.org", "boss@*"};
        options.useSubject = true;
        options.subjectMasks = {"*Bericht*"};
    }
    return options;
}

// A check of `accounts` accounts, each on a fake server of its own holding its share of the
// 2,000 messages, the sessions running in parallel.
void BM_FakeServerCheck(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int accounts = static_cast<int>(state.range(1));
    const int perAccount = kMessages / accounts;
    const int spamEvery = mode == kTopWithListsAndSpam ? 10 : 0;

    std::vector<std::unique_ptr<qm::test::FakePop3Server>> servers;
    std::vector<qm::AccountRow> rows;
    for (int a = 0; a < accounts; ++a) {
        qm::test::FakeMailbox mailbox;
        for (int i = 1; i <= perAccount; ++i) {
            mailbox.messages.push_back(MailboxMessage(a * perAccount + i, spamEvery));
        }
        auto server = std::make_unique<qm::test::FakePop3Server>();
        server->ServeMailbox(mailbox);
        server->Start();
        rows.push_back(Row("127.0.0.1", server->Port(), mailbox.user, mailbox.password));
        servers.push_back(std::move(server));
    }
    const qm::CheckOptions options = OptionsFor(mode);
    const int expectedNews = spamEvery > 0 ? kMessages - kMessages / spamEvery : kMessages;

    CycleDriver driver;
    driver.Check(rows, options); // the first check pays for first-use costs of the process
    for (auto _ : state) {
        const qm::CheckSummary s = driver.Check(rows, options);
        // Deleted spam is taken off the count of messages on the server.
        if (s.messagesOnServer != expectedNews || s.noticedMessages != expectedNews) {
            state.SkipWithError(("unexpected summary: " + s.statusText).c_str());
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kMessages);
    state.SetLabel(std::string(ModeLabel(mode)) + ", " + std::to_string(accounts) + " account(s)");
}
BENCHMARK(BM_FakeServerCheck)
    ->Args({kTop, 1})
    ->Args({kTopWithLists, 1})
    ->Args({kTopWithListsAndSpam, 1})
    ->Args({kRetrWithConditions, 1})
    ->Args({kTop, 4})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// One private Dovecot for every Dovecot benchmark, filled once and warmed up by a first check
// (its first session after filling builds the mailbox index).
qm::test::DovecotServer& FilledDovecot() {
    static std::unique_ptr<qm::test::DovecotServer> dovecot = [] {
        auto d = std::make_unique<qm::test::DovecotServer>();
        d->AddMessages(kMessages);
        CycleDriver warmUp;
        warmUp.Check({Row("127.0.0.1", d->Pop3Port(), d->User(), d->Password())}, qm::CheckOptions{});
        return d;
    }();
    return *dovecot;
}

void BM_DovecotCheck(benchmark::State& state) {
    const int security = static_cast<int>(state.range(0));
    const int mode = static_cast<int>(state.range(1));
    qm::test::DovecotServer* dovecot = nullptr;
    try {
        dovecot = &FilledDovecot();
    } catch (const std::exception& e) {
        state.SkipWithError((std::string("Dovecot did not start: ") + e.what()).c_str());
        return;
    }
    qm::test::ScopedCaFile trust(dovecot->Pki().CaFile());
    const int port = security == qm::TIdPOP3::kSecurityTls ? dovecot->Pop3sPort() : dovecot->Pop3Port();
    const std::vector<qm::AccountRow> rows = {Row("localhost", port, dovecot->User(), dovecot->Password(), security)};
    const qm::CheckOptions options = OptionsFor(mode);

    CycleDriver driver;
    driver.Check(rows, options);
    for (auto _ : state) {
        const qm::CheckSummary s = driver.Check(rows, options);
        if (s.messagesOnServer != kMessages) {
            state.SkipWithError(("unexpected summary: " + s.statusText).c_str());
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kMessages);
    static const char* const kSecurity[] = {"plain", "TLS on connect", "STLS"};
    state.SetLabel(std::string(kSecurity[security]) + ", " + ModeLabel(mode));
}
BENCHMARK(BM_DovecotCheck)
    ->Args({qm::TIdPOP3::kSecurityNone, kTop})
    ->Args({qm::TIdPOP3::kSecurityNone, kTopWithLists})
    ->Args({qm::TIdPOP3::kSecurityNone, kRetrWithConditions})
    ->Args({qm::TIdPOP3::kSecurityTls, kTop})
    ->Args({qm::TIdPOP3::kSecuritySTLS, kTop})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

} // namespace
