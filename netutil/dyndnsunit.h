#pragma once

#include <QWidget>

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace vantrel {

class DynDnsBook;
class DynDnsRefresher;
class GradientProgressBar;

// "Dynamic DNS Address Book": the book's names with their last addresses, edited in place,
// the refresh period and the pass's progress. Edits take effect in the book at once; the
// window exists for the whole run and closing it only hides it.
class TDynDNS : public QWidget
{
    Q_OBJECT
public:
    TDynDNS(DynDnsBook& book, DynDnsRefresher& refresher, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The rows from the book; an open edit of a host survives when the rows stay the same.
    void ShowBook();
    void ShowPass();
    void ShowMenu(const QPoint& pos);
    void AddHost();
    void DeleteHost();
    void OnItemChanged(QTableWidgetItem* item);

    DynDnsBook& m_book;
    DynDnsRefresher& m_refresher;
    QTableWidget* m_list = nullptr;
    GradientProgressBar* m_progress = nullptr;
    QLineEdit* m_minutes = nullptr;
    QPushButton* m_refresh = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_add = nullptr;
    QAction* m_delete = nullptr;
};

} // namespace vantrel
