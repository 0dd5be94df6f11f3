// The controls of the send window and their places; what they do is in sendunit.cpp.
#include "send/sendunit.h"

#include "send/sendtransfer.h"

#include "widgets/colours.h"
#include "widgets/gradientbar.h"
#include "widgets/gradientprogressbar.h"
#include "widgets/lampbuttons.h"
#include "widgets/pictures.h"
#include "widgets/statusline.h"

#include <QComboBox>
#include <QCompleter>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace vantrel {

namespace {

using colours::Cream;
using colours::Green;
using colours::Lime;
using colours::Maroon;
using colours::Navy;

void SetBase(QWidget* widget, const QColor& colour)
{
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Base, colour);
    widget->setPalette(colours);
}

// A read-only field on cream, as every display field of the transfer windows.
QLineEdit* CreamField(const char* name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    SetBase(field, Cream);
    return field;
}

// A memo as high as a few lines: its own size hint would make the window tall.
void FewLines(QPlainTextEdit* memo, int lines)
{
    memo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    memo->setMinimumHeight(memo->fontMetrics().lineSpacing() * lines + 2 * memo->frameWidth() + 8);
}

QLabel* FieldLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QLabel* BoldLabel(const QString& text, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, colour);
    label->setPalette(colours);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* PictureLabel(Picture picture, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setPixmap(PictureIcon(picture).pixmap(32, 32));
    label->setFixedSize(32, 32);
    return label;
}

QPushButton* PanelButton(const char* name, const QString& text, Picture picture, QWidget* parent)
{
    auto* button = new QPushButton(PictureIcon(picture), text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// A bold headline between two pictures, as the end panels open.
QHBoxLayout* Headline(QLabel* text, Picture picture, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->addWidget(PictureLabel(picture, parent));
    row->addWidget(text, 1);
    row->addWidget(PictureLabel(picture, parent));
    return row;
}

QHBoxLayout* ButtonRow(QPushButton* left, QPushButton* right)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(left);
    row->addSpacing(16);
    row->addWidget(right);
    row->addStretch(1);
    return row;
}

QFrame* PanelFrame(const char* name)
{
    auto* panel = new QFrame;
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Raised);
    return panel;
}

} // namespace

void TSendForm::BuildTop()
{
    auto* top = PanelFrame("Panel1");
    m_top = top;
    auto* grid = new QGridLayout(top);

    auto* hide = new QToolButton(top);
    hide->setObjectName(QStringLiteral("SpeedButton2"));
    hide->setIcon(PictureIcon(Picture::Hide));
    hide->setAutoRaise(true);
    hide->setToolTip(tr("Hide this window"));
    hide->setFocusPolicy(Qt::NoFocus);
    connect(hide, &QToolButton::clicked, this, &QWidget::hide);

    m_path = CreamField("FEdit", top);
    m_pathLabel = FieldLabel(QString(), m_path, top);
    m_pathLabel->setObjectName(QStringLiteral("FEditLabel"));
    m_dirs = CreamField("LEdit1", top);
    m_files = CreamField("LEdit2", top);
    m_size = CreamField("LEdit3", top);

    grid->addWidget(m_pathLabel, 0, 0, 1, 2);
    grid->addWidget(hide, 0, 2, Qt::AlignRight);
    grid->addWidget(m_path, 1, 0, 1, 3);
    grid->addWidget(FieldLabel(tr("Total Directories"), m_dirs, top), 2, 0);
    grid->addWidget(FieldLabel(tr("Total Files"), m_files, top), 2, 1);
    grid->addWidget(FieldLabel(tr("Total Size"), m_size, top), 2, 2);
    grid->addWidget(m_dirs, 3, 0);
    grid->addWidget(m_files, 3, 1);
    grid->addWidget(m_size, 3, 2);
    for (int column = 0; column < 3; ++column)
        grid->setColumnStretch(column, 1);
}

