#include "receive/recvunit.h"

#include "receive/receivetransfer.h"
#include "widgets/userdialogs.h"

namespace vantrel {

TRecForm::TRecForm(ReceiveTransfer& transfer, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_transfer(transfer), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TRecForm"));
}

TRecForm::~TRecForm() = default;

} // namespace vantrel
