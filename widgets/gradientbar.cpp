#include "widgets/gradientbar.h"

#include <QLinearGradient>
#include <QPainter>

namespace vantrel {

GradientBar::GradientBar(const QString& text, const QColor& from, const QColor& to, QWidget* parent)
    : QWidget(parent), m_text(text), m_from(from), m_to(to)
{
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void GradientBar::setText(const QString& text)
{
    m_text = text;
    updateGeometry();
    update();
}

void GradientBar::setColors(const QColor& from, const QColor& to)
{
    m_from = from;
    m_to = to;
    update();
}

void GradientBar::SwapColors()
{
    std::swap(m_from, m_to);
    update();
}

void GradientBar::setIcon(const QIcon& icon)
{
    m_icon = icon;
    update();
}

void GradientBar::setTextColor(const QColor& color)
{
    m_textColor = color;
    update();
}

QSize GradientBar::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int iconSpace = m_icon.isNull() ? 0 : 2 * (16 + 8);
    return {metrics.horizontalAdvance(m_text) + iconSpace + 16, std::max(17, metrics.height() + 4)};
}

QSize GradientBar::minimumSizeHint() const
{
    return sizeHint();
}

void GradientBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(rect().topLeft(), rect().topRight());
    gradient.setColorAt(0, m_from);
    gradient.setColorAt(1, m_to);
    painter.fillRect(rect(), gradient);
    if (!m_icon.isNull()) {
        const int side = std::min(16, height() - 2);
        const int top = (height() - side) / 2;
        m_icon.paint(&painter, QRect(4, top, side, side));
        m_icon.paint(&painter, QRect(width() - 4 - side, top, side, side));
    }
    painter.setPen(m_textColor);
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}

} // namespace vantrel
