#pragma once

#include "update/CheckVers.h"
#include "update/UpdateServer.h"

#include <memory>
#include <optional>
#include <string>

namespace qm {

class TmQuillmere;

// Connects the version check to the main window: the check's thread on start-up, the question
// and the download page when a newer version is published. With no update server the option's
// box is disabled (its value is still loaded and saved) and nothing goes over the network.
class UpdateWiring {
public:
    explicit UpdateWiring(TmQuillmere& window);
    // A check still running hands nothing over any more.
    ~UpdateWiring();
    UpdateWiring(const UpdateWiring&) = delete;
    UpdateWiring& operator=(const UpdateWiring&) = delete;

    const std::optional<UpdateServer>& server() const { return m_server; }
    // The check started by this run; null before (or without) one.
    const CheckVers* check() const { return m_check.get(); }

    void StartCheck();
    void OfferUpdate(const std::string& newVersion);

private:
    TmQuillmere& m_window;
    std::optional<UpdateServer> m_server;
    std::shared_ptr<CheckVers> m_check;
};

} // namespace qm
