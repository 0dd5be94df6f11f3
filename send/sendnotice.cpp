#include "send/sendnotice.h"

#include "core/payloadevent.h"

#include <QCoreApplication>

namespace vantrel {

int SendNoticeEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

void PostToTransfer(QObject* transfer, QEvent* event, std::atomic<std::uint32_t>& handOvers)
{
    handOvers.fetch_add(1, std::memory_order_release);
    postEvent(transfer, event);
}

} // namespace vantrel
