#pragma once

#include "core/profile.h"

#include <memory>

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
    // Delivers one hand-off notification and waits until the copy has taken it.
    bool Notify(int timeoutMs = 5000);

private:
    Profile m_profile;
    std::unique_ptr<QLocalSocket> m_socket;
};

} // namespace vantrel
