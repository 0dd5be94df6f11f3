#include "ui/trustedcomputerswindow.h"

#include "core/installation.h"
#include "net/certificates.h"
#include "net/trustlist.h"
#include "widgets/pictures.h"
#include "widgets/userdialogs.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrel {

namespace {

enum Column
{
    NameColumn,
    FingerprintColumn,
    SinceColumn,
};

// The row's fingerprint, colon-separated, as TrustList keys it.
constexpr int FingerprintRole = Qt::UserRole;
constexpr int OwnRole = Qt::UserRole + 1;

} // namespace

TrustedComputersWindow::TrustedComputersWindow(ProgramFolder folder, UserDialogs& dialogs,
                                               QWidget* parent)
    : QDialog(parent), m_folder(std::move(folder)), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TrustedComputersWindow"));
    setWindowTitle(tr("Trusted Computers"));

    auto* intro = new QLabel(tr("Files are sent only to computers whose authority is trusted "
                                "here. Each has its SHA-256 fingerprint; compare it with the "
                                "one the other computer shows on its Options page."),
                             this);
    intro->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("TrustedList"));
    m_list->setHeaderLabels({tr("Name"), tr("SHA-256 fingerprint"), tr("Trusted since")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setWordWrap(true);
    // The name takes what the fingerprint and the date leave.
    QHeaderView* header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(FingerprintColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(SinceColumn, QHeaderView::ResizeToContents);
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_list->setMinimumSize(fixed.horizontalAdvance(QString(40, QLatin1Char('0'))) +
                               fontMetrics().horizontalAdvance(TrustList::UnrecordedText()) +
                               fontMetrics().horizontalAdvance(QString(36, QLatin1Char('n'))),
                           fontMetrics().lineSpacing() * 10);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            &TrustedComputersWindow::OnSelectionChanged);

    auto* import = new QPushButton(PictureIcon(Picture::OpenFile), tr("Import..."), this);
    import->setObjectName(QStringLiteral("ImportBtn"));
    import->setAutoDefault(false);
    m_remove = new QPushButton(PictureIcon(Picture::Abort), tr("Remove"), this);
    m_remove->setObjectName(QStringLiteral("RemoveBtn"));
    m_remove->setAutoDefault(false);
    m_remove->setEnabled(false);
    auto* close = new QPushButton(PictureIcon(Picture::Close), tr("Close"), this);
    close->setObjectName(QStringLiteral("CloseBtn"));
    connect(import, &QPushButton::clicked, this, &TrustedComputersWindow::OnImport);
    connect(m_remove, &QPushButton::clicked, this, &TrustedComputersWindow::OnRemove);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(import);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* column = new QVBoxLayout(this);
    column->addWidget(intro);
    column->addWidget(m_list, 1);
    column->addLayout(buttons);
    Refresh();
}

void TrustedComputersWindow::showEvent(QShowEvent* event)
{
    Refresh(); // the list may have changed from a send window or the command line
    QDialog::showEvent(event);
}

void TrustedComputersWindow::Refresh()
{
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_list->clear();
    for (const TrustList::Entry& entry : TrustList(m_folder).Entries()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(NameColumn,
                      entry.own ? tr("%1 (this computer)").arg(entry.subject) : entry.subject);
        item->setText(FingerprintColumn, certificates::ReadableFingerprint(entry.certificatePem));
        item->setFont(FingerprintColumn, fixed);
        item->setText(SinceColumn,
                      entry.since.isValid()
                          ? QLocale().toString(entry.since.toLocalTime(), QLocale::ShortFormat)
                          : TrustList::UnrecordedText());
        item->setData(NameColumn, FingerprintRole, entry.fingerprint);
        item->setData(NameColumn, OwnRole, entry.own);
    }
    OnSelectionChanged();
}

void TrustedComputersWindow::OnSelectionChanged()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    const bool selected = item && item->isSelected();
    const bool own = selected && item->data(NameColumn, OwnRole).toBool();
    m_remove->setEnabled(selected && !own);
    m_remove->setToolTip(own ? tr("This computer's own authority cannot be removed: without "
                                  "it, this computer could not send to itself or to copies "
                                  "sharing its authority.")
                             : QString());
}

void TrustedComputersWindow::OnRemove()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item || item->data(NameColumn, OwnRole).toBool())
        return;
    const QString fingerprint = item->data(NameColumn, FingerprintRole).toString();
    if (!m_dialogs.Question(this, tr("Remove Trusted Computer"),
                            tr("Stop trusting %1?\n\nFiles can then no longer be sent to the "
                               "computers of this authority until it is trusted again.")
                                .arg(item->text(NameColumn))))
        return;
    if (TrustList(m_folder).Remove(fingerprint) == TrustList::RemoveResult::WriteFailed)
        m_dialogs.Message(this, QMessageBox::Warning, tr("Remove Trusted Computer"),
                          tr("The list of trusted computers could not be written; nothing was "
                             "changed."));
    Refresh();
}

void TrustedComputersWindow::OnImport()
{
    const QString file = m_dialogs.OpenFileName(this, tr("Import an Authority Certificate"),
                                                tr("Certificates (*.pem *.crt);;All files (*)"));
    if (file.isEmpty())
        return;
    const installation::Result result = installation::TrustAuthority(m_folder, file);
    m_dialogs.Message(this, result.ok ? QMessageBox::Information : QMessageBox::Warning,
                      tr("Import an Authority Certificate"), result.message);
    Refresh();
}

} // namespace vantrel
