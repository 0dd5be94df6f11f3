#include "core/mainunit.h"

#include "core/base/programversion.h"
#include "core/base/ticks.h"
#include "core/handoff.h"
#include "core/handoffreceiver.h"
#include "core/transferhub.h"
#include "core/transferwindows.h"
#include "net/certificates.h"
#include "net/securechannel.h"
#include "net/trustlist.h"
#include "netutil/dyndnsunit.h"
#include "netutil/featurespage.h"
#include "netutil/localaddresses.h"
#include "netutil/newverform.h"
#include "receive/arecunit.h"
#include "receive/resunit.h"
#include "receive/spform.h"
#include "tunnel/newtununit.h"
#include "tunnel/tpolunit.h"
#include "tunnel/tunnelopener.h"
#include "ui/activetransferspage.h"
#include "ui/closeunit.h"
#include "ui/creditspage.h"
#include "ui/graphspage.h"
#include "ui/optionspage.h"
#include "ui/transferlistview.h"
#include "ui/trayicon.h"
#include "ui/trustedcomputerswindow.h"
#include "ui/tunnelspage.h"
#include "widgets/pictures.h"
#include "widgets/userdialogs.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace vantrel {

namespace {

const QString InitErrorCaption = QStringLiteral("Init Error!");
const QString ManualFile = QStringLiteral("VNTHELP.html");

QByteArray ReadCertificate(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
constexpr QSize StartingSize(798, 357);

void ShowErrorBox(const QString& caption, const QString& text)
{
    QMessageBox::critical(nullptr, caption, text, QMessageBox::Ok);
}

// The first local file of a drop, if any.
QString FirstLocalFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty())
        return {};
    const QUrl first = mime->urls().front();
    return first.isLocalFile() ? first.toLocalFile() : QString();
}

} // namespace

QString TMainForm::VersionText()
{
    return QString::asprintf("Vantrel v %.2f", ProgramVersion);
}

TMainForm::TMainForm(std::unique_ptr<ProgramCore> core, Options options, QWidget* parent)
    : QMainWindow(parent), m_core(std::move(core)), m_dialogs(options.dialogs),
      m_quit(options.quit ? options.quit : [] { QCoreApplication::exit(0); }),
      m_useTray(options.useTray.value_or(TrayIcon::DesktopHasTray())),
      m_openTransferWindows(options.transferWindows)
{
    if (!m_dialogs) {
        m_ownDialogs = std::make_unique<QtUserDialogs>();
        m_dialogs = m_ownDialogs.get();
    }
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("Vantrel"));
    setWindowIcon(PictureIcon(Picture::Program));
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(m_pages);
    BuildStatusBar();
    // As wide as the status bar's panels need under the desktop's font, 798 at least.
    int panelsWidth = 0;
    for (const QLabel* panel : m_panels)
        panelsWidth += panel->minimumWidth() + statusBar()->layout()->spacing() + 4;
    resize(std::max(StartingSize.width(), panelsWidth + 24), StartingSize.height());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_initResult = m_core->Initialise(options.core);
    if (m_initResult != ProgramCore::InitResult::Ok) {
        const auto show = options.showError ? options.showError : ShowErrorBox;
        show(InitErrorCaption, m_initResult == ProgramCore::InitResult::SslInitFailed
                                   ? QStringLiteral("Unable to initialize SSL Lib")
                                   : QStringLiteral("Unable to initialize Zip DLL"));
        return;
    }

    // The first tick measures from here.
    m_core->counters().lastTick = TickCount();
    m_statistics.emplace(m_core->counters());
    m_statsTimer = new QTimer(this);
    m_statsTimer->setObjectName(QStringLiteral("StatsTimer"));
    m_statsTimer->setInterval(StatsPeriodMs);
    connect(m_statsTimer, &QTimer::timeout, this, &TMainForm::StatisticsTickNow);

    BuildPages();
    BuildToolWindows();
    m_tray = new TrayIcon(m_core->hub()->trayHint(), this);
    connect(m_tray, &TrayIcon::closeRequested, this, [this] { RequestClose(); });
    connect(m_tray, &TrayIcon::restoreRequested, this, &TMainForm::RestoreApplication);
    ConnectHub();

    HandOffReceiver* handOff = m_core->handOff();
    handOff->SetRestoreApplication([this] { RestoreApplication(); });
    setAcceptDrops(true);
    m_statsTimer->start();
}

