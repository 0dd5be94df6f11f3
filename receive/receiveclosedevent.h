#pragma once

#include "core/base/eventnumbers.h"

#include <QEvent>

namespace vantrel {

class ReceiveTransfer;

// Posted by a receive transfer to the hub as it closes (hub::UM_RECEIVE_CLOSED). The hub
// owns the transfer and destroys it on this event; its workers have already ended.
class ReceiveClosedEvent : public QEvent
{
public:
    explicit ReceiveClosedEvent(ReceiveTransfer* closedTransfer)
        : QEvent(static_cast<QEvent::Type>(hub::UM_RECEIVE_CLOSED)), transfer(closedTransfer)
    {
    }

    ReceiveTransfer* const transfer;
};

} // namespace vantrel
