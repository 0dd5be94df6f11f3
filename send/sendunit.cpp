#include "send/sendunit.h"

#include "send/sendinputs.h"
#include "send/sendtransfer.h"
#include "widgets/colours.h"
#include "widgets/gradientbar.h"
#include "widgets/gradientprogressbar.h"
#include "widgets/lampbuttons.h"
#include "widgets/statusline.h"
#include "widgets/userdialogs.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <climits>

namespace vantrel {

namespace {

using colours::Green;
using colours::Lime;
using colours::Maroon;

StatusLine::Kind KindOf(SendView::Colour colour)
{
    switch (colour) {
    case SendView::Colour::Failure:
        return StatusLine::Kind::Failure;
    case SendView::Colour::Done:
        return StatusLine::Kind::Done;
    case SendView::Colour::Work:
        break;
    }
    return StatusLine::Kind::Work;
}

// A progress bar counts in int; sizes reach 4 GiB - 1, so large ones are halved.
int BarUnits(std::uint32_t value, std::uint32_t max)
{
    return static_cast<int>(max > INT_MAX ? value / 2 : value);
}

// Shows the beginning of a text longer than its field.
void SetFieldText(QLineEdit* field, const QString& text)
{
    if (field->text() == text)
        return;
    field->setText(text);
    field->setCursorPosition(0);
}

} // namespace

TSendForm::TSendForm(SendTransfer& transfer, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_transfer(transfer), m_dialogs(dialogs), m_endFxTimer(this)
{
    setObjectName(QStringLiteral("TSendForm"));
    // A tool window without title-bar buttons: it closes only through the transfer.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setSizeGripEnabled(false);

    BuildTop();
    m_panels = new QStackedWidget(this);
    m_panels->setObjectName(QStringLiteral("MiddleArea"));
    m_requestPanel = BuildRequestPanel();
    m_progressPanel = BuildProgressPanel();
    m_completedPanel = BuildCompletedPanel();
    m_errorPanel = BuildErrorPanel();
    m_refusedPanel = BuildRefusedPanel();
    m_trustPanel = BuildTrustPanel();
    for (QWidget* panel : {m_requestPanel, m_progressPanel, m_completedPanel, m_errorPanel,
                           m_refusedPanel, m_trustPanel})
        m_panels->addWidget(panel);
    BuildBottom();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_sendButton);
    buttons->addSpacing(24);
    buttons->addWidget(m_abortButton);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 2);
    column->setSpacing(4);
    column->addWidget(m_top);
    column->addWidget(m_panels, 1);
    column->addLayout(buttons);
    column->addWidget(m_status);
    // Fixed at the size its contents need, at least the starting size.
    column->setSizeConstraint(QLayout::SetFixedSize);
    m_top->setMinimumWidth(417 - 8);
    m_panels->setMinimumHeight(180);

    m_host->addItems(m_transfer.recentHosts());
    m_host->setCurrentIndex(-1);
    m_host->clearEditText();
    m_host->setFocus();

    ConnectTransfer();
    Render();
}

TSendForm::~TSendForm() = default;

void TSendForm::ConnectTransfer()
{
    connect(&m_transfer, &SendTransfer::viewChanged, this, &TSendForm::Render);
    connect(&m_transfer, &SendTransfer::bringToFront, this, &TSendForm::OnBringToFront);
    connect(&m_transfer, &SendTransfer::messageBox, this, &TSendForm::OnMessageBox);
    connect(&m_transfer, &SendTransfer::dynDnsDetected, this, &TSendForm::OnDynDnsDetected);
    connect(&m_transfer, &SendTransfer::refreshTunnelChoices, this,
            &TSendForm::RefreshTunnelChoices);
    connect(&m_transfer, &SendTransfer::closed, this, [this] {
        StopBanner();
        hide();
    });
    connect(m_doZip, &QCheckBox::clicked, this, [this](bool on) {
        m_transfer.SetCompression(on);
        Render(); // a refused toggle shows the lamp as it was
    });
}

void TSendForm::SetTunnelChoices(std::function<QStringList()> choices)
{
    m_tunnelChoices = std::move(choices);
    RefreshTunnelChoices();
}

void TSendForm::RefreshTunnelChoices()
{
    const QStringList choices = m_tunnelChoices ? m_tunnelChoices() : QStringList();
    m_tunnels->clear();
    m_tunnels->addItems(choices);
    if (choices.isEmpty()) {
        if (m_tunnel->isChecked())
            m_direct->setChecked(true);
        m_tunnel->setEnabled(false);
        return;
    }
    m_tunnel->setEnabled(true);
    m_tunnels->setCurrentIndex(0);
}

void TSendForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    m_host->setFocus();
    m_transfer.FirstShow();
}

void TSendForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void TSendForm::reject()
{
    if (m_abortButton->isEnabled())
        m_abortButton->click();
}

