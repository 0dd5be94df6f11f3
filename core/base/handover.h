#pragma once

#include "core/base/handoverlock.h"

#include <QMetaObject>
#include <QObject>

#include <type_traits>
#include <utility>

namespace vantrel {

// A receiver of one message type. A receiver derives from QObject and from one Accepts<> per
// message it takes; Take runs on the receiver's thread with the message's payload.
template <typename Message> class Accepts
{
public:
    virtual void Take(Message message) = 0;

protected:
    Accepts() = default;
    virtual ~Accepts() = default;
};

// The messages a lower layer hands to a receiver it knows only by what it accepts.
template <typename... Messages> class Inbox : public Accepts<Messages>...
{
};

// The one way results cross threads: `receiver` (which the compiler checks accepts exactly
// this type) gets `message` through its Take, on its own thread, from its event loop; from
// the receiver's own thread this is a deferred call. The message moves with the hand-over;
// one that is still queued when its receiver is destroyed is freed undelivered. Whatever the
// posting thread wrote before is visible to the receiver (see handoverlock.h).
template <typename Message>
void HandOver(std::type_identity_t<Accepts<Message>>* receiver, Message message)
{
    static_assert(std::is_move_constructible_v<Message>);
    QObject* const object = dynamic_cast<QObject*>(receiver);
    Q_ASSERT(object);
    const HandOverLock lock;
    QMetaObject::invokeMethod(
        object,
        [receiver, message = std::move(message)]() mutable { receiver->Take(std::move(message)); },
        Qt::QueuedConnection);
}

} // namespace vantrel
