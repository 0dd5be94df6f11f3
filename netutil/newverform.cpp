#include "netutil/newverform.h"

#include "netutil/featurespage.h"
#include "widgets/colours.h"
#include "widgets/pictures.h"
#include "widgets/userdialogs.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace vantrel {

namespace {

// A page view that never reaches for anything the page names (images, style sheets, local
// files): only the fetched text is shown.
class PageView : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

QLabel* BoldLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

TNewVerQuery::TNewVerQuery(UserDialogs& dialogs, FeaturesPage& page, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_dialogs(dialogs),
      m_features(page)
{
    setObjectName(QStringLiteral("NewVerQuery"));
    setWindowTitle(tr("New Version Dectected"));
    setModal(true);

    auto* headline = BoldLabel(tr("A new version of Vantrel is now available!"), this);
    QPalette palette = headline->palette();
    palette.setColor(QPalette::WindowText, colours::Green);
    headline->setPalette(palette);

    auto* icon = new QLabel(this);
    icon->setPixmap(PictureIcon(Picture::Program).pixmap(32, 32));
    m_versionLabel = new QLabel(this);
    m_versionLabel->setObjectName(QStringLiteral("VersionLabel"));
    QFont large = m_versionLabel->font();
    large.setPointSizeF(large.pointSizeF() * 2);
    large.setBold(true);
    m_versionLabel->setFont(large);
    auto* versionRow = new QHBoxLayout;
    versionRow->addStretch(1);
    versionRow->addWidget(icon);
    versionRow->addWidget(m_versionLabel);
    versionRow->addStretch(1);

    m_page = new PageView(this);
    m_page->setObjectName(QStringLiteral("WebBrowser"));
    m_page->setOpenLinks(false);
    m_page->setMinimumSize(337, 177);

    // The user sees where the download comes from before choosing it.
    m_address = new QLabel(this);
    m_address->setObjectName(QStringLiteral("DownloadAddress"));
    m_address->setTextFormat(Qt::PlainText);
    m_address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_address->setWordWrap(true);
    m_address->setAlignment(Qt::AlignCenter);

    auto* question = BoldLabel(tr("Do you want to download it now?"), this);
    auto* yes = new QPushButton(tr("YES"), this);
    yes->setObjectName(QStringLiteral("YesBtn"));
    m_yes = yes;
    auto* no = new QPushButton(tr("NO"), this);
    no->setObjectName(QStringLiteral("NoBtn"));
    no->setDefault(true);
    connect(yes, &QPushButton::clicked, this, &TNewVerQuery::OnYes);
    connect(no, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yes);
    buttons->addWidget(no);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headline);
    layout->addLayout(versionRow);
    layout->addWidget(m_page, 1);
    layout->addWidget(m_address);
    layout->addWidget(question);
    layout->addLayout(buttons);
    resize(364, 318);

    connect(&m_features, &FeaturesPage::loaded, m_page, &QTextBrowser::setHtml);
    connect(&m_features, &FeaturesPage::failed, m_page, &QTextBrowser::clear);
}

void TNewVerQuery::ShowNewVersion(double version, const QString& downloadUrl,
                                  const QString& featuresUrl)
{
    m_version = version;
    m_downloadUrl = downloadUrl;
    m_featuresUrl = featuresUrl;
    m_versionLabel->setText(QStringLiteral("Vantrel v") + QString::number(version, 'f', 2));
    m_address->setText(tr("Download from: %1").arg(downloadUrl));
    // Only a web address is handed to the desktop: a server reply never starts anything else.
    const QString scheme = QUrl(downloadUrl).scheme();
    m_yes->setEnabled(scheme == QLatin1String("http") || scheme == QLatin1String("https"));
    if (isVisible())
        hide(); // shown again below, so the page is fetched for the new address
    show();
    raise();
    activateWindow();
}

void TNewVerQuery::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_page->clear();
    if (m_featuresUrl.isEmpty())
        m_features.Stop();
    else
        m_features.Load(m_featuresUrl);
}

void TNewVerQuery::hideEvent(QHideEvent* event)
{
    m_features.Stop();
    QDialog::hideEvent(event);
}

void TNewVerQuery::OnYes()
{
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_dialogs.OpenUrl(QUrl(m_downloadUrl));
    QApplication::restoreOverrideCursor();
    accept();
}

} // namespace vantrel
