#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>

class QAction;
class QMenu;
class QTreeWidget;

namespace vantrel {

class ResumeCache;
class UserDialogs;

// "Cached Compressed Resumes": the list of partial archives kept for a later resume, with
// deletion of one or all of them. Exists for the whole run; only shown and hidden.
class TResForm : public QDialog
{
    Q_OBJECT
public:
    TResForm(ResumeCache& cache, UserDialogs& dialogs, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Refresh();
    std::optional<std::uint32_t> SelectedId() const;
    void ShowMenu(const QPoint& pos);
    void DeleteSelected();
    void DeleteAll();

    ResumeCache& m_cache;
    UserDialogs& m_dialogs;
    QTreeWidget* m_list = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_deleteOne = nullptr;
    QAction* m_deleteAll = nullptr;
};

} // namespace vantrel
