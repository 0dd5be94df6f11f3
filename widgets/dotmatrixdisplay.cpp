#include "widgets/dotmatrixdisplay.h"

#include <QImage>
#include <QPainter>

namespace vantrel {

namespace {

constexpr int DotsWide = DotMatrixDisplay::Columns * DotMatrixDisplay::CellWidth;
constexpr int DotsHigh = DotMatrixDisplay::Rows * DotMatrixDisplay::CellHeight;
constexpr int Bevel = 4; // outer raised and inner lowered frame
const QColor LitDot(0, 0xff, 0);
const QColor UnlitDot(0, 0x80, 0);

} // namespace

DotMatrixDisplay::DotMatrixDisplay(QWidget* parent) : QWidget(parent)
{
    m_timer.setInterval(StepInterval);
    connect(&m_timer, &QTimer::timeout, this, &DotMatrixDisplay::Step);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void DotMatrixDisplay::setLines(const QStringList& lines)
{
    m_lines = lines;
    m_position = 0;
    m_frameValid = false;
    update();
}

void DotMatrixDisplay::setRunning(bool on)
{
    if (on)
        m_timer.start();
    else
        m_timer.stop();
}

void DotMatrixDisplay::Step()
{
    // The text enters from below and leaves at the top, then starts again.
    const int travel = DotsHigh + int(m_lines.size()) * CellHeight;
    m_position = (m_position + 1) % std::max(1, travel);
    m_frameValid = false;
    update();
}

void DotMatrixDisplay::Render() const
{
    if (m_frameValid)
        return;
    m_frame = QImage(DotsWide, DotsHigh, QImage::Format_RGB32);
    m_frame.fill(Qt::black);
    QPainter painter(&m_frame);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setPixelSize(CellHeight - 1);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const int top = DotsHigh - m_position;
    for (int line = 0; line < m_lines.size(); ++line) {
        const int y = top + line * CellHeight;
        if (y + CellHeight <= 0 || y >= DotsHigh)
            continue;
        const QString& text = m_lines[line];
        // Centred in the 46 columns; every character in its own cell, as on a real display.
        const int used = std::min<int>(int(text.size()), Columns);
        const int first = (Columns - used) / 2;
        for (int c = 0; c < used; ++c)
            painter.drawText(QRect((first + c) * CellWidth, y, CellWidth + 1, CellHeight),
                             Qt::AlignCenter, text.mid(c, 1));
    }
    m_frameValid = true;
}

bool DotMatrixDisplay::IsLit(int x, int y) const
{
    Render();
    return m_frame.valid(x, y) && qGray(m_frame.pixel(x, y)) > 127;
}

QSize DotMatrixDisplay::sizeHint() const
{
    return {DotsWide * 2 + 2 * Bevel, DotsHigh * 2 + 2 * Bevel};
}

QSize DotMatrixDisplay::minimumSizeHint() const
{
    return sizeHint();
}

void DotMatrixDisplay::paintEvent(QPaintEvent*)
{
    Render();
    QPainter painter(this);
    const QRect outer = rect();
    // Raised outer bevel, lowered inner bevel.
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(outer.topLeft(), outer.topRight());
    painter.drawLine(outer.topLeft(), outer.bottomLeft());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(outer.bottomLeft(), outer.bottomRight());
    painter.drawLine(outer.topRight(), outer.bottomRight());
    const QRect inner = outer.adjusted(2, 2, -2, -2);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(inner.topLeft(), inner.topRight());
    painter.drawLine(inner.topLeft(), inner.bottomLeft());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(inner.bottomLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomRight());

    const QRect area = outer.adjusted(Bevel, Bevel, -Bevel, -Bevel);
    painter.fillRect(area, Qt::black);
    const int pitch = std::max(2, std::min(area.width() / DotsWide, area.height() / DotsHigh));
    const int dot = pitch >= 3 ? pitch - 1 : pitch - 1 + (pitch == 2 ? 0 : 1);
    const int left = area.left() + (area.width() - pitch * DotsWide) / 2;
    const int top = area.top() + (area.height() - pitch * DotsHigh) / 2;
    painter.setClipRect(area);
    for (int y = 0; y < DotsHigh; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(m_frame.constScanLine(y));
        for (int x = 0; x < DotsWide; ++x)
            painter.fillRect(left + x * pitch, top + y * pitch, dot, dot,
                             qGray(line[x]) > 127 ? LitDot : UnlitDot);
    }
}

} // namespace vantrel
