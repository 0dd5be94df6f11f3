#pragma once

#include <QCheckBox>
#include <QColor>
#include <QRadioButton>

namespace vantrel {

// A check box drawn as a lamp: lit in its "on" colour when checked, in its "off" colour
// otherwise (the compression toggle: red off, lime on).
class LampCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit LampCheckBox(const QString& text, QWidget* parent = nullptr);

    void setLampColors(const QColor& off, const QColor& on);
    QColor lampColor() const { return isChecked() ? m_on : m_off; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QColor m_off = QColor(0x80, 0, 0);
    QColor m_on = QColor(0, 0xff, 0);
};

// A radio button drawn as a lamp of one colour, lit when selected ("No limits" green,
// "Limit to" red).
class LampRadioButton : public QRadioButton
{
    Q_OBJECT
public:
    LampRadioButton(const QString& text, const QColor& color, QWidget* parent = nullptr);

    QColor lampColor() const { return m_color; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QColor m_color;
};

} // namespace vantrel
