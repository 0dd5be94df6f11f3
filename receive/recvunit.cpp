#include "receive/recvunit.h"

#include "receive/receivetransfer.h"
#include "widgets/colours.h"
#include "widgets/gradientbar.h"
#include "widgets/gradientprogressbar.h"
#include "widgets/pictures.h"
#include "widgets/statusline.h"
#include "widgets/userdialogs.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <climits>

namespace vantrel {

namespace {

using colours::Aqua;
using colours::Cream;
using colours::Maroon;
using colours::Navy;

void MakeCream(QWidget* field)
{
    QPalette colours = field->palette();
    colours.setColor(QPalette::Base, Cream);
    field->setPalette(colours);
}

QLineEdit* ReadOnlyField(const QString& name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    MakeCream(field);
    return field;
}

QLabel* BoldLabel(const QString& text, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, colour);
    label->setPalette(colours);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

QPushButton* Button(const QString& name, const QString& text, Picture picture, QWidget* parent)
{
    auto* button = new QPushButton(PictureIcon(picture), text, parent);
    button->setObjectName(name);
    return button;
}

QLabel* PictureLabel(Picture picture, int size, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setPixmap(PictureIcon(picture).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

void SetText(QLineEdit* field, const QString& text)
{
    if (field->text() != text) {
        field->setText(text);
        field->setCursorPosition(0); // the start of a long path stays in sight
    }
}

StatusLine::Kind KindOf(ReceiveView::StatusKind kind)
{
    switch (kind) {
    case ReceiveView::StatusKind::Failure:
        return StatusLine::Kind::Failure;
    case ReceiveView::StatusKind::Done:
        return StatusLine::Kind::Done;
    case ReceiveView::StatusKind::Work:
        break;
    }
    return StatusLine::Kind::Work;
}

} // namespace

TRecForm::TRecForm(ReceiveTransfer& transfer, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_transfer(transfer), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TRecForm"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    BuildTop(layout);

    auto* middle = new QVBoxLayout;
    middle->setSpacing(4);
    m_resumePanel = BuildResumePanel();
    m_description = BuildDescription();
    m_progressPanel = BuildProgressPanel();
    m_interruptionPanel = BuildInterruptionPanel();
    m_completionPanel = BuildCompletionPanel();
    for (QWidget* area :
         {m_resumePanel, m_description, m_progressPanel, m_interruptionPanel, m_completionPanel})
        middle->addWidget(area);
    layout->addLayout(middle, 1);

    auto* buttons = new QHBoxLayout;
    m_acceptButton = Button(QStringLiteral("BitBtn1"), tr("Accept"), Picture::Accept, this);
    m_abortButton = Button(QStringLiteral("BitBtn2"), tr("Abort"), Picture::Abort, this);
    buttons->addStretch();
    buttons->addWidget(m_acceptButton);
    buttons->addWidget(m_abortButton);
    buttons->addStretch();
    layout->addLayout(buttons);

    m_status = new StatusLine(this);
    m_status->setObjectName(QStringLiteral("StatusLine"));
    layout->addWidget(m_status);

    m_endFxTimer = new QTimer(this);
    m_endFxTimer->setObjectName(QStringLiteral("EndFXTimer"));
    m_endFxTimer->setInterval(400);

    connect(m_acceptButton, &QPushButton::clicked, this, &TRecForm::OnAccept);
    connect(m_abortButton, &QPushButton::clicked, this, &TRecForm::OnAbort);
    connect(m_hideButton, &QToolButton::clicked, this, &QWidget::hide);
    connect(m_bandLimitButton, &QToolButton::clicked, this, &TRecForm::bandLimitRequested);
    connect(m_resumeButton, &QPushButton::clicked, this, [this] { m_transfer.Resume(); });
    connect(m_overwriteButton, &QPushButton::clicked, this, [this] { m_transfer.Overwrite(); });
    connect(m_saveForLaterButton, &QPushButton::clicked, this,
            [this] { m_transfer.SaveForLaterResume(); });
    connect(m_deleteDataButton, &QPushButton::clicked, this, [this] { m_transfer.DeleteData(); });
    connect(m_doneButton, &QPushButton::clicked, this, [this] { m_transfer.Close(); });
    connect(m_openButton, &QPushButton::clicked, this, &TRecForm::OnOpen);
    connect(m_openParentButton, &QPushButton::clicked, this, &TRecForm::OnOpenParent);
    connect(m_endFxTimer, &QTimer::timeout, this, &TRecForm::OnBlink);

    connect(&m_transfer, &ReceiveTransfer::viewChanged, this, &TRecForm::Render);
    connect(&m_transfer, &ReceiveTransfer::bringToFront, this, &TRecForm::OnBringToFront);
    connect(&m_transfer, &ReceiveTransfer::scatter, this, &TRecForm::OnScatter);
    connect(&m_transfer, &ReceiveTransfer::messageBox, this, &TRecForm::OnMessageBox);

    m_memo2->setPlainText(m_transfer.view().abortReason);
    Render();
    resize(QSize(417, 385).expandedTo(minimumSizeHint()));
    // Centred before any showing, so that a scatter that comes first still moves it.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TRecForm::~TRecForm() = default;

void TRecForm::BuildTop(QVBoxLayout* layout)
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    m_host = ReadOnlyField(QStringLiteral("Host"), this);
    m_nick = ReadOnlyField(QStringLiteral("Nick"), this);
    m_hideButton = new QToolButton(this);
    m_hideButton->setObjectName(QStringLiteral("SpeedButton2"));
    m_hideButton->setAutoRaise(true);
    m_hideButton->setIcon(PictureIcon(Picture::Hide));
    m_hideButton->setToolTip(tr("Hide this window"));
    m_hideButton->setFocusPolicy(Qt::NoFocus);

    auto* peer = new QHBoxLayout;
    peer->addWidget(m_host, 3);
    peer->addWidget(new QLabel(tr("NickName"), this));
    peer->addWidget(m_nick, 2);
    peer->addWidget(m_hideButton);
    grid->addWidget(new QLabel(tr("Host"), this), 0, 0);
    grid->addLayout(peer, 0, 1);

    m_nameLabel = new QLabel(tr("File"), this);
    m_name = ReadOnlyField(QStringLiteral("FEdit"), this);
    grid->addWidget(m_nameLabel, 1, 0);
    grid->addWidget(m_name, 1, 1);

    m_dirCount = ReadOnlyField(QStringLiteral("LEdit1"), this);
    m_fileCount = ReadOnlyField(QStringLiteral("LEdit2"), this);
    m_totalSize = ReadOnlyField(QStringLiteral("LEdit3"), this);
    auto* counts = new QGridLayout;
    counts->setHorizontalSpacing(6);
    counts->setVerticalSpacing(1);
    const QString labels[] = {tr("Total Directories"), tr("Total Files"), tr("Total Size")};
    QLineEdit* fields[] = {m_dirCount, m_fileCount, m_totalSize};
    for (int i = 0; i < 3; ++i) {
        counts->addWidget(new QLabel(labels[i], this), 0, i);
        counts->addWidget(fields[i], 1, i);
        counts->setColumnStretch(i, 1);
    }
    grid->addLayout(counts, 2, 0, 1, 2);
    layout->addLayout(grid);
}

QWidget* TRecForm::BuildDescription()
{
    auto* area = new QWidget(this);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_memo1 = new QPlainTextEdit(area);
    m_memo1->setObjectName(QStringLiteral("Memo1"));
    m_memo1->setReadOnly(true);
    m_memo1->setTabChangesFocus(true);
    MakeCream(m_memo1);
    m_memo2 = new QPlainTextEdit(area);
    m_memo2->setObjectName(QStringLiteral("Memo2"));
    m_memo2->setTabChangesFocus(true);
    layout->addWidget(new QLabel(tr("Description"), area));
    layout->addWidget(m_memo1, 1);
    layout->addWidget(new QLabel(tr("Abort Reason"), area));
    layout->addWidget(m_memo2, 1);
    m_memo1->setMinimumHeight(m_memo1->fontMetrics().lineSpacing() * 3);
    m_memo2->setMinimumHeight(m_memo2->fontMetrics().lineSpacing() * 2);
    return area;
}

QWidget* TRecForm::BuildProgressPanel()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel6"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(panel);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    m_operation = ReadOnlyField(QStringLiteral("Operation"), panel);
    m_progressBar = new GradientProgressBar(panel);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setTextVisible(false);
    m_dataTransferred = ReadOnlyField(QStringLiteral("DataT"), panel);
    m_speed = ReadOnlyField(QStringLiteral("Speed"), panel);
    m_bandLimitButton = new QToolButton(panel);
    m_bandLimitButton->setObjectName(QStringLiteral("SpeedButton1"));
    m_bandLimitButton->setIcon(PictureIcon(Picture::BandLimit));
    m_bandLimitButton->setToolTip(tr("Band Usage Limitations"));
    m_timeLeft = ReadOnlyField(QStringLiteral("TLeft"), panel);
    m_cipher = ReadOnlyField(QStringLiteral("SSLCiph"), panel);
    m_compression = ReadOnlyField(QStringLiteral("AutoCompression"), panel);

    grid->addWidget(new QLabel(tr("Current Operation"), panel), 0, 0);
    grid->addWidget(m_operation, 0, 1, 1, 3);
    grid->addWidget(m_progressBar, 1, 0, 1, 4);
    grid->addWidget(new QLabel(tr("Data Transferred"), panel), 2, 0);
    grid->addWidget(m_dataTransferred, 2, 1, 1, 3);
    grid->addWidget(new QLabel(tr("Speed"), panel), 3, 0);
    auto* speed = new QHBoxLayout;
    speed->addWidget(m_speed, 1);
    speed->addWidget(m_bandLimitButton);
    grid->addLayout(speed, 3, 1);
    grid->addWidget(new QLabel(tr("Time Left"), panel), 3, 2);
    grid->addWidget(m_timeLeft, 3, 3);
    grid->addWidget(new QLabel(tr("SSL Cipher"), panel), 4, 0);
    grid->addWidget(m_cipher, 4, 1, 1, 3);
    grid->addWidget(new QLabel(tr("Compression Info"), panel), 5, 0);
    grid->addWidget(m_compression, 5, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(6, 1);
    return panel;
}

QWidget* TRecForm::BuildResumePanel()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("ResPanel"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(panel);
    auto* banner = new GradientBar(tr("What do you want to do?"), Navy, Qt::blue, panel);
    banner->setTextColor(Qt::white);
    banner->setIcon(PictureIcon(Picture::Question));
    layout->addWidget(banner);
    auto* buttons = new QHBoxLayout;
    m_resumeButton = Button(QStringLiteral("ResumeBtn"), tr("Resume"), Picture::Resume, panel);
    m_overwriteButton =
        Button(QStringLiteral("OverwriteBtn"), tr("Overwrite"), Picture::Overwrite, panel);
    buttons->addWidget(m_resumeButton);
    buttons->addStretch();
    buttons->addWidget(m_overwriteButton);
    layout->addLayout(buttons);
    return panel;
}

QWidget* TRecForm::BuildInterruptionPanel()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("ResQPanel"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(panel);
    layout->addStretch();

    auto* top = new QHBoxLayout;
    m_leftPicture = PictureLabel(Picture::Error, 32, panel);
    m_rightPicture = PictureLabel(Picture::Error, 32, panel);
    m_interruptionText = BoldLabel(QString(), Maroon, panel);
    m_interruptionText->setObjectName(QStringLiteral("ResQLabel"));
    top->addWidget(m_leftPicture);
    top->addWidget(m_interruptionText, 1);
    top->addWidget(m_rightPicture);
    layout->addLayout(top);

    auto* line = new GradientBar(QString(), Navy, Aqua, panel);
    line->setFixedHeight(3);
    layout->addWidget(line);
    layout->addWidget(BoldLabel(tr("What do you want to do?"), Navy, panel));

    auto* buttons = new QHBoxLayout;
    m_saveForLaterButton = Button(QStringLiteral("SaveLaterBtn"), tr("Save for later Resume"),
                                  Picture::SaveForLater, panel);
    m_deleteDataButton =
        Button(QStringLiteral("DeleteDataBtn"), tr("Delete Data"), Picture::DeleteData, panel);
    buttons->addWidget(m_saveForLaterButton);
    buttons->addStretch();
    buttons->addWidget(m_deleteDataButton);
    layout->addLayout(buttons);
    layout->addStretch();
    return panel;
}

QWidget* TRecForm::BuildCompletionPanel()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel7"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(panel);
    layout->addStretch();
    m_completionBanner = new GradientBar(tr("Download Completed"), Qt::blue, Aqua, panel);
    m_completionBanner->setObjectName(QStringLiteral("EndBanner"));
    m_completionBanner->setTextColor(Qt::white);
    m_completionBanner->setIcon(PictureIcon(Picture::Completed));
    layout->addWidget(m_completionBanner);

    auto* buttons = new QHBoxLayout;
    m_openParentButton =
        Button(QStringLiteral("OpenParentBtn"), tr("Open Parent Dir"), Picture::OpenFolder, panel);
    m_openButton = Button(QStringLiteral("OpenBtn"), tr("Open File"), Picture::OpenFile, panel);
    m_doneButton = Button(QStringLiteral("DoneBtn"), tr("Done"), Picture::Done, panel);
    buttons->addWidget(m_openParentButton);
    buttons->addWidget(m_openButton);
    buttons->addStretch();
    buttons->addWidget(m_doneButton);
    layout->addLayout(buttons);
    layout->addStretch();
    return panel;
}

void TRecForm::Render()
{
    const ReceiveView& view = m_transfer.view();
    setWindowTitle(view.caption);
    SetText(m_host, view.host);
    SetText(m_nick, view.nickName);
    m_nameLabel->setText(view.nameLabel);
    SetText(m_name, view.name);
    SetText(m_dirCount, view.dirCount);
    SetText(m_fileCount, view.fileCount);
    SetText(m_totalSize, view.totalSize);
    if (m_memo1->toPlainText() != view.description)
        m_memo1->setPlainText(view.description);

    m_status->setStatus(tr("Status: ") + view.statusText, KindOf(view.statusKind));
    m_acceptButton->setEnabled(view.acceptEnabled);
    m_abortButton->setEnabled(view.abortEnabled);

    RenderPanels(view);
    RenderProgress(view);

    if (view.bannerBlinking && !m_endFxTimer->isActive())
        m_endFxTimer->start();
    else if (!view.bannerBlinking)
        m_endFxTimer->stop();

    if (!m_focusApplied || view.focus != m_lastFocus || view.panel != m_lastPanel)
        ApplyFocus(view.focus);
    m_lastPanel = view.panel;
}

void TRecForm::RenderPanels(const ReceiveView& view)
{
    using Panel = ReceiveView::Panel;
    const auto place = [](QWidget* panel, bool shown) {
        panel->setVisible(shown);
        panel->setEnabled(shown);
    };
    place(m_description, view.panel == Panel::None || view.panel == Panel::ResumeQuestion);
    place(m_resumePanel, view.panel == Panel::ResumeQuestion);
    place(m_progressPanel, view.panel == Panel::Progress);
    place(m_interruptionPanel, view.panel == Panel::Interruption);
    place(m_completionPanel, view.panel == Panel::Completion);

    m_interruptionText->setText(view.interruptionText);
    const Picture picture = view.abortedPictures ? Picture::Aborted : Picture::Error;
    m_leftPicture->setPixmap(PictureIcon(picture).pixmap(32, 32));
    m_rightPicture->setPixmap(PictureIcon(picture).pixmap(32, 32));
    m_openButton->setText(view.openButtonText);
    m_openButton->setIcon(
        PictureIcon(m_transfer.isFile() ? Picture::OpenFile : Picture::OpenFolder));
}

void TRecForm::RenderProgress(const ReceiveView& view)
{
    SetText(m_operation, view.operation);
    SetText(m_dataTransferred, view.dataTransferred);
    SetText(m_speed, view.speed);
    SetText(m_timeLeft, view.timeLeft);
    SetText(m_cipher, view.cipher);
    m_cipher->setToolTip(view.cipher); // longer than the field
    SetText(m_compression, view.compression);
    m_compression->setToolTip(view.compressionHint);

    // The bar counts in int: a stream beyond its range is shown in ten-thousandths.
    std::uint32_t maximum = view.progressMaximum;
    std::uint32_t position = std::min(view.progressPosition, maximum);
    if (maximum > static_cast<std::uint32_t>(INT_MAX)) {
        position = static_cast<std::uint32_t>(std::uint64_t(position) * 10000 / maximum);
        maximum = 10000;
    }
    m_progressBar->setRange(0, static_cast<int>(maximum));
    m_progressBar->setValue(static_cast<int>(position));
    if (view.progressStyle == ReceiveView::ProgressStyle::Decompressing)
        m_progressBar->setGradient(Maroon, Qt::red);
    else
        m_progressBar->setGradient(Navy, Qt::blue);
}

QPushButton* TRecForm::FocusButton(ReceiveView::Focus focus) const
{
    switch (focus) {
    case ReceiveView::Focus::Resume:
        return m_resumeButton;
    case ReceiveView::Focus::SaveForLaterResume:
        return m_saveForLaterButton;
    case ReceiveView::Focus::Done:
        return m_doneButton;
    case ReceiveView::Focus::Accept:
        break;
    }
    return m_acceptButton;
}

void TRecForm::ApplyFocus(ReceiveView::Focus focus)
{
    m_focusApplied = true;
    m_lastFocus = focus;
    QPushButton* target = FocusButton(focus);
    for (QPushButton* button : {m_acceptButton, m_resumeButton, m_saveForLaterButton, m_doneButton})
        button->setDefault(button == target);
    if (target->isEnabled() && target->isVisibleTo(this))
        target->setFocus();
}

void TRecForm::OnAccept()
{
    if (!m_transfer.view().acceptEnabled)
        return;
    const bool file = m_transfer.isFile();
    const QString path =
        file ? m_dialogs.SaveFileName(this, tr("Save file as"), m_transfer.proposedName(),
                                      tr("All Files (*)"))
             : m_dialogs.SaveFileName(this, tr("Save directory as"), m_transfer.proposedName(),
                                      tr("Directory (*.)"));
    m_transfer.Accept(path); // an empty path (cancelled) changes nothing
}

void TRecForm::OnAbort()
{
    m_transfer.Abort(m_memo2->toPlainText().toUtf8());
}

void TRecForm::OnOpen()
{
    m_dialogs.OpenUrl(QUrl::fromLocalFile(m_transfer.targetPath()));
    m_transfer.Close();
}

void TRecForm::OnOpenParent()
{
    m_dialogs.OpenUrl(QUrl::fromLocalFile(QFileInfo(m_transfer.targetPath()).absolutePath()));
    m_transfer.Close();
}

void TRecForm::OnBringToFront()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TRecForm::OnScatter()
{
    const int shift = static_cast<int>(QRandomGenerator::global()->generate() % 301) - 150;
    move(x() + shift, y());
}

void TRecForm::OnMessageBox(const QString& text, const QString& title)
{
    // Every box of the transfer reports a failure that ends it.
    m_dialogs.Message(this, QMessageBox::Critical, title, text);
}

void TRecForm::OnBlink()
{
    m_completionBanner->SwapColors();
}

void TRecForm::reject() {}

void TRecForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window created hidden renders what happened meanwhile; focus follows the view.
    m_focusApplied = false;
    Render();
    m_transfer.Present();
}

void TRecForm::closeEvent(QCloseEvent* event)
{
    // The window manager's close is refused; the program's own close() hides the window
    // without the dialog's reject().
    if (event->spontaneous())
        event->ignore();
    else
        event->accept();
}

} // namespace vantrel
