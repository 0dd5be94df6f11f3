#include "ui/creditspage.h"

#include "widgets/dotmatrixdisplay.h"
#include "widgets/userdialogs.h"

#include <QVBoxLayout>

namespace vantrel {

CreditsPage::CreditsPage(const QString& versionText, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs)
{
    Q_UNUSED(versionText);
    auto* layout = new QVBoxLayout(this);
    m_display = new DotMatrixDisplay(this);
    layout->addWidget(m_display);
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

} // namespace vantrel
