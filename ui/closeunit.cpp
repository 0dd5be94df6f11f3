#include "ui/closeunit.h"

namespace vantrel {

TCloseForm::TCloseForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TCloseForm"));
    setWindowTitle(tr("Vantrel Close Query"));
}

TCloseForm::Answer TCloseForm::Ask()
{
    m_answer = Answer::Close;
    exec();
    return m_answer;
}

} // namespace vantrel
