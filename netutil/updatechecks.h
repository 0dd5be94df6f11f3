#pragma once

#include "core/base/hubmessages.h"
#include "netutil/serverexchange.h"
#include "netutil/updatecheck.h"
#include "netutil/updateserver.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

namespace vantrel {

// The update checks of one run, on the UI thread: the first at Start, then one at every
// expiry of CheckUpdateTimer until a check is answered; and the re-gets of the Internet
// address. Every worker is stopped and joined when this goes.
class UpdateChecks : public QObject
{
    Q_OBJECT
public:
    // When and how the checks ask.
    struct Setup
    {
        std::chrono::milliseconds delay{3000};
        std::chrono::milliseconds period{900000};
        ServerExchange::Timeouts timeouts;
        UpdateCheck::NameProbe probe = UpdateCheck::ReverseNameProbe;
    };

    UpdateChecks(UpdateServer server, HubInbox* hub, Setup setup, QObject* parent = nullptr);
    UpdateChecks(UpdateServer server, HubInbox* hub, QObject* parent = nullptr)
        : UpdateChecks(std::move(server), hub, Setup(), parent)
    {
    }
    ~UpdateChecks() override;

    void Start();
    // A check got its answer: the periodic checks end for this run.
    void Answered();
    void ReGetAddress();

    QTimer* timer() { return &m_timer; }
    const UpdateServer& server() const { return m_server; }

private:
    void Launch(UpdateCheck::Kind kind, std::chrono::milliseconds delay);

    UpdateServer m_server;
    HubInbox* m_hub;
    Setup m_setup;
    QTimer m_timer;
    std::vector<std::unique_ptr<UpdateCheck>> m_workers;
};

} // namespace vantrel
