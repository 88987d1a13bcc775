// Wildcard masks: compiling, matching, and the anti-spam sender list against many addresses.
#include "BenchSupport.h"
#include "engine/CheckOptions.h"
#include "engine/Mask.h"
#include "engine/MessageEvaluation.h"
#include "pop3/IdMessage.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string> kTypicalMasks = {
    "*@spam.example",         // a whole domain
    "*viagra*",               // a word anywhere
    "[a-f]*@*.[!o]rg",        // sets and ranges
    "offer?\?-[0-9][0-9]*@*", // single characters and digits
    "*@*.*.*.example.com",    // several stars
};

const std::string kAddress = "John.Smith-Wellington@mail.subdomain.example.com";

std::string LongSubject(std::size_t length) {
    const std::string words = "Re: Fwd: quarterly report on the shipping schedule and the warehouse inventory ";
    std::string s;
    while (s.size() < length) {
        s += words;
    }
    s.resize(length);
    return s;
}

void BM_MaskCompile(benchmark::State& state) {
    const std::string& mask = kTypicalMasks[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        qm::TMask compiled(mask);
        benchmark::DoNotOptimize(compiled.StateCount());
    }
    state.SetLabel(mask);
}
BENCHMARK(BM_MaskCompile)->DenseRange(0, static_cast<int>(kTypicalMasks.size()) - 1);

// A compiled mask against an address, as a mask list that kept its compiled masks would do.
void BM_MaskMatchAddress(benchmark::State& state) {
    const std::string& mask = kTypicalMasks[static_cast<std::size_t>(state.range(0))];
    const qm::TMask compiled(mask);
    for (auto _ : state) {
        benchmark::DoNotOptimize(compiled.Matches(kAddress));
    }
    state.SetLabel(mask);
}
BENCHMARK(BM_MaskMatchAddress)->DenseRange(0, static_cast<int>(kTypicalMasks.size()) - 1);

// Compile, match, release: what message evaluation does for every mask and message.
void BM_MatchMaskAddress(benchmark::State& state) {
    const std::string& mask = kTypicalMasks[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::MatchMask(kAddress, mask));
    }
    state.SetLabel(mask);
}
BENCHMARK(BM_MatchMaskAddress)->DenseRange(0, static_cast<int>(kTypicalMasks.size()) - 1);

// "*viagra*" against subjects that do not contain the word: the whole subject is scanned.
void BM_MatchMaskLongSubject(benchmark::State& state) {
    const std::string subject = LongSubject(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::MatchMask(subject, "*viagra*"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MatchMaskLongSubject)->Arg(80)->Arg(1000)->Arg(10000);

// A filter list the way users grow one: mostly whole domains, some words, some single senders.
std::vector<std::string> FilterList(int count) {
    std::vector<std::string> masks;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 4) {
        case 0:
        case 1:
            masks.push_back("*@spam" + n + ".example");
            break;
        case 2:
            masks.push_back("*offer" + n + "*");
            break;
        default:
            masks.push_back("promo" + n + "@*.biz");
            break;
        }
    }
    return masks;
}

// Sender addresses of a busy mailbox, every one of them innocent: each is held against
// every mask of the list, the worst case of the anti-spam test.
std::vector<std::string> Addresses(int count) {
    std::vector<std::string> addresses;
    for (int i = 0; i < count; ++i) {
        addresses.push_back("person" + std::to_string(i) + ".lastname@host" + std::to_string(i % 500) + ".example.org");
    }
    return addresses;
}

// 1,000 sender masks against 10,000 messages through the anti-spam test of a session.
void BM_SenderListThroughIsSpam(benchmark::State& state) {
    qm::CheckOptions options;
    options.senderFilter = FilterList(static_cast<int>(state.range(0)));
    const std::vector<std::string> addresses = Addresses(static_cast<int>(state.range(1)));
    std::vector<qm::TIdMessage> messages(addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        messages[i].From.Address = addresses[i];
        messages[i].Subject = "Quarterly report";
    }
    int spam = 0;
    for (auto _ : state) {
        for (const qm::TIdMessage& m : messages) {
            spam += qm::IsSpam(m, options) ? 1 : 0;
        }
    }
    benchmark::DoNotOptimize(spam);
    const auto pairs = static_cast<double>(state.range(0)) * static_cast<double>(state.range(1));
    state.counters["pairs"] = pairs;
    state.counters["per_pair"] = benchmark::Counter(pairs * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(1));
}
BENCHMARK(BM_SenderListThroughIsSpam)->Args({1000, 10000})->Args({100, 10000})->Unit(benchmark::kMillisecond);

