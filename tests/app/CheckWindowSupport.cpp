#include "CheckWindowSupport.h"

#include "settings/PasswordScrambler.h"

namespace qm::test {

std::string settingsFile(const std::vector<TestAccount>& accounts, const std::vector<std::string>& mainLines) {
    std::string text = "[Main]\r\n";
    for (const std::string& line : mainLines) {
        text += line + "\r\n";
    }
    int n = 1;
    for (const TestAccount& account : accounts) {
        text += "[Settings" + std::to_string(n++) + "]\r\nPOP3=127.0.0.1\r\nAccountName=" + account.user +
                "\r\nAccountPassword=" + ScramblePassword(account.password) +
                "\r\nPort=" + std::to_string(account.port) +
                "\r\nTimeOut=20\r\nDisabled=" + (account.disabled ? "1" : "0") + "\r\n" + account.keys;
    }
    return text;
}

std::string testMessage(const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nTo: user@example.org\r\nSubject: " + subject + "\r\n\r\nHello.\r\n";
}

bool sameIcons(const QList<QIcon>& a, const QList<QIcon>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].cacheKey() != b[i].cacheKey()) {
            return false;
        }
    }
    return true;
}

CheckWindow::CheckWindow(const AppFolder& folder) : window(startWindow(folder)) {
    if (!window) {
        return;
    }
    QObject::connect(&check(), &CheckWiring::summaryPublished, [this] { ++summaries; });
    check().setSoundPlayer([this] { ++sounds; });
}

QCheckBox* CheckWindow::box(const char* name) const {
    return window->findChild<QCheckBox*>(QString::fromLatin1(name));
}

bool CheckWindow::waitForSummary(int published) {
    return waitFor([this, published] { return summaries >= published; }, 30000);
}

} // namespace qm::test
