#pragma once

#include "AppTestSupport.h"
#include "FakePop3Server.h"

#include "app/CheckWiring.h"
#include "app/TextTrayFacade.h"

#include <QCheckBox>
#include <QIcon>
#include <QList>

#include <cstdint>
#include <string>
#include <vector>

namespace qm::test {

// One account section of the settings file, for a server on the loopback address.
struct TestAccount {
    std::uint16_t port = 0;
    std::string user = "user";
    std::string password = "secret";
    bool disabled = false;
    std::string keys = {}; // more lines of the section, each ending in CR LF
};

// A settings file with the given accounts; mainLines are added to [Main] (each "Key=value").
std::string settingsFile(const std::vector<TestAccount>& accounts, const std::vector<std::string>& mainLines = {});

// A message as the fake mailbox serves it.
std::string testMessage(const std::string& from, const std::string& subject);

bool sameIcons(const QList<QIcon>& a, const QList<QIcon>& b);

// A window whose start-up has run, with its check cycle and tray at hand.
struct CheckWindow {
    explicit CheckWindow(const AppFolder& folder);
    TextTrayFacade* tray() const { return qobject_cast<TextTrayFacade*>(window->tray()); }
    CheckWiring& check() const { return *window->checkWiring(); }
    QCheckBox* box(const char* name) const;
    // Runs the event loop until the check's result has been published.
    bool waitForSummary(int published = 1);

    std::unique_ptr<TmQuillmere> window;
    int summaries = 0;
    int sounds = 0;
};

} // namespace qm::test
