#include "core/transferwindows.h"

#include "core/base/transferlistmodel.h"
#include "core/transferhub.h"
#include "receive/receivetransfer.h"
#include "receive/recvunit.h"
#include "receive/spform.h"
#include "send/sendtransfer.h"
#include "send/sendunit.h"

namespace vantrel {

namespace {

template <typename Transfer> TSpeedForm::Target BandLimitOf(Transfer* transfer)
{
    TSpeedForm::Target target;
    target.get = [transfer] { return transfer->bandLimit(); };
    target.set = [transfer](std::uint32_t kb) { transfer->SetBandLimit(kb); };
    return target;
}

void Reveal(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

TransferWindows::TransferWindows(TransferHub& hub, UserDialogs& dialogs, TSpeedForm& bandLimit,
                                 QObject* parent)
    : QObject(parent), m_hub(hub), m_dialogs(dialogs), m_bandLimit(bandLimit)
{
    connect(&hub, &TransferHub::receiveOpened, this, &TransferWindows::OpenReceive);
    connect(&hub, &TransferHub::sendOpened, this, &TransferWindows::OpenSend);
    connect(&hub, &TransferHub::transferClosing, this, &TransferWindows::Close);
    connect(&hub, &TransferHub::bandLimitDialogDetach, &bandLimit, &TSpeedForm::Detach);
    connect(&hub, &TransferHub::showAllTransferWindows, this, &TransferWindows::ShowAll);
}

TransferWindows::~TransferWindows()
{
    m_windows.clear();
}

QDialog* TransferWindows::WindowOf(QObject* transfer) const
{
    const auto found = m_windows.find(transfer);
    return found == m_windows.end() ? nullptr : found->second.get();
}

void TransferWindows::OpenReceive(ReceiveTransfer* transfer)
{
    auto window = std::make_unique<TRecForm>(*transfer, m_dialogs);
    connect(window.get(), &TRecForm::bandLimitRequested, this,
            [this, transfer] { m_bandLimit.Open(BandLimitOf(transfer)); });
    // Shown at once, never modal: the window presents its request when it first shows.
    window->show();
    m_windows[transfer] = std::move(window);
}

void TransferWindows::OpenSend(SendTransfer* transfer)
{
    auto window = std::make_unique<TSendForm>(*transfer, m_dialogs);
    window->SetTunnelChoices([hub = &m_hub] { return hub->tunnels().TunnelChoices(); });
    connect(window.get(), &TSendForm::bandLimitRequested, this,
            [this, transfer] { m_bandLimit.Open(BandLimitOf(transfer)); });
    Reveal(window.get());
    m_windows[transfer] = std::move(window);
}

void TransferWindows::Close(QObject* transfer)
{
    const auto found = m_windows.find(transfer);
    if (found == m_windows.end())
        return;
    // Out of the map first: destroying a window may run code that looks it up.
    std::unique_ptr<QDialog> window = std::move(found->second);
    m_windows.erase(found);
    window->hide();
    // The hub's signal may come from inside this window's own slot.
    window.release()->deleteLater();
}

void TransferWindows::ShowAll()
{
    for (const auto kind : {TransferListModel::Kind::Downloads, TransferListModel::Kind::Uploads})
        for (QObject* transfer : m_hub.ActiveTransfers(kind))
            if (QDialog* window = WindowOf(transfer))
                Reveal(window);
}

} // namespace vantrel
