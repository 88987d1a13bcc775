// The token helper: shell-like word splitting without a shell, and real commands that print a
// token, fail, hang, print nothing or print far too much.

#include "engine/TokenCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace qm {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, SplitsLikeAShellWithoutExpanding) {
    struct Case {
        const char* line;
        Words words;
    };
    const Case cases[] = {
        {"oauth2.py --token", {"oauth2.py", "--token"}},
        {"a 'b c' d", {"a", "b c", "d"}},
        {R"("a \"q\" \\ \$HOME \x")", {R"(a "q" \ $HOME \x)"}},
        {R"(a\ b c\'d)", {"a b", "c'd"}},
        {"$HOME *.txt ~ `id` ;", {"$HOME", "*.txt", "~", "`id`", ";"}},
        {"pre'mid'\"dle\"post", {"premiddlepost"}},
        {R"("/home/ann/my tools/helper.sh" "/home/ann/my tokens")",
         {"/home/ann/my tools/helper.sh", "/home/ann/my tokens"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
    }
}

// Runs a command and returns its token, or the failure text prefixed with "error: ".
std::string Outcome(const std::string& command, int timeoutMs = 10000) {
    TTokenCommand runner;
    try {
        return runner.Run(command, timeoutMs);
    } catch (const ETokenCommandError& e) {
        return std::string("error: ") + e.what();
    }
}

TEST(TokenCommand, TakesTheFirstLineOfStandardOutput) {
    EXPECT_EQ(Outcome("printf 'ya29.abc\\r\\nsecond line\\n'"), "ya29.abc");
    EXPECT_EQ(Outcome("sh -c 'echo \"  tok-$((6*7))  \"; echo noise >&2'"), "tok-42");
    // No shell: the words reach the program exactly as split.
    // (a token has no blank, so the words are joined by printf).
    EXPECT_EQ(Outcome("printf %s%s ~ '$HOME'"),
              "error: Token command printed no valid token (letters, digits, -._~+/ and a closing =).");
    EXPECT_EQ(Outcome("printf %s%s ~ '/+'"), "~/+");
}

TEST(TokenCommand, FailuresNameTheFirstLineOfStandardError) {
    struct Case {
        std::string command;
        std::string error;
    };
    const Case cases[] = {
        {"sh -c 'echo tok; echo refresh token expired >&2; echo more >&2; exit 3'",
         "error: Token command failed with exit status 3: refresh token expired"},
        {"false", "error: Token command failed with exit status 1."},
        {"sh -c 'echo; echo no cached token >&2'", "error: Token command printed no token: no cached token"},
        // Standard input is closed: a helper that waits for input gets none at once.
        {"cat", "error: Token command printed no token."},
        {"printf 'tok\\000en\\001auth=Bearer evil'",
         "error: Token command printed no valid token (letters, digits, -._~+/ and a closing =)."},
        {"sh -c 'echo tok en; echo denied >&2'",
         "error: Token command printed no valid token (letters, digits, -._~+/ and a closing =): denied"},
        {"echo tok=en", "error: Token command printed no valid token (letters, digits, -._~+/ and a closing =)."},
        {"sh -c 'kill -TERM $$'", "error: Token command ended by signal 15."},
        {"/nonexistent/helper --token", "error: Token command could not be started: /nonexistent/helper: No such "
                                        "file or directory."},
        {"helper 'unclosed", "error: Token command: a quote is not closed."},
        {"helper \"b\\\"", "error: Token command: a quote is not closed."},
        {"", "error: Token command: no command is set."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Outcome(c.command), c.error) << c.command;
    }
}

TEST(TokenCommand, HangingCommandIsKilledAtTheTimeLimit) {
    // The helper's child holds the output pipe too; the whole group goes.
    EXPECT_EQ(Outcome("sh -c 'echo waiting for the browser >&2; sleep 60 & sleep 60'", 300),
              "error: Token command did not finish within 1 s: waiting for the browser");
}

TEST(TokenCommand, OutputIsBounded) {
    EXPECT_EQ(Outcome("head -c 3000000 /dev/zero"), "error: Token command printed more than 64 KiB.");
    EXPECT_EQ(Outcome("yes token"), "error: Token command printed more than 64 KiB.");
    // Exactly the bound is still read; the token is its first line.
    EXPECT_EQ(Outcome("sh -c 'echo tok; head -c 65532 /dev/zero'"), "tok");
    // Endless standard error is read and dropped; only its first line is kept.
    EXPECT_EQ(Outcome("sh -c 'yes first-error-line >&2'", 500),
              "error: Token command did not finish within 1 s: first-error-line");
}

TEST(TokenCommand, AbortEndsARunningCommand) {
    TTokenCommand runner;
    std::thread stopper([&runner] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        runner.Abort();
    });
    try {
        runner.Run("sleep 60", 60000);
        ADD_FAILURE() << "finished";
    } catch (const ETokenCommandError& e) {
        EXPECT_STREQ(e.what(), "Token command stopped.");
    }
    stopper.join();
    EXPECT_THROW(runner.Run("echo tok", 1000), ETokenCommandError);
}

} // namespace
} // namespace qm
