#include "tunnel/tunnelopener.h"

#include "core/base/soundplayer.h"
#include "tunnel/tunnellist.h"
#include "tunnel/tunnelopenworker.h"

namespace vantrel {

using tunnel::OpenerNotice;

TunnelOpener::TunnelOpener(const TransferServices& services, TunnelList& list, QObject* parent)
    : QObject(parent), m_services(services), m_list(list)
{
}

TunnelOpener::~TunnelOpener()
{
    EndWorker();
}

void TunnelOpener::EndWorker()
{
    ++m_run; // whatever the ended worker still queued is ignored, its session freed
    if (!m_worker)
        return;
    m_worker->RequestStop();
    m_worker->Join();
    m_worker.reset();
}

void TunnelOpener::Open(const QString& hostText)
{
    if (hostText.trimmed().isEmpty())
        return;
    EndWorker();
    TunnelOpenWorker::Request request;
    request.hostText = hostText;
    request.trustListFile = m_services.folder.file(QStringLiteral("clientcalist.pem"));
    request.nickName = m_services.ownNickName ? m_services.ownNickName() : QByteArray();
    request.senderPort = m_services.ownServerPort ? m_services.ownServerPort() : 0;
    m_view.openEnabled = false;
    emit viewChanged();
    m_worker = std::make_unique<TunnelOpenWorker>(this, m_run, std::move(request));
    m_worker->Start();
}

void TunnelOpener::Abort()
{
    const bool wasRunning = running();
    EndWorker();
    if (wasRunning || !m_view.openEnabled) {
        m_view.openEnabled = true;
        emit viewChanged();
    }
}

void TunnelOpener::Reset()
{
    EndWorker();
    m_view = View();
    emit viewChanged();
}

void TunnelOpener::Take(OpenerNotice notice)
{
    if (notice.run != m_run)
        return; // an ended attempt: a session it opened goes with the notice
    switch (notice.kind) {
    case OpenerNotice::Kind::Status:
        m_view.statusText = notice.statusText;
        m_view.failure = false;
        emit viewChanged();
        return;
    case OpenerNotice::Kind::Failed:
        EndWorker();
        m_view.statusText = notice.statusText;
        m_view.failure = true;
        m_view.openEnabled = true;
        if (m_services.sounds)
            m_services.sounds->Play(Sound::Error);
        emit viewChanged();
        return;
    case OpenerNotice::Kind::Opened:
        break;
    }
    EndWorker();
    m_list.AddOutgoing(notice.host, std::move(notice.session));
    m_view.openEnabled = true;
    emit viewChanged();
    emit opened();
}

} // namespace vantrel
