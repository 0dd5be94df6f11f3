#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace vantrel {

class LampCheckBox;
class ScrollingNotice;
struct Settings;

// "Options": the general settings (edited in place in the running copy's Settings, written
// when the program closes and in force from the next start), the buttons that open the tool
// windows and the manual, the scrolling restart notice, and the address lists.
class OptionsPage : public QWidget
{
    Q_OBJECT
public:
    explicit OptionsPage(Settings& settings, QWidget* parent = nullptr);

    // The address lists ("LIPList", "IIPList"), filled by the address discovery.
    QListWidget* localAddresses() const { return m_localAddresses; }
    QListWidget* internetAddresses() const { return m_internetAddresses; }

    ScrollingNotice* notice() const { return m_notice; }

signals:
    void policiesRequested();
    void autoReceivesRequested();
    void dynDnsRequested();
    void resumesRequested();
    void manualRequested();

private:
    QWidget* BuildSettingsRow();
    QWidget* BuildButtons();
    QWidget* BuildAddressLists();

    Settings& m_settings;
    ScrollingNotice* m_notice = nullptr;
    QListWidget* m_localAddresses = nullptr;
    QListWidget* m_internetAddresses = nullptr;
};

} // namespace vantrel
