#pragma once

#include <QDialog>

class QAction;
class QButtonGroup;
class QMenu;
class QTableWidget;
class QTableWidgetItem;

namespace vantrel {

class IncomingPolicy;

// "Incoming Connections Policies": the mode and host list of the incoming policy. Every
// change takes effect at once; "OK" only hides the window, which exists for the whole run.
class TTPolForm : public QDialog
{
    Q_OBJECT
public:
    explicit TTPolForm(IncomingPolicy& policy, QWidget* parent = nullptr);

    // There is nothing to cancel: Escape leaves the window open, as "OK" is its only way out.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refresh();
    void ShowMenu(const QPoint& pos);
    void AddHost();
    void DeleteHost();
    void OnItemChanged(QTableWidgetItem* item);
    void AppendRow(const QString& text);

    IncomingPolicy& m_policy;
    QButtonGroup* m_modes = nullptr;
    QTableWidget* m_list = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_add = nullptr;
    QAction* m_delete = nullptr;
    bool m_sized = false;
};

} // namespace vantrel
