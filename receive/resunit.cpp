#include "receive/resunit.h"

#include "receive/resumecache.h"
#include "widgets/userdialogs.h"

namespace vantrel {

TResForm::TResForm(ResumeCache& cache, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_cache(cache), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TResForm"));
    setWindowTitle(tr("Cached Compressed Resumes"));
}

} // namespace vantrel