TMainForm::~TMainForm()
{
    // The windows of live transfers, then the tool windows, go before the engine they show.
    delete m_transferWindows;
    m_transferWindows = nullptr;
    delete m_speedForm;
    delete m_newVersionForm;
    m_featuresPage.reset();
    delete m_closeForm;
    delete m_policiesForm;
    delete m_resumesForm;
    delete m_autoReceiveForm;
    delete m_dynDnsForm;
    delete m_trustedWindow;
    delete m_newTunnelForm; // before the opener it shows
    m_tunnelOpener.reset();
    // The pages show the hub's lists, which go with the core.
    delete takeCentralWidget();
    const bool bound = m_initResult != ProgramCore::InitResult::SslInitFailed;
    m_core.reset();
    if (bound)
        SecureChannel::Unbind();
}

void TMainForm::BuildStatusBar()
{
    // Controls carry their form names, so that tests and accessibility tools find them.
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);
    const StatisticsTick::Texts initial = StatisticsTick::InitialTexts();
    const QString texts[] = {initial.activeTransfers, initial.downloadRate, initial.uploadRate,
                             VersionText()};
    // The longest texts a panel shows: a panel is never narrower, whatever the font.
    const QString widest[] = {tr("Active Transfers: %1").arg(9999),
                              tr("Actual Download Rate: %1/sec").arg(QStringLiteral("1023.99 Kb")),
                              tr("Actual Upload Rate: %1/sec").arg(QStringLiteral("1023.99 Kb")),
                              VersionText()};
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        auto* panel = new QLabel(texts[i]);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        const int needed = panel->fontMetrics().horizontalAdvance(widest[i]) +
                           2 * panel->frameWidth() + 2 * panel->margin() + 8;
        panel->setMinimumWidth(std::max(StatusPanelWidth, needed));
        statusBar()->addWidget(panel);
        m_panels[i] = panel;
    }
    m_versionPanel = m_panels[3];
    m_versionPanel->setAlignment(Qt::AlignCenter);
    m_versionPanel->clear(); // written at the first showing
}

void TMainForm::BuildPages()
{
    m_transfersPage =
        new ActiveTransfersPage(*m_core->hub(), *m_dialogs, [this](QObject* transfer) {
            return m_transferWindows ? static_cast<QWidget*>(m_transferWindows->WindowOf(transfer))
                                     : nullptr;
        });
    m_optionsPage = new OptionsPage(m_core->settings());
    m_tunnelsPage = new TunnelsPage;
    m_graphsPage = new GraphsPage;
    m_creditsPage = new CreditsPage(VersionText(), *m_dialogs);
    m_pages->addTab(m_transfersPage, PictureIcon(Picture::Downloads), tr("Active File Transfers"));
    m_pages->addTab(m_optionsPage, PictureIcon(Picture::Options), tr("Options"));
    m_pages->addTab(m_tunnelsPage, PictureIcon(Picture::Tunnels), tr("Tunnels"));
    m_pages->addTab(m_graphsPage, PictureIcon(Picture::Graphs), tr("Graphs"));
    m_pages->addTab(m_creditsPage, PictureIcon(Picture::Credits), tr("Credits"));
    m_pages->setCurrentIndex(0);

    connect(m_transfersPage, &ActiveTransfersPage::sendPathChosen, this, &TMainForm::HandOffPath);
    connect(m_optionsPage, &OptionsPage::manualRequested, this, &TMainForm::OpenManual);
    connect(m_optionsPage, &OptionsPage::nickNameEdited, this,
            [this] { m_core->PublishNickName(); });
}

