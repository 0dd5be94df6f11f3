#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace vantrel {

// A dot-matrix display of 46 character columns by 12 rows (lit dots lime, unlit green, a
// raised outer and a lowered inner bevel) on which lines of text scroll from bottom to top,
// one row of dots per tick of its own timer, round and round.
class DotMatrixDisplay : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Columns = 46;
    static constexpr int Rows = 12;
    static constexpr int CellWidth = 5;     // dots per character
    static constexpr int CellHeight = 8;    // dots per text row
    static constexpr int StepInterval = 80; // ms

    explicit DotMatrixDisplay(QWidget* parent = nullptr);

    void setLines(const QStringList& lines);
    const QStringList& lines() const { return m_lines; }
    void setRunning(bool on);
    bool isRunning() const { return m_timer.isActive(); }
    // Rows of dots the text has moved up since it started below the display.
    int position() const { return m_position; }
    // One step up (a test can call it).
    void Step();
    // Whether the dot at (x, y) of the display is lit now (x < Columns * CellWidth,
    // y < Rows * CellHeight).
    bool IsLit(int x, int y) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Render() const;

    QStringList m_lines;
    int m_position = 0;
    QTimer m_timer;
    mutable QImage m_frame; // the lit dots of the current position
    mutable bool m_frameValid = false;
};

} // namespace vantrel
