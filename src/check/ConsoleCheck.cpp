#include "check/ConsoleCheck.h"

#include "check/ConsoleInvoker.h"
#include "engine/CheckCycle.h"
#include "engine/CheckOptions.h"
#include "platform/CodePage.h"
#include "platform/DataFolder.h"
#include "settings/DeletionLog.h"
#include "settings/FilterList.h"
#include "settings/MailState.h"
#include "settings/SettingsFile.h"
#include "text/AsciiText.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <system_error>

namespace qm {

namespace {

// Status lines go out as the status bar shows them; the rest of the window has no console form.
class ConsoleView : public ICheckView {
public:
    explicit ConsoleView(std::ostream& out) : m_out(out) {}

    void ShowStatus(const std::string& text) override {
        if (!text.empty()) {
            m_out << text << '\n' << std::flush;
        }
    }
    void MarkConnected(int, int) override {}
    void MarkFailed(int, int) override {}
    void TrayConnected() override {}
    void WouldDelete(const DeletionRecord& record) override {
        m_out << "would " << BlankControls(record.action.empty() ? "delete" : record.action) << ": "
              << BlankControls(record.server) << " (" << BlankControls(record.account) << "): "
              << BlankControls(record.sender) << " | " << BlankControls(record.subject) << " | "
              << BlankControls(record.list + ": " + record.entry) << '\n'
              << std::flush;
    }
    void PublishSummary(const CheckSummary& summary) override {
        m_summary = summary;
        m_published = true;
    }

    bool Published() const { return m_published; }
    const CheckSummary& Summary() const { return m_summary; }

private:
    std::ostream& m_out;
    bool m_published = false;
    CheckSummary m_summary;
};

// The popup shows the hint text's CR-separated lines one under the other.
void PrintHint(std::ostream& out, const std::string& hint) {
    std::string text;
    for (const char c : hint) {
        text += c == '\r' ? '\n' : c;
    }
    out << text;
    if (text.empty() || text.back() != '\n') {
        out << '\n';
    }
}

// Reads a list file without ever creating it: a missing file is an empty list.
bool ReadFilterList(FilterList& list, const std::filesystem::path& file, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        return true;
    }
    if (!std::filesystem::is_regular_file(file, ec)) {
        error = "not a file: " + file.string();
        return false;
    }
    const FileResult result = LoadFilterList(list, file);
    if (!result.ok) {
        error = result.error;
        return false;
    }
    return true;
}

} // namespace

std::string ConsoleUsage() {
    return "Usage: quillmere-check [--dir DIR] [--dry-run] [--mark-read]\n"
           "\n"
           "Runs one mail check of every enabled account, exactly as the Quillmere32 tray monitor\n"
           "does: the same settings and lists, the accounts in parallel (at most " +
           std::to_string(kMaxSessions) +
           " at a time, the\n"
           "others in their order as sessions end), spam deleted from the servers, noticed\n"
           "messages appended to the message file when the settings say so (and the file started\n"
           "afresh when \"overwrite always\" is on).\n"
           "\n"
           "It reads DIR/quillmere.ini, DIR/antiSpamList.txt and DIR/antiSpamSbjList.txt, where DIR\n"
           "is the data folder the tray monitor uses too: the folder --dir names; without --dir the\n"
           "folder of this program, unless the program is installed (it lies in the install\n"
           "prefix's bin folder and no quillmere.ini lies beside it), when it is the user's\n"
           "$XDG_CONFIG_HOME/quillmere (by default ~/.config/quillmere). These files are only\n"
           "read, never created or rewritten; a missing list file counts as an empty list.\n"
           "DIR/mailstate.txt, shared with the tray monitor, keeps what the checks learnt: the\n"
           "messages already judged (not read again while the lists and conditions stay) and,\n"
           "with NewOnly=1, those the user has looked at, which are no longer news. Each\n"
           "message deleted as spam gets a line in DIR/deleted.txt: time of the check, server,\n"
           "account, sender, subject, size, the list entry that matched, and \"not committed\" when\n"
           "the session ended without QUIT (the server then keeps the message).\n"
           "\n"
           "Output: every status line the status bar shows during the check, one per line (empty\n"
           "ones left out), then the final status bar text and the popup text. For each account\n"
           "whose session failed, one line on stderr: the server, the account name in\n"
           "parentheses, and the error.\n"
           "\n"
           "Options:\n"
           "  --dir DIR   take the settings and lists from DIR\n"
           "  --dry-run   delete nothing: print \"would delete: \" and the message for each spam\n"
           "              message instead (it still counts as spam in the summary; IMAP:\n"
           "              \"would move to <folder>: \" when spam goes to a folder)\n"
           "  --mark-read after the check, count every message it saw as looked at (with\n"
           "              NewOnly=1 they are no longer news); without it nothing is marked\n"
           "  --help      show this text\n"
           "\n"
           "Exit status: 0 the check found new messages, 1 it found none, 2 it could not run\n"
           "(missing or unreadable settings, a data folder that is missing, no folder, not writable,\n"
           "owned by another user or writable by others, bad arguments; the reason is printed on\n"
           "stderr), 3 a line of DIR/deleted.txt or a noticed message could not be written (the\n"
           "reason on stderr; spam whose line cannot be written is left on the server).\n";
}

std::string OneLine(const std::string& text) {
    std::string out;
    bool pendingBlank = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            pendingBlank = true;
            continue;
        }
        if (pendingBlank && !out.empty() && out.back() != ' ') {
            out += ' ';
        }
        pendingBlank = false;
        out += c;
    }
    // What a server sent reaches the terminal without a control character.
    out = BlankControls(out);
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::string();
    }
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

