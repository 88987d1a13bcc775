#include "update/CheckVers.h"
#include "update/UpdateServer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace qm {
namespace {

TEST(VersionNumber, DotsAreDeletedAndTheRestReadAsOneNumber) {
    const struct {
        const char* text;
        std::int64_t number;
    } cases[] = {{"2.6.0.0", 2600},
                 {"2.10.0.0", 21000},
                 {"2.10", 210},
                 {" 2.7.0.0\r\n", 2700},
                 {"", 0},
                 {"...", 0},
                 {"2.7-beta", 0},
                 {"<html>", 0},
                 {"2147483647", INT32_MAX},
                 {"2147483648", 0},
                 {"99999999999999999999999", 0},
                 {"0.0.0.0", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(VersionNumber(c.text), c.number) << c.text;
    }
}

TEST(NewerVersion, OnlyAGreaterNumberIsOfferedAndItIsTrimmed) {
    EXPECT_EQ(NewerVersion(" 2.7.0.0\r\n", "2.6.0.0"), "2.7.0.0");
    EXPECT_EQ(NewerVersion("2.10.0.0", "2.9.0.0"), "2.10.0.0");
    EXPECT_EQ(NewerVersion("2.10", "2.9.0.0"), "");
    EXPECT_EQ(NewerVersion("2.6.0.0", "2.6.0.0"), "");
    EXPECT_EQ(NewerVersion("2.5.9.9", "2.6.0.0"), "");
    EXPECT_EQ(NewerVersion("", "0.0.0.0"), "");
    EXPECT_EQ(NewerVersion("0.0.0.1", "0.0.0.0"), "0.0.0.1");
}

TEST(UpdateServer, HostAndPortAreParsedStrictly) {
    const struct {
        const char* text;
        std::optional<UpdateServer> server;
    } cases[] = {{"updates.example.org", UpdateServer{"updates.example.org", 80}},
                 {"127.0.0.1:8080", UpdateServer{"127.0.0.1", 8080}},
                 {"", std::nullopt},
                 {"h:", std::nullopt},
                 {"h:0", std::nullopt},
                 {"h:65536", std::nullopt},
                 {"h:1:2", std::nullopt},
                 {"h\r\nX-Injected: 1", std::nullopt},
                 {"h/path", std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseUpdateServer(c.text), c.server) << c.text;
    }
}

TEST(UpdateServer, TheOverrideWinsWhenSet) {
    EXPECT_EQ(ChooseUpdateServer("", std::nullopt), std::nullopt);
    EXPECT_EQ(ChooseUpdateServer("", std::string()), std::nullopt);
    EXPECT_EQ(ChooseUpdateServer("built.in", std::string()), (UpdateServer{"built.in", 80}));
    EXPECT_EQ(ChooseUpdateServer("built.in", std::string("127.0.0.1:81")), (UpdateServer{"127.0.0.1", 81}));
    // A mistyped mirror sends nothing anywhere, not even to the built-in host.
    EXPECT_EQ(ChooseUpdateServer("built.in", std::string("127.0.0.1:x")), std::nullopt);
}

TEST(UpdateServer, RequestAndDownloadAddressCarryThePortOnlyWhenNot80) {
    EXPECT_EQ(VersionRequest({"h.example", 80}, kVersionFilePath),
              "GET /zipprg/quillmere32.version HTTP/1.1\r\nHost: h.example\r\nAccept: text/html, */*\r\n"
              "User-Agent: Quillmere32\r\nConnection: close\r\n\r\n");
    EXPECT_TRUE(
        VersionRequest({"h.example", 8080}, "/v").starts_with("GET /v HTTP/1.1\r\nHost: h.example:8080\r\nAccept"));
    EXPECT_EQ(DownloadAddress({"h.example", 80}, "2.6.0.0", "2.7.0.0"),
              "http://h.example/soft/download.jsp?program=quillmere32.zip&upd=updated_from2.6.0.0_to_2.7.0.0");
    EXPECT_EQ(DownloadAddress({"127.0.0.1", 8080}, "0.0.0.0", "3"),
              "http://127.0.0.1:8080/soft/download.jsp?program=quillmere32.zip&upd=updated_from0.0.0.0_to_3");
}

} // namespace
} // namespace qm
