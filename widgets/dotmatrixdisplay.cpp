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
    // The text is drawn at Oversample times the dot resolution and each dot is lit when enough
    // of its square is covered: a small font drawn straight at one pixel per dot loses strokes.
    constexpr int Oversample = 4;
    QImage fine(DotsWide * Oversample, DotsHigh * Oversample, QImage::Format_Grayscale8);
    fine.fill(0);
    {
        QPainter painter(&fine);
        QFont font(QStringLiteral("Monospace"));
        font.setStyleHint(QFont::TypeWriter);
        font.setBold(true);
        font.setPixelSize((CellHeight - 1) * Oversample);
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
                painter.drawText(QRect((first + c) * CellWidth * Oversample, y * Oversample,
                                       CellWidth * Oversample, CellHeight * Oversample),
                                 Qt::AlignCenter, text.mid(c, 1));
        }
    }
    m_frame = QImage(DotsWide, DotsHigh, QImage::Format_RGB32);
    constexpr int Threshold = Oversample * Oversample * 255 * 2 / 5;
    for (int y = 0; y < DotsHigh; ++y) {
        auto* out = reinterpret_cast<QRgb*>(m_frame.scanLine(y));
        for (int x = 0; x < DotsWide; ++x) {
            int sum = 0;
            for (int dy = 0; dy < Oversample; ++dy) {
                const uchar* in = fine.constScanLine(y * Oversample + dy) + x * Oversample;
                for (int dx = 0; dx < Oversample; ++dx)
                    sum += in[dx];
            }
            out[x] = sum >= Threshold ? qRgb(0xff, 0xff, 0xff) : qRgb(0, 0, 0);
        }
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
    const int dot = pitch - 1;
    // At the smallest pitch a one-pixel lit dot hardly stands out from the unlit ones: lit
    // dots then fill their whole square.
    const int litDot = pitch == 2 ? pitch : dot;
    const int left = area.left() + (area.width() - pitch * DotsWide) / 2;
    const int top = area.top() + (area.height() - pitch * DotsHigh) / 2;
    painter.setClipRect(area);
    for (int y = 0; y < DotsHigh; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(m_frame.constScanLine(y));
        for (int x = 0; x < DotsWide; ++x) {
            const bool lit = qGray(line[x]) > 127;
            const int side = lit ? litDot : dot;
            painter.fillRect(left + x * pitch, top + y * pitch, side, side,
                             lit ? LitDot : UnlitDot);
        }
    }
}

} // namespace vantrel
