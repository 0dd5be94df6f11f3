#include "ui/closeunit.h"

#include "widgets/gradientprogressbar.h"
#include "widgets/pictures.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace vantrel {

namespace {

QPushButton* AnswerButton(const QString& text, Picture picture, QWidget* parent)
{
    auto* button = new QPushButton(PictureIcon(picture), text, parent);
    button->setMinimumSize(165, 33);
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

TCloseForm::TCloseForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TCloseForm"));
    setWindowTitle(tr("Vantrel Close Query"));
    // A tool window with a caption but no title-bar buttons: it is answered by its own two.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowIcon(PictureIcon(Picture::Program));

    auto* icon = new QLabel(this);
    icon->setPixmap(PictureIcon(Picture::Question).pixmap(32, 32));
    auto* question = new QLabel(tr("Do you really want to close Vantrel?"), this);
    question->setObjectName(QStringLiteral("QuestionLabel"));
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);

    m_minimize = AnswerButton(tr("Minimize"), Picture::Minimize, this);
    m_minimize->setObjectName(QStringLiteral("MinimizeBtn"));
    m_close = AnswerButton(tr("&Close"), Picture::Close, this);
    m_close->setObjectName(QStringLiteral("CloseBtn"));
    m_close->setDefault(true);
    m_bar = new GradientProgressBar(this);
    m_bar->setObjectName(QStringLiteral("CloseBar"));
    m_bar->setRange(0, 100);
    m_bar->setGradient(Qt::yellow, Qt::red);
    m_bar->setFixedHeight(12);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(question, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_minimize);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(m_bar);
    resize(394, 104);

    m_closeTimer.setObjectName(QStringLiteral("CloseTimer"));
    m_closeTimer.setInterval(TickInterval);
    connect(&m_closeTimer, &QTimer::timeout, this, &TCloseForm::Tick);
    connect(m_close, &QPushButton::clicked, this, [this] { Finish(Answer::Close); });
    connect(m_minimize, &QPushButton::clicked, this, [this] { Finish(Answer::Minimize); });
}

TCloseForm::Answer TCloseForm::Ask()
{
    m_answer = Answer::Close;
    exec();
    return m_answer;
}

void TCloseForm::Tick()
{
    ++m_ticks;
    m_bar->setValue(m_ticks * 100 / TicksToClose);
    if (m_ticks >= TicksToClose)
        Finish(Answer::Close);
}

void TCloseForm::reject()
{
    Finish(Answer::Minimize);
}

void TCloseForm::Finish(Answer answer)
{
    m_closeTimer.stop();
    m_answer = answer;
    done(answer == Answer::Close ? Accepted : Rejected);
}

void TCloseForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    m_ticks = 0;
    m_bar->setValue(0);
    m_answer = Answer::Close;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_close->setFocus();
    m_closeTimer.start();
}

void TCloseForm::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        m_closeTimer.stop();
    QDialog::hideEvent(event);
}

} // namespace vantrel
