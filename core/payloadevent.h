#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

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

// Posts a numbered event without payload.
inline void postNumbered(QObject* receiver, int number)
{
    QCoreApplication::postEvent(receiver, new QEvent(static_cast<QEvent::Type>(number)));
}

template <typename Payload>
void postPayload(QObject* receiver, int number, std::unique_ptr<Payload> payload)
{
    QCoreApplication::postEvent(receiver, new PayloadEvent<Payload>(number, std::move(payload)));
}

} // namespace vantrel
