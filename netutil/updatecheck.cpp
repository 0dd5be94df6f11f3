#include "netutil/updatecheck.h"

#include "core/base/programversion.h"
#include "netutil/updatereply.h"

namespace vantrel {

UpdateCheck::UpdateCheck(Kind kind, UpdateServer server, HubInbox* hub,
                         std::chrono::milliseconds delay, ServerExchange::Timeouts timeouts,
                         NameProbe probe)
    : m_kind(kind), m_server(std::move(server)), m_hub(hub), m_delay(delay), m_exchange(timeouts),
      m_probe(std::move(probe))
{
}

bool UpdateCheck::ReverseNameProbe(ServerExchange& exchange, const QString& address)
{
    return exchange.ReverseResolves(address);
}

UpdateCheck::~UpdateCheck()
{
    Stop();
}

void UpdateCheck::Start()
{
    m_thread = std::thread([this] {
        Run();
        m_finished = true;
    });
}

void UpdateCheck::Stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_exchange.Cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void UpdateCheck::Run()
{
    if (m_kind == Kind::Check)
        RunCheck();
    else
        RunAddressOnly();
}

void UpdateCheck::RunCheck()
{
    {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, m_delay, [this] { return m_stopping; }))
            return;
    }
    // Every end before the answer is silent; the periodic check tries again.
    if (!m_server.configured() || !m_probe(m_exchange, m_server.probeAddress))
        return;
    const std::optional<QByteArray> text = m_exchange.Ask(
        m_server.host, m_server.port, m_server.RequestText(), UpdateReply::MaxReplyBytes);
    if (!text)
        return;
    const UpdateReply reply = UpdateReply::Parse(*text);
    if (!reply.answered())
        return;
    if (reply.publicAddress)
        HandOver<hub::UM_PUBLIC_ADDRESS>(m_hub, {*reply.publicAddress});
    HandOver<hub::UM_UPDATE_ANSWERED>(m_hub, {});
    // Any other version, older too, is news; the hub asks the user's option.
    if (*reply.version == ProgramVersion)
        return;
    HandOver<hub::UM_NEW_VERSION>(
        m_hub, {*reply.version, *reply.downloadUrl, reply.featuresUrl.value_or(QString())});
}

void UpdateCheck::RunAddressOnly()
{
    std::optional<QString> address;
    if (m_server.configured()) {
        if (const std::optional<QByteArray> text = m_exchange.Ask(
                m_server.host, m_server.port, m_server.RequestText(), UpdateReply::MaxReplyBytes))
            address = UpdateReply::Token(*text, QByteArrayLiteral("YourIP="),
                                         UpdateReply::MaxAddressBytes);
    }
    {
        // A re-get stopped at the program's end reports nothing.
        const std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
    }
    HandOver<hub::UM_PUBLIC_ADDRESS>(m_hub, {address.value_or(QString())});
}

} // namespace vantrel
