#pragma once

#include "widgets/userdialogs.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace vantrel::test {

// UserDialogs that answers from a script and records what it was asked.
class ScriptedDialogs : public UserDialogs
{
public:
    struct Asked
    {
        QString kind; // "message", "question", "directory"
        QString title;
        QString text; // the message or question; the start folder for "directory"
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };

    std::deque<bool> questionAnswers; // an exhausted script answers No
    QString directoryAnswer;
    std::function<void()> whileAsking; // runs while a question is open, before its answer
    std::vector<Asked> asked;

    QString SaveFileName(QWidget*, const QString& title, const QString& proposed,
                         const QString&) override
    {
        asked.push_back({QStringLiteral("save"), title, proposed});
        return {};
    }
    QString OpenFileName(QWidget*, const QString& title, const QString&) override
    {
        asked.push_back({QStringLiteral("open"), title, {}});
        return {};
    }
    QString ExistingDirectory(QWidget*, const QString& title, const QString& start) override
    {
        asked.push_back({QStringLiteral("directory"), title, start});
        return directoryAnswer;
    }
    void Message(QWidget*, QMessageBox::Icon icon, const QString& title,
                 const QString& text) override
    {
        asked.push_back({QStringLiteral("message"), title, text, icon});
    }
    bool Question(QWidget*, const QString& title, const QString& text) override
    {
        asked.push_back({QStringLiteral("question"), title, text, QMessageBox::Question});
        if (whileAsking)
            whileAsking();
        if (questionAnswers.empty())
            return false;
        const bool answer = questionAnswers.front();
        questionAnswers.pop_front();
        return answer;
    }
    void OpenUrl(const QUrl&) override {}
};

} // namespace vantrel::test
