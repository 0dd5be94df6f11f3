#include "ui/creditspage.h"

#include "widgets/dotmatrixdisplay.h"
#include "widgets/pictures.h"
#include "widgets/userdialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace vantrel {

CreditsPage::CreditsPage(const QString& versionText, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("CreditsPage"));
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(PictureIcon(Picture::Program).pixmap(32, 32));
    icon->setFixedSize(32, 32);

    m_version = new QLabel(versionText, this);
    m_version->setObjectName(QStringLiteral("VersionLabel"));
    QFont big = m_version->font();
    big.setBold(true);
    big.setPointSize(18);
    m_version->setFont(big);

    m_link = new QLabel(MakerAddress.toString(), this);
    m_link->setObjectName(QStringLiteral("LinkLabel"));
    QFont underlined = m_link->font();
    underlined.setUnderline(true);
    m_link->setFont(underlined);
    QPalette blue = m_link->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    m_link->setPalette(blue);
    m_link->setCursor(Qt::PointingHandCursor);
    m_link->setAlignment(Qt::AlignCenter);
    m_link->installEventFilter(this);

    m_display = new DotMatrixDisplay(this);
    m_display->setObjectName(QStringLiteral("CreditsDisplay"));
    m_display->setLines(CreditLines());

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(8);
    top->addWidget(m_version);
    top->addWidget(m_link, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_display, 1, Qt::AlignCenter);
}

QStringList CreditsPage::CreditLines()
{
    return {
        QStringLiteral("VANTREL"),
        QStringLiteral("sends files and folders"),
        QStringLiteral("from one computer to another:"),
        QStringLiteral("a file transfer program"),
        QString(),
        QStringLiteral("Written by"),
        QStringLiteral("The Vantrel developers"),
        QString(),
        QStringLiteral("Built with"),
        QStringLiteral("Qt - the windows and the events"),
        QStringLiteral("OpenSSL - the encrypted channel"),
        QStringLiteral("libarchive - the zip archives"),
        QString(),
        QStringLiteral("On the web"),
        QStringLiteral("https://vantrel.example/"),
        QString(),
        QStringLiteral("Special features"),
        QStringLiteral("* Auto-Compression"),
        QStringLiteral("* TLS Encryption"),
        QStringLiteral("* Receive Tunnelling"),
        QStringLiteral("* Resume of broken transfers"),
        QStringLiteral("* Auto-Receive rules"),
        QStringLiteral("* Band limits per transfer"),
        QStringLiteral("* Incoming connection policies"),
        QString(),
        QStringLiteral("Thanks to"),
        QStringLiteral("everyone who tested it,"),
        QStringLiteral("reported a fault"),
        QStringLiteral("or suggested a feature,"),
        QStringLiteral("and to the people behind"),
        QStringLiteral("Qt, OpenSSL and libarchive."),
        QString(),
        QStringLiteral("Vantrel is at home"),
        QStringLiteral("on your desktop and in your tray."),
        QString(),
        QStringLiteral("Thank you for using it!"),
        QString(),
        QString(),
        QStringLiteral("* * *"),
    };
}

void CreditsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_display->setRunning(true);
}

void CreditsPage::hideEvent(QHideEvent* event)
{
    m_display->setRunning(false);
    QWidget::hideEvent(event);
}

bool CreditsPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_link && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        m_link->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        m_dialogs.OpenUrl(MakerAddress);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vantrel
