#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

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

    // A recent-hosts entry as the Host field offers it: up to its first character that is not
    // an ASCII letter, a digit or ".".
    static QString HostPart(const QString& entry);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnShow();
    void Refresh();
    int SelectedRow() const;
    void OnSelectionChanged();
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void ShowMenu(const QPoint& pos);
    void DeleteSelected();
    void Browse();
    void AddRule();
    void ModifyRule();

    AutoReceiveRules& m_rules;
    std::function<QStringList()> m_recentHosts;
    UserDialogs& m_dialogs;
    QTreeWidget* m_list = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_delete = nullptr;
    QComboBox* m_host = nullptr;
    QLineEdit* m_saveDir = nullptr;
    QPushButton* m_browse = nullptr;
    QLineEdit* m_bandLimit = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_modify = nullptr;
    bool m_refreshing = false;
};

} // namespace vantrel
