#pragma once

#include <QApplication>

#include <functional>

// The program's application object: an exception that escapes an event handler is shown (in
// the standard critical message box, or on standard error without a display) and the program
// then ends, instead of unwinding through the event loop.
class VantrelApplication : public QApplication
{
public:
    VantrelApplication(int& argc, char** argv);

    // How an escaped exception is shown: its message, empty for a thrown non-exception.
    void SetShowException(std::function<void(const QString&)> show);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void Fail(const QString& message);

    std::function<void(const QString&)> m_showException;
    bool m_failed = false;
};
