#pragma once

#include <QDialog>
#include <QTimer>

namespace vantrel {

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

    explicit TCloseForm(QWidget* parent = nullptr);

    // Shows the window modally and returns the answer.
    Answer Ask();
    Answer answer() const { return m_answer; }

private:
    Answer m_answer = Answer::Close;
};

} // namespace vantrel
