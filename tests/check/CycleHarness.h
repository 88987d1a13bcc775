#pragma once

// A check cycle driven from the test thread, which plays the main thread: worker calls queue
// up in the console invoker and run while the test waits for the summary.

#include "LoopbackAccount.h"
#include "check/ConsoleInvoker.h"
#include "engine/CheckCycle.h"

#include <memory>
#include <string>
#include <vector>

namespace qm::test {

class RecordingView : public ICheckView {
public:
    std::vector<std::string> statuses;
    std::vector<CheckSummary> summaries;
    std::vector<std::string> events;

    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    // The check number is left out of the events: a fixture runs one check at a time.
    void MarkConnected(int, int row) override { events.push_back("connected:" + std::to_string(row)); }
    void MarkFailed(int, int row) override { events.push_back("failed:" + std::to_string(row)); }
    void TrayConnected() override { events.push_back("tray"); }
    void AccountError(int, int row, const std::string& error) override {
        events.push_back("error:" + std::to_string(row) + ":" + error);
    }
    void PublishSummary(const CheckSummary& summary) override { summaries.push_back(summary); }
};

inline AccountRow CycleRow(int port, const std::string& user = "user", const std::string& password = "secret",
                           bool disabled = false, const std::string& timeOut = "20") {
    return LoopbackAccount(port, user, password, timeOut, disabled);
}

struct CycleFixture {
    std::shared_ptr<ConsoleInvoker> invoker = std::make_shared<ConsoleInvoker>();
    RecordingView view;
    std::unique_ptr<CheckCycle> cycle = std::make_unique<CheckCycle>(invoker, view);

    // Runs worker calls until `count` summaries have been published.
    void RunUntilSummaries(std::size_t count) {
        invoker->RunUntil([&] { return view.summaries.size() >= count; });
    }
    ~CycleFixture() {
        invoker->Close();
        cycle->Shutdown(std::chrono::seconds(30));
    }
};

} // namespace qm::test
