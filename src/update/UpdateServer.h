#pragma once

// Where the version check asks, and the addresses it forms.

#include <optional>
#include <string>
#include <string_view>

namespace qm {

inline constexpr const char* kVersionFilePath = "/zipprg/quillmere32.version";
inline constexpr int kDefaultHttpPort = 80;
// Overrides the built-in update server ("host" or "host:port"), for mirrors and tests.
inline constexpr const char* kUpdateServerVariable = "QUILLMERE_UPDATE_SERVER";

struct UpdateServer {
    std::string host;
    int port = kDefaultHttpPort;

    // The authority of its addresses: the host, and ":port" when the port is not 80.
    std::string Authority() const;
    bool operator==(const UpdateServer&) const = default;
};

// "host" or "host:port" (port 1..65535). nullopt for an empty text, a host with bytes that cannot
// stand in an address (controls, spaces, '/', '?', '#', '@', '\\'), or a bad port.
std::optional<UpdateServer> ParseUpdateServer(std::string_view text);

// The update server this build asks: the override when it is set and not empty, otherwise the
// host built in (none by default, and then no check runs). An override that cannot be parsed
// gives none, so a mistyped mirror never sends the request elsewhere.
std::optional<UpdateServer> ChooseUpdateServer(std::string_view builtIn, const std::optional<std::string>& override);

// The host given to the build; empty when it has none.
std::string_view BuiltInUpdateHost();

// The request for path on server: the request line, Host, Accept, User-Agent and Connection.
std::string VersionRequest(const UpdateServer& server, std::string_view path);

// The download page offered for newVersion when current is installed.
std::string DownloadAddress(const UpdateServer& server, std::string_view current, std::string_view newVersion);

} // namespace qm
