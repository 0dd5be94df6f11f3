#pragma once

#include "core/base/handovermarks.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <functional>
#include <memory>

namespace vantrel {

// A numbered event whose payload moves to the receiver with the event. The receiver takes
// the payload with takePayload(); whatever is not taken is freed with the event.
template <typename Payload>
class PayloadEvent : public QEvent
{
public:
    PayloadEvent(int number, std::unique_ptr<Payload> payload)
        : QEvent(static_cast<QEvent::Type>(number)), m_payload(std::move(payload))
    {
    }

    std::unique_ptr<Payload> takePayload() { return std::move(m_payload); }
    Payload* payload() const { return m_payload.get(); }

private:
    std::unique_ptr<Payload> m_payload;
};

// Posts an event; what the posting thread wrote before is visible to the handler. Every
// post from our threads goes through here (see core/handovermarks.h).
inline void postEvent(QObject* receiver, QEvent* event)
{
    const HandOverLock lock;
    QCoreApplication::postEvent(receiver, event);
}

// A call to run on the receiver's thread; the receiver's event() runs it (RunIfCall).
class CallEvent : public QEvent
{
public:
    explicit CallEvent(std::function<void()> call) : QEvent(TypeId()), m_call(std::move(call)) {}
    static QEvent::Type TypeId()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    void Run() const
    {
        if (m_call)
            m_call();
    }

private:
    std::function<void()> m_call;
};

inline void postCall(QObject* receiver, std::function<void()> call)
{
    postEvent(receiver, new CallEvent(std::move(call)));
}

// For a receiver's event(): runs a CallEvent and says whether it was one.
inline bool RunIfCall(QEvent* event)
{
    if (event->type() != CallEvent::TypeId())
        return false;
    static_cast<CallEvent*>(event)->Run();
    return true;
}

// Posts a numbered event without payload.
inline void postNumbered(QObject* receiver, int number)
{
    postEvent(receiver, new QEvent(static_cast<QEvent::Type>(number)));
}

template <typename Payload>
void postPayload(QObject* receiver, int number, std::unique_ptr<Payload> payload)
{
    postEvent(receiver, new PayloadEvent<Payload>(number, std::move(payload)));
}

} // namespace vantrel
