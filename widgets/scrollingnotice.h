#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

namespace vantrel {

// A one-line text that scrolls from right to left, one pixel per tick of its own timer
// (30 ms), and starts again from the right once it has left the window.
class ScrollingNotice : public QWidget
{
    Q_OBJECT
public:
    static constexpr int StepInterval = 30; // ms

    explicit ScrollingNotice(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    bool isScrolling() const { return m_timer.isActive(); }
    void setScrolling(bool on);
    // Where the text starts, in pixels from the left edge.
    int offset() const { return m_offset; }
    // One step: the text moves one pixel to the left (a test can call it).
    void Step();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    int m_offset = 0;
    QTimer m_timer;
};

} // namespace vantrel
