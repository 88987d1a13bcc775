// bench_check_settings DIR PORT [--retr] [--imap] USER:PASSWORD...: writes DIR/quillmere.ini for
// one quillmere-check run of the benchmarks: one account per USER on 127.0.0.1:PORT, the anti-spam
// lists empty (nothing is deleted, so every run sees the same mailboxes). With --retr the notice
// conditions are on, so every message is fetched whole (RETR) and held against them. With --imap
// the accounts are IMAP accounts watching INBOX.
#include "platform/DataFolder.h"
#include "settings/AccountCells.h"
#include "settings/PasswordScrambler.h"
#include "settings/SettingsFile.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

int usage() {
    std::cerr << "usage: bench_check_settings DIR PORT [--retr] [--imap] USER:PASSWORD...\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return usage();
    }
    const std::filesystem::path dir = argv[1];
    int port = 0;
    try {
        port = std::stoi(argv[2]);
    } catch (const std::exception&) {
        return usage();
    }
    qm::SettingsData data;
    data.main.CheckNewVersion = false;
    bool imap = false;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--retr") {
            data.main.Inform = true;
            data.main.UseFrom = true;
            // Every generated message meets them, so the counts stay checkable; the subject is still
            // decoded and matched for each one.
            data.main.FromAddress = qm::JoinValueList({"boss@*", "*@*.example.org"});
            data.main.UseSubject = true;
            data.main.Subject = qm::JoinValueList({"*invoice*", "*"});
            continue;
        }
        if (arg == "--imap") {
            imap = true;
            continue;
        }
        const auto colon = arg.find(':');
        if (colon == std::string::npos || colon == 0) {
            return usage();
        }
        qm::Account account;
        account.POP3 = "127.0.0.1";
        account.Port = port;
        account.AccountName = arg.substr(0, colon);
        account.AccountPassword = qm::ScramblePassword(arg.substr(colon + 1));
        account.TimeOut = 60;
        data.accounts.push_back(qm::ToAccountRow(account));
    }
    // After the loop: the option may follow the accounts.
    for (qm::AccountRow& row : data.accounts) {
        row.Protocol = imap ? std::to_string(static_cast<int>(qm::AccountProtocol::Imap)) : row.Protocol;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::string error;
    if (data.accounts.empty() || !qm::SaveSettings(dir / qm::kSettingsFileName, data, &error)) {
        std::cerr << "bench_check_settings: cannot write the settings in " << dir.string() << ": " << error << '\n';
        return 1;
    }
    return 0;
}
