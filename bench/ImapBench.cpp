// The IMAP client's header walk against a private Dovecot: 2,000 unseen messages fetched in
// bounded, pipelined UID sets, beside the same walk with one round trip per message; and the
// reply reader alone on a header fetch reply in memory.
#include "DovecotServer.h"
#include "imap/IdIMAP4.h"
#include "imap/ImapReply.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

constexpr int kMessages = 2000;

// One private Dovecot for every benchmark, filled once and indexed by a first walk.
qm::test::DovecotServer& FilledDovecot() {
    static std::unique_ptr<qm::test::DovecotServer> dovecot = [] {
        auto d = std::make_unique<qm::test::DovecotServer>();
        d->AddMessages(kMessages);
        return d;
    }();
    return *dovecot;
}

// One check's worth of protocol: sign in, EXAMINE, UID SEARCH UNSEEN, the headers, LOGOUT.
// perMessage: one UID FETCH per message, waited for before the next.
std::size_t Walk(const qm::test::DovecotServer& dovecot, bool perMessage) {
    qm::TIdIMAP4 client;
    client.Host = "127.0.0.1";
    client.Port = dovecot.ImapPort();
    client.Username = dovecot.User();
    client.Password = dovecot.Password();
    client.Connect(30000);
    client.SelectFolder("INBOX", true);
    const std::vector<std::uint32_t> uids = client.SearchUids("UNSEEN");
    std::size_t headers = 0;
    auto count = [&](qm::ImapFetched& f) { headers += f.message.Subject.empty() ? 0 : 1; };
    if (perMessage) {
        for (std::uint32_t uid : uids) {
            client.FetchHeaders({uid}, count);
        }
    } else {
        client.FetchHeaders(uids, count);
    }
    client.Logout();
    return headers;
}

void BM_ImapHeaderWalk(benchmark::State& state) {
    const bool perMessage = state.range(0) != 0;
    qm::test::DovecotServer* dovecot = nullptr;
    try {
        dovecot = &FilledDovecot();
        Walk(*dovecot, false);
    } catch (const std::exception& e) {
        state.SkipWithError((std::string("Dovecot did not serve IMAP: ") + e.what()).c_str());
        return;
    }
    for (auto _ : state) {
        if (Walk(*dovecot, perMessage) != kMessages) {
            state.SkipWithError("not every header was read");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kMessages);
    state.SetLabel(perMessage ? "one round trip per message" : "batched, pipelined");
}
BENCHMARK(BM_ImapHeaderWalk)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_ImapReplyReader(benchmark::State& state) {
    std::string header;
    while (header.size() < 1500) {
        header += "Received: from relay.example.com by mx.example.net; Mon, 6 Nov 2023 10:00:00 +0000\r\n";
    }
    header += "Subject: Test message\r\n\r\n";
    const std::string reply = "* 17 FETCH (UID 1017 FLAGS (\\Recent) RFC822.SIZE 2400 BODY[HEADER] {" +
                              std::to_string(header.size()) + "}\r\n" + header + ")\r\n";
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::ReadImapReply(reply));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_ImapReplyReader);

} // namespace
