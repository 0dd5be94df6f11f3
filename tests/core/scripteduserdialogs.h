#pragma once

#include "widgets/userdialogs.h"

#include <QStringList>

#include <deque>
#include <vector>

namespace vantrel::test {

// UserDialogs that answer from a script and record what was asked: a test says what the user
// would choose, and checks titles and filters afterwards. An unscripted dialog is cancelled;
// an unscripted question answered No.
class ScriptedUserDialogs : public UserDialogs
{
public:
    struct Asked
    {
        QString kind; // "save", "open", "folder", "message", "question"
        QString title;
        QString detail; // filter, start folder or message text
    };

    std::deque<QString> savePaths;
    std::deque<QString> openPaths;
    std::deque<QString> folders;
    std::deque<bool> answers;
    std::vector<Asked> asked;
    std::vector<QUrl> opened;

    QString SaveFileName(QWidget*, const QString& title, const QString&,
                         const QString& filter) override
    {
        asked.push_back({QStringLiteral("save"), title, filter});
        return Next(savePaths);
    }
    QString OpenFileName(QWidget*, const QString& title, const QString& filter) override
    {
        asked.push_back({QStringLiteral("open"), title, filter});
        return Next(openPaths);
    }
    QString ExistingDirectory(QWidget*, const QString& title, const QString& start) override
    {
        asked.push_back({QStringLiteral("folder"), title, start});
        return Next(folders);
    }
    void Message(QWidget*, QMessageBox::Icon, const QString& title, const QString& text) override
    {
        asked.push_back({QStringLiteral("message"), title, text});
    }
    bool Question(QWidget*, const QString& title, const QString& text) override
    {
        asked.push_back({QStringLiteral("question"), title, text});
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void OpenUrl(const QUrl& url) override { opened.push_back(url); }

private:
    static QString Next(std::deque<QString>& queue)
    {
        if (queue.empty())
            return {};
        QString next = queue.front();
        queue.pop_front();
        return next;
    }
};

} // namespace vantrel::test
