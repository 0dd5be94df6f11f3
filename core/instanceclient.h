#pragma once

#include "core/profile.h"

#include <QByteArray>

#include <memory>
#include <optional>

class QLocalSocket;

namespace vantrel {

// The side of a later start that talks to the running copy of its profile.
class InstanceClient
{
public:
    explicit InstanceClient(Profile profile);
    ~InstanceClient();

    // Connects to the running copy; false when none answers within the timeout.
    bool Connect(int timeoutMs = 1000);
    enum class Delivery
    {
        Taken,
        Refused, // the copy runs without a display and takes no hand-offs
        Failed   // no answer in time, or the connection broke
    };
    // Delivers one hand-off notification and waits for the copy's answer.
    Delivery Deliver(int timeoutMs = 5000);
    bool Notify(int timeoutMs = 5000) { return Deliver(timeoutMs) == Delivery::Taken; }
    // Sends a request about the auto-receive rules (the bytes of a RulesRequest) and waits for
    // the reply's bytes; nothing when no reply came in time.
    std::optional<QByteArray> AskRules(const QByteArray& request, int timeoutMs = 10000);

private:
    Profile m_profile;
    std::unique_ptr<QLocalSocket> m_socket;
};

} // namespace vantrel
