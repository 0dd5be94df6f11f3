#include "widgets/lampbuttons.h"

#include <QPainter>
#include <QRadialGradient>

namespace vantrel {

namespace {

constexpr int LampSide = 13;
constexpr int Gap = 5;

// A round lamp with a highlight: full colour when lit, a dark shade of it when not.
void PaintLamp(QPainter& painter, const QRect& area, const QColor& color, bool lit, bool enabled)
{
    QColor core = lit ? color : color.darker(300);
    if (!enabled)
        core = QColor::fromHsv(core.hsvHue(), core.hsvSaturation() / 3, core.value());
    QRadialGradient gradient(area.center() - QPointF(area.width() / 5.0, area.height() / 5.0),
                             area.width() * 0.7);
    gradient.setColorAt(0, lit ? core.lighter(170) : core.lighter(130));
    gradient.setColorAt(1, core);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    painter.setBrush(gradient);
    painter.drawEllipse(area);
}

template <typename Button> void PaintLampButton(Button& button, const QColor& color, bool lit)
{
    QPainter painter(&button);
    const int top = (button.height() - LampSide) / 2;
    PaintLamp(painter, QRect(1, top, LampSide - 1, LampSide - 1), color, lit, button.isEnabled());
    painter.setPen(button.palette().color(
        button.isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect textArea = button.rect().adjusted(LampSide + Gap, 0, 0, 0);
    painter.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic,
                     button.text());
    if (button.hasFocus()) {
        painter.setPen(QPen(button.palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(button.rect().adjusted(0, 0, -1, -1));
    }
}

QSize LampSize(const QWidget& button, const QString& text)
{
    const QFontMetrics metrics(button.font());
    return {LampSide + Gap + metrics.horizontalAdvance(text) + 4,
            std::max(LampSide + 4, metrics.height() + 4)};
}

} // namespace

LampCheckBox::LampCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

void LampCheckBox::setLampColors(const QColor& off, const QColor& on)
{
    m_off = off;
    m_on = on;
    update();
}

QSize LampCheckBox::sizeHint() const
{
    return LampSize(*this, text());
}

void LampCheckBox::paintEvent(QPaintEvent*)
{
    PaintLampButton(*this, lampColor(), true);
}

bool LampCheckBox::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

LampRadioButton::LampRadioButton(const QString& text, const QColor& color, QWidget* parent)
    : QRadioButton(text, parent), m_color(color)
{
}

QSize LampRadioButton::sizeHint() const
{
    return LampSize(*this, text());
}

void LampRadioButton::paintEvent(QPaintEvent*)
{
    PaintLampButton(*this, m_color, isChecked());
}

bool LampRadioButton::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

} // namespace vantrel
