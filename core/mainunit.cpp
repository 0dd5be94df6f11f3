#include "core/mainunit.h"

#include "core/base/programversion.h"
#include "core/handoff.h"
#include "core/handoffreceiver.h"
#include "core/transferhub.h"
#include "net/securechannel.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QUrl>

namespace vantrel {

namespace {

const QString InitErrorCaption = QStringLiteral("Init Error!");

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
    : QMainWindow(parent), m_core(std::move(core))
{
    setWindowTitle(QStringLiteral("Vantrel"));
    auto* dropHint = new QLabel(QStringLiteral("Drop a file or folder here to send it."), this);
    dropHint->setAlignment(Qt::AlignCenter);
    setCentralWidget(dropHint);
    resize(760, 420);
    // Controls carry their form names, so that tests and accessibility tools find them.
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    m_versionPanel = new QLabel(this);
    statusBar()->addPermanentWidget(m_versionPanel);

    m_initResult = m_core->Initialise(options.core);
    if (m_initResult != ProgramCore::InitResult::Ok) {
        const auto show = options.showError ? options.showError : ShowErrorBox;
        show(InitErrorCaption, m_initResult == ProgramCore::InitResult::SslInitFailed
                                   ? QStringLiteral("Unable to initialize SSL Lib")
                                   : QStringLiteral("Unable to initialize Zip DLL"));
        return;
    }

    HandOffReceiver* handOff = m_core->handOff();
    handOff->SetRestoreApplication([this] { RestoreApplication(); });
    connect(handOff, &HandOffReceiver::openSendRequested, this, &TMainForm::OpenSendWindow);
    setAcceptDrops(true);
}

TMainForm::~TMainForm()
{
    const bool bound = m_initResult != ProgramCore::InitResult::SslInitFailed;
    m_core.reset();
    if (bound)
        SecureChannel::Unbind();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FirstShow();
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Closing is refused while transfers are active: the hub shows them instead.
    TransferHub* hub = m_core ? m_core->hub() : nullptr;
    if (hub && !hub->RequestClose()) {
        event->ignore();
        return;
    }
    SaveForExit();
    event->accept();
}

void TMainForm::SaveForExit()
{
    if (m_saved || !initialised() || !m_core->hub())
        return;
    m_saved = true;
    m_core->hub()->Closing();
}

void TMainForm::FirstShow()
{
    setWindowTitle(QStringLiteral("Vantrel"));
    m_versionPanel->setText(VersionText());
    m_core->LoadStoredLists();
}

void TMainForm::RestoreApplication()
{
    if (isMinimized() || isHidden())
        showNormal();
    raise();
    activateWindow();
}

void TMainForm::OpenSendWindow(const QString& path)
{
    statusBar()->showMessage(QStringLiteral("Send: %1").arg(path));
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
    if (!handoff::Fits(path)) {
        statusBar()->showMessage(
            QStringLiteral("The path is longer than %1 bytes and cannot be sent.")
                .arg(handoff::MaxPathBytes));
        return;
    }
    m_core->handOff()->HandOff(path);
}

} // namespace vantrel
