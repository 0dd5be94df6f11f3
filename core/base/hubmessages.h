#pragma once

#include "core/base/handover.h"

#include <QString>

#include <memory>

namespace vantrel {

struct IncomingRequest;
struct TunnelRegistration;
class ReceiveTransfer;
class SendTransfer;

// The messages the transfer hub takes from the listener and from the transfers. Each is a
// type of its own; the payloads' types live in the layers that make them.
namespace hub {

// A request passed the admission checks: a receive transfer is to be opened for it.
struct UM_INCOMING_REQUEST
{
    std::unique_ptr<IncomingRequest> incoming;
};
// A request the policy dropped: only a row records it (the connection is closed).
struct UM_REQUEST_DROPPED
{
    std::unique_ptr<IncomingRequest> incoming;
};
// A transfer has closed: the hub detaches its row and destroys it.
struct UM_RECEIVE_CLOSED
{
    ReceiveTransfer* transfer = nullptr;
};
struct UM_SEND_CLOSED
{
    SendTransfer* transfer = nullptr;
};
// A tunnel registration, open or dropped.
struct UM_TUNNEL_REGISTERED
{
    std::unique_ptr<TunnelRegistration> registration;
};
// The resume list changed: it is saved.
struct UM_RESUMES_CHANGED
{
};
// The Internet address as the update server saw it; empty when a re-get found none.
struct UM_PUBLIC_ADDRESS
{
    QString address;
};
// An update check got its answer: no further periodic check runs.
struct UM_UPDATE_ANSWERED
{
};
// The update server names a version other than ours and the user wants to hear of it.
struct UM_NEW_VERSION
{
    double version = 0;
    QString downloadUrl;
    QString featuresUrl; // empty: no features page
};

} // namespace hub

// The hub as the engines see it.
using HubInbox = Inbox<hub::UM_INCOMING_REQUEST, hub::UM_REQUEST_DROPPED, hub::UM_RECEIVE_CLOSED,
                       hub::UM_SEND_CLOSED, hub::UM_TUNNEL_REGISTERED, hub::UM_RESUMES_CHANGED,
                       hub::UM_PUBLIC_ADDRESS, hub::UM_UPDATE_ANSWERED, hub::UM_NEW_VERSION>;

} // namespace vantrel