void TMainForm::BuildToolWindows()
{
    // In the order the program has always made them; all live as long as this window.
    m_speedForm = new TSpeedForm;
    m_featuresPage = std::make_unique<FeaturesPage>();
    m_newVersionForm = new TNewVerQuery(*m_dialogs, *m_featuresPage);
    m_closeForm = new TCloseForm;
    m_policiesForm = new TTPolForm(m_core->policy());
    m_resumesForm = new TResForm(*m_core->resumes(), *m_dialogs);
    RecentHosts& recent = m_core->recentHosts();
    m_autoReceiveForm = new TARecForm(
        m_core->rules(), [&recent] { return recent.LoadRecentHosts(); }, *m_dialogs);
    m_dynDnsForm = new TDynDNS(m_core->book(), *m_core->refresher());
    m_trustedWindow = new TrustedComputersWindow(m_core->folder(), *m_dialogs);
    m_optionsPage->ShowOwnFingerprint(certificates::ReadableFingerprint(
        ReadCertificate(m_core->folder().file(TrustList::OwnAuthorityFile))));
    if (m_openTransferWindows)
        m_transferWindows = new TransferWindows(*m_core->hub(), *m_dialogs, *m_speedForm, this);

    const auto policies = [this] { Reveal(m_policiesForm); };
    connect(m_transfersPage, &ActiveTransfersPage::policiesRequested, this, policies);
    connect(m_optionsPage, &OptionsPage::policiesRequested, this, policies);
    connect(m_optionsPage, &OptionsPage::autoReceivesRequested, this,
            [this] { Reveal(m_autoReceiveForm); });
    connect(m_optionsPage, &OptionsPage::resumesRequested, this, [this] { Reveal(m_resumesForm); });
    connect(m_optionsPage, &OptionsPage::dynDnsRequested, this, [this] { Reveal(m_dynDnsForm); });
    connect(m_optionsPage, &OptionsPage::trustedComputersRequested, this,
            [this] { Reveal(m_trustedWindow); });
    connect(m_optionsPage, &OptionsPage::localAddressesRefreshRequested, this,
            &TMainForm::RefreshLocalAddresses);
    connect(m_optionsPage, &OptionsPage::internetAddressRequested, this,
            [this] { m_core->updates()->ReGetAddress(); });

    TransferHub* hub = m_core->hub();
    m_tunnelOpener = std::make_unique<TunnelOpener>(hub->services(), hub->tunnels());
    connect(m_tunnelsPage, &TunnelsPage::policiesRequested, this, policies);
    connect(m_tunnelsPage, &TunnelsPage::openTunnelRequested, this, &TMainForm::OpenNewTunnel);
    connect(m_tunnelsPage, &TunnelsPage::closeTunnelRequested, this,
            [hub](std::uint64_t id) { hub->tunnels().CloseRow(id); });
    connect(m_tunnelsPage, &TunnelsPage::clearInactiveRequested, this,
            [hub] { hub->tunnels().ClearInactive(); });
    connect(m_tunnelsPage, &TunnelsPage::refreshRequested, this,
            [hub] { hub->tunnels().ProbeAll(); });
}

TNewTunnel* TMainForm::newTunnelForm() const
{
    return m_newTunnelForm.data();
}

void TMainForm::OpenNewTunnel()
{
    if (m_newTunnelForm) {
        Reveal(m_newTunnelForm);
        return;
    }
    // Made for each showing and gone when closed; modal, so one tunnel opens at a time.
    m_newTunnelForm =
        new TNewTunnel(*m_tunnelOpener, m_core->recentHosts().LoadRecentHosts(), this);
    m_newTunnelForm->setAttribute(Qt::WA_DeleteOnClose);
    Reveal(m_newTunnelForm);
}

