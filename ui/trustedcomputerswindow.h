#pragma once

#include "core/base/programfolder.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;

namespace vantrel {

class UserDialogs;

// "Trusted Computers": the authorities this profile trusts for outgoing connections, with
// their names, fingerprints and since when. Removes one after a confirmation (never the
// profile's own) and imports an authority file as "vantrel --trust" does. A view over
// TrustList, which owns the list and its dates.
class TrustedComputersWindow : public QDialog
{
    Q_OBJECT
public:
    TrustedComputersWindow(ProgramFolder folder, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Reads the list again.
    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnSelectionChanged();
    void OnRemove();
    void OnImport();

    ProgramFolder m_folder;
    UserDialogs& m_dialogs;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_remove = nullptr;
};

} // namespace vantrel
