#pragma once

#include <QObject>

class QSocketNotifier;

namespace vantrel {

// Turns SIGINT and SIGTERM into a clean end of the event loop: the handler only writes a byte
// to a pipe, and the event loop quits when it reads it. One per process.
class QuitOnSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitOnSignals(QObject* parent = nullptr);
    ~QuitOnSignals() override;

    bool isActive() const { return m_notifier != nullptr; }
    // The signal that arrived, 0 before one did.
    int receivedSignal() const { return m_received; }

signals:
    void quitRequested(int signalNumber);

private:
    void ReadSignal();

    QSocketNotifier* m_notifier = nullptr;
    int m_received = 0;
};

} // namespace vantrel
