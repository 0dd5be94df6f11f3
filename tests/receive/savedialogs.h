#pragma once

#include "widgets/userdialogs.h"

#include <QStringList>
#include <QUrl>

#include <vector>

namespace vantrel::test {

// Answers a window's questions from a script and records what the window asked.
class ScriptedSaveDialogs : public UserDialogs
{
public:
    struct SaveCall
    {
        QString title;
        QString proposed;
        QString filter;
    };
    struct MessageCall
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    QString savePath; // the answer of every save dialog; "" = cancelled
    std::vector<SaveCall> saves;
    std::vector<MessageCall> messages;
    std::vector<QUrl> opened;

    QString SaveFileName(QWidget*, const QString& title, const QString& proposed,
                         const QString& filter) override
    {
        saves.push_back({title, proposed, filter});
        return savePath;
    }
    QString OpenFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString ExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
    void Message(QWidget*, QMessageBox::Icon icon, const QString& title,
                 const QString& text) override
    {
        messages.push_back({icon, title, text});
    }
    bool Question(QWidget*, const QString&, const QString&) override { return false; }
    void OpenUrl(const QUrl& url) override { opened.push_back(url); }
};

} // namespace vantrel::test
