#include "widgets/userdialogs.h"

#include <QDesktopServices>
#include <QFileDialog>

namespace vantrel {

QString QtUserDialogs::SaveFileName(QWidget* parent, const QString& title, const QString& proposed,
                                    const QString& filter)
{
    // Qt's own dialog, so that the name field has the focus when it opens, and the working
    // directory is never changed by it.
    QFileDialog dialog(parent, title, proposed, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QString QtUserDialogs::OpenFileName(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString QtUserDialogs::ExistingDirectory(QWidget* parent, const QString& title,
                                         const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, title, start);
}

void QtUserDialogs::Message(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                            const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtUserDialogs::Question(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void QtUserDialogs::OpenUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

} // namespace vantrel
