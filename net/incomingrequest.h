#pragma once

#include "net/incomingconnection.h"
#include "net/wirerecords.h"

#include <memory>

namespace vantrel {

// Payload of UM_INCOMING_REQUEST and UM_REQUEST_DROPPED.
struct IncomingRequest
{
    std::unique_ptr<IncomingConnection> connection;
    RequestHeader request;
};

} // namespace vantrel
