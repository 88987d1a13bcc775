#include "update/UpdateServer.h"

#include <charconv>

namespace qm {

namespace {

bool isHostByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 32 || byte == 127) {
        return false;
    }
    return std::string_view("/?#@\\").find(c) == std::string_view::npos;
}

} // namespace

std::string UpdateServer::Authority() const {
    return port == kDefaultHttpPort ? host : host + ":" + std::to_string(port);
}

std::optional<UpdateServer> ParseUpdateServer(std::string_view text) {
    UpdateServer server;
    std::string_view host = text;
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
        host = text.substr(0, colon);
        const std::string_view digits = text.substr(colon + 1);
        int port = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || port < 1 ||
            port > 65535 || digits.front() == '+' || digits.front() == '-') {
            return std::nullopt;
        }
        server.port = port;
    }
    if (host.empty()) {
        return std::nullopt;
    }
    for (char c : host) {
        if (!isHostByte(c) || c == ':') {
            return std::nullopt;
        }
    }
    server.host = std::string(host);
    return server;
}

std::optional<UpdateServer> ChooseUpdateServer(std::string_view builtIn, const std::optional<std::string>& override) {
    if (override && !override->empty()) {
        return ParseUpdateServer(*override);
    }
    return ParseUpdateServer(builtIn);
}

std::string_view BuiltInUpdateHost() {
    return QM_UPDATE_HOST;
}

std::string VersionRequest(const UpdateServer& server, std::string_view path) {
    std::string request = "GET ";
    request.append(path);
    request += " HTTP/1.1\r\n";
    request += "Host: " + server.Authority() + "\r\n";
    request += "Accept: text/html, */*\r\n";
    request += "User-Agent: Quillmere32\r\n";
    // One request per connection: the server may end the body with the close.
    request += "Connection: close\r\n";
    request += "\r\n";
    return request;
}

std::string DownloadAddress(const UpdateServer& server, std::string_view current, std::string_view newVersion) {
    std::string address = "http://" + server.Authority();
    address += "/soft/download.jsp?program=quillmere32.zip&upd=updated_from";
    address.append(current);
    address += "_to_";
    address.append(newVersion);
    return address;
}

} // namespace qm