QWidget* TSendForm::BuildRequestPanel()
{
    auto* panel = PanelFrame("Panel2");
    auto* grid = new QGridLayout(panel);
    const QString hostHint = tr("Enter Host or IP Address [:port]");

    m_direct = new QRadioButton(tr("Direct Send"), panel);
    m_direct->setObjectName(QStringLiteral("RBDirect"));
    m_direct->setChecked(true);

    m_host = new QComboBox(panel);
    m_host->setObjectName(QStringLiteral("HostCBox"));
    m_host->setEditable(true);
    m_host->setInsertPolicy(QComboBox::NoInsert);
    m_host->setToolTip(hostHint);
    m_host->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_host->setMinimumContentsLength(14);
    // The list drops down with the matching entries as one types.
    auto* completer = new QCompleter(m_host->model(), m_host);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_host->setCompleter(completer);

    m_hostMenu = new QMenu(m_host);
    m_hostMenu->setObjectName(QStringLiteral("HostMenu"));
    QAction* clearList = m_hostMenu->addAction(tr("Clear List"));
    clearList->setObjectName(QStringLiteral("ClearList"));
    m_hostMenu->setDefaultAction(clearList);
    connect(clearList, &QAction::triggered, this, &TSendForm::OnClearList);
    for (QWidget* target :
         {static_cast<QWidget*>(m_host), static_cast<QWidget*>(m_host->lineEdit())}) {
        target->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(target, &QWidget::customContextMenuRequested, this,
                [this, target](const QPoint& at) { m_hostMenu->popup(target->mapToGlobal(at)); });
    }

    m_tunnel = new QRadioButton(tr("Tunnel Send"), panel);
    m_tunnel->setObjectName(QStringLiteral("RBTunnel"));
    m_tunnel->setEnabled(false);

    m_tunnels = new QComboBox(panel);
    m_tunnels->setObjectName(QStringLiteral("TunCBox"));
    m_tunnels->setToolTip(hostHint);
    m_tunnels->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_tunnels->setMinimumContentsLength(14);
    m_tunnelMenu = new QMenu(m_tunnels);
    m_tunnelMenu->setObjectName(QStringLiteral("TunnelMenu"));
    QAction* refresh = m_tunnelMenu->addAction(tr("Refresh Active Tunnels"));
    refresh->setObjectName(QStringLiteral("RefreshActiveTunnels"));
    m_tunnelMenu->setDefaultAction(refresh);
    connect(refresh, &QAction::triggered, this, &TSendForm::RefreshTunnelChoices);
    m_tunnels->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tunnels, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_tunnelMenu->popup(m_tunnels->mapToGlobal(at)); });

    m_doZip = new LampCheckBox(QString(), panel);
    m_doZip->setObjectName(QStringLiteral("DoZip"));
    m_doZip->setLampColors(Qt::red, Lime);
    m_doZip->setToolTip(tr("Toggle Auto-Compression"));

    m_description = new QPlainTextEdit(panel);
    m_description->setObjectName(QStringLiteral("Memo1"));
    m_description->setTabChangesFocus(true);
    FewLines(m_description, 4);

    grid->addWidget(m_direct, 0, 0);
    grid->addWidget(m_host, 0, 1);
    grid->addWidget(m_tunnel, 1, 0);
    grid->addWidget(m_tunnels, 1, 1);
    grid->addWidget(m_doZip, 2, 0, 1, 2);
    grid->addWidget(FieldLabel(tr("Description"), m_description, panel), 3, 0, 1, 2);
    grid->addWidget(m_description, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    return panel;
}

