#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

namespace vantrel {

class AutoReceiveRules;
class UserDialogs;

// "Auto Receives Configuration": the auto-receive rules with their check boxes, and the
// fields that add and modify them. Exists for the whole run; only shown and hidden.
class TARecForm : public QDialog
{
    Q_OBJECT
public:
    // `recentHosts` gives the recent-hosts entries ("host:port (nick)") in store order,
    // read each time the window opens.
    TARecForm(AutoReceiveRules& rules, std::function<QStringList()> recentHosts,
              UserDialogs& dialogs, QWidget* parent = nullptr);

private:
    AutoReceiveRules& m_rules;
    std::function<QStringList()> m_recentHosts;
    UserDialogs& m_dialogs;
};

} // namespace vantrel
