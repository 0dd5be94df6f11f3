#pragma once

#include "core/base/handover.h"
#include "netutil/dyndnspassstep.h"
#include "netutil/hostresolver.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

namespace vantrel {

class DynDnsBook;
class WorkerThread;

// Re-resolves the book's names: a refresh pass on a worker thread, at most one at a time,
// started on demand and by RefTimer every so many minutes. A new pass stops the running one
// (its flag is set and it is joined at once: a lookup in progress is left to finish on a
// helper thread and its answer is dropped) and discards what it had left. Lives on the UI
// thread.
class DynDnsRefresher : public QObject, public Inbox<DynDnsPassStep>
{
    Q_OBJECT
public:
    // The period text before the stored one is loaded.
    static inline const QString InitialPeriodText = QStringLiteral("30");

    struct View
    {
        bool running = false;
        int total = 0;
        int done = 0;
    };

    explicit DynDnsRefresher(DynDnsBook& book, HostResolver resolver = ResolveIpv4,
                             QObject* parent = nullptr);
    // Stops and joins a running pass, without waiting for its lookup.
    ~DynDnsRefresher() override;

    void RefreshAll();
    // Stops a running pass and waits for its thread (not for its lookup); its list stays as
    // far as it got.
    void StopPass();

    // The minutes as typed: restarts RefTimer with that period (30 minutes when not a whole
    // number or negative); 0 stops the automatic refresh.
    void SetPeriodText(const QString& text);
    const QString& periodText() const { return m_periodText; }
    // The timer's period in milliseconds; 0 while no automatic refresh runs.
    int periodMs() const { return m_timer.isActive() ? m_timer.interval() : 0; }

    const View& view() const { return m_view; }

signals:
    // The pass started, advanced or ended: view() and the book's addresses.
    void viewChanged();
    void periodTextChanged(const QString& text);

private:
    void Take(DynDnsPassStep step) override;
    void RunPass(std::uint64_t pass, WorkerThread* worker);

    DynDnsBook& m_book;
    HostResolver m_resolver;
    QTimer m_timer{this};
    QString m_periodText = InitialPeriodText;
    std::unique_ptr<WorkerThread> m_worker;
    std::uint64_t m_pass = 0;
    View m_view;
};

} // namespace vantrel
