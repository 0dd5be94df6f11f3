#include "send/sendnotice.h"

#include <QCoreApplication>

namespace vantrel {

int SendNoticeEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

} // namespace vantrel
