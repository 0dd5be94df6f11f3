#include "netutil/updatechecks.h"

#include <algorithm>

namespace vantrel {

UpdateChecks::UpdateChecks(UpdateServer server, HubInbox* hub, Setup setup, QObject* parent)
    : QObject(parent), m_server(std::move(server)), m_hub(hub), m_setup(std::move(setup))
{
    m_timer.setObjectName(QStringLiteral("CheckUpdateTimer"));
    m_timer.setInterval(m_setup.period);
    connect(&m_timer, &QTimer::timeout, this,
            [this] { Launch(UpdateCheck::Kind::Check, m_setup.delay); });
}

UpdateChecks::~UpdateChecks()
{
    m_timer.stop();
    m_workers.clear();
}

void UpdateChecks::Start()
{
    m_timer.start();
    Launch(UpdateCheck::Kind::Check, m_setup.delay);
}

void UpdateChecks::Answered()
{
    m_timer.stop();
}

void UpdateChecks::ReGetAddress()
{
    Launch(UpdateCheck::Kind::AddressOnly, std::chrono::milliseconds(0));
}

void UpdateChecks::Launch(UpdateCheck::Kind kind, std::chrono::milliseconds delay)
{
    // Finished workers are joined here, so a long run holds only the ones still asking.
    std::erase_if(m_workers, [](const auto& worker) { return worker->finished(); });
    m_workers.push_back(
        std::make_unique<UpdateCheck>(kind, m_server, m_hub, delay, m_setup.timeouts,
                                      m_setup.probe));
    m_workers.back()->Start();
}

} // namespace vantrel
