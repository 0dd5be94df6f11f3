#pragma once

#include <QDialog>

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

private:
    ResumeCache& m_cache;
    UserDialogs& m_dialogs;
};

} // namespace vantrel
