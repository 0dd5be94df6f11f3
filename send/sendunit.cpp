#include "send/sendunit.h"

#include "send/sendtransfer.h"
#include "widgets/userdialogs.h"

namespace vantrel {

TSendForm::TSendForm(SendTransfer& transfer, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_transfer(transfer), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TSendForm"));
}

TSendForm::~TSendForm() = default;

void TSendForm::SetTunnelChoices(std::function<QStringList()> choices)
{
    m_tunnelChoices = std::move(choices);
}

} // namespace vantrel