void TSendForm::Render()
{
    const SendView& view = m_transfer.view();
    setWindowTitle(view.caption);

    m_pathLabel->setText(view.pathLabel);
    if (m_path->text() != view.path) {
        m_path->setText(view.path); // the end, with the name, in view
        m_path->setToolTip(view.path);
    }
    SetFieldText(m_dirs, view.dirCount);
    SetFieldText(m_files, view.fileCount);
    SetFieldText(m_size, view.totalSize);

    {
        const QSignalBlocker quiet(m_doZip);
        m_doZip->setChecked(view.compressionOn);
    }
    m_doZip->setText(view.compressionCaption);
    m_doZip->setEnabled(view.compressionToggleEnabled);

    SetFieldText(m_operation, view.operation);
    m_progress->setRange(0, BarUnits(view.progressMax, view.progressMax));
    m_progress->setValue(BarUnits(view.progressPosition, view.progressMax));
    if (view.progressSending)
        m_progress->setGradient(Green, Lime);
    else
        m_progress->setGradient(Maroon, Qt::red);
    SetFieldText(m_data, view.dataText);
    SetFieldText(m_speed, view.speed);
    SetFieldText(m_timeLeft, view.timeLeft);
    SetFieldText(m_cipher, view.cipher);
    m_cipher->setToolTip(view.cipher); // longer than its field
    SetFieldText(m_compressionInfo, view.compressionInfo);
    m_compressionInfo->setToolTip(view.compressionHint);

    m_refusalLabel->setText(view.refusalLabel);
    if (m_refusalComment->toPlainText() != view.refusalComment)
        m_refusalComment->setPlainText(view.refusalComment);

    m_trustName->setText(view.trustName);
    if (m_trustFingerprint->toPlainText() != view.trustFingerprint)
        m_trustFingerprint->setPlainText(view.trustFingerprint);
    m_trustText->setText(view.trustText);
    m_trustButton->setVisible(view.trustOffered);
    m_declineButton->setText(view.trustOffered ? tr("Do not trust") : tr("Back"));

    m_sendButton->setEnabled(view.sendEnabled);
    m_abortButton->setEnabled(view.abortEnabled);
    m_status->setStatus(view.statusText, KindOf(view.statusColour));

    QWidget* panel = m_requestPanel;
    switch (view.panel) {
    case SendView::Panel::Request:
        break;
    case SendView::Panel::Progress:
        panel = m_progressPanel;
        break;
    case SendView::Panel::Completed:
        panel = m_completedPanel;
        break;
    case SendView::Panel::Error:
        panel = m_errorPanel;
        break;
    case SendView::Panel::Refused:
        panel = m_refusedPanel;
        break;
    case SendView::Panel::Trust:
        panel = m_trustPanel;
        break;
    }
    if (m_panels->currentWidget() != panel)
        EnterPanel(panel);
}

// A panel coming into view takes the focus to its first control, so that the keyboard
// answers it; the completion banner blinks while its panel is shown.
void TSendForm::EnterPanel(QWidget* panel)
{
    if (m_panels->currentWidget() == m_completedPanel)
        StopBanner();
    m_panels->setCurrentWidget(panel);
    if (panel == m_completedPanel) {
        m_endFxTimer.start();
        panel->findChild<QPushButton*>(QStringLiteral("BitBtn3"))->setFocus();
    } else if (panel == m_errorPanel) {
        panel->findChild<QPushButton*>(QStringLiteral("BitBtn8"))->setFocus();
    } else if (panel == m_trustPanel) {
        m_declineButton->setFocus(); // Enter never trusts by accident
    } else if (panel == m_refusedPanel) {
        panel->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->setFocus();
    } else if (panel == m_requestPanel) {
        m_host->setFocus();
    } else {
        m_operation->setFocus(); // away from the hidden host field, and from any button
    }
}

void TSendForm::StopBanner()
{
    m_endFxTimer.stop();
    m_banner->setColors(Green, Lime);
}

void TSendForm::OnSend()
{
    SendInputs inputs;
    inputs.hostText = m_host->currentText();
    inputs.description = m_description->toPlainText();
    inputs.direct = m_direct->isChecked();
    inputs.tunnelText = m_tunnels->currentText();
    m_transfer.Send(inputs);
}

void TSendForm::OnDone()
{
    StopBanner();
    m_transfer.Close();
}

void TSendForm::OnSendAgain()
{
    StopBanner();
    m_transfer.SendAgain();
}

// The typed text stays; only the list goes.
void TSendForm::OnClearList()
{
    const QString typed = m_host->currentText();
    m_transfer.ClearRecentHosts();
    m_host->clear();
    m_host->setEditText(typed);
}

void TSendForm::OnBringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TSendForm::OnMessageBox(const QString& text, const QString& title)
{
    m_dialogs.Message(this, QMessageBox::Information, title, text);
}

// The connection goes on behind the question; the transfer may be gone once it is answered.
void TSendForm::OnDynDnsDetected(const QString& host, const QString& address)
{
    const QPointer<SendTransfer> transfer(&m_transfer);
    const bool yes = m_dialogs.Question(
        this, tr("Dynamic DNS Host Detected"),
        tr("This host seems to be a Dynamic DNS,\nWould you like to put it in Dynamic DNS "
           "Address Book?\n%1 - %2")
            .arg(host, address));
    if (transfer)
        transfer->AnswerDynDns(yes, host, address);
}

} // namespace vantrel
