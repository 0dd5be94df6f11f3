#pragma once

#include <QColor>
#include <QProgressBar>

namespace vantrel {

// A smooth progress bar whose filled part is a horizontal gradient (maroon to red while
// compressing, green to lime while sending, yellow to red in the close confirmation).
class GradientProgressBar : public QProgressBar
{
    Q_OBJECT
public:
    explicit GradientProgressBar(QWidget* parent = nullptr);

    void setGradient(const QColor& from, const QColor& to);
    QColor fromColor() const { return m_from; }
    QColor toColor() const { return m_to; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_from = QColor(0x80, 0, 0);
    QColor m_to = Qt::red;
};

} // namespace vantrel
