#include "netutil/dyndnsrefresher.h"

#include "net/workerthread.h"
#include "netutil/dyndnsbook.h"
#include "netutil/hostlookup.h"

#include <algorithm>
#include <climits>

namespace vantrel {

namespace {

constexpr int MsPerMinute = 60000;
constexpr int DefaultMinutes = 30;
// Beyond this a period in milliseconds no longer fits a timer (about 24.8 days).
constexpr int MaxMinutes = INT_MAX / MsPerMinute;

} // namespace

DynDnsRefresher::DynDnsRefresher(DynDnsBook& book, HostResolver resolver, QObject* parent)
    : QObject(parent), m_book(book), m_resolver(std::move(resolver))
{
    m_timer.setObjectName(QStringLiteral("RefTimer"));
    connect(&m_timer, &QTimer::timeout, this, &DynDnsRefresher::RefreshAll);
}

DynDnsRefresher::~DynDnsRefresher()
{
    if (m_worker) {
        m_worker->RequestStop();
        m_worker->Join();
    }
}

void DynDnsRefresher::RefreshAll()
{
    StopPass();
    const std::uint64_t pass = ++m_pass;
    m_view = View{true, 0, 0};
    m_worker = std::make_unique<WorkerThread>();
    WorkerThread* worker = m_worker.get();
    worker->Start([this, pass, worker] { RunPass(pass, worker); });
    emit viewChanged();
}

void DynDnsRefresher::StopPass()
{
    if (!m_worker)
        return;
    m_worker->RequestStop();
    m_worker->Join();
    m_worker.reset();
    // Its last steps are still queued: they name an older pass and are dropped.
    ++m_pass;
    if (m_view.running) {
        m_view.running = false;
        emit viewChanged();
    }
}

void DynDnsRefresher::RunPass(std::uint64_t pass, WorkerThread* worker)
{
    const int total = m_book.size();
    HandOver<DynDnsPassStep>(this, {pass, DynDnsPassStep::Kind::Started, total, 0});
    for (int index = 0; index < total && !worker->StopRequested(); ++index) {
        const std::optional<DynDnsBook::Entry> entry = m_book.EntryAt(index);
        if (!entry)
            break;
        // The lookup runs without the book's lock: connection threads keep naming peers. A
        // stop leaves it to finish on its own, so that joining this pass never waits for the
        // name server.
        const hostlookup::Dotted found =
            hostlookup::ResolveWith(m_resolver, entry->host, worker->stop());
        if (found.outcome == hostlookup::Outcome::Stopped || worker->StopRequested())
            break;
        m_book.StoreAddress(entry->id, found.outcome == hostlookup::Outcome::Found
                                           ? found.address
                                           : DynDnsBook::Unresolved);
        HandOver<DynDnsPassStep>(this, {pass, DynDnsPassStep::Kind::Advanced, total, index + 1});
    }
    HandOver<DynDnsPassStep>(this, {pass, DynDnsPassStep::Kind::Ended, total, 0});
}

void DynDnsRefresher::Take(DynDnsPassStep step)
{
    if (step.pass != m_pass)
        return;
    switch (step.kind) {
    case DynDnsPassStep::Kind::Started:
        m_view = View{true, step.total, 0};
        break;
    case DynDnsPassStep::Kind::Advanced:
        m_view.done = step.done;
        break;
    case DynDnsPassStep::Kind::Ended:
        m_view.running = false;
        // Nothing is left running: the thread has returned or is about to.
        if (m_worker) {
            m_worker->Join();
            m_worker.reset();
        }
        break;
    }
    emit viewChanged();
}

void DynDnsRefresher::SetPeriodText(const QString& text)
{
    m_timer.stop();
    if (text != m_periodText) {
        m_periodText = text;
        emit periodTextChanged(text);
    }
    bool isNumber = false;
    int minutes = text.toInt(&isNumber);
    if (!isNumber || minutes < 0)
        minutes = DefaultMinutes;
    if (minutes == 0)
        return;
    m_timer.setInterval(std::min(minutes, MaxMinutes) * MsPerMinute);
    m_timer.start();
}

} // namespace vantrel
