#include "tests/support/layoutcheck.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace vantrel::test {

namespace {

QString NameOf(const QWidget* widget)
{
    if (!widget->objectName().isEmpty())
        return widget->objectName();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return QStringLiteral("label \"%1\"").arg(label->text());
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return QStringLiteral("button \"%1\"").arg(button->text());
    return QString::fromLatin1(widget->metaObject()->className());
}

// The report of a control given less room than it needs.
QString Shortfall(const QSize& needed, const QSize& has)
{
    return QStringLiteral("needs %1x%2, has %3x%4")
        .arg(needed.width())
        .arg(needed.height())
        .arg(has.width())
        .arg(has.height());
}

QString Problem(const QWidget* widget)
{
    const QSize size = widget->size();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty() && !label->pixmap().isNull())
            return {};
        if (label->wordWrap()) {
            const int needed = label->heightForWidth(size.width());
            return needed > size.height() ? QStringLiteral("wrapped text needs %1 px, has %2")
                                                .arg(needed)
                                                .arg(size.height())
                                          : QString();
        }
        // An eliding or scrolling text is drawn by its own rules; a plain label must fit.
        const QSize needed = label->minimumSizeHint();
        if (needed.width() > size.width() || needed.height() > size.height())
            return Shortfall(needed, size);
        return {};
    }
    if (qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QGroupBox*>(widget) ||
        qobject_cast<const QComboBox*>(widget) || qobject_cast<const QLineEdit*>(widget)) {
        const QSize needed = widget->minimumSizeHint();
        if (needed.height() > size.height() ||
            (needed.width() > size.width() && !qobject_cast<const QLineEdit*>(widget) &&
             !qobject_cast<const QComboBox*>(widget)))
            return Shortfall(needed, size);
    }
    return {};
}

} // namespace

QStringList ClippedControls(const QWidget* window)
{
    QStringList clipped;
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (const QWidget* widget : widgets) {
        if (!widget->isVisibleTo(window) || widget->isWindow())
            continue;
        // The parts of a compound control are laid out by it, not by the window.
        if (widget->parentWidget() && (widget->parentWidget()->inherits("QComboBox") ||
                                       widget->parentWidget()->inherits("QAbstractSpinBox")))
            continue;
        QString problem = Problem(widget);
        const QWidget* parent = widget->parentWidget();
        if (problem.isEmpty() && parent && !parent->rect().contains(widget->geometry()) &&
            !parent->inherits("QAbstractScrollArea") && !parent->inherits("QScrollArea") &&
            widget->objectName() != QLatin1String("qt_scrollarea_viewport"))
            problem = QStringLiteral("reaches outside its parent");
        if (!problem.isEmpty())
            clipped << NameOf(widget) + QStringLiteral(": ") + problem;
    }
    return clipped;
}

} // namespace vantrel::test
