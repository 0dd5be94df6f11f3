#pragma once

#include <QWidget>

namespace vantrel {

struct Settings;

// "Options": the general settings (edited in place in the running copy's Settings, written
// when the program closes and in force from the next start), the buttons that open the tool
// windows and the manual, the scrolling restart notice, and the address lists.
class OptionsPage : public QWidget
{
    Q_OBJECT
public:
    explicit OptionsPage(Settings& settings, QWidget* parent = nullptr);

signals:
    void policiesRequested();
    void autoReceivesRequested();
    void dynDnsRequested();
    void resumesRequested();
    void manualRequested();

private:
    Settings& m_settings;
};

} // namespace vantrel
