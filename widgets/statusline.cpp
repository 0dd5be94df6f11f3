#include "widgets/statusline.h"

namespace vantrel {

StatusLine::StatusLine(QWidget* parent) : QLabel(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMargin(2);
    setTextFormat(Qt::PlainText);
    setMinimumWidth(1); // a long status elides in the frame instead of widening the window
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QColor StatusLine::ColorOf(Kind kind)
{
    switch (kind) {
    case Kind::Failure:
        return Qt::red;
    case Kind::Done:
        return QColor(0, 0x80, 0);
    case Kind::Work:
        break;
    }
    return Qt::black;
}

void StatusLine::setStatus(const QString& text, Kind kind)
{
    m_kind = kind;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ColorOf(kind));
    setPalette(colours);
    setText(text);
    setToolTip(text);
}

} // namespace vantrel
