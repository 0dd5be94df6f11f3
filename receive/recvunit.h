#pragma once

#include "receive/receiveview.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace vantrel {

class GradientBar;
class GradientProgressBar;
class ReceiveTransfer;
class StatusLine;
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

    // The window has no close box: Escape leaves it open.
    void reject() override;

signals:
    // The band-limit button: the main window points its band-limit dialog at this transfer.
    void bandLimitRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildTop(QVBoxLayout* layout);
    QWidget* BuildDescription();
    QWidget* BuildProgressPanel();
    QWidget* BuildResumePanel();
    QWidget* BuildInterruptionPanel();
    QWidget* BuildCompletionPanel();

    void Render();
    void RenderPanels(const ReceiveView& view);
    void RenderProgress(const ReceiveView& view);
    void ApplyFocus(ReceiveView::Focus focus);
    QPushButton* FocusButton(ReceiveView::Focus focus) const;

    void OnAccept();
    void OnAbort();
    void OnOpen();
    void OnOpenParent();
    void OnBringToFront();
    void OnScatter();
    void OnMessageBox(const QString& text, const QString& title);
    void OnBlink();

    ReceiveTransfer& m_transfer;
    UserDialogs& m_dialogs;

    QLineEdit* m_host = nullptr;
    QLineEdit* m_nick = nullptr;
    QToolButton* m_hideButton = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_dirCount = nullptr;
    QLineEdit* m_fileCount = nullptr;
    QLineEdit* m_totalSize = nullptr;

    QWidget* m_description = nullptr;
    QPlainTextEdit* m_memo1 = nullptr;
    QPlainTextEdit* m_memo2 = nullptr;

    QWidget* m_progressPanel = nullptr;
    QLineEdit* m_operation = nullptr;
    GradientProgressBar* m_progressBar = nullptr;
    QLineEdit* m_dataTransferred = nullptr;
    QLineEdit* m_speed = nullptr;
    QToolButton* m_bandLimitButton = nullptr;
    QLineEdit* m_timeLeft = nullptr;
    QLineEdit* m_cipher = nullptr;
    QLineEdit* m_compression = nullptr;

    QWidget* m_resumePanel = nullptr;
    QPushButton* m_resumeButton = nullptr;
    QPushButton* m_overwriteButton = nullptr;

    QWidget* m_interruptionPanel = nullptr;
    QLabel* m_interruptionText = nullptr;
    QLabel* m_leftPicture = nullptr;
    QLabel* m_rightPicture = nullptr;
    QPushButton* m_saveForLaterButton = nullptr;
    QPushButton* m_deleteDataButton = nullptr;

    QWidget* m_completionPanel = nullptr;
    GradientBar* m_completionBanner = nullptr;
    QPushButton* m_openParentButton = nullptr;
    QPushButton* m_openButton = nullptr;
    QPushButton* m_doneButton = nullptr;

    QPushButton* m_acceptButton = nullptr;
    QPushButton* m_abortButton = nullptr;
    StatusLine* m_status = nullptr;
    QTimer* m_endFxTimer = nullptr;

    // Focus moves only when the view asks for another control, so that a progress update
    // does not take the caret out of the abort reason.
    bool m_focusApplied = false;
    ReceiveView::Focus m_lastFocus = ReceiveView::Focus::Accept;
    ReceiveView::Panel m_lastPanel = ReceiveView::Panel::None;
};

} // namespace vantrel
