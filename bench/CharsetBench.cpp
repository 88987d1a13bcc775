// Subject decoding (encoded words in several charsets) and code page conversion.
#include "BenchSupport.h"
#include "pop3/Charset.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// "Привет, мир! Скидки недели" and "Größte Auswahl für Sie" in UTF-8.
const std::string kRussianUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80! "
                                 "\xD0\xA1\xD0\xBA\xD0\xB8\xD0\xB4\xD0\xBA\xD0\xB8 \xD0\xBD\xD0\xB5\xD0\xB4\xD0"
                                 "\xB5\xD0\xBB\xD0\xB8";
const std::string kGermanUtf8 = "Gr\xC3\xB6\xC3\x9F\x74\x65 Auswahl f\xC3\xBCr Sie";

std::string EncodedWord(const std::string& charset, int charsetId, const std::string& utf8) {
    return "=?" + charset + "?B?" + qm::bench::Base64(qm::ConvertCharset(utf8, qm::csUTF8, charsetId)) + "?=";
}

struct SubjectCase {
    const char* label;
    int codePage;
    std::string subject;
};

std::vector<SubjectCase> SubjectCases() {
    return {
        {"plain ASCII", 1252, "Re: Fwd: Minutes of the meeting on Monday"},
        {"UTF-8 B to 1251", 1251, "Re: " + EncodedWord("UTF-8", qm::csUTF8, kRussianUtf8)},
        {"KOI8-R B to 1251", 1251, EncodedWord("KOI8-R", qm::csKOI8_R, kRussianUtf8)},
        {"windows-1251 B to 1251", 1251, EncodedWord("windows-1251", qm::csWindows1251, kRussianUtf8)},
        {"ISO-8859-5 B to 1251", 1251, EncodedWord("ISO-8859-5", qm::csISO_8859_5, kRussianUtf8)},
        {"ISO-8859-1 Q to 1252", 1252, "=?ISO-8859-1?Q?Gr=F6=DFte_Auswahl_f=FCr_Sie?= - nur heute"},
        {"UTF-8 Q to 1252", 1252, "=?utf-8?Q?Gr=C3=B6=C3=9Fte_Auswahl_f=C3=BCr_Sie?="},
        {"ISO-8859-2 Q to 1250", 1250, "=?ISO-8859-2?Q?Pozdrowienia_z_=A3odzi?="},
        {"4 words, 2 charsets", 1251,
         EncodedWord("UTF-8", qm::csUTF8, kRussianUtf8) + " " + EncodedWord("KOI8-R", qm::csKOI8_R, kRussianUtf8) +
             " " + EncodedWord("UTF-8", qm::csUTF8, kGermanUtf8) + " " +
             EncodedWord("windows-1251", qm::csWindows1251, kRussianUtf8)},
    };
}

void BM_DecodeSubject(benchmark::State& state) {
    const SubjectCase c = SubjectCases()[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::DecodeSubject(c.subject, c.codePage));
    }
    state.SetLabel(c.label);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.subject.size()));
}
BENCHMARK(BM_DecodeSubject)->DenseRange(0, 8);

// A long text of Cyrillic with ASCII between the words, `bytes` bytes of UTF-8.
std::string CyrillicText(std::size_t bytes) {
    std::string s;
    while (s.size() < bytes) {
        s += kRussianUtf8 + " 2023 ";
    }
    return s;
}

void BM_ConvertUtf8To1251(benchmark::State& state) {
    const std::string text = CyrillicText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::ConvertCharset(text, qm::csUTF8, qm::csWindows1251));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ConvertUtf8To1251)->Arg(4096)->Arg(1 << 20);

void BM_ConvertKoi8rTo1251(benchmark::State& state) {
    const std::string text =
        qm::ConvertCharset(CyrillicText(static_cast<std::size_t>(state.range(0))), qm::csUTF8, qm::csKOI8_R);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::ConvertCharset(text, qm::csKOI8_R, qm::csWindows1251));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ConvertKoi8rTo1251)->Arg(4096)->Arg(1 << 20);

// The edges of the program: code page bytes to UTF-8 for the interface and back.
void BM_CodePageToUtf8(benchmark::State& state) {
    const std::string text = qm::Utf8ToCodePage(CyrillicText(static_cast<std::size_t>(state.range(0))), 1251);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::CodePageToUtf8(text, 1251));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CodePageToUtf8)->Arg(4096)->Arg(1 << 20);

void BM_Utf8ToCodePage(benchmark::State& state) {
    const std::string text = CyrillicText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::Utf8ToCodePage(text, 1251));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Utf8ToCodePage)->Arg(4096)->Arg(1 << 20);

} // namespace
