#pragma once

#include "core/base/eventnumbers.h"

#include <QEvent>

namespace vantrel {

class SendTransfer;

// UM_SEND_CLOSED: a send transfer has closed; the hub detaches its row and destroys it.
class SendClosedEvent : public QEvent
{
public:
    explicit SendClosedEvent(SendTransfer* transfer)
        : QEvent(static_cast<QEvent::Type>(hub::UM_SEND_CLOSED)), m_transfer(transfer)
    {
    }

    SendTransfer* transfer() const { return m_transfer; }

private:
    SendTransfer* m_transfer;
};

} // namespace vantrel
