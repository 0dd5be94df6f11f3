#pragma once

#include <QDialog>
#include <QTimer>

class QPushButton;

namespace vantrel {

class GradientProgressBar;

// "Vantrel Close Query": asked before the program closes. Left alone it answers "close"
// after 3 seconds (its bar fills in 60 ticks of 50 ms); "Minimize" (or Escape) keeps the
// program running.
class TCloseForm : public QDialog
{
    Q_OBJECT
public:
    enum class Answer
    {
        Close,
        Minimize
    };

    static constexpr int TickInterval = 50; // ms
    static constexpr int TicksToClose = 60;

    explicit TCloseForm(QWidget* parent = nullptr);

    // Shows the window modally and returns the answer.
    Answer Ask();
    Answer answer() const { return m_answer; }

    // The countdown's timer ("CloseTimer"), started whenever the window is shown.
    QTimer& closeTimer() { return m_closeTimer; }
    int ticks() const { return m_ticks; }
    // One tick of the countdown (a test can call it).
    void Tick();

    QPushButton* minimizeButton() const { return m_minimize; }
    QPushButton* closeButton() const { return m_close; }
    GradientProgressBar* bar() const { return m_bar; }

    // Escape, and any close that is not an answer, keep the program running.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Finish(Answer answer);

    QTimer m_closeTimer;
    int m_ticks = 0;
    Answer m_answer = Answer::Close;
    QPushButton* m_minimize = nullptr;
    QPushButton* m_close = nullptr;
    GradientProgressBar* m_bar = nullptr;
};

} // namespace vantrel
