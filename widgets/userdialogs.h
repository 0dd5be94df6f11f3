#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>

class QWidget;

namespace vantrel {

// The one place through which windows ask the user something or hand a file to the desktop:
// save and open dialogs, the folder chooser, message boxes and questions, opening a file,
// folder or address with its default application. The program uses QtUserDialogs; tests
// supply their own answers, so that windows are tested without a person.
class UserDialogs
{
public:
    virtual ~UserDialogs() = default;

    // A save dialog that asks before an existing name is chosen; "" when cancelled.
    // `proposed` is the proposed file name (or path); `filter` as for QFileDialog.
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& proposed,
                                 const QString& filter) = 0;
    // An open dialog for an existing file; "" when cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    // The folder chooser, starting at `start`; "" when cancelled.
    virtual QString ExistingDirectory(QWidget* parent, const QString& title,
                                      const QString& start) = 0;
    // A message box with an OK button.
    virtual void Message(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                         const QString& text) = 0;
    // A question with Yes and No buttons and the question icon; true for Yes.
    virtual bool Question(QWidget* parent, const QString& title, const QString& text) = 0;
    // The desktop's default handler for a file, a folder or a web address.
    virtual void OpenUrl(const QUrl& url) = 0;
};

// The real dialogs of Qt and the desktop.
class QtUserDialogs : public UserDialogs
{
public:
    QString SaveFileName(QWidget* parent, const QString& title, const QString& proposed,
                         const QString& filter) override;
    QString OpenFileName(QWidget* parent, const QString& title, const QString& filter) override;
    QString ExistingDirectory(QWidget* parent, const QString& title, const QString& start) override;
    void Message(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                 const QString& text) override;
    bool Question(QWidget* parent, const QString& title, const QString& text) override;
    void OpenUrl(const QUrl& url) override;
};

} // namespace vantrel
