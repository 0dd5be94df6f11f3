#pragma once

#include "core/base/hubmessages.h"

#include <QByteArray>

#include <functional>

namespace vantrel {

class DynDnsBook;
class IncomingPolicy;
class ServerContext;

// What every connection of one listener consults. Everything here outlives the connections;
// ownNickName is called on connection threads and must be safe to call there.
struct TriageServices
{
    ServerContext* context = nullptr;
    IncomingPolicy* policy = nullptr;
    DynDnsBook* book = nullptr;
    std::function<QByteArray()> ownNickName;
    HubInbox* eventTarget = nullptr;
};

} // namespace vantrel
