#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QWidget>

namespace vantrel {

// A strip with a horizontal colour gradient and a bold centred caption, optionally with a
// picture at each end: the header bars over lists and graphs, and the banners of the
// transfer windows' end panels (which blink by swapping their two colours).
class GradientBar : public QWidget
{
    Q_OBJECT
public:
    GradientBar(const QString& text, const QColor& from, const QColor& to,
                QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    QColor fromColor() const { return m_from; }
    QColor toColor() const { return m_to; }
    void setColors(const QColor& from, const QColor& to);
    // The blink of a completion banner: the gradient runs the other way.
    void SwapColors();
    // A picture drawn at both ends (header bars: 16 x 16).
    void setIcon(const QIcon& icon);
    void setTextColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_from;
    QColor m_to;
    QColor m_textColor = Qt::black;
    QIcon m_icon;
};

} // namespace vantrel
