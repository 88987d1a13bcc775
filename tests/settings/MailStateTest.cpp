// The state file the checks share: read back as written, nothing from a file it did not write
// whole, and two programs saving at once lose nothing of each other's.
#include "settings/MailState.h"
#include "ScratchDir.h"
#include "settings/AtomicFile.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qm {
namespace {

MailState Sample() {
    MailState state;
    AccountMailState& a = state.accounts["0\npop.example\n110\nj doe"];
    a.fingerprint = "f00d";
    a.messages["uid-1"] = {true, true, false, "a@x.example"};
    a.messages["INBOX\n77\n5"] = {false, true, true, "\xE9t\xE9 <%>"};
    a.messages["-"] = {false, false, false, ""};
    state.accounts["1\nimap.example\n993\n-"];
    return state;
}

TEST(MailState, ReadsBackWhatItWrites) {
    const MailState state = Sample();
    EXPECT_EQ(ParseMailState(SerializeMailState(state)), state);
    EXPECT_EQ(ParseMailState(SerializeMailState(MailState{})), MailState{});
}

TEST(MailState, AnythingItDidNotWriteWholeIsNothing) {
    const std::string good = SerializeMailState(Sample());
    const std::string header = "Quillmere32 mail state 1\n";
    for (const std::string& text : std::vector<std::string>{
             "", "end\n", "Quillmere32 mail state 2\nend\n", good.substr(0, good.size() - 1),
             good.substr(0, good.size() - 4), good + "end\n", header + "101 uid a\nend\n", header + "account a\nend\n",
             header + "account a\nfingerprint -\n201 uid -\nend\n",
             header + "account a\nfingerprint -\n101 u%G0 -\nend\n",
             header + "account a\nfingerprint -\n101 u%4 -\nend\n",
             header + "account a\nfingerprint -\n101 u -\n101 u -\nend\n",
             header + "account a\nfingerprint -\n101 u  -\nend\n",
             header + "account a\nfingerprint -\naccount a\nfingerprint -\nend\n",
             header + "account a\nfingerprint -\n101 - -\nend\n", header + "account a\r\nfingerprint -\nend\n"}) {
        EXPECT_FALSE(ParseMailState(text).has_value()) << text;
    }
}

TEST(MailState, DamagedFileIsNothingAndReplacedAtTheNextSave) {
    const auto file = test::ScratchDir("state") / kMailStateFile;
    ASSERT_TRUE(WriteFileAtomically(file, "Quillmere32 mail state 1\naccount \x01\n"));
    EXPECT_EQ(LoadMailState(file), MailState{});
    AccountMailState account;
    account.messages["u"] = {false, true, true, "a@x.example"};
    ASSERT_TRUE(SaveAccountMailState(file, "k", account).ok);
    EXPECT_EQ(LoadMailState(file).accounts.at("k"), account);
}

TEST(MailState, TwoProgramsSavingAtOnceKeepBoth) {
    const auto file = test::ScratchDir("state") / kMailStateFile;
    const auto saver = [&file](const std::string& key) {
        for (int i = 0; i < 40; ++i) {
            AccountMailState account;
            account.messages["m" + std::to_string(i)] = {false, true, i % 2 == 0, key};
            EXPECT_TRUE(SaveAccountMailState(file, key, account).ok);
        }
    };
    std::thread monitor(saver, "monitor");
    std::thread console(saver, "console");
    monitor.join();
    console.join();
    const MailState state = LoadMailState(file);
    ASSERT_EQ(state.accounts.size(), 2u);
    EXPECT_EQ(state.accounts.at("console").messages.begin()->second.address, "console");
    // A mark made while a check ran survives the check's save.
    ASSERT_TRUE(MarkAllLooked(file).ok);
    AccountMailState unmarked;
    unmarked.messages["m39"] = {false, true, true, "monitor"};
    ASSERT_TRUE(SaveAccountMailState(file, "monitor", unmarked).ok);
    EXPECT_TRUE(LoadMailState(file).accounts.at("monitor").messages.at("m39").looked);
}

} // namespace
} // namespace qm