QWidget* TSendForm::BuildProgressPanel()
{
    auto* panel = PanelFrame("Panel6");
    auto* grid = new QGridLayout(panel);

    m_operation = CreamField("Operation", panel);
    m_progress = new GradientProgressBar(panel);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_data = CreamField("DataT", panel);
    m_speed = CreamField("Speed", panel);
    m_timeLeft = CreamField("TLeft", panel);
    m_cipher = CreamField("SSLCiph", panel);
    m_compressionInfo = CreamField("AutoCompression", panel);

    auto* bandLimit = new QToolButton(panel);
    bandLimit->setObjectName(QStringLiteral("SpeedButton1"));
    bandLimit->setIcon(PictureIcon(Picture::BandLimit));
    bandLimit->setAutoRaise(true);
    bandLimit->setToolTip(tr("Band Usage Limitations"));
    connect(bandLimit, &QToolButton::clicked, this, &TSendForm::bandLimitRequested);
    auto* speedRow = new QHBoxLayout;
    speedRow->setContentsMargins(0, 0, 0, 0);
    speedRow->addWidget(m_speed, 1);
    speedRow->addWidget(bandLimit);

    grid->addWidget(FieldLabel(tr("Current Operation"), m_operation, panel), 0, 0);
    grid->addWidget(m_operation, 0, 1, 1, 3);
    grid->addWidget(m_progress, 1, 0, 1, 4);
    grid->addWidget(FieldLabel(tr("Data Transferred"), m_data, panel), 2, 0);
    grid->addWidget(m_data, 2, 1, 1, 3);
    grid->addWidget(FieldLabel(tr("Speed"), m_speed, panel), 3, 0);
    grid->addLayout(speedRow, 3, 1);
    grid->addWidget(FieldLabel(tr("Time Left"), m_timeLeft, panel), 3, 2);
    grid->addWidget(m_timeLeft, 3, 3);
    grid->addWidget(FieldLabel(tr("SSL Cipher"), m_cipher, panel), 4, 0);
    grid->addWidget(m_cipher, 4, 1, 1, 3);
    grid->addWidget(FieldLabel(tr("Compression Info"), m_compressionInfo, panel), 5, 0);
    grid->addWidget(m_compressionInfo, 5, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(6, 1);
    return panel;
}

QWidget* TSendForm::BuildCompletedPanel()
{
    auto* panel = PanelFrame("Panel7");
    auto* column = new QVBoxLayout(panel);

    m_banner = new GradientBar(tr("Upload Completed"), Green, Lime, panel);
    m_banner->setObjectName(QStringLiteral("UploadBanner"));
    m_banner->setIcon(PictureIcon(Picture::Completed));
    m_banner->setMinimumHeight(m_banner->sizeHint().height() + 12);
    m_endFxTimer.setObjectName(QStringLiteral("EndFXTimer"));
    m_endFxTimer.setInterval(400);
    connect(&m_endFxTimer, &QTimer::timeout, m_banner, &GradientBar::SwapColors);

    auto* again = PanelButton("BitBtn4", tr("Send Again"), Picture::SendAgain, panel);
    auto* done = PanelButton("BitBtn3", tr("Done"), Picture::Done, panel);
    connect(again, &QPushButton::clicked, this, &TSendForm::OnSendAgain);
    connect(done, &QPushButton::clicked, this, &TSendForm::OnDone);

    column->addStretch(1);
    column->addWidget(m_banner);
    column->addStretch(1);
    column->addLayout(ButtonRow(again, done));
    column->addStretch(1);
    return panel;
}

QWidget* TSendForm::BuildErrorPanel()
{
    auto* panel = PanelFrame("SErrPanel");
    auto* column = new QVBoxLayout(panel);

    auto* line = new QFrame(panel);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* again = PanelButton("BitBtn8", tr("Send Again"), Picture::SendAgain, panel);
    auto* abort = PanelButton("BitBtn9", tr("Abort"), Picture::Abort, panel);
    connect(again, &QPushButton::clicked, this, &TSendForm::OnSendAgain);
    connect(abort, &QPushButton::clicked, &m_transfer, &SendTransfer::Abort);

    column->addStretch(1);
    column->addLayout(Headline(BoldLabel(tr("A connection error has occurred!"), Maroon, panel),
                               Picture::Error, panel));
    column->addWidget(line);
    column->addWidget(BoldLabel(tr("What do you want to do?"), Navy, panel));
    column->addStretch(1);
    column->addLayout(ButtonRow(again, abort));
    column->addStretch(1);
    return panel;
}

QWidget* TSendForm::BuildRefusedPanel()
{
    auto* panel = PanelFrame("RejPanel");
    auto* column = new QVBoxLayout(panel);

    m_refusalLabel = BoldLabel(QString(), palette().color(QPalette::WindowText), panel);
    m_refusalLabel->setObjectName(QStringLiteral("Label4"));
    m_refusalComment = new QPlainTextEdit(panel);
    m_refusalComment->setObjectName(QStringLiteral("Memo2"));
    m_refusalComment->setReadOnly(true);
    m_refusalComment->setTabChangesFocus(true);
    SetBase(m_refusalComment, Cream);
    FewLines(m_refusalComment, 3);
    auto* again = PanelButton("BitBtn1", tr("Send Again"), Picture::SendAgain, panel);
    auto* abort = PanelButton("BitBtn5", tr("Abort"), Picture::Abort, panel);
    connect(again, &QPushButton::clicked, this, &TSendForm::OnSendAgain);
    connect(abort, &QPushButton::clicked, &m_transfer, &SendTransfer::Abort);

    column->addLayout(Headline(BoldLabel(tr("Other side refused your request"), Maroon, panel),
                               Picture::Refused, panel));
    column->addWidget(m_refusalLabel);
    column->addWidget(m_refusalComment, 1);
    column->addLayout(ButtonRow(again, abort));
    return panel;
}

QWidget* TSendForm::BuildTrustPanel()
{
    auto* panel = PanelFrame("TrustPanel");
    auto* column = new QVBoxLayout(panel);

    m_trustName = BoldLabel(QString(), Navy, panel);
    m_trustName->setObjectName(QStringLiteral("TrustName"));
    m_trustName->setWordWrap(true);
    m_trustName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_trustFingerprint = new QPlainTextEdit(panel);
    m_trustFingerprint->setObjectName(QStringLiteral("TrustFingerprint"));
    m_trustFingerprint->setReadOnly(true);
    m_trustFingerprint->setTabChangesFocus(true);
    m_trustFingerprint->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_trustFingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_trustFingerprint->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_trustFingerprint->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SetBase(m_trustFingerprint, Cream);
    FewLines(m_trustFingerprint, 2);
    m_trustFingerprint->setMinimumWidth(
        m_trustFingerprint->fontMetrics().horizontalAdvance(QString(40, QLatin1Char('0'))) +
        2 * m_trustFingerprint->frameWidth() + 12);
    m_trustText = new QLabel(panel);
    m_trustText->setObjectName(QStringLiteral("TrustText"));
    m_trustText->setWordWrap(true);
    // The window's size comes from its panels' size hints, which know nothing of wrapping.
    m_trustText->setMinimumHeight(m_trustText->fontMetrics().lineSpacing() * 5);
    m_trustButton = PanelButton("TrustButton", tr("Trust and send again"), Picture::Accept, panel);
    m_declineButton = PanelButton("DeclineButton", tr("Do not trust"), Picture::Abort, panel);
    connect(m_trustButton, &QPushButton::clicked, &m_transfer, &SendTransfer::TrustReceiver);
    connect(m_declineButton, &QPushButton::clicked, &m_transfer, &SendTransfer::DeclineTrust);

    column->addLayout(Headline(BoldLabel(tr("The receiver is not trusted"), Maroon, panel),
                               Picture::Error, panel));
    column->addWidget(m_trustName);
    column->addWidget(m_trustFingerprint);
    column->addWidget(m_trustText, 1);
    column->addLayout(ButtonRow(m_trustButton, m_declineButton));
    return panel;
}

void TSendForm::BuildBottom()
{
    m_sendButton = new QPushButton(PictureIcon(Picture::Send), tr("SEND"), this);
    m_sendButton->setObjectName(QStringLiteral("SendBtn"));
    m_sendButton->setDefault(true);
    m_abortButton = new QPushButton(PictureIcon(Picture::Abort), tr("Abort"), this);
    m_abortButton->setObjectName(QStringLiteral("BitBtn2"));
    connect(m_sendButton, &QPushButton::clicked, this, &TSendForm::OnSend);
    connect(m_abortButton, &QPushButton::clicked, &m_transfer, &SendTransfer::Abort);

    m_status = new StatusLine(this);
    m_status->setObjectName(QStringLiteral("StatusBar"));
}

} // namespace vantrel