void TMainForm::ConnectHub()
{
    TransferHub* hub = m_core->hub();
    connect(hub, &TransferHub::trayHintChanged, m_tray, &TrayIcon::SetHint);
    connect(hub, &TransferHub::trayAnimationChanged, m_tray, &TrayIcon::SetAnimating);
    connect(hub, &TransferHub::restoreRequested, this, &TMainForm::RestoreApplication);
    connect(hub, &TransferHub::publicAddressChanged, m_optionsPage,
            &OptionsPage::ShowInternetAddress);
    connect(hub, &TransferHub::newVersionAvailable, this, &TMainForm::ShowNewVersion);
    // The page goes before the hub, whose closing still changes the rows.
    connect(hub, &TransferHub::tunnelsChanged, m_tunnelsPage,
            [this, hub] { m_tunnelsPage->ShowTunnels(hub->tunnels().rows()); });
}

void TMainForm::Reveal(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FirstShow();
    }
}

void TMainForm::FirstShow()
{
    setWindowTitle(QStringLiteral("Vantrel"));
    m_versionPanel->setText(VersionText());
    if (!initialised())
        return;
    m_transfersPage->downloadsView()->setFocus();
    // The program starts in the tray (on the task bar where there is none).
    QTimer::singleShot(0, this, &TMainForm::MinimizeToTray);
    m_optionsPage->ShowInternetAddress(OptionsPage::NoInternetAddress());
    m_core->updates()->Start();
    RefreshLocalAddresses();
    m_core->LoadStoredLists();
}

void TMainForm::RefreshLocalAddresses()
{
    m_optionsPage->ShowLocalAddresses(LocalAddresses::Query());
}

void TMainForm::ShowNewVersion(double version, const QString& downloadUrl,
                               const QString& featuresUrl)
{
    // A copy without windows has no one to ask.
    if (!m_openTransferWindows)
        return;
    RestoreApplication();
    m_newVersionForm->ShowNewVersion(version, downloadUrl, featuresUrl);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (m_closing || !initialised()) {
        event->accept();
        return;
    }
    event->ignore();
    RequestClose();
}

bool TMainForm::RequestClose()
{
    if (m_closing)
        return true;
    TransferHub* hub = m_core->hub();
    // A refusal restores the program and shows every transfer window (the hub's signals).
    if (hub && !hub->RequestClose())
        return false;
    if (m_closeForm->Ask() == TCloseForm::Answer::Close) {
        m_closing = true;
        SaveForExit();
        close();
        m_quit();
        return true;
    }
    MinimizeToTray();
    return false;
}

void TMainForm::SaveForExit()
{
    // Once saved the program is ending: the application's own quit closes this window then.
    m_closing = true;
    if (m_saved || !initialised() || !m_core->hub())
        return;
    m_saved = true;
    m_core->hub()->Closing();
}

void TMainForm::MinimizeToTray()
{
    if (m_useTray)
        hide();
    else
        showMinimized();
}

void TMainForm::RestoreApplication()
{
    // A copy without windows has nothing to bring forward (and its platform would only log
    // that it cannot, on every request).
    if (!m_openTransferWindows)
        return;
    if (isMinimized() || isHidden())
        showNormal();
    raise();
    activateWindow();
}

void TMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Minimised, the program lives in the tray only.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_useTray)
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

void TMainForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        OpenManual();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TMainForm::OpenManual()
{
    const QString manual = m_core->folder().file(ManualFile);
    if (QFile::exists(manual))
        m_dialogs->OpenUrl(QUrl::fromLocalFile(manual));
}

void TMainForm::StatisticsTickNow()
{
    if (!m_statistics || !m_core->hub())
        return;
    const StatisticsTick::Texts texts =
        m_statistics->Tick(TickCount(), m_core->hub()->activeCount());
    m_panels[0]->setText(texts.activeTransfers);
    m_panels[1]->setText(texts.downloadRate);
    m_panels[2]->setText(texts.uploadRate);
    m_graphsPage->Show(m_statistics->history());
}

void TMainForm::HandOffPath(const QString& path)
{
    if (!handoff::Fits(path)) {
        m_dialogs->Message(
            this, QMessageBox::Warning, QStringLiteral("Vantrel"),
            tr("The path is longer than %1 bytes and cannot be sent.").arg(handoff::MaxPathBytes));
        return;
    }
    m_core->handOff()->HandOff(path);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!FirstLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QString path = FirstLocalFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    HandOffPath(path);
}

} // namespace vantrel
