#include "tunnel/newtununit.h"

#include "tunnel/tunnelopener.h"
#include "widgets/statusline.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace vantrel {

TNewTunnel::TNewTunnel(TunnelOpener& opener, const QStringList& recentHosts, QWidget* parent)
    : QDialog(parent), m_opener(opener), m_recentHosts(recentHosts)
{
    setObjectName(QStringLiteral("TNewTunnel"));
    setWindowTitle(tr("Open New Receive Tunnel"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    auto* label = new QLabel(tr("Open with"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_host = new QComboBox(this);
    m_host->setObjectName(QStringLiteral("HostCBox"));
    m_host->setEditable(true);
    m_host->setInsertPolicy(QComboBox::NoInsert);
    m_host->setToolTip(tr("Enter Host or IP Address [:port]"));
    m_host->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_host->setMinimumContentsLength(24);
    auto* completer = new QCompleter(m_host->model(), m_host);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_host->setCompleter(completer);
    label->setBuddy(m_host);

    m_open = new QPushButton(tr("OPEN"), this);
    m_open->setObjectName(QStringLiteral("SendBtn"));
    m_open->setDefault(true);
    m_open->setAutoDefault(true);
    auto* abort = new QPushButton(tr("Abort"), this);
    abort->setObjectName(QStringLiteral("AbortBtn"));
    abort->setAutoDefault(false);

    m_status = new StatusLine(this);
    m_status->setObjectName(QStringLiteral("StatusBar"));

    auto* hostRow = new QHBoxLayout;
    hostRow->addWidget(label);
    hostRow->addWidget(m_host, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_open);
    buttons->addWidget(abort);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(hostRow);
    layout->addLayout(buttons);
    layout->addWidget(m_status);
    // A fixed window: exactly as large as its contents need with the desktop's font.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_open, &QPushButton::clicked, this, [this] { m_opener.Open(m_host->currentText()); });
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_opener, &TunnelOpener::viewChanged, this, &TNewTunnel::Render);
    connect(&m_opener, &TunnelOpener::opened, this, &QDialog::accept);
    Render();
}

TNewTunnel::~TNewTunnel()
{
    m_opener.Abort();
}

void TNewTunnel::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    m_opener.Reset();
    m_host->clear();
    m_host->addItems(m_recentHosts);
    m_host->setCurrentIndex(-1);
    m_host->setFocus();
}

void TNewTunnel::done(int result)
{
    // Abort, Escape or the tunnel listed: an attempt still running is given up.
    m_opener.Abort();
    QDialog::done(result);
}

void TNewTunnel::closeEvent(QCloseEvent* event)
{
    m_opener.Abort();
    QDialog::closeEvent(event);
}

void TNewTunnel::Render()
{
    const TunnelOpener::View& view = m_opener.view();
    m_status->setStatus(view.statusText,
                        view.failure ? StatusLine::Kind::Failure : StatusLine::Kind::Work);
    m_open->setEnabled(view.openEnabled);
}

} // namespace vantrel
