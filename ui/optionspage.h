#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPoint;
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

    // The rows of the local list, in the order given.
    void ShowLocalAddresses(const QStringList& addresses);
    // The Internet list's single row: an address, or NoInternetAddress.
    void ShowInternetAddress(const QString& text);
    static QString NoInternetAddress();
    // This computer's authority fingerprint, in its readable form, beside "Trusted Computers".
    void ShowOwnFingerprint(const QString& readable);

    // The lists' context menus as they would open now ("Copy Address in Clipboard" shown
    // only for a row worth copying).
    QMenu* PrepareLocalMenu();
    QMenu* PrepareInternetMenu();

signals:
    // The NickName field changed Settings::nickName (what threads read must follow).
    void nickNameEdited();
    void policiesRequested();
    void autoReceivesRequested();
    void dynDnsRequested();
    void resumesRequested();
    void manualRequested();
    void trustedComputersRequested();
    // "Refresh Address List" and "Re-get Internet Address".
    void localAddressesRefreshRequested();
    void internetAddressRequested();

private:
    QWidget* BuildSettingsRow();
    QWidget* BuildButtons();
    QWidget* BuildTrustRow();
    QWidget* BuildAddressLists();
    QMenu* BuildAddressMenu(QListWidget* list, const QString& name, const QString& command);
    void CopySelectedAddress(QListWidget* list);

    Settings& m_settings;
    ScrollingNotice* m_notice = nullptr;
    QLabel* m_ownFingerprint = nullptr;
    QListWidget* m_localAddresses = nullptr;
    QListWidget* m_internetAddresses = nullptr;
    QMenu* m_localMenu = nullptr;
    QMenu* m_internetMenu = nullptr;
};

} // namespace vantrel
