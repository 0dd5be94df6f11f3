#include "widgets/scrollingnotice.h"

#include <QPainter>

namespace vantrel {

ScrollingNotice::ScrollingNotice(const QString& text, QWidget* parent)
    : QWidget(parent), m_text(text)
{
    m_timer.setInterval(StepInterval);
    connect(&m_timer, &QTimer::timeout, this, &ScrollingNotice::Step);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ScrollingNotice::setScrolling(bool on)
{
    if (on)
        m_timer.start();
    else
        m_timer.stop();
}

void ScrollingNotice::Step()
{
    --m_offset;
    if (m_offset + fontMetrics().horizontalAdvance(m_text) < 0)
        m_offset = width();
    update();
}

QSize ScrollingNotice::sizeHint() const
{
    return {601, fontMetrics().height() + 4};
}

QSize ScrollingNotice::minimumSizeHint() const
{
    return {50, fontMetrics().height() + 4};
}

void ScrollingNotice::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(m_offset, 0, fontMetrics().horizontalAdvance(m_text) + 2, height()),
                     Qt::AlignVCenter | Qt::AlignLeft, m_text);
}

} // namespace vantrel
