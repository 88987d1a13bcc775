#pragma once

#include <string>
#include <vector>

namespace qm::demo {

// The sender of the demo's spam; the demo's sender anti-spam list names its domain.
inline constexpr const char* kSpamSender = "offers@prize-draw.example";
inline constexpr const char* kSpamMask = "*@prize-draw.example";

// The demo mailbox: about thirty raw messages (CR LF lines) to `to`: ordinary mail with
// Russian, Italian and English subjects, some with attachments, and a few from kSpamSender.
std::vector<std::string> DemoMessages(const std::string& to);

// How many of DemoMessages come from kSpamSender.
int DemoSpamCount();

} // namespace qm::demo
