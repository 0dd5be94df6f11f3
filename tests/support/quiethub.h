#pragma once

#include "core/base/hubmessages.h"

#include <QObject>

namespace vantrel::test {

// A stand-in for the hub that takes every message and does nothing with it; a test's fake
// overrides the messages it records.
class QuietHub : public QObject, public HubInbox
{
public:
    void Take(hub::UM_INCOMING_REQUEST) override {}
    void Take(hub::UM_REQUEST_DROPPED) override {}
    void Take(hub::UM_RECEIVE_CLOSED) override {}
    void Take(hub::UM_SEND_CLOSED) override {}
    void Take(hub::UM_TUNNEL_REGISTERED) override {}
    void Take(hub::UM_RESUMES_CHANGED) override {}
    void Take(hub::UM_PUBLIC_ADDRESS) override {}
    void Take(hub::UM_UPDATE_ANSWERED) override {}
    void Take(hub::UM_NEW_VERSION) override {}
};

} // namespace vantrel::test
