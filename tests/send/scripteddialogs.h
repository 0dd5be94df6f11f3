#pragma once

#include "widgets/userdialogs.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vantrel::test {

// UserDialogs without a person: records every message and question and answers questions
// with `answer`; the file dialogs return what they are given.
class ScriptedDialogs final : public UserDialogs
{
public:
    struct Shown
    {
        QString title;
        QString text;
    };

    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return savePath;
    }
    QString OpenFileName(QWidget*, const QString&, const QString&) override { return openPath; }
    QString ExistingDirectory(QWidget*, const QString&, const QString&) override
    {
        return directory;
    }
    void Message(QWidget*, QMessageBox::Icon, const QString& title, const QString& text) override
    {
        messages.push_back({title, text});
    }
    bool Question(QWidget*, const QString& title, const QString& text) override
    {
        questions.push_back({title, text});
        return answer;
    }
    void OpenUrl(const QUrl& url) override { opened.push_back(url.toString()); }

    bool answer = false;
    QString savePath;
    QString openPath;
    QString directory;
    std::vector<Shown> messages;
    std::vector<Shown> questions;
    QStringList opened;
};

} // namespace vantrel::test
