#pragma once

#include "widgets/userdialogs.h"

#include <QString>
#include <QUrl>

#include <deque>
#include <functional>
#include <vector>

namespace vantrel::test {

// UserDialogs for tests: every dialog answers from a script instead of a person, and every
// dialog shown and every address opened is recorded.
//
// Each kind of dialog takes the front of its queue; once the queue is empty it gives the
// default beside it. The defaults cancel the file and folder dialogs ("") and answer No.
class ScriptedDialogs : public UserDialogs
{
public:
    struct Shown
    {
        QString kind; // "save", "open", "folder", "message", "question"
        QString title;
        QString text; // the message or question; the start folder of "folder"
        QMessageBox::Icon icon = QMessageBox::NoIcon; // of "message"; Question for "question"
        QString proposed;                             // the proposed name of "save"
        QString filter;                               // of "save" and "open"
    };

    std::deque<QString> savePaths;
    QString savePath;
    std::deque<QString> openPaths;
    QString openPath;
    std::deque<QString> folders;
    QString folder;
    std::deque<bool> answers;
    bool answer = false;
    // Runs while a question is open, before it is answered.
    std::function<void()> whileAsking;

    std::vector<Shown> shown;
    std::vector<QUrl> opened;

    // The recorded dialogs of one kind, in the order they were shown.
    std::vector<Shown> ShownOf(const QString& kind) const
    {
        std::vector<Shown> result;
        for (const Shown& dialog : shown) {
            if (dialog.kind == kind)
                result.push_back(dialog);
        }
        return result;
    }

    QString SaveFileName(QWidget*, const QString& title, const QString& proposed,
                         const QString& filter) override
    {
        shown.push_back({QStringLiteral("save"), title, {}, QMessageBox::NoIcon, proposed, filter});
        return Next(savePaths, savePath);
    }
    QString OpenFileName(QWidget*, const QString& title, const QString& filter) override
    {
        shown.push_back({QStringLiteral("open"), title, {}, QMessageBox::NoIcon, {}, filter});
        return Next(openPaths, openPath);
    }
    QString ExistingDirectory(QWidget*, const QString& title, const QString& start) override
    {
        shown.push_back({QStringLiteral("folder"), title, start, QMessageBox::NoIcon, {}, {}});
        return Next(folders, folder);
    }
    void Message(QWidget*, QMessageBox::Icon icon, const QString& title,
                 const QString& text) override
    {
        shown.push_back({QStringLiteral("message"), title, text, icon, {}, {}});
    }
    bool Question(QWidget*, const QString& title, const QString& text) override
    {
        shown.push_back({QStringLiteral("question"), title, text, QMessageBox::Question, {}, {}});
        if (whileAsking)
            whileAsking();
        return Next(answers, answer);
    }
    void OpenUrl(const QUrl& url) override { opened.push_back(url); }

private:
    template <typename T> static T Next(std::deque<T>& queue, const T& otherwise)
    {
        if (queue.empty())
            return otherwise;
        T next = queue.front();
        queue.pop_front();
        return next;
    }
};

} // namespace vantrel::test
