#include "receive/spform.h"

namespace vantrel {

TSpeedForm::TSpeedForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSpeedForm"));
    setWindowTitle(tr("Band Usage Limitations"));
}

void TSpeedForm::Open(Target target)
{
    if (isVisible())
        close();
    m_target = std::move(target);
    OnShow();
    show();
}

void TSpeedForm::Detach()
{
    m_target = {};
    if (isVisible())
        close();
}

void TSpeedForm::OnShow() {}

void TSpeedForm::OnOk()
{
    close();
}

} // namespace vantrel
