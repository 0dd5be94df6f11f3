#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QToolButton;

namespace vantrel {

class GradientBar;
class GradientProgressBar;
class LampCheckBox;
class SendTransfer;
class StatusLine;
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
    // "Refresh Active Tunnels": asks the choices again. Without any, "Tunnel Send" is disabled
    // (and a tunnel choice falls back to a direct send); otherwise the first one is selected.
    void RefreshTunnelChoices();

signals:
    // The band-limit button: the main window points its band-limit dialog at this transfer.
    void bandLimitRequested();

protected:
    void showEvent(QShowEvent* event) override;
    // Only the transfer closes the window; the title bar offers no close button either.
    void closeEvent(QCloseEvent* event) override;

public slots:
    // Escape: the bottom "Abort", when it is enabled.
    void reject() override;

private:
    void BuildTop();
    QWidget* BuildRequestPanel();
    QWidget* BuildProgressPanel();
    QWidget* BuildCompletedPanel();
    QWidget* BuildErrorPanel();
    QWidget* BuildRefusedPanel();
    QWidget* BuildTrustPanel();
    void BuildBottom();
    void ConnectTransfer();

    void Render();
    void EnterPanel(QWidget* panel);
    void StopBanner();
    void OnSend();
    void OnDone();
    void OnSendAgain();
    void OnClearList();
    void OnBringToFront();
    void OnMessageBox(const QString& text, const QString& title);
    void OnDynDnsDetected(const QString& host, const QString& address);

    SendTransfer& m_transfer;
    UserDialogs& m_dialogs;
    std::function<QStringList()> m_tunnelChoices;
    bool m_shown = false;

    // Top panel.
    QWidget* m_top = nullptr;
    QLabel* m_pathLabel = nullptr;
    QLineEdit* m_path = nullptr;
    QLineEdit* m_dirs = nullptr;
    QLineEdit* m_files = nullptr;
    QLineEdit* m_size = nullptr;

    QStackedWidget* m_panels = nullptr;
    QWidget* m_requestPanel = nullptr;
    QWidget* m_progressPanel = nullptr;
    QWidget* m_completedPanel = nullptr;
    QWidget* m_errorPanel = nullptr;
    QWidget* m_refusedPanel = nullptr;
    QWidget* m_trustPanel = nullptr;

    // Request panel.
    QRadioButton* m_direct = nullptr;
    QComboBox* m_host = nullptr;
    QMenu* m_hostMenu = nullptr;
    QRadioButton* m_tunnel = nullptr;
    QComboBox* m_tunnels = nullptr;
    QMenu* m_tunnelMenu = nullptr;
    LampCheckBox* m_doZip = nullptr;
    QPlainTextEdit* m_description = nullptr;

    // Progress panel.
    QLineEdit* m_operation = nullptr;
    GradientProgressBar* m_progress = nullptr;
    QLineEdit* m_data = nullptr;
    QLineEdit* m_speed = nullptr;
    QLineEdit* m_timeLeft = nullptr;
    QLineEdit* m_cipher = nullptr;
    QLineEdit* m_compressionInfo = nullptr;

    // Completion panel.
    GradientBar* m_banner = nullptr;
    QTimer m_endFxTimer;

    // Refusal panel.
    QLabel* m_refusalLabel = nullptr;
    QPlainTextEdit* m_refusalComment = nullptr;

    // Trust panel.
    QLabel* m_trustName = nullptr;
    QPlainTextEdit* m_trustFingerprint = nullptr;
    QLabel* m_trustText = nullptr;
    QPushButton* m_trustButton = nullptr;
    QPushButton* m_declineButton = nullptr;

    // Bottom.
    QPushButton* m_sendButton = nullptr;
    QPushButton* m_abortButton = nullptr;
    StatusLine* m_status = nullptr;
};

} // namespace vantrel
