#include "tunnel/tunnellist.h"

#include "net/incomingconnection.h"
#include "net/incomingrequest.h"
#include "net/tlssession.h"
#include "tunnel/printablenick.h"
#include "tunnel/tunnelregistration.h"

#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace vantrel {

QString TunnelList::Row::type() const
{
    return incoming ? TunnelList::tr("Incoming") : TunnelList::tr("Outgoing");
}

TunnelList::TunnelList(HubInbox* hub, std::function<QByteArray()> ownNickName, QObject* parent)
    : QObject(parent), m_hub(hub), m_ownNickName(std::move(ownNickName)),
      m_checkTimer(new QTimer(this))
{
    m_checkTimer->setObjectName(QStringLiteral("IncTunCheckTimer"));
    m_checkTimer->setInterval(CheckIntervalMs);
    connect(m_checkTimer, &QTimer::timeout, this, &TunnelList::ProbeAll);
    m_checkTimer->start();
}

TunnelList::~TunnelList()
{
    const QSignalBlocker quiet(this);
    CloseAll();
}

const TunnelList::Row* TunnelList::row(std::uint64_t id) const
{
    const auto found =
        std::find_if(m_rows.begin(), m_rows.end(), [id](const Row& r) { return r.id == id; });
    return found == m_rows.end() ? nullptr : &*found;
}

TunnelList::Row* TunnelList::FindRow(std::uint64_t id)
{
    return const_cast<Row*>(std::as_const(*this).row(id));
}

void TunnelList::AddIncoming(std::unique_ptr<TunnelRegistration> registration)
{
    if (!registration)
        return;
    Row row;
    row.id = m_nextId++;
    row.incoming = true;
    row.host = registration->peerName;
    row.nickName = PrintableNick(registration->nickName);
    row.state = registration->state;
    row.handle = std::move(registration->tunnel);
    if (row.state == TunnelState::Open && !row.holdsSession())
        row.state = TunnelState::Closed; // nothing left to use
    if (row.holdsSession())
        CloseOldestBeyondLimit(row.handle->session->PeerAddress());
    m_rows.insert(m_rows.begin(), std::move(row));
    emit changed();
}

void TunnelList::AddOutgoing(const QString& host, std::unique_ptr<TlsSession> session)
{
    if (!session)
        return;
    Row row;
    row.id = m_nextId++;
    row.incoming = false;
    row.host = host;
    row.nickName = tr("-");
    row.state = TunnelState::Open;
    row.handle = std::make_unique<TunnelHandle>();
    row.handle->session = std::move(session);
    // The row is complete before its waiter reads.
    row.handle->waiter = std::make_unique<TunnelWaiter>(
        this, row.id, *row.handle->session, m_ownNickName ? m_ownNickName() : QByteArray());
    TunnelWaiter* waiter = row.handle->waiter.get();
    m_rows.insert(m_rows.begin(), std::move(row));
    emit changed();
    waiter->Start();
}

void TunnelList::Take(tunnel::WaiterOutcome outcome)
{
    Row* row = FindRow(outcome.rowId);
    // A row closed or cleared meanwhile has already ended its waiter and freed its session.
    if (!row || !row->handle || !row->handle->waiter)
        return;
    row->handle->waiter->Join(); // it has handed over: this returns at once
    row->handle->waiter.reset();
    if (outcome.request)
        row->nickName = PrintableNick(outcome.request->nickName);
    if (!outcome.request || outcome.versionMismatch) {
        row->handle.reset(); // the waiter closed the session
        row->state = TunnelState::Closed;
        emit changed();
        return;
    }

    auto connection = std::make_unique<IncomingConnection>();
    connection->session = std::move(row->handle->session);
    connection->peerName = row->host;
    connection->peerAddress = connection->session->PeerAddress();
    connection->peerPort = connection->session->PeerPort();
    row->handle.reset();
    row->state = TunnelState::Used;
    emit changed();

    auto incoming = std::make_unique<IncomingRequest>();
    incoming->connection = std::move(connection);
    incoming->request = *outcome.request;
    if (m_hub)
        HandOver(m_hub, hub::UM_INCOMING_REQUEST{std::move(incoming)});
}

void TunnelList::CloseOldestBeyondLimit(std::uint32_t address)
{
    int open = 0;
    Row* oldest = nullptr;
    for (Row& row : m_rows) {
        if (row.incoming && row.holdsSession() && row.handle->session->PeerAddress() == address) {
            ++open;
            oldest = &row; // newest first: the last one found is the oldest
        }
    }
    if (open < MaxOpenPerAddress || !oldest)
        return;
    EndHandle(*oldest);
    oldest->state = TunnelState::Closed;
}

std::unique_ptr<TlsSession> TunnelList::TakeForSend(const QString& host)
{
    for (Row& row : m_rows) {
        if (!row.incoming || row.host != host || !row.holdsSession())
            continue;
        std::unique_ptr<TlsSession> session = std::move(row.handle->session);
        row.handle.reset();
        row.state = TunnelState::Used;
        emit changed();
        return session;
    }
    return nullptr;
}

bool TunnelList::Probe(Row& row)
{
    if (!row.incoming || !row.holdsSession() || !row.handle->session->IsReadable())
        return false;
    // An idle tunnel has nothing to say: the peer has closed it or broken the protocol.
    row.handle->session->Drop();
    row.handle.reset();
    row.state = TunnelState::Closed;
    return true;
}

void TunnelList::ProbeAll()
{
    bool any = false;
    for (Row& row : m_rows)
        any = Probe(row) || any;
    if (any)
        emit changed();
}

QStringList TunnelList::TunnelChoices()
{
    ProbeAll();
    QStringList choices;
    for (const Row& row : m_rows) {
        if (row.incoming && row.holdsSession())
            choices << row.host + QStringLiteral(" (") + row.nickName + QLatin1Char(')');
    }
    return choices;
}

void TunnelList::EndHandle(Row& row)
{
    if (!row.handle)
        return;
    if (row.handle->waiter) {
        row.handle->waiter->RequestStop(); // its blocked read returns: the socket is shut down
        row.handle->waiter->Join();
        row.handle->waiter.reset();
    }
    // Nothing was written on an idle tunnel, and a waiter's socket is shut down by now: the
    // closing never waits for the peer.
    if (row.handle->session)
        row.handle->session->Close();
    row.handle.reset();
}

void TunnelList::CloseRow(std::uint64_t id)
{
    Row* row = FindRow(id);
    if (!row || row->statusImage() != TunnelImageUsable)
        return;
    EndHandle(*row);
    row->state = TunnelState::Closed;
    emit changed();
}

void TunnelList::ClearInactive()
{
    const auto inactive = [](const Row& row) { return row.statusImage() != TunnelImageUsable; };
    if (std::none_of(m_rows.begin(), m_rows.end(), inactive))
        return;
    for (Row& row : m_rows) {
        if (inactive(row))
            EndHandle(row);
    }
    m_rows.erase(std::remove_if(m_rows.begin(), m_rows.end(), inactive), m_rows.end());
    emit changed();
}

void TunnelList::CloseAll()
{
    m_checkTimer->stop();
    bool any = false;
    for (Row& row : m_rows) {
        if (!row.handle)
            continue;
        EndHandle(row);
        if (row.state == TunnelState::Open)
            row.state = TunnelState::Closed;
        any = true;
    }
    if (any)
        emit changed();
}

} // namespace vantrel
