#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

namespace vantrel {

class SendTransfer;
class UserDialogs;

// "New Send Request": the window of one outgoing transfer. It renders its SendTransfer's view
// and calls its operations; it holds no transfer logic. Destroyed by its owner when the
// transfer closes.
class TSendForm : public QDialog
{
    Q_OBJECT
public:
    TSendForm(SendTransfer& transfer, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~TSendForm() override;

    SendTransfer& transfer() const { return m_transfer; }

    // The Incoming tunnels a tunnel send can use ("host (nick)"), asked for by "Refresh
    // Active Tunnels"; none until tunnels exist, and "Tunnel Send" then stays disabled.
    void SetTunnelChoices(std::function<QStringList()> choices);

signals:
    // The band-limit button: the main window points its band-limit dialog at this transfer.
    void bandLimitRequested();

private:
    SendTransfer& m_transfer;
    UserDialogs& m_dialogs;
    std::function<QStringList()> m_tunnelChoices;
};

} // namespace vantrel
