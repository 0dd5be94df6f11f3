#include "receive/arecunit.h"

#include "receive/autoreceiverules.h"
#include "widgets/userdialogs.h"

namespace vantrel {

TARecForm::TARecForm(AutoReceiveRules& rules, std::function<QStringList()> recentHosts,
                     UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_rules(rules), m_recentHosts(std::move(recentHosts)), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TARecForm"));
    setWindowTitle(tr("Auto Receives Configuration"));
}

} // namespace vantrel