int RunConsoleCheck(const std::vector<std::string>& args, const std::filesystem::path& executable, std::ostream& out,
                    std::ostream& err, bool* workersLeft) {
    std::vector<std::string> rest = args;
    const DirOption dirOption = TakeDirOption(rest);
    const auto dryRunArgs = std::remove(rest.begin(), rest.end(), std::string("--dry-run"));
    const bool dryRun = dryRunArgs != rest.end();
    rest.erase(dryRunArgs, rest.end());
    const auto markReadArgs = std::remove(rest.begin(), rest.end(), std::string("--mark-read"));
    const bool markRead = markReadArgs != rest.end();
    rest.erase(markReadArgs, rest.end());
    DataFolder folder = ChooseDataFolder(executable, dirOption.dir, InstalledBinDir(), SystemEnvironment());
    for (const std::string& arg : rest) {
        if (arg == "--help" || arg == "-h") {
            out << ConsoleUsage() << '\n' << DataFolderExplanation(folder) << '\n';
            return kExitNews;
        }
    }
    if (!dirOption.error.empty()) {
        err << "quillmere-check: " << dirOption.error << " (see --help)\n";
        return kExitCannotRun;
    }
    if (!rest.empty()) {
        err << "quillmere-check: unknown argument '" << rest.front() << "' (see --help)\n";
        return kExitCannotRun;
    }
    // Only read here: an installed program's config folder is not created for a check.
    PrepareDataFolder(folder, false);
    if (!folder.usable()) {
        err << "quillmere-check: " << folder.error << '\n';
        return kExitCannotRun;
    }
    const std::filesystem::path& dir = folder.path;

    const std::filesystem::path settingsPath = dir / kSettingsFileName;
    std::error_code ec;
    if (!std::filesystem::exists(settingsPath, ec)) {
        err << "quillmere-check: no settings file " << settingsPath.string() << '\n';
        return kExitCannotRun;
    }
    if (!std::filesystem::is_regular_file(settingsPath, ec)) {
        err << "quillmere-check: cannot read settings file " << settingsPath.string() << '\n';
        return kExitCannotRun;
    }
    const LoadResult loaded = LoadSettings(settingsPath);
    if (loaded.status != LoadStatus::Loaded) {
        err << "quillmere-check: cannot read settings file " << settingsPath.string();
        if (!loaded.error.empty()) {
            err << ": " << loaded.error;
        }
        err << '\n';
        return kExitCannotRun;
    }
    const MonitorSettings& settings = loaded.data.main;

    FilterList senderList;
    FilterList subjectList;
    std::string listError;
    if (!ReadFilterList(senderList, dir / kAntiSpamListFile, listError) ||
        !ReadFilterList(subjectList, dir / kAntiSpamSubjListFile, listError)) {
        err << "quillmere-check: cannot read list file: " << listError << '\n';
        return kExitCannotRun;
    }
    senderList.enabled = settings.AntiSpamListEnabled;
    subjectList.enabled = settings.AntiSpamSubjListEnabled;

    const int codePage = AnsiCodePage();
    CheckOptions options = MakeCheckOptions(settings, senderList, subjectList, codePage);
    options.dryRun = dryRun;
    options.tokenCommandRefusal = loaded.tokenCommandRefusal;
    MessageLogOptions log;
    log.overwrite = settings.Overwrite;
    log.fileName = settings.FileName;
    log.deletionLog = dir / kDeletionLogFile;
    log.mailState = dir / kMailStateFile;

    auto invoker = std::make_shared<ConsoleInvoker>();
    ConsoleView view(out);
    CheckSummary summary;
    std::vector<CheckCycle::AccountFailure> failures;
    std::string deletionLogError;
    std::string messageLogError;
    std::string mailStateError;
    {
        CheckCycle cycle(invoker, view);
        cycle.SetLanguage(settings.Language);
        cycle.BeginCheck(loaded.data.accounts, options, log);
        invoker->RunUntil([&] { return view.Published(); });
        summary = view.Summary();
        failures = cycle.AccountErrors();
        for (auto& note : cycle.AccountNotes()) {
            failures.push_back(std::move(note));
        }
        // Workers make no call after their last one; closing first means none can wait on us.
        invoker->Close();
        const bool allEnded = cycle.Shutdown(std::chrono::seconds(10));
        if (workersLeft != nullptr) {
            *workersLeft = !allEnded;
        }
        // Read after the shutdown, which writes down deletions committed after the link closed.
        deletionLogError = cycle.DeletionLogError();
        messageLogError = cycle.MessageLogError();
        mailStateError = cycle.MailStateError();
    }
    if (markRead && mailStateError.empty()) {
        if (const FileResult marked = MarkAllLooked(log.mailState); !marked.ok) {
            mailStateError = marked.error;
        }
    }

    out << summary.statusText << '\n';
    PrintHint(out, summary.hintText);
    out << std::flush;
    for (const auto& failure : failures) {
        err << failure.host << " (" << failure.accountName << "): " << OneLine(failure.error) << '\n';
    }
    if (!deletionLogError.empty()) {
        err << "quillmere-check: cannot record the deleted messages: " << OneLine(deletionLogError) << '\n';
    }
    if (!mailStateError.empty()) {
        // The next check reads every message again and takes them for news: worth a line, not a failure.
        err << "quillmere-check: cannot keep what this check learnt: " << OneLine(mailStateError) << '\n';
    }
    if (!deletionLogError.empty() || !messageLogError.empty()) {
        return kExitNotWritten; // the account's line above says which message log failed
    }
    return summary.news ? kExitNews : kExitNoNews;
}

} // namespace qm
