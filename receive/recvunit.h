#pragma once

#include <QDialog>

namespace vantrel {

class ReceiveTransfer;
class UserDialogs;

// "New File Receive Request from ...": the window of one incoming transfer. It renders its
// ReceiveTransfer's view and calls its operations; it holds no transfer logic. Destroyed by
// its owner when the transfer closes.
class TRecForm : public QDialog
{
    Q_OBJECT
public:
    TRecForm(ReceiveTransfer& transfer, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~TRecForm() override;

    ReceiveTransfer& transfer() const { return m_transfer; }

signals:
    // The band-limit button: the main window points its band-limit dialog at this transfer.
    void bandLimitRequested();

private:
    ReceiveTransfer& m_transfer;
    UserDialogs& m_dialogs;
};

} // namespace vantrel
