// The settings file with many accounts, and the anti-spam list files.
#include "settings/FilterList.h"
#include "settings/IniFile.h"
#include "settings/PasswordScrambler.h"
#include "settings/SettingsFile.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path BenchDir() {
    const fs::path dir = fs::path(QM_BENCH_TMP_DIR) / "settings";
    fs::create_directories(dir);
    return dir;
}

qm::SettingsData ManyAccounts(int count) {
    qm::SettingsData data;
    data.main.FromAddress = "boss@example.org; *@family.example; news*@*";
    data.main.Subject = "urgent; *invoice*; meeting";
    for (int i = 0; i < count; ++i) {
        qm::Account a;
        a.POP3 = "pop" + std::to_string(i % 50) + ".mail-provider" + std::to_string(i % 7) + ".example.com";
        a.AccountName = "user" + std::to_string(i) + "@example.com";
        a.AccountPassword = qm::ScramblePassword("password-" + std::to_string(i));
        a.Port = i % 3 == 0 ? 995 : 110;
        a.TimeOut = 30 + i % 60;
        a.Disabled = i % 10 == 0;
        a.Security = i % 3 == 0 ? 1 : 0;
        data.accounts.push_back(qm::ToAccountRow(a));
    }
    return data;
}

fs::path WrittenSettings(int count) {
    const fs::path path = BenchDir() / ("accounts" + std::to_string(count) + ".ini");
    if (!qm::SaveSettings(path, ManyAccounts(count))) {
        return {};
    }
    return path;
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// LoadSettings as start-up runs it: read the file, parse it, build the rows.
void BM_LoadSettings(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const fs::path path = WrittenSettings(count);
    if (path.empty()) {
        state.SkipWithError("the settings file could not be written");
        return;
    }
    for (auto _ : state) {
        qm::LoadResult result = qm::LoadSettings(path);
        if (result.data.accounts.size() != static_cast<std::size_t>(count)) {
            state.SkipWithError("not every account was loaded");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(path)));
}
BENCHMARK(BM_LoadSettings)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The INI parse alone, from memory.
void BM_ParseIni(benchmark::State& state) {
    const fs::path path = WrittenSettings(static_cast<int>(state.range(0)));
    const std::string text = FileText(path);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qm::IniFile::Parse(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseIni)->Arg(1000)->Unit(benchmark::kMicrosecond);

// SaveSettings as closing the window runs it: serialise, temporary file, rename.
void BM_SaveSettings(benchmark::State& state) {
    const qm::SettingsData data = ManyAccounts(static_cast<int>(state.range(0)));
    const fs::path path = BenchDir() / "save.ini";
    for (auto _ : state) {
        if (!qm::SaveSettings(path, data)) {
            state.SkipWithError("the settings file could not be written");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SaveSettings)->Arg(1000)->Unit(benchmark::kMicrosecond);

// An anti-spam list file of 1,000 masks, read at start-up.
void BM_LoadFilterList(benchmark::State& state) {
    const fs::path path = BenchDir() / "antiSpamList.txt";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < state.range(0); ++i) {
            out << "*@spam" << i << ".example\r\n";
        }
    }
    for (auto _ : state) {
        qm::FilterList list;
        qm::LoadFilterList(list, path);
        benchmark::DoNotOptimize(list.entries.size());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_LoadFilterList)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
