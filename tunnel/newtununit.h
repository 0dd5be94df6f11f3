#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QPushButton;

namespace vantrel {

class StatusLine;
class TunnelOpener;

// "Open New Receive Tunnel": the host to open a receive tunnel to, OPEN and Abort, and the
// opener's progress on the status line. It renders the opener's view; closing it by any way
// aborts an attempt still running, and it closes itself once the tunnel is listed.
class TNewTunnel : public QDialog
{
    Q_OBJECT
public:
    // recentHosts: the entries of the host box (the send side's recent hosts).
    TNewTunnel(TunnelOpener& opener, const QStringList& recentHosts, QWidget* parent = nullptr);
    ~TNewTunnel() override;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Render();

    TunnelOpener& m_opener;
    QStringList m_recentHosts;
    QComboBox* m_host = nullptr;
    QPushButton* m_open = nullptr;
    StatusLine* m_status = nullptr;
};

} // namespace vantrel
