#pragma once

#include "widgets/userdialogs.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <vector>

namespace vantrel::test {

// UserDialogs for tests: every dialog answers from a script instead of a person, and every
// question, message and opened address is recorded. An empty script cancels (dialogs) or
// answers No (questions).
class ScriptedDialogs : public UserDialogs
{
public:
    struct Shown
    {
        QString kind; // "save", "open", "folder", "message", "question"
        QString title;
        QString text; // the message, question, proposed name or start folder
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };

    std::deque<QString> paths;  // answers of save, open and folder dialogs
    std::deque<bool> answers;   // answers of questions
    std::vector<Shown> shown;
    std::vector<QUrl> opened;

    QString SaveFileName(QWidget*, const QString& title, const QString& proposed,
                         const QString&) override
    {
        shown.push_back({QStringLiteral("save"), title, proposed});
        return Next();
    }
    QString OpenFileName(QWidget*, const QString& title, const QString&) override
    {
        shown.push_back({QStringLiteral("open"), title, QString()});
        return Next();
    }
    QString ExistingDirectory(QWidget*, const QString& title, const QString& start) override
    {
        shown.push_back({QStringLiteral("folder"), title, start});
        return Next();
    }
    void Message(QWidget*, QMessageBox::Icon icon, const QString& title,
                 const QString& text) override
    {
        shown.push_back({QStringLiteral("message"), title, text, icon});
    }
    bool Question(QWidget*, const QString& title, const QString& text) override
    {
        shown.push_back({QStringLiteral("question"), title, text, QMessageBox::Question});
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void OpenUrl(const QUrl& url) override { opened.push_back(url); }

private:
    QString Next()
    {
        if (paths.empty())
            return {};
        QString path = paths.front();
        paths.pop_front();
        return path;
    }
};

} // namespace vantrel::test
