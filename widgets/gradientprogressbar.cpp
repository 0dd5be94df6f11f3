#include "widgets/gradientprogressbar.h"

#include <QLinearGradient>
#include <QPainter>

namespace vantrel {

GradientProgressBar::GradientProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
}

void GradientProgressBar::setGradient(const QColor& from, const QColor& to)
{
    m_from = from;
    m_to = to;
    update();
}

void GradientProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(frame, palette().base());
    const qint64 span = qint64(maximum()) - minimum();
    const double share = span > 0 ? double(qint64(value()) - minimum()) / double(span) : 0.0;
    const int filled = int(std::clamp(share, 0.0, 1.0) * (frame.width() - 1));
    if (filled > 0) {
        QLinearGradient gradient(frame.topLeft(), frame.topRight());
        gradient.setColorAt(0, m_from);
        gradient.setColorAt(1, m_to);
        painter.fillRect(QRect(frame.left() + 1, frame.top() + 1, filled, frame.height() - 1),
                         gradient);
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
}

} // namespace vantrel
