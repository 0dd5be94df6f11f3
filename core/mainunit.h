#pragma once

#include "core/programcore.h"
#include "stats/statisticstick.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QTabWidget;
class QTimer;

namespace vantrel {

class ActiveTransfersPage;
class CreditsPage;
class GraphsPage;
class OptionsPage;
class TARecForm;
class TDynDNS;
class FeaturesPage;
class TNewVerQuery;
class TCloseForm;
class TResForm;
class TSpeedForm;
class TNewTunnel;
class TTPolForm;
class TransferWindows;
class TrayIcon;
class TunnelOpener;
class TunnelsPage;
class TrustedComputersWindow;
class UserDialogs;

// The main window: owns the running copy's engine state and initialises it when it is built.
// Five pages (the transfer lists, Options, Tunnels, Graphs, Credits), the status bar fed by the
// two-second statistics tick, the tray icon, the window of every live transfer and the tool
// windows, which all live as long as it does. A dropped file is handed off to the running
// copy. Closing is refused while transfers run and confirmed otherwise.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    struct Options
    {
        ProgramCore::Options core;
        // Shows a start-up failure (caption, text) and returns once it was seen; default: a
        // critical message box with an OK button.
        std::function<void(const QString&, const QString&)> showError;
        // Every dialog and question of this window and of those it opens; null = the real ones,
        // owned by the window.
        UserDialogs* dialogs = nullptr;
        // Whether minimising hides the window into the tray; unset = whether the desktop
        // offers one.
        std::optional<bool> useTray;
        // A window for every transfer. A copy without a display has nobody to show them to:
        // it answers requests itself (HeadlessServer).
        bool transferWindows = true;
        // Ends the program after an allowed close; default: QCoreApplication::exit (quit would
        // first ask every window to close, and transfer and tool windows refuse).
        std::function<void()> quit;
    };

    static constexpr int StatsPeriodMs = 2000;
    static constexpr int StatusPanelWidth = 200;

    // "Vantrel v %.2f" of ProgramVersion.
    static QString VersionText();

    TMainForm(std::unique_ptr<ProgramCore> core, Options options, QWidget* parent = nullptr);
    ~TMainForm() override;

    // False when the TLS library or the compression component failed: the failure was shown
    // and the program is to end.
    bool initialised() const { return m_initResult == ProgramCore::InitResult::Ok; }
    ProgramCore::InitResult initResult() const { return m_initResult; }
    ProgramCore& core() { return *m_core; }
    UserDialogs& dialogs() const { return *m_dialogs; }

    // The closing steps (settings, policy, resume list, rules saved; temporary archives
    // deleted), once. Also run when the program is stopped by a signal.
    void SaveForExit();

    // The close button, "Close Vantrel" and a system close all come here: refused (the
    // transfer windows shown) while transfers run, else confirmed; unless the program closes
    // it then goes back to the tray. True when the program closes.
    bool RequestClose();
    bool closing() const { return m_closing; }

    // Hidden into the tray where there is one, else minimised to the task bar.
    void MinimizeToTray();
    void RestoreApplication();

    // One statistics tick: the status bar's first three panels and the graphs.
    void StatisticsTickNow();

    QTabWidget* pages() const { return m_pages; }
    ActiveTransfersPage* transfersPage() const { return m_transfersPage; }
    OptionsPage* optionsPage() const { return m_optionsPage; }
    TunnelsPage* tunnelsPage() const { return m_tunnelsPage; }
    GraphsPage* graphsPage() const { return m_graphsPage; }
    CreditsPage* creditsPage() const { return m_creditsPage; }
    QLabel* statusPanel(int index) const { return m_panels.at(static_cast<std::size_t>(index)); }
    TrayIcon* tray() const { return m_tray; }
    TransferWindows* transferWindows() const { return m_transferWindows; }
    TSpeedForm* speedForm() const { return m_speedForm; }
    TCloseForm* closeForm() const { return m_closeForm; }
    TTPolForm* policiesForm() const { return m_policiesForm; }
    TResForm* resumesForm() const { return m_resumesForm; }
    TARecForm* autoReceiveForm() const { return m_autoReceiveForm; }
    TDynDNS* dynDnsForm() const { return m_dynDnsForm; }
    TrustedComputersWindow* trustedComputersWindow() const { return m_trustedWindow; }
    // "Open New Receive Tunnel" while it is open (it is made for each showing), else null.
    TNewTunnel* newTunnelForm() const;
    TNewVerQuery* newVersionForm() const { return m_newVersionForm; }
    bool usesTray() const { return m_useTray; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildPages();
    void BuildStatusBar();
    void BuildToolWindows();
    void ConnectHub();
    void FirstShow();
    void RefreshLocalAddresses();
    void ShowNewVersion(double version, const QString& downloadUrl, const QString& featuresUrl);
    void HandOffPath(const QString& path);
    void OpenManual();
    void OpenNewTunnel();
    static void Reveal(QWidget* window);

    std::unique_ptr<ProgramCore> m_core;
    std::unique_ptr<UserDialogs> m_ownDialogs;
    UserDialogs* m_dialogs = nullptr;
    std::function<void()> m_quit;
    ProgramCore::InitResult m_initResult = ProgramCore::InitResult::Ok;
    bool m_useTray = false;
    bool m_openTransferWindows = true;
    bool m_shown = false;
    bool m_saved = false;
    bool m_closing = false;

    QTabWidget* m_pages = nullptr;
    ActiveTransfersPage* m_transfersPage = nullptr;
    OptionsPage* m_optionsPage = nullptr;
    TunnelsPage* m_tunnelsPage = nullptr;
    GraphsPage* m_graphsPage = nullptr;
    CreditsPage* m_creditsPage = nullptr;
    std::array<QLabel*, 4> m_panels{};
    QLabel* m_versionPanel = nullptr;

    std::optional<StatisticsTick> m_statistics;
    QTimer* m_statsTimer = nullptr;
    TrayIcon* m_tray = nullptr;
    TransferWindows* m_transferWindows = nullptr;
    TSpeedForm* m_speedForm = nullptr;
    TCloseForm* m_closeForm = nullptr;
    TTPolForm* m_policiesForm = nullptr;
    TResForm* m_resumesForm = nullptr;
    TrustedComputersWindow* m_trustedWindow = nullptr;
    TARecForm* m_autoReceiveForm = nullptr;
    TDynDNS* m_dynDnsForm = nullptr;
    std::unique_ptr<TunnelOpener> m_tunnelOpener;
    QPointer<TNewTunnel> m_newTunnelForm;
    std::unique_ptr<FeaturesPage> m_featuresPage;
    TNewVerQuery* m_newVersionForm = nullptr;
};

} // namespace vantrel
