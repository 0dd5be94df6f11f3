#include "tunnel/tpolunit.h"

#include "tunnel/incomingpolicy.h"

namespace vantrel {

TTPolForm::TTPolForm(IncomingPolicy& policy, QWidget* parent) : QDialog(parent), m_policy(policy)
{
    setObjectName(QStringLiteral("TTPolForm"));
    setWindowTitle(tr("Incoming Connections Policies"));
}

} // namespace vantrel
