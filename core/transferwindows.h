#pragma once

#include <QObject>

#include <map>
#include <memory>

class QDialog;
class QWidget;

namespace vantrel {

class ReceiveTransfer;
class SendTransfer;
class TransferHub;
class TSpeedForm;
class UserDialogs;

// The window of every live transfer: a receive window (TRecForm) shown as soon as the hub
// opens its transfer, a send window (TSendForm) shown, raised and focused; each destroyed when
// the hub retires its transfer. Each window's band-limit button points the one band-limit
// dialog at its transfer, which lets go again whenever any transfer closes. The windows are
// top-level windows of their own, beside the main window rather than inside it.
class TransferWindows : public QObject
{
    Q_OBJECT
public:
    TransferWindows(TransferHub& hub, UserDialogs& dialogs, TSpeedForm& bandLimit,
                    QObject* parent = nullptr);
    ~TransferWindows() override; // the windows go before the transfers they show

    // The window of a live transfer, or null.
    QDialog* WindowOf(QObject* transfer) const;
    int count() const { return static_cast<int>(m_windows.size()); }

    // Every transfer window shown: DOWNLOADS top to bottom, then UPLOADS.
    void ShowAll();

private:
    void OpenReceive(ReceiveTransfer* transfer);
    void OpenSend(SendTransfer* transfer);
    void Close(QObject* transfer);

    TransferHub& m_hub;
    UserDialogs& m_dialogs;
    TSpeedForm& m_bandLimit;
    std::map<QObject*, std::unique_ptr<QDialog>> m_windows;
};

} // namespace vantrel
