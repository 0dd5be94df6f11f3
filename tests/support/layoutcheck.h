#pragma once

#include <QStringList>

class QWidget;

namespace vantrel::test {

// The controls of a shown window whose text does not fit: a label, button, check box or
// field narrower or lower than it needs, a wrapped label lower than its text, or a control
// reaching outside its parent. Each entry names the control (objectName, else its text).
QStringList ClippedControls(const QWidget* window);

} // namespace vantrel::test