// The same pairs with the masks compiled once: the share of the time spent compiling.
void BM_SenderListPrecompiled(benchmark::State& state) {
    std::vector<qm::TMask> masks;
    for (const std::string& m : FilterList(static_cast<int>(state.range(0)))) {
        masks.emplace_back(m);
    }
    const std::vector<std::string> addresses = Addresses(static_cast<int>(state.range(1)));
    int spam = 0;
    for (auto _ : state) {
        for (const std::string& a : addresses) {
            for (const qm::TMask& m : masks) {
                if (m.Matches(a)) {
                    ++spam;
                    break;
                }
            }
        }
    }
    benchmark::DoNotOptimize(spam);
    const auto pairs = static_cast<double>(state.range(0)) * static_cast<double>(state.range(1));
    state.counters["per_pair"] = benchmark::Counter(pairs * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(1));
}
BENCHMARK(BM_SenderListPrecompiled)->Args({1000, 10000})->Unit(benchmark::kMillisecond);

// Many stars that never let the value match ("*a*a*...*b" against "aaa...a"): the time must
// grow with the value's length times the mask's, not exponentially with the stars.
void BM_PathologicalStars(benchmark::State& state) {
    const int stars = static_cast<int>(state.range(0));
    std::string mask;
    for (int i = 0; i < stars - 1; ++i) {
        mask += "*a";
    }
    mask += "*b";
    const std::string value(static_cast<std::size_t>(state.range(1)), 'a');
    const qm::TMask compiled(mask);
    for (auto _ : state) {
        benchmark::DoNotOptimize(compiled.Matches(value));
    }
    state.SetComplexityN(state.range(1));
    state.SetLabel(std::to_string(stars) + " stars");
}
BENCHMARK(BM_PathologicalStars)
    ->ArgsProduct({{2, 10, qm::TMask::kMaxSkipStates}, {64, 512, 4096}})
    ->Unit(benchmark::kMicrosecond);

// Stars with single-character wildcards and sets between them, near-matching values.
void BM_PathologicalMixed(benchmark::State& state) {
    const std::string mask = "*?[a-z]*?[a-z]*?[a-z]*?[a-z]*?[a-z]*?[a-z]*?[a-z]*?[a-z]*[0-9]";
    std::string value(static_cast<std::size_t>(state.range(0)), 'x');
    value.back() = '!';
    const qm::TMask compiled(mask);
    for (auto _ : state) {
        benchmark::DoNotOptimize(compiled.Matches(value));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PathologicalMixed)->RangeMultiplier(8)->Range(64, 32768)->Complexity();

} // namespace

namespace {

// A long sender address or subject from a hostile server against ordinary two-star masks:
// `unit` repeated up to the length, never completing a match.
void BM_HostileValue(benchmark::State& state, const char* mask, const char* unit) {
    std::string value;
    while (value.size() < static_cast<std::size_t>(state.range(0))) {
        value += unit;
    }
    value.resize(static_cast<std::size_t>(state.range(0)));
    const qm::TMask compiled(mask);
    for (auto _ : state) {
        benchmark::DoNotOptimize(compiled.Matches(value));
    }
    state.SetComplexityN(state.range(0));
    state.SetLabel(mask);
}
BENCHMARK_CAPTURE(BM_HostileValue, address, "*@*.ru", "@")
    ->RangeMultiplier(4)
    ->Range(1024, 65536)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK_CAPTURE(BM_HostileValue, subject, "*offer*free*", "offer ")
    ->RangeMultiplier(4)
    ->Range(1024, 65536)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

// The same through a session's path: a From header of 16,000-byte lines (the longest line the
// connection takes), folded `range(0)` times, read as TOP returns it and held against a sender
// list of one such mask.
void BM_HostileFoldedFromThroughIsSpam(benchmark::State& state) {
    std::vector<std::string> lines = {"From: x@" + std::string(16000, '@')};
    for (int i = 0; i < state.range(0); ++i) {
        lines.push_back(" " + std::string(16000, '@'));
    }
    lines.emplace_back("Subject: hello");
    lines.emplace_back(".");
    qm::bench::PreparedLineSource source(std::move(lines));
    qm::TIdMessage message;
    message.ReadHeaderBlock(source, ".");
    qm::CheckOptions options;
    options.senderFilter = {"*@*.ru"};
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::IsSpam(message, options));
    }
    state.SetLabel("From.Address of " + std::to_string(message.From.Address.size()) + " bytes");
}
BENCHMARK(BM_HostileFoldedFromThroughIsSpam)->Arg(0)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

} // namespace
